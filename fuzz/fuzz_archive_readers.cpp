// Fuzzes the archive record readers on an executable payload and a volume written
// to a scratch folder. The first byte chooses decryption and the password.
#include <cstdint>
#include <cstdlib>

#include "archive/split_archive.h"
#include "chunk/locate_chunk.h"
#include "error/tql_exception.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static zrk::fuzz::ScratchFolder folder;
    if (size < 1) return 0;
    const uint8_t flags = data[0];
    const auto files = zrk::fuzz::unpackFiles(data + 1, size - 1, 2);
    if (files.empty()) return 0;
    folder.write("archive.exe", files[0].data(), files[0].size());
    const auto& volume = files.size() > 1 ? files[1] : files[0];
    folder.write("archive.001.zrd", volume.data(), volume.size());

    zrk::SplitArchive archive;
    archive.setDecrypt(flags & 1);
    if (flags & 2) archive.setPassword("zrk-sample");
    archive.setTargetPath(folder.path("archive.exe"));
    // As the program does: its records start at the first "ZRKD" behind the image.
    const uint64_t offset = zrk::locateChunkIn(files[0].data(), files[0].size(), "ZRKD");
    archive.setArchiveOffset(offset == zrk::kChunkNotFound ? 0 : offset);
    try {
        uint32_t encrypted = 0;
        archive.isEncrypted(encrypted);
        zrk::ArchiveHeader header;
        zrk::DateRecord date;
        archive.readArchiveHeader(header, date, folder.path("archive.exe"));
        const std::string name = archive.readArchiveInfo(folder.path("archive.exe"));
        // Whatever name comes back becomes a file in the user's folder.
        if (name.find('\\') != std::string::npos || name.find('/') != std::string::npos || name == "." ||
            name == "..")
            std::abort();
        zrk::ArchiveHeader volumeHeader;
        archive.readVolumeHeader(volumeHeader, folder.path("archive.001.zrd"));
    } catch (const zrk::TqlZRKAFileReadError&) {
        // Documented for an archive offset the file cannot be positioned at.
    }
    return 0;
}

// Fuzzes a whole combine over an executable and up to four volumes written to a
// scratch folder, over an old target that a failed combine must leave as it was.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "archive/split_archive.h"
#include "chunk/locate_chunk.h"
#include "fuzz_support.h"
#include "stream/paths.h"

namespace {

std::vector<char> readHost(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static zrk::fuzz::ScratchFolder folder;
    static const std::vector<char> oldTarget = {'o', 'l', 'd'};
    if (size < 1) return 0;
    const uint8_t flags = data[0];
    const auto files = zrk::fuzz::unpackFiles(data + 1, size - 1, 5);
    if (files.empty()) return 0;
    folder.clear();
    folder.write("archive.exe", files[0].data(), files[0].size());
    for (size_t v = 1; v < files.size(); ++v)
        folder.write("archive.00" + std::to_string(v) + ".zrd", files[v].data(), files[v].size());
    folder.write("target.bin", reinterpret_cast<const uint8_t*>(oldTarget.data()), oldTarget.size());

    zrk::SplitArchive archive;
    archive.setBufferSize(64);
    if (!archive.initialize()) std::abort();
    archive.setOwnPath(folder.path("archive.exe"));
    // As the program does: its records start at the first "ZRKD" behind the image.
    const uint64_t offset = zrk::locateChunkIn(files[0].data(), files[0].size(), "ZRKD");
    archive.setArchiveOffset(offset == zrk::kChunkNotFound ? 0 : offset);
    archive.setTargetPath(folder.path("target.bin"));
    archive.setDecrypt(flags & 1);
    if (flags & 2) archive.setPassword("zrk-sample");
    const int ok = archive.combine();
    if (!ok && readHost(folder.host("target.bin")) != oldTarget) std::abort();
    if (ok && archive.doneBytes() != zrk::fuzz::fileSizeOf(folder.host("target.bin"))) std::abort();
    return 0;
}

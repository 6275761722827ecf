// ArchiveWriter: cuts one file into the executable (stub + settings + archive
// description) and its volumes, in one pass over the input with one block buffer.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_records.h"
#include "startup/message_table.h"
#include "stream/file_system.h"
#include "startup/payload_settings.h"

namespace zrk {

struct ArchiveWriterOptions {
    std::string inputPath;
    std::string stubPath;
    std::string outputFolder;
    // Output files are <outputName>.exe and <outputName>.001.zrd ...; empty: the input's
    // name without its extension.
    std::string outputName;
    // One of the two: bytes per volume, or the number of volumes.
    uint64_t volumeSize = 0;
    uint32_t volumeCount = 0;
    // Encrypted when `encrypt` is set or a password or key file is given.
    bool encrypt = false;
    std::string password;
    std::string keyFilePath;
    PayloadSettings settings = PayloadSettings::builtin();
    MessageTable messages = MessageTable::builtin();
    // Fixed values for reproducible archives; by default random, and the input's own.
    std::optional<std::array<unsigned char, ArchiveHeader::kIdSize>> archiveId;
    std::optional<uint64_t> lastWriteTime;
    std::optional<uint32_t> attributes;
    uint32_t bufferSize = 0x400000;
    std::function<void(uint64_t done, uint64_t total)> progress;
};

class ArchiveWriter {
public:
    explicit ArchiveWriter(ArchiveWriterOptions options, FileSystem& files = systemFileSystem());
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    // 1 when every file was written; otherwise 0 and error() says what failed, and the
    // files it had created are gone again (also when an exception leaves it).
    int write();
    const std::string& error() const { return error_; }
    const std::string& executablePath() const { return executablePath_; }
    const std::vector<std::string>& volumePaths() const { return volumePaths_; }

private:
    int fail(const std::string& message);
    using Create = std::function<std::unique_ptr<FileStream>(const std::string&)>;
    // One volume's file, its place in the input, and its records as stored.
    struct VolumePlan {
        std::string path;
        uint64_t start = 0;
        uint64_t size = 0;
        std::vector<unsigned char> info;
        DateRecord placeholder;
        std::optional<ArchiveHeader> keyHeader;  // encrypted: the plain header the piece is keyed with
    };
    int writeFiles(const Create& create);
    // The volumes of an encrypted archive, one per worker thread, each reading its own
    // piece of the input. 1: all written and `fileCrc` is the input's CRC; 0: failed,
    // error() says what failed first in volume order; -1: no worker started, nothing done.
    int writeInParallel(uint32_t count, const std::function<VolumePlan(uint32_t)>& planOf, const std::string& password,
                        const Create& create, uint32_t blockSize, uint64_t fileSize, uint32_t& fileCrc);

    ArchiveWriterOptions options_;
    FileSystem& files_;
    std::string error_;
    std::string executablePath_;
    std::vector<std::string> volumePaths_;
};

} // namespace zrk

// The file-system calls of the archive core and the archive writer, as one object
// handed to them: the system's own (its calls go to the Win32 or the POSIX backend,
// chosen by CMake) or, in the tests, one that fails a chosen call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "stream/file_stream.h"
#include "text/file_entry.h"

namespace zrk {

class FileSystem {
public:
    FileSystem() = default;
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;
    virtual ~FileSystem();

    // An open file (`mode` as FileStream::open), or null when it cannot be opened.
    virtual std::unique_ptr<FileStream> open(const std::string& path, uint32_t mode);
    // The files of `folder` matching `pattern`, as listFiles() in paths.h.
    virtual uint32_t listFiles(const std::string& folder, const std::string& pattern,
                               std::vector<FileEntry>& entries);
    // Moves `from` over `to` in one step; on failure `to` is unchanged. 1 on success.
    virtual int replaceFile(const std::string& from, const std::string& to);
    virtual uint32_t getAttributes(const std::string& path);
    virtual int setAttributes(const std::string& path, uint32_t attributes);
    // Removes one file. 1 on success.
    virtual int removeFile(const std::string& path);
    // The zone mark of a file that came from the internet, empty when it has none; and
    // giving a file that mark (1 on success, 0 where it cannot be kept).
    virtual std::string zoneMark(const std::string& path);
    virtual int setZoneMark(const std::string& path, const std::string& mark);
};

// The system's file system; lives for the whole process.
FileSystem& systemFileSystem();

} // namespace zrk

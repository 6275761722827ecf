// One match of a folder listing, as the file search calls report it.
#pragma once

#include <cstdint>
#include <string>

namespace zrk {

struct FileEntry {
    std::string name;  // UTF-8, without the folder
    uint32_t attributes = 0;
    // Times in the system's file-time form: 100 ns units since 1601-01-01 UTC.
    uint64_t creationTime = 0;
    uint64_t lastAccessTime = 0;
    uint64_t lastWriteTime = 0;
    uint64_t size = 0;
};

} // namespace zrk

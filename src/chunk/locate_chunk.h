// Finds a top-level chunk inside a larger file (the payload behind a program image)
// by searching the file's first mebibyte for its tag followed by a valid header.
#pragma once

#include <cstdint>
#include <string>

namespace zrk {

inline constexpr uint64_t kChunkNotFound = UINT64_MAX;
inline constexpr uint64_t kLocateWindow = 0x100000;

// The position of the first header with this 4-byte tag that passes the header
// check, or kChunkNotFound (also for a missing, short or unreadable file).
uint64_t locateChunk(const std::string& path, const std::string& tag);

// The same search over bytes already in memory.
uint64_t locateChunkIn(const unsigned char* bytes, uint64_t size, const std::string& tag);

} // namespace zrk

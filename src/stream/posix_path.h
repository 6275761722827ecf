// Converting the system's backslash paths to POSIX paths and FILETIME values to
// POSIX times; shared by the two POSIX backends (see paths_posix.cpp).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace zrk::posix_path {

// Seconds from 1601-01-01 to 1970-01-01, the two epochs.
constexpr int64_t kEpochDifference = 11644473600;

inline std::string toHost(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

inline std::string fromHost(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

inline uint64_t toFileTime(const timespec& t) {
    const int64_t seconds = int64_t(t.tv_sec) + kEpochDifference;
    if (seconds < 0) return 0;
    return uint64_t(seconds) * 10000000u + uint64_t(t.tv_nsec) / 100u;
}

inline timespec fromFileTime(uint64_t fileTime) {
    timespec t{};
    t.tv_sec = time_t(int64_t(fileTime / 10000000u) - kEpochDifference);
    t.tv_nsec = long(fileTime % 10000000u) * 100;
    return t;
}

} // namespace zrk::posix_path

// The system calls behind the path functions, one backend per platform (paths_win32.cpp,
// paths_posix.cpp). Paths given here are already absolute, backslash-separated UTF-8.
#pragma once

#include <cstdint>
#include <string>

namespace zrk::path_backend {

// The attributes of `path` as the plain call gives them (no long-path prefix), or
// 0xFFFFFFFF when it does not exist.
uint32_t plainAttributes(const std::string& path);
// Creates one folder whose parent exists.
bool makeFolder(const std::string& path);

} // namespace zrk::path_backend

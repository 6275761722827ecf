// POSIX form of replaceFile: rename(2), which replaces the target atomically.
#include "archive/replace_file.h"

#include <cstdio>

#include "stream/paths.h"
#include "stream/posix_path.h"

namespace zrk {

int replaceFile(const std::string& from, const std::string& to) {
    const std::string a = posix_path::toHost(makeAbsolute(from));
    const std::string b = posix_path::toHost(makeAbsolute(to));
    return std::rename(a.c_str(), b.c_str()) == 0 ? 1 : 0;
}

} // namespace zrk

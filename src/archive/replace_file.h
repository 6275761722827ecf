// Moves a finished file over its target in one step, replacing a file of that name.
#pragma once

#include <string>

namespace zrk {

// Both paths in the system's backslash form, resolved against the base folder.
// 1 on success, 0 on failure (the target is then unchanged).
int replaceFile(const std::string& from, const std::string& to);

} // namespace zrk

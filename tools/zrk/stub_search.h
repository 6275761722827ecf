// Where split finds the combining program when no --stub is given.
#pragma once

#include <string>
#include <vector>

namespace zrk::tool {

// The places to look, in order, for a tool in `toolFolder` (core form):
//   <folder>\zrkcombine.exe                        beside the tool (the Windows zip)
//   <folder>\..\lib\zrk\zrkcombine.exe             an installed package, any prefix
//   and, when the tool runs from a build tree (tools\zrk under a folder holding
//   CMakeCache.txt), that tree's Windows program:
//   <build>\src\app\zrkcombine.exe                 a Windows build's own (zrk.exe)
//   <build>\..\windows\src\app\zrkcombine.exe      the 32-bit build beside a Linux one
// Only the 32-bit program is looked for; the x64 one gets its own name in the package
// once the tool chooses between them.
std::vector<std::string> stubCandidates(const std::string& toolFolder);

// The first candidate that is a file, or empty; `looked` receives every candidate.
std::string findStub(const std::string& toolFolder, std::vector<std::string>& looked);

} // namespace zrk::tool

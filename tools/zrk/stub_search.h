// Where split finds the combining program when no --stub is given.
#pragma once

#include <string>
#include <vector>

namespace zrk::tool {

// The two builds of the combining program; both read the same archives.
enum class StubArch { X86, X64 };

// The program's name relative to a folder that holds both: "zrkcombine.exe" for the
// 32-bit one, "x64\zrkcombine.exe" for the x64 one.
std::string stubName(StubArch arch);

// The places to look, in order, for a tool in `toolFolder` (core form):
//   <folder>\<name>                                beside the tool (the Windows zip)
//   <folder>\..\lib\zrk\<name>                     an installed package, any prefix
//   and, when the tool runs from a build tree (tools\zrk under a folder holding
//   CMakeCache.txt), that architecture's Windows build:
//   <build>\src\app\zrkcombine.exe                 a Windows build's own, when the tool
//                                                  has the architecture asked for
//   <build>\..\windows[64]\src\app\zrkcombine.exe  otherwise, the build beside it
std::vector<std::string> stubCandidates(const std::string& toolFolder, StubArch arch);

// The first candidate that is a file, or empty; `looked` receives every candidate.
std::string findStub(const std::string& toolFolder, StubArch arch, std::vector<std::string>& looked);

} // namespace zrk::tool

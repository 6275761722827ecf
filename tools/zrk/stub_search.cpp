// The combining program's places: beside the tool, in the package's library folder,
// in the build tree.
#include "stub_search.h"

#include "stream/paths.h"

namespace zrk::tool {
namespace {

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool isFile(const std::string& path) { return pathExists(path) && !(getAttributes(path) & kAttributeFolder); }

} // namespace

std::string stubName(StubArch arch) { return arch == StubArch::X64 ? "x64\\zrkcombine.exe" : "zrkcombine.exe"; }

std::vector<std::string> stubCandidates(const std::string& toolFolder, StubArch arch) {
    const std::string name = stubName(arch);
    std::vector<std::string> places{joinPath(toolFolder, name),
                                    joinPath(joinPath(joinPath(parentFolder(toolFolder), "lib"), "zrk"), name)};
    if (endsWith(toolFolder, "\\tools\\zrk")) {
        const std::string build = parentFolder(parentFolder(toolFolder));
        if (isFile(joinPath(build, "CMakeCache.txt"))) {
            const char* besideBuild =
                arch == StubArch::X64 ? "windows64\\src\\app\\zrkcombine.exe" : "windows\\src\\app\\zrkcombine.exe";
#ifdef _WIN32
            // A Windows build's own program has the tool's architecture.
            if ((arch == StubArch::X64) == (sizeof(void*) == 8)) besideBuild = nullptr;
#endif
            places.push_back(besideBuild ? joinPath(parentFolder(build), besideBuild)
                                         : joinPath(build, "src\\app\\zrkcombine.exe"));
        }
    }
    return places;
}

std::string findStub(const std::string& toolFolder, StubArch arch, std::vector<std::string>& looked) {
    looked = stubCandidates(toolFolder, arch);
    for (const std::string& place : looked)
        if (isFile(place)) return place;
    return {};
}

} // namespace zrk::tool

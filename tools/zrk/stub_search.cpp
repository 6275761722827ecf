// The combining program's places: beside the tool, in the package's library folder,
// in the build tree.
#include "stub_search.h"

#include "stream/paths.h"

namespace zrk::tool {
namespace {

constexpr const char* kStubName = "zrkcombine.exe";

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool isFile(const std::string& path) { return pathExists(path) && !(getAttributes(path) & kAttributeFolder); }

} // namespace

std::vector<std::string> stubCandidates(const std::string& toolFolder) {
    std::vector<std::string> places{joinPath(toolFolder, kStubName),
                                    joinPath(joinPath(joinPath(parentFolder(toolFolder), "lib"), "zrk"), kStubName)};
    if (endsWith(toolFolder, "\\tools\\zrk")) {
        const std::string build = parentFolder(parentFolder(toolFolder));
        if (isFile(joinPath(build, "CMakeCache.txt"))) {
#ifdef _WIN32
            places.push_back(joinPath(build, "src\\app\\zrkcombine.exe"));
#else
            places.push_back(joinPath(parentFolder(build), "windows\\src\\app\\zrkcombine.exe"));
#endif
        }
    }
    return places;
}

std::string findStub(const std::string& toolFolder, std::vector<std::string>& looked) {
    looked = stubCandidates(toolFolder);
    for (const std::string& place : looked)
        if (isFile(place)) return place;
    return {};
}

} // namespace zrk::tool

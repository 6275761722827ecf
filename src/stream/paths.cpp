// The portable path functions: resolving, joining, splitting and folder creation.
#include "stream/paths.h"

#include "stream/path_backend.h"
#include "thread/lock.h"

namespace zrk {
namespace {

// makeAbsolute runs on more than one thread, so the base folder is only touched under
// its lock, and only to copy it.
Lock baseFolderLock;
std::string baseFolderPath;

} // namespace

std::string moduleFolder() {
    std::string path = modulePath();
    const size_t cut = path.rfind('\\');
    if (cut != std::string::npos) path.resize(cut);
    return path;
}

void initBaseFolder() { setBaseFolder(moduleFolder()); }

void setBaseFolder(const std::string& folder) {
    baseFolderLock.enter();
    baseFolderPath = folder;
    baseFolderLock.leave();
}

std::string baseFolder() {
    baseFolderLock.enter();
    std::string copy = baseFolderPath;
    baseFolderLock.leave();
    return copy;
}

std::string makeAbsolute(const std::string& path) {
    const std::string base = baseFolder();
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return path;
    // Bytes of a multi-byte UTF-8 character are never 0x3A or 0x5C, so byte searches are safe.
    if (path.find(':') != std::string::npos) return path;
    if (!path.empty() && path[0] == '\\') {
        const size_t colon = base.rfind(':');
        return (colon == std::string::npos ? std::string() : base.substr(0, colon + 1)) + path;
    }
    return joinPath(base, path);
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (name.empty()) return folder;
    const char last = folder.back();
    if (last == '\\' || last == ':') return folder + name;
    return folder + "\\" + name;
}

std::string parentFolder(const std::string& path) {
    const size_t cut = path.rfind('\\');
    if (cut == std::string::npos) return {};
    std::string parent = path.substr(0, cut);
    const size_t colon = parent.rfind(':');
    if (colon != std::string::npos && colon + 1 == parent.size()) parent += '\\';
    return parent;
}

int createFolder(const std::string& path) {
    const std::string absolute = makeAbsolute(path);
    const uint32_t attributes = path_backend::plainAttributes(absolute);
    if (attributes != kNoAttributes) return int(attributes & kAttributeFolder);
    if (path_backend::makeFolder(absolute)) return 1;
    const size_t cut = path.rfind('\\');
    if (cut == std::string::npos) return 0;
    createFolder(path.substr(0, cut));
    return path_backend::makeFolder(absolute) ? 1 : 0;
}

} // namespace zrk

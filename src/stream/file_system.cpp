// The system's file system: FileStream and the path functions (see file_system.h).
#include "stream/file_system.h"

#include "stream/paths.h"

namespace zrk {

FileSystem::~FileSystem() = default;

std::unique_ptr<FileStream> FileSystem::open(const std::string& path, uint32_t mode) {
    auto file = std::make_unique<FileStream>();
    if (!file->open(path, mode)) return nullptr;
    return file;
}

uint32_t FileSystem::listFiles(const std::string& folder, const std::string& pattern,
                               std::vector<FileEntry>& entries) {
    return zrk::listFiles(folder, pattern, entries);
}

int FileSystem::replaceFile(const std::string& from, const std::string& to) { return zrk::replaceFile(from, to); }

uint32_t FileSystem::getAttributes(const std::string& path) { return zrk::getAttributes(path); }

int FileSystem::setAttributes(const std::string& path, uint32_t attributes) {
    return zrk::setAttributes(path, attributes);
}

int FileSystem::removeFile(const std::string& path) { return zrk::removeFile(path); }

std::string FileSystem::zoneMark(const std::string& path) { return zrk::zoneMark(path); }

int FileSystem::setZoneMark(const std::string& path, const std::string& mark) {
    return zrk::setZoneMark(path, mark);
}

FileSystem& systemFileSystem() {
    static FileSystem system;
    return system;
}

} // namespace zrk

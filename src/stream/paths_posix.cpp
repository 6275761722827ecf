// The path functions' system calls on POSIX, so that the portable core and the
// command-line tool run on Linux with the same path semantics as on Windows.
//
// How the Windows operations map onto POSIX:
// - Paths stay backslash-separated UTF-8 inside the system; every backslash becomes a
//   slash at the system call, and modulePath() turns slashes back into backslashes.
//   An absolute POSIX path is therefore "\home\...", which makeAbsolute keeps as the
//   base folder's (empty) drive part followed by the path. Colons are not special to
//   POSIX, but makeAbsolute still treats a path containing one as absolute.
// - Attributes come from stat(): the folder bit 0x10 from S_ISDIR, the read-only bit
//   0x01 when the owner may not write, otherwise 0x80 (normal). The temporary bit 0x100
//   is never set, so listFiles passes over folders only. setAttributes maps only the
//   read-only bit, onto the owner's write permission.
// - listFiles reads the folder with opendir/readdir and matches names against the
//   pattern with * and ? case-insensitively (ASCII), as the Windows search does, so
//   "*.zrd" also finds "X.ZRD"; "*.*" matches every name. Entry times are the
//   status-change, access and modification times as FILETIME values (100 ns since 1601).
// - pathExists is a stat() of the path (a trailing backslash asks for a folder).
// - A file's last-write time is set with futimens() on the open descriptor.
// - FileStream opens with open(2); there is no share mode, and folders are refused.
#include <cstdio>
#include <cctype>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "stream/path_backend.h"
#include "stream/paths.h"
#include "stream/posix_path.h"

namespace zrk {
namespace {

uint32_t attributesOf(const struct stat& info) {
    if (S_ISDIR(info.st_mode)) return kAttributeFolder | ((info.st_mode & S_IWUSR) ? 0 : kAttributeReadOnly);
    return (info.st_mode & S_IWUSR) ? kAttributeNormal : kAttributeReadOnly;
}

bool matchesPattern(const char* name, const char* pattern) {
    // Iterative wildcard match with backtracking to the last '*': linear in practice.
    const char* starPattern = nullptr;
    const char* starName = nullptr;
    while (*name) {
        if (*pattern == '*') {
            starPattern = ++pattern;
            starName = name;
        } else if (*pattern == '?' ||
                   std::tolower((unsigned char)*pattern) == std::tolower((unsigned char)*name)) {
            ++pattern;
            ++name;
        } else if (starPattern) {
            pattern = starPattern;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == 0;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

} // namespace

std::string modulePath() {
    // The link's target can be as long as a path gets; grow until it fits.
    for (size_t capacity = 4096; capacity <= (1u << 20); capacity *= 2) {
        std::unique_ptr<char[]> buffer(new (std::nothrow) char[capacity]);
        if (!buffer) return {};
        const ssize_t n = readlink("/proc/self/exe", buffer.get(), capacity);
        if (n < 0) return {};
        if (size_t(n) < capacity) return posix_path::fromHost(std::string(buffer.get(), size_t(n)));
    }
    return {};
}

int pathExists(const std::string& path) {
    struct stat info;
    return stat(posix_path::toHost(makeAbsolute(path)).c_str(), &info) == 0 ? 1 : 0;
}

uint32_t getAttributes(const std::string& path) {
    struct stat info;
    if (stat(posix_path::toHost(path).c_str(), &info) != 0) return kNoAttributes;
    return attributesOf(info);
}

int replaceFile(const std::string& from, const std::string& to) {
    // rename(2) replaces the target atomically.
    const std::string a = posix_path::toHost(makeAbsolute(from));
    const std::string b = posix_path::toHost(makeAbsolute(to));
    return std::rename(a.c_str(), b.c_str()) == 0 ? 1 : 0;
}

// POSIX file systems keep no zone marks; nothing here writes one either.
std::string zoneMark(const std::string&) { return {}; }

int setZoneMark(const std::string&, const std::string&) { return 0; }

int removeFile(const std::string& path) {
    return ::unlink(posix_path::toHost(makeAbsolute(path)).c_str()) == 0 ? 1 : 0;
}

int setAttributes(const std::string& path, uint32_t attributes) {
    const std::string host = posix_path::toHost(path);
    struct stat info;
    if (stat(host.c_str(), &info) != 0) return 0;
    mode_t mode = info.st_mode & 07777;
    mode = (attributes & kAttributeReadOnly) ? (mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
    return chmod(host.c_str(), mode) == 0 ? 1 : 0;
}

uint32_t listFiles(const std::string& folder, const std::string& pattern, std::vector<FileEntry>& entries) {
    const std::string search = joinPath(folder, pattern);
    const size_t cut = search.rfind('\\');
    const std::string directory = cut == std::string::npos ? "." : (cut == 0 ? "/" : posix_path::toHost(search.substr(0, cut)));
    const std::string namePattern = cut == std::string::npos ? search : search.substr(cut + 1);
    const bool everything = namePattern == "*.*" || namePattern == "*";

    std::unique_ptr<DIR, DirCloser> dir(opendir(directory.c_str()));
    if (!dir) return 0;
    const int dirFd = dirfd(dir.get());
    uint32_t count = 0;
    while (const dirent* item = readdir(dir.get())) {
        if (!everything && !matchesPattern(item->d_name, namePattern.c_str())) continue;
        struct stat info;
        if (fstatat(dirFd, item->d_name, &info, 0) != 0 &&
            fstatat(dirFd, item->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(info.st_mode)) continue;
        FileEntry entry;
        entry.name = item->d_name;
        entry.attributes = attributesOf(info);
        entry.creationTime = posix_path::toFileTime(info.st_ctim);
        entry.lastAccessTime = posix_path::toFileTime(info.st_atim);
        entry.lastWriteTime = posix_path::toFileTime(info.st_mtim);
        entry.size = uint64_t(info.st_size);
        entries.push_back(std::move(entry));
        ++count;
    }
    return count;
}

namespace path_backend {

uint32_t plainAttributes(const std::string& path) { return getAttributes(path); }

bool makeFolder(const std::string& path) { return mkdir(posix_path::toHost(path).c_str(), 0777) == 0; }

} // namespace path_backend
} // namespace zrk

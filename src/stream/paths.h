// Path functions: the program's own path, resolving against the base folder, joining and
// splitting, existence, folders, attributes and file listing. Paths are UTF-8 with
// backslash separators everywhere inside the system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/file_entry.h"

namespace zrk {

constexpr uint32_t kAttributeReadOnly = 0x01;
constexpr uint32_t kAttributeFolder = 0x10;
constexpr uint32_t kAttributeNormal = 0x80;
constexpr uint32_t kAttributeTemporary = 0x100;
constexpr uint32_t kNoAttributes = 0xFFFFFFFF;

std::string modulePath();
// modulePath() without its last backslash and what follows.
std::string moduleFolder();
// The base folder becomes the program's folder.
void initBaseFolder();
void setBaseFolder(const std::string& folder);
std::string baseFolder();

// "\\x" and anything with a colon stay; "\x" goes after the base folder's drive part;
// anything else is joined to the base folder.
std::string makeAbsolute(const std::string& path);
std::string joinPath(const std::string& folder, const std::string& name);
// Before the last backslash; a bare drive keeps its backslash (C:\y -> C:\).
std::string parentFolder(const std::string& path);

int pathExists(const std::string& path);
// Creates every missing parent too; nonzero when the path is a folder afterwards.
int createFolder(const std::string& path);
// Take absolute local paths. kNoAttributes when the path does not exist.
uint32_t getAttributes(const std::string& path);
int setAttributes(const std::string& path, uint32_t attributes);
// Moves the file `from` over `to` in one step, replacing a file of that name; both are
// resolved against the base folder. 1 on success; on failure `to` is unchanged.
int replaceFile(const std::string& from, const std::string& to);
// Removes one file (not a folder), resolved against the base folder. 1 on success.
int removeFile(const std::string& path);
// The zone mark of a file: the text of its "Zone.Identifier" stream, which the system
// gives files that came from the internet, or empty when it has none (always, where
// the file system keeps no such streams).
std::string zoneMark(const std::string& path);
// Gives `path` that mark. 1 on success; 0 where the file system cannot keep it.
int setZoneMark(const std::string& path, const std::string& mark);
// Appends the files (not folders, not temporary files) matching `pattern` in `folder`,
// in the file system's order; returns how many were appended.
uint32_t listFiles(const std::string& folder, const std::string& pattern, std::vector<FileEntry>& entries);

} // namespace zrk

// Helpers the commands share: keys from prompts and files, opening an archive with
// SplitArchive, and turning archive status codes into one-line English reasons.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "archive/split_archive.h"
#include "commands.h"

namespace zrk::tool {

// A password or a key file path, wiped when done.
struct Key {
    std::string password;
    std::string keyFile;  // core path
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key();
    bool given() const { return !password.empty() || !keyFile.empty(); }
};

// Reads the key the options name; `confirm` asks for a prompted password twice.
void readKey(const KeyOptions& options, bool confirm, Key& key);

// Collects the status reports of an archive, the last one being the reason for a failure.
struct StatusRecorder {
    std::vector<std::pair<uint32_t, std::string>> reports;
    void attach(SplitArchive& archive);
    // The reason for the last report; `subject` names the file when the report does not.
    std::string reason(const std::string& subject) const;
};

std::string statusReason(uint32_t code, const std::string& detail, const std::string& subject);

// Prepares `archive` for the executable or volume at `path` (core form): the offset
// of its description, the key. Throws when the file holds no archive.
void openArchive(SplitArchive& archive, const std::string& path, const Key& key);

// The first missing or damaged volume of the archive at `path`, named, or empty when
// every volume reads back sound (or the archive cannot be opened).
std::string diagnoseVolumes(const std::string& path, const Key& key);

// A core path as the standard library takes it.
std::filesystem::path hostOf(const std::string& core);

// "1,234,567 bytes (1.2 MiB)"
std::string sizeText(uint64_t bytes);

} // namespace zrk::tool

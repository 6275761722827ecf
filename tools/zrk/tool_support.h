// Helpers the commands share: keys from prompts and files, opening an archive with
// SplitArchive, and turning archive status codes into one-line English reasons.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "archive/archive_key.h"
#include "archive/split_archive.h"
#include "commands.h"

namespace zrk::tool {

// The key the options name (a key file as a core path); `confirm` asks for a
// prompted password twice.
Key readKey(const KeyOptions& options, bool confirm);

// Collects the status reports of an archive, the last one being the reason for a failure.
struct StatusRecorder {
    std::vector<std::pair<uint32_t, std::string>> reports;
    void attach(SplitArchive& archive);
    // The reason for the last report; `subject` names the file when the report does not.
    std::string reason(const std::string& subject) const;
};

std::string statusReason(uint32_t code, const std::string& detail, const std::string& subject);

// Opens the executable or volume at `path` (core form) with `key`; throws when the
// file cannot be read or holds no archive.
void openArchive(SplitArchive& archive, const std::string& path, const Key& key);

// A core path as the standard library takes it.
std::filesystem::path hostOf(const std::string& core);

// "1,234,567"
std::string groupedNumber(uint64_t value);

// "1,234,567 bytes (1.2 MiB)"
std::string sizeText(uint64_t bytes);

} // namespace zrk::tool

// Loading the program's own payload (settings, texts, the archive's encryption flag)
// and splitting the program name off the command line.
#pragma once

#include "startup/message_table.h"
#include "startup/payload_settings.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zrk {

struct LoadedPayload {
    PayloadSettings settings;
    MessageTable messages;
    uint32_t encrypted = 0;
};

// 1 when the file's "ZRKS" settings and texts and its "ZRKD" archive flag were read.
// Nothing stays open afterwards.
int loadPayloadFrom(const std::string& programPath, LoadedPayload& payload);
// The same for the running program, filling the wizard's settings, texts and flag
// and clearing its password and key file.
int loadPayload();

struct CommandLineParts {
    std::string program;
    std::string arguments;
};
// The program name as the system quotes it (an unclosed quote runs to the end), then
// the rest after the blanks that follow it.
CommandLineParts splitCommandLine(std::string_view line);

// The folder of a path: up to its last backslash, or the whole path without one.
std::string folderOfPath(const std::string& path);

} // namespace zrk

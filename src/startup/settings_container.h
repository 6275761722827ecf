// Reading and writing the settings container "ZRKS": the settings record in its
// "INFO" leaf and the message table in its "DATA" leaf. Shared by the Windows
// program's payload loader and the command-line tool.
#pragma once

#include <cstdint>
#include <string>

#include "startup/message_table.h"
#include "startup/payload_settings.h"

namespace zrk {

class ChunkStream;
class Stream;

// Reads "ZRKS" from the chunk sequence that starts at `position` and spans `length`
// bytes. 1 on success; 0 (outputs unchanged) when a chunk is missing or damaged or
// the settings record cannot be read whole. Strings that cannot be read whole,
// such as those missing from a short table, become empty entries without failing.
int readSettingsContainer(Stream& stream, uint64_t position, uint64_t length,
                          PayloadSettings& settings, MessageTable& table);

// Finds the first valid "ZRKS" header in the first mebibyte of the file and reads it
// as above; the file is closed before returning.
int loadSettingsFromFile(const std::string& path, PayloadSettings& settings, MessageTable& table);

// Adds "ZRKS" as the next top-level container of `root` (attached to `stream`) and
// writes it completely: "INFO" (the record followed by 32 zero bytes), then "DATA".
// Further containers may be added to `root` afterwards. 1 on success, 0 on a failed write.
int writeSettingsContainer(ChunkStream& root, Stream& stream, const PayloadSettings& settings,
                           const MessageTable& table);

// Convenience form: a container sequence starting at `position` of `stream`.
int writeSettingsContainer(Stream& stream, uint64_t position, const PayloadSettings& settings,
                           const MessageTable& table);

} // namespace zrk

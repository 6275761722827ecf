// The 45 user-interface texts of the program, read from the settings container by index.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace zrk {

inline constexpr size_t kMessageCount = 45;

// UTF-8 byte strings, entries 0 to 44; an entry that was never read is empty.
class MessageTable {
public:
    const std::string& operator[](size_t index) const { return entries_.at(index); }
    std::string& operator[](size_t index) { return entries_.at(index); }
    static constexpr size_t size() { return kMessageCount; }

    // The table the shipped payloads carry.
    static MessageTable builtin();

private:
    std::array<std::string, kMessageCount> entries_{};
};

// The shipped texts themselves, kept in builtin_messages.cpp.
const std::array<std::string_view, kMessageCount>& builtinMessages();

} // namespace zrk

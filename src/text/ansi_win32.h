// Conversions between UTF-8 and the system's ANSI code page (the narrow route
// for systems without the wide calls).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zrk {

// UTF-8 to ANSI, character by character; the text ends at its first zero byte.
// A character the code page cannot represent makes the whole result empty.
std::string utf8ToAnsi(std::string_view text);

// ANSI to UTF-8; a byte the code page rejects alone is taken as the lead byte of a
// double-byte character. An unconvertible character makes the whole result empty.
std::string ansiToUtf8(std::string_view text);

// UTF-8 to ANSI over exactly `length` bytes, zero bytes passed through. A
// character the code page rejects is written as '?'. Writes at most `capacity`
// bytes and stops before a character that would not fit whole; returns the
// bytes written.
size_t utf8ToAnsiBuffer(char* out, size_t capacity, const char* bytes, size_t length);

} // namespace zrk

// Small text helpers: printf-style formatting into UTF-8, hexadecimal dumps and
// last-index search.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zrk {

// The standard library's printf rules; a result of no characters (or a format
// error) gives the empty string.
[[gnu::format(gnu_printf, 1, 2)]] std::string formatText(const char* format, ...);

// Each byte as two lower-case hexadecimal digits, in order.
std::string hexString(const void* bytes, size_t length);
std::string hexString(std::string_view text);

// Index of the last `byte` in the zero-terminated `text`, or -1. The terminating
// zero is part of the scan, so searching for 0 gives the text's length.
std::ptrdiff_t lastIndexOf(const char* text, char byte);

} // namespace zrk

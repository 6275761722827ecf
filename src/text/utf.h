// UTF-8 <-> UTF-16 conversions. Text inside the program is UTF-8; it changes form
// only where it meets the operating system.
//
// Wide text is std::u16string on every platform: one char16_t per UTF-16 unit.
// On Windows, wchar_t is also 16 bits, so the Windows code passes it to W calls
// through wideChars() (text/wide_calls_win32.h) without copying.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace zrk {

// Decodes one character at `p`, reading at most `available` bytes. The lead byte
// alone decides the length (1 to 4 bytes); continuation bytes give their low six
// bits and are not checked, so overlong forms and stray continuation bytes decode
// leniently, as stored texts expect. Returns the bytes taken, or 0 when the form
// is cut off by the end of the input: such a partial character is dropped by
// every caller, and nothing past the end is read.
size_t decodeUtf8(const unsigned char* p, size_t available, uint32_t& codePoint);

// Writes the one or two UTF-16 units of a code point; returns how many.
// Anything below U+10000 becomes one unit (its low 16 bits).
size_t encodeUtf16(uint32_t codePoint, char16_t out[2]);

// UTF-8 to UTF-16. The text ends at its first zero byte; a multi-byte form that
// would run past that end is dropped.
std::u16string utf8ToWide(std::string_view text);

// UTF-16 to UTF-8. The text ends at its first zero unit. A high surrogate not
// followed by a low one makes the whole result empty; a lone low surrogate is
// encoded as its own three bytes.
std::string wideToUtf8(std::u16string_view text);

// UTF-8 to UTF-16 over exactly `length` bytes, zero bytes passed through as zero
// units (for zero-separated lists). Writes at most `capacity` units to `out` and
// stops before a character that would not fit whole; returns the units written.
// The result never has more units than `length`, so capacity = length always
// suffices. A form cut off by `length` is dropped.
size_t utf8ToWideBuffer(char16_t* out, size_t capacity, const char* bytes, size_t length);

// The walk behind the buffer conversions: each character of exactly `length` bytes is
// written as the one or two units `encode(codePoint, units)` gives (returning how many),
// zero bytes as one zero unit, stopping before a character that would not fit whole.
template <class Unit, class Encode>
size_t convertUtf8Buffer(Unit* out, size_t capacity, const char* bytes, size_t length, Encode encode) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    size_t written = 0;
    for (size_t i = 0; i < length;) {
        Unit units[2] = {};
        size_t count = 1;
        if (p[i] == 0) {
            ++i;
        } else {
            uint32_t c;
            const size_t taken = decodeUtf8(p + i, length - i, c);
            if (taken == 0) break;
            count = encode(c, units);
            i += taken;
        }
        if (count > capacity - written) break;
        std::memcpy(out + written, units, count * sizeof(Unit));
        written += count;
    }
    return written;
}

} // namespace zrk

// UTF-8 <-> ANSI code page, one character at a time through the system's code
// page tables.
#include "text/ansi_win32.h"

#include "platform/windows_api.h"
#include "text/utf.h"

#include <algorithm>
#include <cstring>

namespace zrk {

namespace {

// The ANSI form of one character (1 or 2 bytes), or 0 when the code page has no
// exact form for it. Without a check the system would quietly write its default
// character '?' (a wildcard in paths) or a look-alike, so the result is converted
// back and compared.
int ansiChar(const char16_t* units, int count, char out[2]) {
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(units);
    const int length = WideCharToMultiByte(CP_ACP, 0, wide, count, out, 2, nullptr, nullptr);
    if (length == 0) return 0;
    wchar_t back[2];
    const int backLength = MultiByteToWideChar(CP_ACP, 0, out, length, back, 2);
    if (backLength != count || std::memcmp(back, wide, size_t(count) * sizeof(wchar_t)) != 0)
        return 0;
    return length;
}

void appendUtf8(std::string& out, unsigned c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | c >> 6);
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | c >> 12);
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string utf8ToAnsi(std::string_view text) {
    const size_t end = std::min(text.find('\0'), text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    std::string result;
    for (size_t i = 0; i < end;) {
        uint32_t c;
        const size_t taken = decodeUtf8(p + i, end - i, c);
        if (taken == 0) break;  // cut off by the end: dropped
        char16_t units[2];
        const int count = int(encodeUtf16(c, units));
        char bytes[2];
        const int length = ansiChar(units, count, bytes);
        if (length == 0) return std::string();
        result.append(bytes, size_t(length));
        i += taken;
    }
    return result;
}

std::string ansiToUtf8(std::string_view text) {
    const size_t end = std::min(text.find('\0'), text.size());
    std::string result;
    for (size_t i = 0; i < end;) {
        wchar_t unit;
        // A lead byte fails alone; then the pair is one double-byte character.
        if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data() + i, 1, &unit, 1) == 1) {
            i += 1;
        } else if (i + 1 < end &&
                   MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data() + i, 2, &unit, 1) == 1) {
            i += 2;
        } else {
            return std::string();
        }
        appendUtf8(result, unsigned(unit));
    }
    return result;
}

size_t utf8ToAnsiBuffer(char* out, size_t capacity, const char* bytes, size_t length) {
    return convertUtf8Buffer(out, capacity, bytes, length, [](uint32_t c, char ansi[2]) -> size_t {
        char16_t units[2];
        const int converted = ansiChar(units, int(encodeUtf16(c, units)), ansi);
        if (converted != 0) return size_t(converted);
        ansi[0] = '?';
        return 1;
    });
}

} // namespace zrk

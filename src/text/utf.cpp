// UTF-8 decoding and UTF-16 encoding shared by every conversion.
#include "text/utf.h"

#include <algorithm>
#include <cstring>

namespace zrk {

size_t decodeUtf8(const unsigned char* p, size_t available, uint32_t& codePoint) {
    if (available == 0) return 0;
    const unsigned b = p[0];
    size_t count;
    uint32_t c;
    if (b < 0x80) {
        count = 1;
        c = b;
    } else if (b < 0xE0) {
        count = 2;
        c = b & 0x1F;
    } else if (b < 0xF0) {
        count = 3;
        c = b & 0x0F;
    } else {
        count = 4;
        c = b & 0x07;
    }
    if (count > available) return 0;  // cut off: dropped, never read past the end
    for (size_t i = 1; i < count; ++i) c = c << 6 | (p[i] & 0x3F);
    codePoint = c;
    return count;
}

size_t encodeUtf16(uint32_t c, char16_t out[2]) {
    if (c >= 0x10000) {
        out[0] = char16_t(0xD800 + ((c - 0x10000) >> 10));
        out[1] = char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        return 2;
    }
    out[0] = char16_t(c);
    return 1;
}

std::u16string utf8ToWide(std::string_view text) {
    const size_t end = std::min(text.find('\0'), text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    std::u16string result;
    result.reserve(end);
    for (size_t i = 0; i < end;) {
        uint32_t c;
        const size_t taken = decodeUtf8(p + i, end - i, c);
        if (taken == 0) break;
        char16_t units[2];
        result.append(units, encodeUtf16(c, units));
        i += taken;
    }
    return result;
}

std::string wideToUtf8(std::u16string_view text) {
    const size_t end = std::min(text.find(u'\0'), text.size());
    std::string result;
    result.reserve(end * 3);
    for (size_t i = 0; i < end; ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            const uint32_t v = i + 1 < end ? text[i + 1] : 0;
            if (v < 0xDC00 || v > 0xDFFF) return std::string();
            c = 0x10000 + ((c & 0x3FF) << 10) + (v & 0x3FF);
            ++i;
        }
        if (c < 0x80) {
            result += char(c);
        } else if (c < 0x800) {
            result += char(0xC0 | c >> 6);
            result += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            result += char(0xE0 | c >> 12);
            result += char(0x80 | (c >> 6 & 0x3F));
            result += char(0x80 | (c & 0x3F));
        } else {
            result += char(0xF0 | c >> 18);
            result += char(0x80 | (c >> 12 & 0x3F));
            result += char(0x80 | (c >> 6 & 0x3F));
            result += char(0x80 | (c & 0x3F));
        }
    }
    return result;
}

size_t utf8ToWideBuffer(char16_t* out, size_t capacity, const char* bytes, size_t length) {
    return convertUtf8Buffer(out, capacity, bytes, length, encodeUtf16);
}

} // namespace zrk

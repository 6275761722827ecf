// printf-style formatting, hexadecimal dumps and last-index search.
#include "text/text_format.h"

#include <cstdarg>
#include <cstdio>

namespace zrk {

std::string formatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string result;
    if (length > 0) {
        result.resize(size_t(length));
        // The string's own terminator gives the formatter its length + 1 bytes.
        std::vsnprintf(result.data(), size_t(length) + 1, format, args);
    }
    va_end(args);
    return result;
}

std::string hexString(const void* bytes, size_t length) {
    static const char digits[] = "0123456789abcdef";
    const auto* p = static_cast<const unsigned char*>(bytes);
    std::string result(length * 2, '0');
    for (size_t i = 0; i < length; ++i) {
        result[2 * i] = digits[p[i] >> 4];
        result[2 * i + 1] = digits[p[i] & 0x0F];
    }
    return result;
}

std::string hexString(std::string_view text) { return hexString(text.data(), text.size()); }

std::ptrdiff_t lastIndexOf(const char* text, char byte) {
    if (text == nullptr) return -1;
    std::ptrdiff_t found = -1;
    for (std::ptrdiff_t i = 0;; ++i) {
        if (text[i] == byte) found = i;
        if (text[i] == '\0') return found;
    }
}

} // namespace zrk

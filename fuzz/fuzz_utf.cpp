// Fuzzes the UTF-8 and UTF-16 decoders and checks the bounds they promise.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "text/utf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Character by character: never more than is available, nothing beyond it read.
    for (size_t at = 0; at < size;) {
        uint32_t codePoint = 0;
        const size_t n = zrk::decodeUtf8(data + at, size - at, codePoint);
        if (n > 4 || n > size - at) std::abort();
        if (n == 0) break;
        char16_t units[2];
        if (zrk::encodeUtf16(codePoint, units) - 1 > 1) std::abort();
        at += n;
    }

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::u16string wide = zrk::utf8ToWide(text);
    if (wide.size() > size) std::abort();

    // The buffer form with room for `length` units, and with less room than that.
    std::unique_ptr<char16_t[]> out(new char16_t[size + 1]);
    const size_t units = zrk::utf8ToWideBuffer(out.get(), size, text.data(), size);
    if (units > size) std::abort();
    if (std::memchr(data, 0, size) == nullptr &&
        (units != wide.size() || std::memcmp(out.get(), wide.data(), units * sizeof(char16_t)) != 0))
        std::abort();
    const size_t room = size / 2;
    std::unique_ptr<char16_t[]> small(new char16_t[room + 1]);
    if (zrk::utf8ToWideBuffer(small.get(), room, text.data(), size) > room) std::abort();

    // The same bytes taken as UTF-16 units.
    std::u16string units16(size / 2, u'\0');
    std::memcpy(units16.data(), data, units16.size() * sizeof(char16_t));
    const std::string narrow = zrk::wideToUtf8(units16);
    if (narrow.size() > units16.size() * 3) std::abort();
    return 0;
}

// Volume size parser; exact integer arithmetic so "4.7G" is 4,700,000,000 bytes exactly.
#include "size_parser.h"

#include <array>
#include <cctype>
#include <string>

namespace zrk::tool {
namespace {

struct Unit {
    std::string_view name;
    uint64_t factor;
};

constexpr uint64_t kKi = 1024;
constexpr std::array<Unit, 13> kUnits = {{
    {"", 1},
    {"B", 1},
    {"K", 1000},
    {"KB", 1000},
    {"M", 1000000},
    {"MB", 1000000},
    {"G", 1000000000},
    {"GB", 1000000000},
    {"T", 1000000000000},
    {"TB", 1000000000000},
    {"KIB", kKi},
    {"MIB", kKi * kKi},
    {"GIB", kKi * kKi * kKi},
}};
constexpr uint64_t kTebibyte = kKi * kKi * kKi * kKi;

std::optional<uint64_t> unitFactor(std::string_view suffix) {
    std::string upper;
    for (char c : suffix) upper += char(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "TIB") return kTebibyte;
    for (const Unit& unit : kUnits)
        if (unit.name == upper) return unit.factor;
    return std::nullopt;
}

} // namespace

std::optional<uint64_t> parseSize(std::string_view text) {
    size_t i = 0;
    uint64_t whole = 0;
    size_t wholeDigits = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++wholeDigits) {
        const uint64_t digit = uint64_t(text[i] - '0');
        if (whole > (UINT64_MAX - digit) / 10) return std::nullopt;
        whole = whole * 10 + digit;
    }
    // The fraction as numerator / 10^n; nine digits keep every product below in 64 bits
    // and lose less than a byte per gigabyte.
    uint64_t fraction = 0;
    uint64_t scale = 1;
    bool hasPoint = false;
    if (i < text.size() && text[i] == '.') {
        hasPoint = true;
        ++i;
        size_t digits = 0;
        for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
            if (digits >= 9) continue;
            fraction = fraction * 10 + uint64_t(text[i] - '0');
            scale *= 10;
        }
        if (digits == 0) return std::nullopt;
    }
    if (wholeDigits == 0 && !hasPoint) return std::nullopt;
    const std::optional<uint64_t> factor = unitFactor(text.substr(i));
    if (!factor) return std::nullopt;
    // A fraction of a byte means nothing.
    if (hasPoint && *factor == 1) return std::nullopt;
    if (whole > UINT64_MAX / *factor) return std::nullopt;
    uint64_t bytes = whole * *factor;
    // fraction * factor / scale, split so that no product overflows: fraction < scale,
    // so fraction * (factor / scale) < factor, and fraction * (factor % scale) < 10^18.
    const uint64_t part = fraction * (*factor / scale) + fraction * (*factor % scale) / scale;
    if (part > UINT64_MAX - bytes) return std::nullopt;
    bytes += part;
    if (bytes == 0) return std::nullopt;
    return bytes;
}

} // namespace zrk::tool

// Parsing volume sizes as users type them: 700M, 4.7G, 1GiB, 65536.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zrk::tool {

// Decimal units k/K, M, G, T (optionally followed by B) are powers of 1000; binary
// units KiB, MiB, GiB, TiB are powers of 1024; a bare number is bytes. A fraction
// is allowed with a unit and rounded down to whole bytes. Nothing when the text is
// malformed, the result is zero, or it does not fit in 64 bits.
std::optional<uint64_t> parseSize(std::string_view text);

} // namespace zrk::tool

// The window and font settings at the front of the settings leaf of the payload.
#pragma once

#include <array>
#include <cstdint>

namespace zrk {

// The first 48 bytes of the "INFO" leaf of "ZRKS"; reserved bytes are kept as they
// stand so that a record read and written again is unchanged.
struct PayloadSettings {
    static constexpr uint32_t kSize = 48;
    // The settings leaf as shipped: the record followed by 32 zero bytes.
    static constexpr uint32_t kStoredLeafSize = 80;

    uint32_t reserved0 = 0;
    uint32_t clientWidth = 0;
    uint32_t clientHeight = 0;
    uint32_t fontPointSize = 0;
    std::array<unsigned char, 24> reserved1{};
    uint32_t maskPassword = 0;
    std::array<unsigned char, 4> reserved2{};

    static PayloadSettings fromBytes(const unsigned char* bytes);
    void toBytes(unsigned char* bytes) const;

    // 480 x 240 client area, 9-point font, password shown as typed.
    static PayloadSettings builtin();

    bool operator==(const PayloadSettings&) const = default;
};

} // namespace zrk

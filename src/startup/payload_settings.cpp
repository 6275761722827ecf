// Byte layout of the settings record and the built-in table.
#include "startup/payload_settings.h"

#include <cstring>

#include "stream/byte_order.h"

namespace zrk {

PayloadSettings PayloadSettings::fromBytes(const unsigned char* bytes) {
    PayloadSettings s;
    s.reserved0 = loadLe32(bytes + 0);
    s.clientWidth = loadLe32(bytes + 4);
    s.clientHeight = loadLe32(bytes + 8);
    s.fontPointSize = loadLe32(bytes + 12);
    std::memcpy(s.reserved1.data(), bytes + 16, s.reserved1.size());
    s.maskPassword = loadLe32(bytes + 40);
    std::memcpy(s.reserved2.data(), bytes + 44, s.reserved2.size());
    return s;
}

void PayloadSettings::toBytes(unsigned char* bytes) const {
    storeLe32(bytes + 0, reserved0);
    storeLe32(bytes + 4, clientWidth);
    storeLe32(bytes + 8, clientHeight);
    storeLe32(bytes + 12, fontPointSize);
    std::memcpy(bytes + 16, reserved1.data(), reserved1.size());
    storeLe32(bytes + 40, maskPassword);
    std::memcpy(bytes + 44, reserved2.data(), reserved2.size());
}

PayloadSettings PayloadSettings::builtin() {
    PayloadSettings s;
    s.clientWidth = 480;
    s.clientHeight = 240;
    s.fontPointSize = 9;
    return s;
}

} // namespace zrk

// Fuzzes the settings container reader; whatever it accepts must survive being
// written again and read back unchanged.
#include <cstdint>
#include <cstdlib>

#include "chunk/vector_stream.h"
#include "startup/settings_container.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zrk::testing::VectorStream stream(std::vector<unsigned char>(data, data + size));
    zrk::PayloadSettings settings = zrk::PayloadSettings::builtin();
    zrk::MessageTable table;
    table[0] = "unchanged";
    const zrk::PayloadSettings before = settings;
    if (!zrk::readSettingsContainer(stream, 0, size, settings, table)) {
        // A failed read leaves both outputs as they were.
        if (!(settings == before) || table[0] != "unchanged") std::abort();
        return 0;
    }
    zrk::testing::VectorStream copy;
    if (!zrk::writeSettingsContainer(copy, 0, settings, table)) std::abort();
    zrk::PayloadSettings again;
    zrk::MessageTable againTable;
    if (!zrk::readSettingsContainer(copy, 0, copy.bytes.size(), again, againTable)) std::abort();
    if (!(again == settings)) std::abort();
    for (size_t i = 0; i < zrk::kMessageCount; ++i)
        if (againTable[i] != table[i]) std::abort();
    return 0;
}

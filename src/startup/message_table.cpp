// The message table filled from the shipped texts.
#include "startup/message_table.h"

namespace zrk {

MessageTable MessageTable::builtin() {
    MessageTable table;
    const auto& texts = builtinMessages();
    for (size_t i = 0; i < kMessageCount; ++i) table[i] = std::string(texts[i]);
    return table;
}

} // namespace zrk

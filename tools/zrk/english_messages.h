// The English message table a payload can carry instead of the built-in Japanese one.
#pragma once

#include "startup/message_texts.h"

namespace zrk::tool {

// Same positions and access keys as the built-in table; the empty entry stays empty.
MessageTable englishMessages();

} // namespace zrk::tool

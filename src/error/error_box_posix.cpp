// Showing a library error without a desktop: caption and text on standard error.
#include <cstdio>

#include "error/error_reporter.h"

namespace zrk {

void showErrorBox(const ErrorText& error) {
    std::fprintf(stderr, "%s: %s\n", error.caption.c_str(), error.text.c_str());
}

} // namespace zrk

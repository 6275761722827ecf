// Showing a library error on Windows: a byte-string message box with no owner.
#include "error/error_reporter.h"
#include "platform/windows_api.h"

namespace zrk {

void showErrorBox(const ErrorText& error) {
    // The result is of no interest: the box only informs.
    MessageBoxA(nullptr, error.text.c_str(), error.caption.c_str(), MB_OK);
}

} // namespace zrk

// The two shell dialogs through which the wizard lets the user pick a folder or a file.
// Windows only. Both return UTF-8 paths, or the empty string when the user cancels.
#pragma once

#include <string>

#include "platform/windows_api.h"

namespace zrk {

// The folder browser over the whole shell namespace, file-system folders only. A
// non-empty caption replaces the dialog's title; a non-empty initialFolder is selected.
std::string chooseFolder(HWND owner, const std::string& caption, const std::string& prompt,
                         const std::string& initialFolder);

// The open-file dialog. `filter` is pairs of zero-terminated description and pattern
// strings, closed by an empty string (a double zero), e.g. "All Files(*.*)\0*.*\0".
std::string chooseFile(HWND owner, const char* filter, const std::string& initialFolder);

} // namespace zrk

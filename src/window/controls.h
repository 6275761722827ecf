// Helpers that create and address the wizard's plain child controls, and the one
// font they all share.
#pragma once

#include "platform/windows_api.h"
#include "startup/message_texts.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zrk {

HWND createControl(HFONT font, DWORD extendedStyle, std::string_view className, std::string_view text,
                   DWORD style, int x, int y, int width, int height, HWND parent, int identifier);

// An etched rectangle from three static frames (two white, one grey).
void etchedFrame(HWND parent, int x, int y, int width, int height);

// Destroys every child of the window.
void clearPage(HWND parent);

struct ButtonSize {
    int32_t width;
    int32_t height;
};
// The wizard's common button size from the Back, Next, Finish and Cancel texts as
// measured in `dc`.
ButtonSize measureButtons(HDC dc, const MessageTable& messages);

// Enables the password edit or the key-file edit and browse button by the radios.
void updateKeyChoice(HWND parent);

void setItemText(HWND window, int identifier, std::string_view text);
// The whole text, however long, up to half a million characters; empty when the
// text cannot be read or is longer.
std::string getItemText(HWND window, int identifier);

// The font of every control, `pointSize` points in the display's pixels
// (9 points when the settings give 0).
HFONT createWizardFont(uint32_t pointSize);
// The process-wide font: created once at start-up, deleted after the loop ends.
HFONT& wizardFont();

} // namespace zrk

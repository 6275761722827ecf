// Control helpers and the wizard font, through the wide calls when the system has them.
#include "window/controls.h"

#include "platform/handle_traits_win32.h"
#include "text/ansi_win32.h"
#include "text/call_wrappers_win32.h"
#include "text/utf.h"
#include "text/wide_calls_win32.h"

#include <algorithm>
#include <vector>

namespace zrk {

HWND createControl(HFONT font, DWORD extendedStyle, std::string_view className, std::string_view text,
                   DWORD style, int x, int y, int width, int height, HWND parent, int identifier) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
    const HWND control = createWindowEx(extendedStyle, className, text, style, x, y, width, height, parent,
                                        reinterpret_cast<HMENU>(intptr_t(identifier)), instance, nullptr);
    if (control) SendMessageA(control, WM_SETFONT, WPARAM(font), TRUE);
    return control;
}

void etchedFrame(HWND parent, int x, int y, int width, int height) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
    const DWORD white = WS_CHILD | WS_VISIBLE | SS_WHITEFRAME;
    const DWORD grey = WS_CHILD | WS_VISIBLE | SS_GRAYFRAME;
    CreateWindowExA(0, "STATIC", "", white, x, y, width + 1, height + 1, parent, nullptr, instance, nullptr);
    CreateWindowExA(0, "STATIC", "", white, x + 1, y + 1, width, height, parent, nullptr, instance, nullptr);
    CreateWindowExA(0, "STATIC", "", grey, x, y, width, height, parent, nullptr, instance, nullptr);
}

void clearPage(HWND parent) {
    while (const HWND child = GetTopWindow(parent))
        if (!DestroyWindow(child)) break;  // a child that refuses must not hang the page change
}

ButtonSize measureButtons(HDC dc, const MessageTable& messages) {
    LONG widest = 0, tallest = 0;
    for (MessageText index : {kTextBack, kTextNext, kTextFinish, kTextCancel}) {
        SIZE size{};
        textExtent(dc, messages[index], &size);
        widest = std::max(widest, size.cx);
        tallest = std::max(tallest, size.cy);
    }
    return ButtonSize{int32_t(widest + 2 * tallest), int32_t(tallest * 7 / 4)};
}

void updateKeyChoice(HWND parent) {
    const bool password = SendDlgItemMessageA(parent, 23, BM_GETCHECK, 0, 0) == BST_CHECKED;
    const bool keyFile = SendDlgItemMessageA(parent, 24, BM_GETCHECK, 0, 0) == BST_CHECKED;
    EnableWindow(GetDlgItem(parent, 25), password);
    EnableWindow(GetDlgItem(parent, 26), keyFile);
    EnableWindow(GetDlgItem(parent, 27), keyFile);
}

void setItemText(HWND window, int identifier, std::string_view text) {
    if (hasWideCalls())
        wideCalls().SetDlgItemTextW(window, identifier, wideChars(utf8ToWide(text)));
    else
        SetDlgItemTextA(window, identifier, utf8ToAnsi(text).c_str());
}

std::string getItemText(HWND window, int identifier) {
    constexpr size_t kLimit = 1048576;
    for (size_t size = 1024; size < kLimit; size *= 2) {
        if (hasWideCalls()) {
            std::vector<char16_t> buffer(size);
            const UINT length = wideCalls().GetDlgItemTextW(window, identifier, wideChars(buffer.data()), int(size));
            if (length < size - 1) return wideToUtf8(std::u16string_view(buffer.data(), length));
        } else {
            std::vector<char> buffer(size);
            const UINT length = GetDlgItemTextA(window, identifier, buffer.data(), int(size));
            if (length < size - 1) return ansiToUtf8(std::string_view(buffer.data(), length));
        }
    }
    return {};
}

HFONT createWizardFont(uint32_t pointSize) {
    const int points = pointSize ? int(pointSize) : 9;
    CreatedDc dc(CreateCompatibleDC(nullptr));
    const int height = MulDiv(points, GetDeviceCaps(dc.get(), LOGPIXELSY), 72);
    BYTE charSet = DEFAULT_CHARSET;
    const HGDIOBJ current = GetCurrentObject(dc.get(), OBJ_FONT);
    if (hasWideCalls()) {
        LOGFONTW font{};
        if (wideCalls().GetObjectW(current, sizeof font, &font)) charSet = font.lfCharSet;
    } else {
        LOGFONTA font{};
        if (GetObjectA(current, sizeof font, &font)) charSet = font.lfCharSet;
    }
    dc.reset();
    if (hasWideCalls())
        return wideCalls().CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, charSet, 0, 0, 0, 0, nullptr);
    return CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, charSet, 0, 0, 0, 0, nullptr);
}

HFONT& wizardFont() {
    static HFONT font = nullptr;
    return font;
}

} // namespace zrk

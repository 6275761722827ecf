// The six wizard pages, laid out by arithmetic on the client size, the common
// button size and the measured extents of the message-table texts.
#include "wizard/wizard_pages.h"

#include "platform/handle_traits_win32.h"
#include "text/call_wrappers_win32.h"
#include "window/controls.h"
#include "window/progress_animation.h"

namespace zrk {

namespace {

constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
constexpr DWORD kRadioStyle = kButtonStyle | BS_AUTORADIOBUTTON;
constexpr DWORD kEditStyle = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL;

// One build: the measuring context with the font selected, and the page's sizes.
class PageBuilder {
public:
    explicit PageBuilder(CombineWizard& wizard)
        : wizard_(wizard), parent_(wizard.window->handle()),
          width_(int32_t(wizard.settings.clientWidth)), height_(int32_t(wizard.settings.clientHeight)) {
        clearPage(parent_);
        dc_.reset(CreateCompatibleDC(nullptr));
        oldFont_ = selectObject(dc_.get(), wizard.font);
        const ButtonSize buttons = measureButtons(dc_.get(), *wizard.messages);
        wizard.buttonWidth = buttons.width;
        wizard.buttonHeight = buttons.height;
    }
    PageBuilder(const PageBuilder&) = delete;
    PageBuilder& operator=(const PageBuilder&) = delete;

    int32_t W() const { return width_; }
    int32_t H() const { return height_; }
    int32_t bw() const { return wizard_.buttonWidth; }
    int32_t bh() const { return wizard_.buttonHeight; }
    HWND parent() const { return parent_; }
    const std::string& text(MessageText index) const { return (*wizard_.messages)[index]; }

    SIZE extent(std::string_view text) const {
        SIZE size{};
        textExtent(dc_.get(), text, &size);
        return size;
    }
    SIZE extent(MessageText index) const { return extent(text(index)); }
    int32_t lineHeight() const {
        TEXTMETRICA metrics{};
        GetTextMetricsA(dc_.get(), &metrics);
        return metrics.tmHeight + metrics.tmExternalLeading;
    }

    HWND control(DWORD exStyle, const char* cls, std::string_view text, DWORD style, int x, int y, int w,
                 int h, int id) const {
        return createControl(wizard_.font, exStyle, cls, text, style, x, y, w, h, parent_, id);
    }
    HWND label(MessageText index, int x, int y) const {
        const SIZE size = extent(index);
        return control(0, "STATIC", text(index), kLabelStyle, x, y, size.cx, size.cy, 0);
    }

    void frame() const { etchedFrame(parent_, 8, 8, W() - 16, H() - bh() - 24); }
    void heading(MessageText index) const { label(index, 24, 24); }
    void footer(MessageText index) const { label(index, 24, H() - bh() - extent(index).cy - 32); }

    // The three buttons of every page; `firstId` is the left one's identifier.
    void buttons(int firstId, MessageText middleText, bool middleIsDefault) const {
        const int y = H() - bh() - 8;
        control(0, "BUTTON", text(kTextBack), kButtonStyle, W() - 3 * bw() - 16, y, bw(), bh(), firstId);
        control(0, "BUTTON", text(middleText), kButtonStyle | (middleIsDefault ? BS_DEFPUSHBUTTON : 0),
                W() - 2 * bw() - 16, y, bw(), bh(), firstId + 1);
        control(0, "BUTTON", text(kTextCancel), kButtonStyle, W() - bw() - 8, y, bw(), bh(), firstId + 2);
    }

    void disable(int id) const { EnableWindow(GetDlgItem(parent_, id), FALSE); }
    void finish(int focusId) const {
        InvalidateRect(parent_, nullptr, FALSE);
        if (focusId) SetFocus(GetDlgItem(parent_, focusId));
    }

private:
    CombineWizard& wizard_;
    HWND parent_;
    int32_t width_, height_;
    // Declared in this order so the font is selected back out before the context goes.
    CreatedDc dc_;
    Selection oldFont_;
};

} // namespace

void configureWizardWindow(Window& window, const PayloadSettings& settings, HICON icon) {
    window.setTitle(kWizardTitle);
    window.setStyle(WS_POPUP | WS_CAPTION | WS_SYSMENU);
    window.setExtendedStyle(WS_EX_DLGMODALFRAME);
    window.setBackgroundKind(6);
    window.setIcon(icon);
    window.setSmallIcon(nullptr);
    window.setCentred(1);
    window.setSize(int32_t(settings.clientWidth), int32_t(settings.clientHeight));
    window.setMinClientSize(int32_t(settings.clientWidth), int32_t(settings.clientHeight));
}

void IntroPage(CombineWizard& wizard) {
    PageBuilder page(wizard);
    page.frame();
    page.buttons(IDC_INTRO_BACK, kTextNext, true);
    page.heading(kTextIntroHeading);
    page.footer(kTextIntroPrompt);
    page.disable(IDC_INTRO_BACK);
    page.finish(IDC_INTRO_NEXT);
}

void DecryptionPage(CombineWizard& wizard) {
    PageBuilder page(wizard);
    page.frame();
    page.buttons(IDC_DECRYPT_BACK, kTextNext, true);
    page.heading(kTextDecryptionHeading);
    page.footer(kTextDecryptionPrompt);

    const int32_t W = page.W();
    const int32_t L = page.lineHeight();
    const SIZE browse = page.extent(kTextBrowse);
    const int32_t B = browse.cx + 2 * browse.cy;
    const int32_t editWidth = W - B - 88;
    const int32_t editHeight = L * 7 / 4;
    const DWORD passwordStyle = kEditStyle | (wizard.settings.maskPassword ? ES_PASSWORD : 0);
    int32_t y = page.extent(kTextDecryptionHeading).cy + 32;

    const SIZE radio1 = page.extent(kTextPasswordChoice);
    page.control(0, "BUTTON", page.text(kTextPasswordChoice), kRadioStyle, 24, y, radio1.cx + 2 * radio1.cy,
                 radio1.cy * 3 / 2, IDC_PASSWORD_RADIO);
    y += radio1.cy * 3 / 2;
    page.control(WS_EX_CLIENTEDGE, "EDIT", wizard.password, passwordStyle, 40, y, editWidth, editHeight,
                 IDC_PASSWORD_EDIT);
    y += editHeight;
    const SIZE radio2 = page.extent(kTextKeyFileChoice);
    page.control(0, "BUTTON", page.text(kTextKeyFileChoice), kRadioStyle, 24, y, radio2.cx + 2 * radio2.cy,
                 radio2.cy * 3 / 2, IDC_KEYFILE_RADIO);
    y += radio2.cy * 3 / 2;
    page.control(0, "BUTTON", page.text(kTextBrowse), kButtonStyle, W - B - 24, y, B, browse.cy * 7 / 4,
                 IDC_KEYFILE_BROWSE);
    page.control(WS_EX_CLIENTEDGE, "EDIT", wizard.keyFilePath, kEditStyle, 40, y, editWidth, editHeight,
                 IDC_KEYFILE_EDIT);

    wizard.keyMode = 1;
    SendDlgItemMessageA(page.parent(), IDC_PASSWORD_RADIO, BM_SETCHECK, BST_CHECKED, 0);
    SendDlgItemMessageA(page.parent(), IDC_KEYFILE_RADIO, BM_SETCHECK, BST_UNCHECKED, 0);
    updateKeyChoice(page.parent());
    page.finish(IDC_DECRYPT_NEXT);
}

void OutputFolderPage(CombineWizard& wizard) {
    PageBuilder page(wizard);
    page.frame();
    page.buttons(IDC_FOLDER_BACK, kTextNext, true);
    page.heading(kTextFolderHeading);
    page.footer(kTextFolderPrompt);

    const int32_t W = page.W();
    const int32_t y1 = page.extent(kTextFolderHeading).cy + 32;
    const int32_t E = page.extent("0").cy * 7 / 4;
    const SIZE caption = page.extent(kTextOutputFolderLabel);
    const int32_t g = caption.cy / 2;
    const int32_t M = 2 * g + 24;
    const SIZE browse = page.extent(kTextBrowse);
    const int32_t B = browse.cx + 2 * browse.cy;

    etchedFrame(page.parent(), 24, y1 + g, W - 48, E + 4 * g);
    page.control(0, "STATIC", page.text(kTextOutputFolderLabel), kLabelStyle | SS_CENTER, 24 + g, y1,
                 caption.cx + 4, caption.cy, 0);
    page.control(0, "BUTTON", page.text(kTextBrowse), kButtonStyle, W - M - B, y1 + 3 * g, B,
                 browse.cy * 7 / 4, IDC_FOLDER_BROWSE);
    page.control(WS_EX_CLIENTEDGE, "EDIT", wizard.outputFolder, kEditStyle, M, y1 + 3 * g, W - 2 * M - B - 8, E,
                 IDC_FOLDER_EDIT);
    page.finish(IDC_FOLDER_NEXT);
}

void ReadyPage(CombineWizard& wizard) {
    PageBuilder page(wizard);
    page.frame();
    page.buttons(IDC_READY_BACK, kTextNext, true);
    page.heading(kTextReadyHeading);
    page.footer(kTextReadyPrompt);
    page.finish(IDC_READY_NEXT);
}

void CombiningPage(CombineWizard& wizard) {
    PageBuilder page(wizard);
    page.frame();
    const int32_t W = page.W(), H = page.H(), bh = page.bh();
    etchedFrame(page.parent(), 23, H - bh - 57, W - 47, 25);
    {
        LockHolder hold(animationLock());
        progressAnimation().setUp(24, H - bh - 56, W - 24, H - bh - 32);
    }
    page.buttons(IDC_COMBINING_BACK, kTextNext, false);
    page.heading(kTextCombiningHeading);
    page.disable(IDC_COMBINING_BACK);
    page.disable(IDC_COMBINING_NEXT);
    page.finish(0);
}

void FinishedPage(CombineWizard& wizard) {
    PageBuilder page(wizard);
    page.frame();
    page.buttons(IDC_FINISHED_BACK, kTextFinish, true);
    page.heading(kTextFinishedHeading);
    page.disable(IDC_FINISHED_BACK);
    page.disable(IDC_FINISHED_CANCEL);
    page.finish(IDC_FINISHED_NEXT);
}

} // namespace zrk

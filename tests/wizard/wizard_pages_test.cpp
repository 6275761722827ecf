// The six pages under Wine: after each build, the wizard's children are listed
// and checked against the layout rules (identifiers, classes, styles, places, texts).
#include "wizard/wizard_pages.h"

#include "platform/handle_traits_win32.h"
#include "text/utf.h"
#include "window/controls.h"
#include "window/progress_animation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace zrk {
namespace {

struct Child {
    HWND handle;
    int id;
    std::string cls;
    DWORD style, exStyle;
    RECT rect;  // client coordinates of the wizard
    std::string text;
    bool enabled;
};

std::vector<Child> children(HWND parent) {
    std::vector<Child> result;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        Child c{};
        c.handle = child;
        c.id = GetDlgCtrlID(child);
        char cls[64] = {};
        GetClassNameA(child, cls, sizeof cls);
        c.cls = cls;
        std::transform(c.cls.begin(), c.cls.end(), c.cls.begin(), ::toupper);
        c.style = DWORD(GetWindowLongA(child, GWL_STYLE));
        c.exStyle = DWORD(GetWindowLongA(child, GWL_EXSTYLE));
        GetWindowRect(child, &c.rect);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&c.rect), 2);
        wchar_t text[512] = {};
        GetWindowTextW(child, text, 512);
        c.text = wideToUtf8(reinterpret_cast<const char16_t*>(text));
        c.enabled = IsWindowEnabled(child) != 0;
        result.push_back(c);
    }
    return result;
}

const Child* find(const std::vector<Child>& list, int id) {
    for (const Child& c : list)
        if (c.id == id) return &c;
    return nullptr;
}

int width(const RECT& r) { return r.right - r.left; }
int height(const RECT& r) { return r.bottom - r.top; }

// One wizard window for the whole suite: showing and destroying a window costs
// Wine about two seconds, and every page build starts from a cleared window anyway.
class WizardPagesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        window = new Window;
        configureWizardWindow(*window, PayloadSettings::builtin(), LoadIconA(nullptr, MAKEINTRESOURCEA(32512)));
        if (window->createNamed(GetModuleHandleA(nullptr), kWizardName, SW_HIDE))
            ShowWindow(window->handle(), SW_SHOWNORMAL);
        font = createWizardFont(PayloadSettings::builtin().fontPointSize);
    }
    static void TearDownTestSuite() {
        if (window->handle()) DestroyWindow(window->handle());
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {}
        delete window;
        if (font) DeleteObject(font);
    }
    void SetUp() override {
        ASSERT_NE(window->handle(), nullptr);
        ASSERT_NE(font, nullptr);
        wizard.window = window;
        wizard.messages = &messages;
        wizard.font = font;
    }

    // Measured independently of the page code: a fresh context with the font.
    SIZE extent(const std::string& text) {
        const CreatedDc dc(CreateCompatibleDC(nullptr));
        const Selection selected = selectObject(dc.get(), wizard.font);
        const std::u16string wide = utf8ToWide(text);
        SIZE size{};
        GetTextExtentPoint32W(dc.get(), reinterpret_cast<const wchar_t*>(wide.c_str()), int(wide.size()),
                              &size);
        return size;
    }

    int W() const { return int(wizard.settings.clientWidth); }
    int H() const { return int(wizard.settings.clientHeight); }

    // The three buttons: common size from the Back, Next, Finish and Cancel texts, right-aligned with an
    // 8-pixel margin, the left two touching.
    void expectButtons(const std::vector<Child>& list, int firstId, MessageText middleText,
                       bool middleDefault) {
        long widest = 0, tallest = 0;
        for (MessageText i : {kTextBack, kTextNext, kTextFinish, kTextCancel}) {
            const SIZE s = extent(messages[i]);
            widest = std::max(widest, s.cx);
            tallest = std::max(tallest, s.cy);
        }
        const int bw = int(widest + 2 * tallest), bh = int(tallest * 7 / 4);
        const Child* left = find(list, firstId);
        const Child* middle = find(list, firstId + 1);
        const Child* right = find(list, firstId + 2);
        ASSERT_TRUE(left && middle && right) << firstId;
        for (const Child* b : {left, middle, right}) {
            EXPECT_EQ(b->cls, "BUTTON");
            EXPECT_EQ(width(b->rect), bw) << b->id;
            EXPECT_EQ(height(b->rect), bh) << b->id;
            EXPECT_EQ(b->rect.top, H() - bh - 8) << b->id;
        }
        EXPECT_EQ(right->rect.right, W() - 8);
        EXPECT_EQ(middle->rect.right + 8, right->rect.left);
        EXPECT_EQ(left->rect.right, middle->rect.left);
        EXPECT_EQ(left->text, messages[kTextBack]);
        EXPECT_EQ(middle->text, messages[middleText]);
        EXPECT_EQ(right->text, messages[kTextCancel]);
        // Disabling adds WS_DISABLED; the created style is what is compared.
        EXPECT_EQ(left->style & ~DWORD(WS_DISABLED) & 0xFFFF000F, 0x50010000u);
        EXPECT_EQ(middle->style & ~DWORD(WS_DISABLED) & 0xFFFF000F, middleDefault ? 0x50010001u : 0x50010000u);
        EXPECT_EQ(wizard.buttonWidth, bw);
        EXPECT_EQ(wizard.buttonHeight, bh);
    }

    void expectLabel(const std::vector<Child>& list, MessageText index, int x, int y) {
        const SIZE size = extent(messages[index]);
        for (const Child& c : list)
            if (c.cls == "STATIC" && c.text == messages[index]) {
                EXPECT_EQ(c.id, 0);
                EXPECT_EQ(c.style & 0xFFFF00FF, 0x50000000u) << index;
                EXPECT_EQ(c.rect.left, x) << index;
                EXPECT_EQ(c.rect.top, y) << index;
                EXPECT_EQ(width(c.rect), size.cx) << index;
                EXPECT_EQ(height(c.rect), size.cy) << index;
                return;
            }
        ADD_FAILURE() << "no label of text " << index;
    }
    void expectHeadingAndFooter(const std::vector<Child>& list, MessageText heading,
                                std::optional<MessageText> footer) {
        expectLabel(list, heading, 24, 24);
        if (footer)
            expectLabel(list, *footer, 24, H() - wizard.buttonHeight - extent(messages[*footer]).cy - 32);
    }
    // Edits never take the Tab key; push buttons always do, and of a radio group the
    // checked one (the system moves the stop with the check).
    void expectTabStops(const std::vector<Child>& list) {
        for (const Child& c : list) {
            if (c.cls == "EDIT") {
                EXPECT_EQ(c.style & WS_TABSTOP, 0u) << c.id;
                EXPECT_EQ(c.exStyle & WS_EX_CLIENTEDGE, DWORD(WS_EX_CLIENTEDGE)) << c.id;
            } else if (c.cls == "BUTTON") {
                const bool radio = (c.style & 0xF) == BS_AUTORADIOBUTTON;
                const bool stop = !radio || SendMessageA(c.handle, BM_GETCHECK, 0, 0) == BST_CHECKED;
                EXPECT_EQ((c.style & WS_TABSTOP) != 0, stop) << c.id << " " << std::hex << c.style;
            }
        }
    }
    int countClass(const std::vector<Child>& list, const char* cls) {
        return int(std::count_if(list.begin(), list.end(), [&](const Child& c) { return c.cls == cls; }));
    }

    static Window* window;
    static HFONT font;
    MessageTable messages = MessageTable::builtin();
    CombineWizard wizard;
};
Window* WizardPagesTest::window = nullptr;
HFONT WizardPagesTest::font = nullptr;

TEST_F(WizardPagesTest, WindowHasTheSettingsClientSizeAndTitle) {
    RECT client{};
    GetClientRect(window->handle(), &client);
    EXPECT_EQ(width(client), 480);
    EXPECT_EQ(height(client), 240);
    char title[64] = {};
    GetWindowTextA(window->handle(), title, sizeof title);
    EXPECT_STREQ(title, "ZRK RivuVovevare");
    EXPECT_EQ(window->className(), "UTF8_5a524b412052697675566f766576617265");
}

TEST_F(WizardPagesTest, IntroPageHasFrameButtonsHeadingAndFooter) {
    IntroPage(wizard);
    const auto list = children(window->handle());
    expectButtons(list, 3, kTextNext, true);
    expectHeadingAndFooter(list, kTextIntroHeading, kTextIntroPrompt);
    EXPECT_FALSE(find(list, 3)->enabled);
    EXPECT_TRUE(find(list, 4)->enabled);
    EXPECT_TRUE(find(list, 5)->enabled);
    EXPECT_EQ(GetFocus(), find(list, 4)->handle);
    // Three buttons, two labels, three frame pieces.
    EXPECT_EQ(list.size(), 8u);
    EXPECT_EQ(countClass(list, "STATIC"), 5);
    // The page frame: the grey piece at (8, 8), (W - 16) x (H - bh - 24).
    bool frameFound = false;
    for (const Child& c : list)
        if ((c.style & 0xFF) == SS_GRAYFRAME && c.rect.left == 8 && c.rect.top == 8 &&
            width(c.rect) == W() - 16 && height(c.rect) == H() - wizard.buttonHeight - 24)
            frameFound = true;
    EXPECT_TRUE(frameFound);
}

TEST_F(WizardPagesTest, RebuildingReplacesEveryChild) {
    IntroPage(wizard);
    ReadyPage(wizard);
    const auto list = children(window->handle());
    EXPECT_EQ(find(list, 3), nullptr);
    expectButtons(list, 11, kTextNext, true);
    expectHeadingAndFooter(list, kTextReadyHeading, kTextReadyPrompt);
    EXPECT_EQ(list.size(), 8u);
    for (int id : {11, 12, 13}) EXPECT_TRUE(find(list, id)->enabled);
}

TEST_F(WizardPagesTest, DecryptionPageSelectsThePasswordRadioAndKeepsTheTexts) {
    wizard.password = "secret";
    wizard.keyFilePath = "C:\\keys\\k.bin";
    wizard.keyMode = 2;
    DecryptionPage(wizard);
    const auto list = children(window->handle());
    expectButtons(list, 20, kTextNext, true);
    expectHeadingAndFooter(list, kTextDecryptionHeading, kTextDecryptionPrompt);
    expectTabStops(list);
    EXPECT_EQ(wizard.keyMode, 1);

    const Child* radio1 = find(list, 23);
    const Child* radio2 = find(list, 24);
    const Child* pass = find(list, 25);
    const Child* key = find(list, 26);
    const Child* browse = find(list, 27);
    ASSERT_TRUE(radio1 && radio2 && pass && key && browse);
    EXPECT_EQ(radio1->style & 0xFFFF000F, 0x50010009u);
    EXPECT_EQ(radio1->text, messages[kTextPasswordChoice]);
    EXPECT_EQ(radio2->text, messages[kTextKeyFileChoice]);
    EXPECT_EQ(SendMessageA(radio1->handle, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(radio2->handle, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(pass->text, "secret");
    EXPECT_EQ(key->text, "C:\\keys\\k.bin");
    EXPECT_TRUE(pass->enabled);
    EXPECT_FALSE(key->enabled);
    EXPECT_FALSE(browse->enabled);
    EXPECT_EQ(pass->style & ES_PASSWORD, 0u);  // builtin settings show the password
    EXPECT_EQ(key->style & ES_PASSWORD, 0u);

    // Rows top to bottom, starting below the heading.
    const SIZE s18 = extent(messages[kTextPasswordChoice]), s19 = extent(messages[kTextKeyFileChoice]);
    const SIZE s7 = extent(messages[kTextBrowse]);
    const int B = s7.cx + 2 * s7.cy;
    EXPECT_EQ(radio1->rect.left, 24);
    EXPECT_EQ(radio1->rect.top, extent(messages[kTextDecryptionHeading]).cy + 32);
    EXPECT_EQ(width(radio1->rect), s18.cx + 2 * s18.cy);
    EXPECT_EQ(height(radio1->rect), s18.cy * 3 / 2);
    EXPECT_EQ(pass->rect.left, 40);
    EXPECT_EQ(pass->rect.top, radio1->rect.bottom);
    EXPECT_EQ(width(pass->rect), W() - B - 88);
    EXPECT_EQ(radio2->rect.top, pass->rect.bottom);
    EXPECT_EQ(width(radio2->rect), s19.cx + 2 * s19.cy);
    EXPECT_EQ(key->rect.top, radio2->rect.bottom);
    EXPECT_EQ(browse->rect.top, radio2->rect.bottom);
    EXPECT_EQ(browse->rect.left, W() - B - 24);
    EXPECT_EQ(width(browse->rect), B);
    EXPECT_EQ(height(browse->rect), s7.cy * 7 / 4);
    EXPECT_EQ(height(key->rect), height(pass->rect));

    // Choosing the key file and rebuilding selects the password again.
    SendMessageA(radio1->handle, BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageA(radio2->handle, BM_SETCHECK, BST_CHECKED, 0);
    updateKeyChoice(window->handle());
    EXPECT_FALSE(IsWindowEnabled(pass->handle));
    EXPECT_TRUE(IsWindowEnabled(key->handle));
    EXPECT_TRUE(IsWindowEnabled(browse->handle));
    DecryptionPage(wizard);
    const auto again = children(window->handle());
    EXPECT_EQ(SendMessageA(find(again, 23)->handle, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(find(again, 25)->enabled);
}

TEST_F(WizardPagesTest, PasswordIsMaskedExactlyWhenTheSettingsSaySo) {
    wizard.settings.maskPassword = 1;
    DecryptionPage(wizard);
    const auto list = children(window->handle());
    EXPECT_EQ(find(list, 25)->style & ES_PASSWORD, DWORD(ES_PASSWORD));
    EXPECT_EQ(find(list, 26)->style & ES_PASSWORD, 0u);
}

TEST_F(WizardPagesTest, OutputFolderPageShowsTheFolderInsideACaptionedFrame) {
    wizard.outputFolder = "C:\\出力";
    OutputFolderPage(wizard);
    const auto list = children(window->handle());
    expectButtons(list, 8, kTextNext, true);
    expectHeadingAndFooter(list, kTextFolderHeading, kTextFolderPrompt);
    expectTabStops(list);
    const Child* edit = find(list, 7);
    const Child* browse = find(list, 6);
    ASSERT_TRUE(edit && browse);
    EXPECT_EQ(edit->text, "C:\\出力");
    EXPECT_EQ(browse->text, messages[kTextBrowse]);
    const int y1 = extent(messages[kTextFolderHeading]).cy + 32;
    const int g = extent(messages[kTextOutputFolderLabel]).cy / 2;
    const int M = 2 * g + 24;
    const SIZE s7 = extent(messages[kTextBrowse]);
    const int B = s7.cx + 2 * s7.cy;
    const int E = extent("0").cy * 7 / 4;
    EXPECT_EQ(edit->rect.left, M);
    EXPECT_EQ(edit->rect.top, y1 + 3 * g);
    EXPECT_EQ(width(edit->rect), W() - 2 * M - B - 8);
    EXPECT_EQ(height(edit->rect), E);
    EXPECT_EQ(browse->rect.left, W() - M - B);
    EXPECT_EQ(browse->rect.top, y1 + 3 * g);
    // The caption sits centred on the group frame's top edge, and is not cut.
    bool caption = false;
    for (const Child& c : list)
        if (c.cls == "STATIC" && c.text == messages[kTextOutputFolderLabel]) {
            caption = true;
            EXPECT_EQ(c.style & 0xFFFF00FF, 0x50000001u);
            EXPECT_EQ(c.rect.left, 24 + g);
            EXPECT_EQ(c.rect.top, y1);
            EXPECT_EQ(width(c.rect), extent(messages[kTextOutputFolderLabel]).cx + 4);
        }
    EXPECT_TRUE(caption);
    // Edit and browse button stay inside the frame (24 .. W - 24).
    EXPECT_GT(edit->rect.left, 24);
    EXPECT_LT(browse->rect.right, W() - 24);
    EXPECT_LE(edit->rect.right + 8, browse->rect.left);
}

TEST_F(WizardPagesTest, EmptyOutputFolderGivesAnEmptyEdit) {
    OutputFolderPage(wizard);
    EXPECT_EQ(getItemText(window->handle(), 7), "");
}

TEST_F(WizardPagesTest, CombiningPageLeavesOnlyCancelAndSetsUpTheBar) {
    CombiningPage(wizard);
    const auto list = children(window->handle());
    expectButtons(list, 14, kTextNext, false);
    expectHeadingAndFooter(list, kTextCombiningHeading, std::nullopt);
    EXPECT_FALSE(find(list, 14)->enabled);
    EXPECT_FALSE(find(list, 15)->enabled);
    EXPECT_TRUE(find(list, 16)->enabled);
    // Two etched frames, the heading, three buttons.
    EXPECT_EQ(list.size(), 10u);
    const ProgressAnimation& bar = progressAnimation();
    const int bh = wizard.buttonHeight;
    EXPECT_EQ(bar.left, 24);
    EXPECT_EQ(bar.top, H() - bh - 56);
    EXPECT_EQ(bar.width, W() - 48);
    EXPECT_EQ(bar.height, 24);
    EXPECT_EQ(bar.progressTotal, 0u);
    EXPECT_NE(progressAnimation().surface.pixels(), nullptr);
}

TEST_F(WizardPagesTest, FinishedPageLeavesOnlyTheFinishButton) {
    FinishedPage(wizard);
    const auto list = children(window->handle());
    expectButtons(list, 17, kTextFinish, true);
    expectHeadingAndFooter(list, kTextFinishedHeading, std::nullopt);
    EXPECT_FALSE(find(list, 17)->enabled);
    EXPECT_TRUE(find(list, 18)->enabled);
    EXPECT_FALSE(find(list, 19)->enabled);
    EXPECT_EQ(GetFocus(), find(list, 18)->handle);
}

TEST_F(WizardPagesTest, ALongerButtonTextWidensAllThreeButtonsAlike) {
    IntroPage(wizard);
    const int before = wizard.buttonWidth;
    messages[kTextFinish] = "とても長いボタンの文字列です";
    IntroPage(wizard);
    const auto list = children(window->handle());
    EXPECT_GT(wizard.buttonWidth, before);
    expectButtons(list, 3, kTextNext, true);  // all three alike, right-aligned
    // Texts so long that the left button starts left of the window.
    messages[kTextCancel] = std::string(60, 'W');
    ReadyPage(wizard);
    const auto wide = children(window->handle());
    expectButtons(wide, 11, kTextNext, true);
    EXPECT_LT(find(wide, 11)->rect.left, 0);
}

TEST_F(WizardPagesTest, ItemTextsRoundTripAtAnyLength) {
    OutputFolderPage(wizard);
    const std::string japanese = "結合先フォルダ";
    setItemText(window->handle(), 7, japanese);
    EXPECT_EQ(getItemText(window->handle(), 7), japanese);
    std::string longText;
    for (int i = 0; i < 2000; ++i) longText += char('a' + i % 26);
    setItemText(window->handle(), 7, longText);
    EXPECT_EQ(getItemText(window->handle(), 7), longText);
    EXPECT_EQ(getItemText(window->handle(), 999), "");
}

} // namespace
} // namespace zrk

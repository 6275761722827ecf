// Window under Wine: message map order, default handling, the loop's end, class
// names, registration clashes and the sizing helpers.
#include "window/window.h"

#include <gtest/gtest.h>

#include <string>

namespace zrk {
namespace {

constexpr UINT kPing = WM_APP + 1;
int firstCalls = 0, secondCalls = 0, destroyCalls = 0;

int32_t firstHandler(HWND, UINT, WPARAM, LPARAM) { ++firstCalls; return 0; }
int32_t secondHandler(HWND, UINT, WPARAM, LPARAM) { ++secondCalls; return 0; }
int32_t passOn(HWND, UINT, WPARAM, LPARAM) { return 1; }
int32_t swallow(HWND, UINT, WPARAM, LPARAM) { return 0; }
int32_t throwsResult(HWND, UINT, WPARAM, LPARAM) { throw int32_t(-42); }
int32_t destroyOnPing(HWND window, UINT, WPARAM, LPARAM) { DestroyWindow(window); return 0; }
int32_t countDestroyAndPassOn(HWND, UINT, WPARAM, LPARAM) { ++destroyCalls; return 1; }
int32_t quitWithSeven(HWND, UINT, WPARAM, LPARAM) { PostQuitMessage(7); return 0; }

HINSTANCE instance() { return GetModuleHandleA(nullptr); }

std::string windowText(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

SIZE clientSize(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return SIZE{client.right - client.left, client.bottom - client.top};
}

// Drains whatever the tests left in the thread's queue, quit messages included.
void drainQueue() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {}
}

TEST(WindowNames, ClassNameIsUtf8InLowercaseHex) {
    EXPECT_EQ(derivedClassName("ZRKA RivuVovevare"), "UTF8_5a524b412052697675566f7665766172" "65");
    EXPECT_EQ(derivedClassName("\xE7\xB5\x90"), "UTF8_e7b590");
    EXPECT_EQ(derivedClassName(""), "UTF8_");
}

TEST(WindowNames, UniqueNameIsProcessIdThenSignExtendedAddress) {
    EXPECT_EQ(uniqueWindowName(0x00012345, reinterpret_cast<const void*>(uintptr_t(0x00401000))),
              "4523010000000000" "0010400000000000");
    // A 32-bit address with the top bit set widens with ones, as a signed value does;
    // a 64-bit program's address is taken whole.
    EXPECT_EQ(uniqueWindowName(1, reinterpret_cast<const void*>(uintptr_t(0x80001000))),
              sizeof(void*) == 4 ? "0100000000000000" "00100080ffffffff" : "0100000000000000" "0010008000000000");
}

TEST(FitPosition, CentresInAWorkAreaThatDoesNotStartAtZero) {
    const RECT work{100, 0, 1100, 700};  // task bar 100 pixels wide on the left
    const POINT at = fitPosition(work, RECT{0, 0, 400, 300}, true);
    EXPECT_EQ(at.x, 400);
    EXPECT_EQ(at.y, 200);
    // Odd remainders truncate: (1000 - 401) / 2 = 299.
    EXPECT_EQ(fitPosition(work, RECT{0, 0, 401, 301}, true).x, 399);
}

TEST(FitPosition, MovesOnlyAsFarAsNeededWhenNotCentred) {
    const RECT work{100, 0, 1100, 700};
    POINT at = fitPosition(work, RECT{900, 100, 1300, 400}, false);
    EXPECT_EQ(at.x, 700);  // right edge on the work area's right edge
    EXPECT_EQ(at.y, 100);
    at = fitPosition(work, RECT{0, 500, 400, 800}, false);
    EXPECT_EQ(at.x, 100);  // left of the work area: moved to its left edge
    EXPECT_EQ(at.y, 400);
    at = fitPosition(work, RECT{300, 200, 500, 400}, false);
    EXPECT_EQ(at.x, 300);  // already inside: untouched
    EXPECT_EQ(at.y, 200);
}

TEST(FitPosition, LargerThanTheWorkAreaKeepsTopLeftInView) {
    const RECT work{100, 20, 1100, 700};
    for (bool centred : {true, false}) {
        const POINT at = fitPosition(work, RECT{50, 50, 1250, 950}, centred);
        EXPECT_EQ(at.x, 100);
        EXPECT_EQ(at.y, 20);
    }
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        firstCalls = secondCalls = destroyCalls = 0;
        drainQueue();
    }
    void TearDown() override {
        if (window.handle()) DestroyWindow(window.handle());
        drainQueue();
    }
    HWND make(const std::string& name) {
        window.setApplyMinClientSize(0);
        return window.createNamed(instance(), name, SW_HIDE);
    }
    Window window;
};

TEST_F(WindowTest, FirstRegisteredHandlerWinsAndLaterOnesAreNeverCalled) {
    window.addHandler(kPing, firstHandler);
    window.addHandler(kPing, secondHandler);
    const HWND handle = make("first handler");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(SendMessageA(handle, kPing, 0, 0), 0);
    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(secondCalls, 0);
    // Removing the first lets the second take over.
    window.removeHandler(kPing, firstHandler);
    SendMessageA(handle, kPing, 0, 0);
    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(secondCalls, 1);
}

TEST_F(WindowTest, UnhandledOrPassedOnMessagesReachTheDefaultProcedure) {
    const HWND handle = make("default procedure");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(windowText(handle), "default procedure");  // the title defaults to the name
    SendMessageA(handle, WM_SETTEXT, 0, LPARAM("no handler"));
    EXPECT_EQ(windowText(handle), "no handler");
    window.addHandler(WM_SETTEXT, passOn);
    SendMessageA(handle, WM_SETTEXT, 0, LPARAM("passed on"));
    EXPECT_EQ(windowText(handle), "passed on");
    window.removeHandler(WM_SETTEXT, passOn);
    window.addHandler(WM_SETTEXT, swallow);
    SendMessageA(handle, WM_SETTEXT, 0, LPARAM("swallowed"));
    EXPECT_EQ(windowText(handle), "passed on");
}

TEST_F(WindowTest, ThrownIntegerBecomesTheMessageResult) {
    window.addHandler(kPing, throwsResult);
    const HWND handle = make("thrown result");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(LRESULT(SendMessageA(handle, kPing, 0, 0)), LRESULT(-42));
}

TEST_F(WindowTest, DestroyingTheTopLevelWindowEndsTheLoopWithItsQuitCode) {
    window.addHandler(kPing, destroyOnPing);
    window.addHandler(WM_DESTROY, countDestroyAndPassOn);  // nonzero: still posts the quit
    const HWND handle = make("loop end");
    ASSERT_NE(handle, nullptr);
    PostMessageA(handle, kPing, 0, 0);
    EXPECT_EQ(window.runMessageLoop(), 0);
    EXPECT_EQ(destroyCalls, 1);
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(window.exitCode(), 0);
}

TEST_F(WindowTest, ExitCodeIsTheQuitMessagesCode) {
    window.addHandler(kPing, quitWithSeven);
    const HWND handle = make("quit code");
    ASSERT_NE(handle, nullptr);
    PostMessageA(handle, kPing, 0, 0);
    window.runMessageLoop();
    EXPECT_EQ(window.exitCode(), 7);
}

TEST_F(WindowTest, PumpPendingHandlesTheQueueAndStopsAtQuit) {
    window.addHandler(kPing, firstHandler);
    const HWND handle = make("pump");
    ASSERT_NE(handle, nullptr);
    for (int i = 0; i < 3; ++i) PostMessageA(handle, kPing, 0, 0);
    EXPECT_EQ(window.pumpPending(), 1);
    EXPECT_EQ(firstCalls, 3);
    PostMessageA(handle, kPing, 0, 0);
    PostQuitMessage(3);
    EXPECT_EQ(window.pumpPending(), 0);
    EXPECT_EQ(window.exitCode(), 3);
}

TEST_F(WindowTest, CreateUniqueTwiceFailsAtRegistration) {
    const HWND first = window.createUnique(instance(), nullptr, SW_HIDE);
    ASSERT_NE(first, nullptr);
    const std::string name = window.className();
    EXPECT_EQ(name, derivedClassName(uniqueWindowName(GetCurrentProcessId(), &window)));
    EXPECT_EQ(window.createUnique(instance(), nullptr, SW_HIDE), nullptr);
    EXPECT_EQ(window.className(), name);
    DestroyWindow(first);
    // A second object under the same explicit class name clashes too.
    Window other;
    Window again;
    again.setClassName("zrk test clash");
    ASSERT_NE(again.createNamed(instance(), "a", SW_HIDE), nullptr);
    other.setClassName("zrk test clash");
    EXPECT_EQ(other.createNamed(instance(), "b", SW_HIDE), nullptr);
    DestroyWindow(again.handle());
}

int mainWheels = 0, childWheels = 0;
int32_t countMainWheel(HWND, UINT, WPARAM, LPARAM) { ++mainWheels; return 0; }
int32_t countChildWheel(HWND, UINT, WPARAM, LPARAM) { ++childWheels; return 0; }

// Wheel messages follow the cursor: to the child under it, to the window itself
// over its bare client area, and nowhere when the cursor is outside the client area.
TEST(WindowWheel, WheelGoesToTheChildUnderTheCursorOrIsDropped) {
    Window main;
    main.setApplyMinClientSize(0);
    main.setCentred(0);
    main.setStyle(WS_OVERLAPPEDWINDOW);
    main.setPosition(100, 100);
    main.setSize(400, 300);
    main.addHandler(WM_MOUSEWHEEL, countMainWheel);
    const HWND top = main.createNamed(instance(), "wheel", SW_SHOWNORMAL);
    ASSERT_NE(top, nullptr);
    Window child;
    child.setStyle(WS_CHILD | WS_VISIBLE);
    child.setBackgroundKind(5);
    child.setPosition(10, 10);
    child.setSize(100, 100);
    child.addHandler(WM_MOUSEWHEEL, countChildWheel);
    ASSERT_NE(child.create(instance(), top, "wheel child", SW_SHOWNORMAL), nullptr);
    main.pumpPending();

    auto wheelAt = [&](POINT client) {
        ClientToScreen(top, &client);
        SetCursorPos(client.x, client.y);
        PostMessageA(top, WM_MOUSEWHEEL, WPARAM(120) << 16, 0);
        main.pumpPending();
    };
    wheelAt(POINT{50, 50});  // over the child
    EXPECT_EQ(childWheels, 1);
    EXPECT_EQ(mainWheels, 0);
    wheelAt(POINT{300, 200});  // bare client area
    EXPECT_EQ(childWheels, 1);
    EXPECT_EQ(mainWheels, 1);
    wheelAt(POINT{50, -5});  // on the caption: outside the client area
    EXPECT_EQ(childWheels, 1);
    EXPECT_EQ(mainWheels, 1);
    DestroyWindow(top);
    drainQueue();
}

// The wizard's frame: caption, system menu, modal border, no resizing.
void expectExactClientSize(int32_t width, int32_t height) {
    Window window;
    window.setStyle(WS_POPUP | WS_CAPTION | WS_SYSMENU);
    window.setExtendedStyle(WS_EX_DLGMODALFRAME);
    window.setSize(width, height);
    window.setMinClientSize(width, height);
    const HWND handle = window.createNamed(instance(), "client size " + std::to_string(width), SW_HIDE);
    ASSERT_NE(handle, nullptr);
    const SIZE client = clientSize(handle);
    EXPECT_EQ(client.cx, width);
    EXPECT_EQ(client.cy, height);
    // Centred in the work area afterwards.
    RECT work{}, outer{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(handle, &outer);
    const POINT expected = fitPosition(work, outer, true);
    EXPECT_EQ(outer.left, expected.x);
    EXPECT_EQ(outer.top, expected.y);
    DestroyWindow(handle);
    drainQueue();
}

TEST(WindowSizing, EnforceMinClientSizeGivesExactlyTheSettingsSize) {
    expectExactClientSize(480, 240);
    expectExactClientSize(640, 320);
}

TEST(WindowSizing, SetClientSizeGrowsAndShrinks) {
    Window window;
    window.setApplyMinClientSize(0);
    window.setStyle(WS_OVERLAPPEDWINDOW);
    const HWND handle = window.createNamed(instance(), "set client size", SW_HIDE);
    ASSERT_NE(handle, nullptr);
    for (SIZE target : {SIZE{500, 260}, SIZE{300, 150}}) {
        EXPECT_NE(window.setClientSize(target.cx, target.cy), 0);
        const SIZE client = clientSize(handle);
        EXPECT_EQ(client.cx, target.cx);
        EXPECT_EQ(client.cy, target.cy);
    }
    DestroyWindow(handle);
    drainQueue();
}

} // namespace
} // namespace zrk

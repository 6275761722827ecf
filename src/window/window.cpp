// Window: class registration, the shared window procedure, the message loop and
// the sizing helpers.
#include "window/window.h"

#include "text/call_wrappers_win32.h"

#include <algorithm>
#include <cstdio>

namespace zrk {

namespace {

// A size the system refuses (a tracking limit) must not loop for ever.
constexpr int kSizeAttempts = 8;

HBRUSH backgroundBrush(int32_t kind) {
    switch (kind) {
    case 1: return static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    case 2: return static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
    case 3: return static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    case 4: return static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    case 5: return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    case 6: return GetSysColorBrush(COLOR_BTNFACE);
    default: return nullptr;
    }
}

void appendHexBytes(std::string& out, uint64_t value) {
    char digits[3];
    for (int i = 0; i < 8; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", unsigned(value >> (8 * i)) & 0xFF);
        out += digits;
    }
}

} // namespace

POINT fitPosition(const RECT& work, const RECT& windowRect, bool centred) {
    const LONG w = windowRect.right - windowRect.left;
    const LONG h = windowRect.bottom - windowRect.top;
    LONG x = windowRect.left, y = windowRect.top;
    if (centred) {
        x = work.left + (work.right - work.left - w) / 2;
        y = work.top + (work.bottom - work.top - h) / 2;
    }
    if (x + w > work.right) x = work.right - w;
    if (y + h > work.bottom) y = work.bottom - h;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
    return POINT{x, y};
}

std::string derivedClassName(const std::string& name) {
    static const char digits[] = "0123456789abcdef";
    std::string result = "UTF8_";
    for (unsigned char c : name) {
        result += digits[c >> 4];
        result += digits[c & 15];
    }
    return result;
}

std::string uniqueWindowName(uint32_t processId, const void* object) {
    std::string name;
    appendHexBytes(name, processId);
    // Sign-extended, as a 32-bit address is widened to a signed 64-bit value.
    appendHexBytes(name, uint64_t(int64_t(intptr_t(object))));
    return name;
}

Window::Window()
    : icon_(LoadIconA(nullptr, MAKEINTRESOURCEA(32512))), smallIcon_(icon_),
      cursor_(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512))) {}

Window::~Window() { destroy(); }

LRESULT CALLBACK Window::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_NCCREATE) {
            auto* created = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            auto* object = static_cast<Window*>(created->lpCreateParams);
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
            if (object) object->window_ = window;
        }
        auto* object = reinterpret_cast<Window*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (!object) return DefWindowProcA(window, message, wParam, lParam);
        if (object->dispatchToHandlers(window, message, wParam, lParam) == 0) return 0;
        if (object->onDefaultMessage(window, message, wParam, lParam) == 0) return 0;
        return DefWindowProcA(window, message, wParam, lParam);
    } catch (int32_t result) {
        return result;
    }
}

int32_t Window::onDefaultMessage(HWND, UINT message, WPARAM, LPARAM) {
    if (message == WM_DESTROY && parent_ == nullptr) {
        PostQuitMessage(0);
        return 0;
    }
    return 1;
}

int32_t Window::dispatchToHandlers(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    for (const MessageHandler& handler : handlers_)
        if (handler.message == message)
            return handler.function(window, message, wParam, lParam) == 0 ? 0 : 1;
    return 1;
}

int32_t Window::translateAndDispatch() {
    MSG& msg = current_;
    if (msg.message == WM_MOUSEWHEEL) {
        const HWND under = WindowFromPoint(msg.pt);
        if (under && IsChild(window_, under)) msg.hwnd = under;
        POINT point = msg.pt;
        ScreenToClient(window_, &point);
        RECT client{};
        GetClientRect(window_, &client);
        if (point.x < client.left || point.x >= client.right || point.y < client.top ||
            point.y >= client.bottom)
            return 1;
        DispatchMessageA(&msg);
        return 1;
    }
    if (accelerators_ && TranslateAcceleratorA(window_, accelerators_, &msg)) return 1;
    if (dialog_ && IsWindow(dialog_) && IsDialogMessageA(dialog_, &msg)) return 1;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return 1;
}

HWND Window::create(HINSTANCE instance, HWND parent, const std::string& name, int showCommand) {
    instance_ = instance;
    parent_ = parent;
    if (className_.empty()) className_ = derivedClassName(name);

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = classStyle_;
    windowClass.lpfnWndProc = &Window::windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon_;
    windowClass.hCursor = cursor_;
    windowClass.hbrBackground = backgroundBrush(backgroundKind_);
    windowClass.lpszMenuName = menuName_.empty() ? nullptr : menuName_.c_str();
    windowClass.lpszClassName = className_.c_str();
    windowClass.hIconSm = smallIcon_;
    if (!RegisterClassExA(&windowClass)) return nullptr;

    if (title_.empty()) title_ = name;
    const HWND created = createWindowEx(extendedStyle_, className_, title_, style_, x_, y_, width_,
                                        height_, parent, menuOrId_, instance, this);
    window_ = created;
    if (!created) return nullptr;
    if (!parent) {
        if (applyMinWindowSize_) enforceMinWindowSize();
        if (applyMinClientSize_) enforceMinClientSize();
        fitToWorkArea();
    }
    ShowWindow(created, showCommand);
    UpdateWindow(created);
    return created;
}

HWND Window::createUnique(HINSTANCE instance, HWND parent, int showCommand) {
    return create(instance, parent, uniqueWindowName(GetCurrentProcessId(), this), showCommand);
}

HWND Window::createNamed(HINSTANCE instance, const std::string& name, int showCommand) {
    return create(instance, nullptr, name, showCommand);
}

void Window::releaseBackBuffer() {
    backDC_.reset();
    backBitmap_.reset();
}

BOOL Window::destroy() {
    releaseBackBuffer();
    window_ = nullptr;
    return UnregisterClassA(className_.c_str(), instance_);
}

int32_t Window::pumpPending() {
    while (PeekMessageA(&current_, nullptr, 0, 0, PM_NOREMOVE)) {
        if (GetMessageA(&current_, nullptr, 0, 0) == 0) return 0;
        translateAndDispatch();
    }
    return 1;
}

int32_t Window::runMessageLoop() {
    // GetMessage gives -1 on a bad argument; only 0 (the quit message) ends the loop.
    while (GetMessageA(&current_, nullptr, 0, 0) != 0) translateAndDispatch();
    return 0;
}

int32_t Window::exitCode() { return int32_t(current_.wParam); }

void Window::setDialogWindow(HWND dialog) { dialog_ = dialog; }

void Window::addHandler(UINT message, HandlerFunction function) {
    handlers_.push_back(MessageHandler{message, function});
}

void Window::removeHandler(UINT message, HandlerFunction function) {
    std::erase_if(handlers_, [&](const MessageHandler& h) {
        return h.message == message && h.function == function;
    });
}

int32_t Window::applyInitialClientSize() {
    if (width_ != int32_t(CW_USEDEFAULT) && height_ != int32_t(CW_USEDEFAULT))
        return setClientSize(width_, height_);
    return 1;
}

int32_t Window::setClientSize(int32_t width, int32_t height) {
    for (int attempt = 0; attempt < kSizeAttempts; ++attempt) {
        RECT outer{}, client{};
        GetWindowRect(window_, &outer);
        GetClientRect(window_, &client);
        const LONG cw = client.right - client.left, ch = client.bottom - client.top;
        if (cw == width && ch == height) return fitToWorkArea();
        MoveWindow(window_, outer.left, outer.top, outer.right - outer.left + (width - cw),
                   outer.bottom - outer.top + (height - ch), TRUE);
    }
    return 0;
}

int32_t Window::fitToWorkArea() {
    RECT work{}, outer{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(window_, &outer);
    const POINT at = fitPosition(work, outer, centred_ != 0);
    return MoveWindow(window_, at.x, at.y, outer.right - outer.left, outer.bottom - outer.top, TRUE);
}

int32_t Window::enforceMinWindowSize() {
    RECT outer{};
    GetWindowRect(window_, &outer);
    MoveWindow(window_, outer.left, outer.top, std::max<LONG>(outer.right - outer.left, minWindowWidth_),
               std::max<LONG>(outer.bottom - outer.top, minWindowHeight_), TRUE);
    return 1;
}

int32_t Window::enforceMinClientSize() {
    for (int attempt = 0; attempt < kSizeAttempts; ++attempt) {
        RECT outer{}, client{};
        GetWindowRect(window_, &outer);
        GetClientRect(window_, &client);
        const LONG cw = client.right - client.left, ch = client.bottom - client.top;
        if (cw >= minClientWidth_ && ch >= minClientHeight_) break;
        MoveWindow(window_, outer.left, outer.top,
                   outer.right - outer.left + std::max<LONG>(0, minClientWidth_ - cw),
                   outer.bottom - outer.top + std::max<LONG>(0, minClientHeight_ - ch), TRUE);
    }
    return 1;
}

int32_t Window::createBackBuffer() {
    releaseBackBuffer();
    const WindowDc windowDC = windowDc(window_);
    backDC_.reset(CreateCompatibleDC(windowDC.get()));
    backBitmap_.reset(CreateCompatibleBitmap(windowDC.get(), GetSystemMetrics(SM_CXSCREEN),
                                             GetSystemMetrics(SM_CYSCREEN)));
    SelectObject(backDC_.get(), backBitmap_.get());
    return 1;
}

HDC Window::backBufferDC() { return backDC_.get(); }

int32_t Window::paintBackBuffer(HDC target) {
    if (!backDC_) return 0;
    RECT client{};
    GetClientRect(window_, &client);
    BitBlt(target, 0, 0, client.right - client.left, client.bottom - client.top, backDC_.get(), 0, 0,
           SRCCOPY);
    return 1;
}

} // namespace zrk

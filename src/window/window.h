// Window: one native window of our own class, its message map of plain handler
// functions, the thread's message loop and the sizing helpers.
#pragma once

#include "platform/handle_traits_win32.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zrk {

// Returns 0 when it handled the message; anything else passes the message on.
using HandlerFunction = int32_t (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

struct MessageHandler {
    UINT message;
    HandlerFunction function;
};

// Where a window of the given outer rectangle ends up inside the work area: centred
// first when asked, then moved back inside, its top-left corner winning when it is
// larger than the work area. Kept apart from the system calls so it can be checked.
POINT fitPosition(const RECT& workArea, const RECT& windowRect, bool centred);

// The class name a window created under `name` gets when none is set: "UTF8_" and
// the name's UTF-8 bytes in lowercase hexadecimal.
std::string derivedClassName(const std::string& name);

// The creation name createUnique uses: process id then object address, each as
// eight little-endian bytes in "%02x" form.
std::string uniqueWindowName(uint32_t processId, const void* object);

class Window {
public:
    Window();
    virtual int32_t onDefaultMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    virtual int32_t dispatchToHandlers(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    virtual int32_t translateAndDispatch();
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    virtual HWND create(HINSTANCE instance, HWND parent, const std::string& name, int showCommand);
    virtual HWND createUnique(HINSTANCE instance, HWND parent, int showCommand);
    virtual HWND createNamed(HINSTANCE instance, const std::string& name, int showCommand);
    virtual BOOL destroy();
    virtual int32_t pumpPending();
    virtual int32_t runMessageLoop();
    virtual int32_t exitCode();
    virtual void setDialogWindow(HWND dialog);
    virtual void addHandler(UINT message, HandlerFunction function);
    virtual void removeHandler(UINT message, HandlerFunction function);
    virtual int32_t applyInitialClientSize();
    virtual int32_t setClientSize(int32_t width, int32_t height);
    virtual int32_t fitToWorkArea();
    virtual int32_t enforceMinWindowSize();
    virtual int32_t enforceMinClientSize();
    virtual int32_t createBackBuffer();
    virtual HDC backBufferDC();
    virtual int32_t paintBackBuffer(HDC target);

    virtual HINSTANCE instance() const { return instance_; }
    virtual HWND handle() const { return window_; }
    virtual void setClassStyle(UINT style) { classStyle_ = style; }
    virtual DWORD style() const { return style_; }
    virtual void setStyle(DWORD style) { style_ = style; }
    virtual void setExtendedStyle(DWORD style) { extendedStyle_ = style; }
    virtual void setBackgroundKind(int32_t kind) { backgroundKind_ = kind; }
    virtual HICON icon() const { return icon_; }
    virtual HICON smallIcon() const { return smallIcon_; }
    virtual void setIcon(HICON icon) { icon_ = icon; }
    virtual void setSmallIcon(HICON icon) { smallIcon_ = icon; }
    virtual void setCursor(HCURSOR cursor) { cursor_ = cursor; }
    virtual void setMenuName(const std::string& name) { menuName_ = name; }
    virtual void setMenuOrId(HMENU menu) { menuOrId_ = menu; }
    virtual void setAccelerators(HACCEL accelerators) { accelerators_ = accelerators; }
    virtual void setClassName(const std::string& name) { className_ = name; }
    virtual void setTitle(const std::string& title) { title_ = title; }
    virtual void setCentred(int32_t centred) { centred_ = centred; }
    virtual void setApplyMinWindowSize(int32_t apply) { applyMinWindowSize_ = apply; }
    virtual void setApplyMinClientSize(int32_t apply) { applyMinClientSize_ = apply; }
    virtual void setPosition(int32_t x, int32_t y) { x_ = x; y_ = y; }
    virtual void setSize(int32_t width, int32_t height) { width_ = width; height_ = height; }
    virtual void setMinWindowSize(int32_t width, int32_t height) { minWindowWidth_ = width; minWindowHeight_ = height; }
    virtual void setMinClientSize(int32_t width, int32_t height) { minClientWidth_ = width; minClientHeight_ = height; }

    const std::string& className() const { return className_; }

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void releaseBackBuffer();

    MSG current_{};
    HWND window_ = nullptr;
    HINSTANCE instance_ = nullptr;
    HWND parent_ = nullptr;
    int32_t centred_ = 1;
    int32_t x_ = CW_USEDEFAULT, y_ = CW_USEDEFAULT, width_ = CW_USEDEFAULT, height_ = CW_USEDEFAULT;
    int32_t backgroundKind_ = 0;
    DWORD style_ = WS_CAPTION | WS_SYSMENU;
    DWORD extendedStyle_ = 0;
    HICON icon_, smallIcon_;
    HCURSOR cursor_;
    std::string menuName_;
    std::string title_;
    HMENU menuOrId_ = nullptr;
    HACCEL accelerators_ = nullptr;
    std::string className_;
    UINT classStyle_ = CS_DBLCLKS;
    HWND dialog_ = nullptr;
    int32_t applyMinWindowSize_ = 0;
    int32_t applyMinClientSize_ = 1;
    int32_t minWindowWidth_ = 0, minWindowHeight_ = 0;
    int32_t minClientWidth_ = 0, minClientHeight_ = 0;
    // The bitmap stays selected into the context: the context goes first.
    BitmapHandle backBitmap_;
    CreatedDc backDC_;
    std::vector<MessageHandler> handlers_;
};

} // namespace zrk

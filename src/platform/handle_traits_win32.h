// The kinds of Windows handle the program owns, one traits type per kind, and the
// UniqueHandle holders made from them.
#pragma once

#include "platform/unique_handle.h"
#include "platform/windows_api.h"

namespace zrk {

// A thread from _beginthreadex. The thread objects mark "no thread" with
// INVALID_HANDLE_VALUE, and the system calls made on it then fail harmlessly.
struct ThreadHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Handle handle) { CloseHandle(handle); }
};
using ThreadHandle = UniqueHandle<ThreadHandleTraits>;

// A file search; FindFirstFile fails with INVALID_HANDLE_VALUE, not null.
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Handle handle) { FindClose(handle); }
};
using FindHandle = UniqueHandle<FindHandleTraits>;

// A loaded library.
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle invalid() { return nullptr; }
    static void close(Handle module) { FreeLibrary(module); }
};
using ModuleHandle = UniqueHandle<ModuleTraits>;

// A font, bitmap, brush or pen, deleted with DeleteObject.
template <class GdiHandle> struct GdiObjectTraits {
    using Handle = GdiHandle;
    static Handle invalid() { return nullptr; }
    static void close(Handle object) { DeleteObject(object); }
};
using FontHandle = UniqueHandle<GdiObjectTraits<HFONT>>;
using BitmapHandle = UniqueHandle<GdiObjectTraits<HBITMAP>>;

// A device context the program created (CreateCompatibleDC, CreateIC), deleted with DeleteDC.
struct CreatedDcTraits {
    using Handle = HDC;
    static Handle invalid() { return nullptr; }
    static void close(Handle dc) { DeleteDC(dc); }
};
using CreatedDc = UniqueHandle<CreatedDcTraits>;

// A window's device context from GetDC, given back with ReleaseDC.
struct WindowDcTraits {
    using Handle = HDC;
    HWND window = nullptr;
    static Handle invalid() { return nullptr; }
    void close(Handle dc) const { ReleaseDC(window, dc); }
};
using WindowDc = UniqueHandle<WindowDcTraits>;
inline WindowDc windowDc(HWND window) { return WindowDc(GetDC(window), WindowDcTraits{window}); }

// The object a SelectObject call replaced, selected back into its context on close.
struct SelectionTraits {
    using Handle = HGDIOBJ;
    HDC dc = nullptr;
    static Handle invalid() { return nullptr; }
    void close(Handle previous) const { SelectObject(dc, previous); }
};
using Selection = UniqueHandle<SelectionTraits>;
inline Selection selectObject(HDC dc, HGDIOBJ object) {
    return Selection(SelectObject(dc, object), SelectionTraits{dc});
}

} // namespace zrk

// chooseFolder and chooseFile: the shell's folder browser and the open-file dialog,
// on the wide route through the wide-call table, on the ANSI route through the A calls.
// shell32, comdlg32 and ole32 are not imported: the system may take them from the
// program's folder, so they come from the system folder at run time.
#include "stream/file_dialogs_win32.h"

#include <memory>
#include <new>

#include "text/ansi_win32.h"
#include "text/system_library_win32.h"
#include "text/utf.h"
#include "text/wide_calls_win32.h"

namespace zrk {
namespace {

constexpr size_t kResultUnits = 65536;  // 131,072 bytes wide, 65,536 bytes ANSI

// The ANSI dialog calls and the shell's allocator release, loaded at first use
// and kept for the life of the process (the shell may keep threads of its own).
struct DialogCalls {
    decltype(&::SHBrowseForFolderA) SHBrowseForFolderA;
    decltype(&::SHGetPathFromIDListA) SHGetPathFromIDListA;
    decltype(&::GetOpenFileNameA) GetOpenFileNameA;
    decltype(&::CoTaskMemFree) CoTaskMemFree;
};

const DialogCalls& dialogCalls() {
    static const DialogCalls calls = [] {
        const HMODULE shell = loadSystemLibrary("shell32.dll");
        const HMODULE dialogs = loadSystemLibrary("comdlg32.dll");
        const HMODULE com = loadSystemLibrary("ole32.dll");
        return DialogCalls{systemCall<decltype(&::SHBrowseForFolderA)>(shell, "SHBrowseForFolderA"),
                           systemCall<decltype(&::SHGetPathFromIDListA)>(shell, "SHGetPathFromIDListA"),
                           systemCall<decltype(&::GetOpenFileNameA)>(dialogs, "GetOpenFileNameA"),
                           systemCall<decltype(&::CoTaskMemFree)>(com, "CoTaskMemFree")};
    }();
    return calls;
}

// The browser's item list goes back to the shell's allocator.
void freeItemList(LPITEMIDLIST item) {
    if (dialogCalls().CoTaskMemFree) dialogCalls().CoTaskMemFree(item);
}

struct BrowseData {
    std::string caption;
    std::string initialFolder;
};

int CALLBACK browseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
    if (message != BFFM_INITIALIZED) return 0;
    const BrowseData& browse = *reinterpret_cast<const BrowseData*>(data);
    const bool wide = hasWideCalls();
    if (!browse.caption.empty()) {
        if (wide) {
            if (wideCalls().SetWindowTextW) wideCalls().SetWindowTextW(dialog, wideChars(utf8ToWide(browse.caption)));
        } else {
            SetWindowTextA(dialog, utf8ToAnsi(browse.caption).c_str());
        }
    }
    if (!browse.initialFolder.empty()) {
        if (wide) {
            const std::u16string folder = utf8ToWide(browse.initialFolder);
            if (wideCalls().SendMessageW)
                wideCalls().SendMessageW(dialog, 0x467 /* BFFM_SETSELECTIONW */, 1,
                                         reinterpret_cast<LPARAM>(wideChars(folder)));
        } else {
            const std::string folder = utf8ToAnsi(browse.initialFolder);
            SendMessageA(dialog, 0x466 /* BFFM_SETSELECTIONA */, 1, reinterpret_cast<LPARAM>(folder.c_str()));
        }
    }
    return 0;
}

// The filter's length up to and including its closing double zero.
size_t filterLength(const char* filter) {
    if (!filter) return 0;
    size_t n = 0;
    while (filter[n] != 0 || filter[n + 1] != 0) ++n;
    return n + 2;
}

} // namespace

std::string chooseFolder(HWND owner, const std::string& caption, const std::string& prompt,
                         const std::string& initialFolder) {
    BrowseData data{caption, initialFolder};
    if (hasWideCalls()) {
        if (!wideCalls().SHBrowseForFolderW || !wideCalls().SHGetPathFromIDListW) return {};
        std::unique_ptr<char16_t[]> name(new (std::nothrow) char16_t[kResultUnits]());
        if (!name) return {};
        const std::u16string promptWide = utf8ToWide(prompt);
        BROWSEINFOW info{};
        info.hwndOwner = owner;
        info.pszDisplayName = wideChars(name.get());
        info.lpszTitle = prompt.empty() ? nullptr : wideChars(promptWide);
        info.ulFlags = BIF_RETURNONLYFSDIRS;
        info.lpfn = browseCallback;
        info.lParam = reinterpret_cast<LPARAM>(&data);
        LPITEMIDLIST item = wideCalls().SHBrowseForFolderW(&info);
        if (!item) return {};
        std::unique_ptr<char16_t[]> path(new (std::nothrow) char16_t[kResultUnits]());
        std::string result;
        if (path && wideCalls().SHGetPathFromIDListW(item, wideChars(path.get()))) result = wideToUtf8(path.get());
        freeItemList(item);
        return result;
    }
    std::unique_ptr<char[]> name(new (std::nothrow) char[kResultUnits]());
    if (!name) return {};
    const std::string promptAnsi = utf8ToAnsi(prompt);
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.pszDisplayName = name.get();
    info.lpszTitle = prompt.empty() ? nullptr : promptAnsi.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = browseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&data);
    const DialogCalls& calls = dialogCalls();
    if (!calls.SHBrowseForFolderA || !calls.SHGetPathFromIDListA) return {};
    LPITEMIDLIST item = calls.SHBrowseForFolderA(&info);
    if (!item) return {};
    std::unique_ptr<char[]> path(new (std::nothrow) char[kResultUnits]());
    std::string result;
    if (path && calls.SHGetPathFromIDListA(item, path.get())) result = ansiToUtf8(path.get());
    freeItemList(item);
    return result;
}

std::string chooseFile(HWND owner, const char* filter, const std::string& initialFolder) {
    const size_t length = filterLength(filter);
    constexpr DWORD kFlags = OFN_NONETWORKBUTTON | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;  // 0x21004
    if (hasWideCalls()) {
        if (!wideCalls().GetOpenFileNameW) return {};
        std::unique_ptr<char16_t[]> filterWide(new (std::nothrow) char16_t[length + 2]());
        std::unique_ptr<char16_t[]> file(new (std::nothrow) char16_t[kResultUnits]());
        if (!filterWide || !file) return {};
        utf8ToWideBuffer(filterWide.get(), length + 2, filter, length);
        const std::u16string folder = utf8ToWide(initialFolder);
        OPENFILENAMEW ofn{};
        ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;  // 76 bytes: no extension fields
        ofn.hwndOwner = owner;
        ofn.lpstrFilter = length ? wideChars(filterWide.get()) : nullptr;
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = wideChars(file.get());
        ofn.nMaxFile = kResultUnits - 1;
        ofn.lpstrInitialDir = wideChars(folder);
        ofn.Flags = kFlags;
        if (!wideCalls().GetOpenFileNameW(&ofn)) return {};
        return wideToUtf8(file.get());
    }
    if (!dialogCalls().GetOpenFileNameA) return {};
    std::unique_ptr<char[]> filterAnsi(new (std::nothrow) char[2 * length + 2]());
    std::unique_ptr<char[]> file(new (std::nothrow) char[kResultUnits]());
    if (!filterAnsi || !file) return {};
    utf8ToAnsiBuffer(filterAnsi.get(), 2 * length + 2, filter, length);
    const std::string folder = utf8ToAnsi(initialFolder);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = length ? filterAnsi.get() : nullptr;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.get();
    ofn.nMaxFile = kResultUnits - 1;
    ofn.lpstrInitialDir = folder.c_str();
    ofn.Flags = kFlags;
    if (!dialogCalls().GetOpenFileNameA(&ofn)) return {};
    return ansiToUtf8(file.get());
}

} // namespace zrk

// The wide-call table: route decision, modules from the system folder only,
// entries resolved, and repeated loading.
#include "text/wide_calls_win32.h"

#include "platform/handle_traits_win32.h"
#include "text/system_library_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace zrk {
namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('\\')); }

// The system folder as a 32-bit process may see it: system32, or on 64-bit
// systems the folder for 32-bit system libraries.
bool inSystemFolder(HMODULE module) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    const std::string folder = lower(folderOf(std::string(path, length)));
    char system[MAX_PATH];
    UINT n = GetSystemDirectoryA(system, MAX_PATH);
    if (n > 0 && n < MAX_PATH && folder == lower(std::string(system, n))) return true;
    n = GetSystemWow64DirectoryA(system, MAX_PATH);
    return n > 0 && n < MAX_PATH && folder == lower(std::string(system, n));
}

TEST(WideRoute, DecidedByPlatform) {
    EXPECT_EQ(wideRouteForPlatform(VER_PLATFORM_WIN32s), 0);
    EXPECT_EQ(wideRouteForPlatform(VER_PLATFORM_WIN32_WINDOWS), 0);
    EXPECT_EQ(wideRouteForPlatform(VER_PLATFORM_WIN32_NT), 1);
    EXPECT_EQ(wideRouteForPlatform(3), 1);
}

TEST(WideRoute, WideOnThisSystemAndFixed) {
    EXPECT_EQ(hasWideCalls(), 1);
    EXPECT_EQ(hasWideCalls(), 1);
}

TEST(WideCallTable, LoadedAtStartWithEveryModuleFromTheSystemFolder) {
    const WideCallTable& table = wideCalls();
    EXPECT_EQ(table.loaded, 1);
    for (int m = 0; m < wideCallModuleCount; ++m) {
        ASSERT_NE(table.modules[m], nullptr) << "module " << m;
        EXPECT_TRUE(inSystemFolder(table.modules[m])) << "module " << m;
    }
}

TEST(WideCallTable, EntriesMatchTheSystemsOwnLookup) {
    const WideCallTable& table = wideCalls();
    const auto lookup = [](const char* module, const char* name) {
        return reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA(module), name));
    };
    EXPECT_EQ(reinterpret_cast<void (*)()>(table.CreateFileW), lookup("kernel32.dll", "CreateFileW"));
    EXPECT_EQ(reinterpret_cast<void (*)()>(table.CreateWindowExW), lookup("user32.dll", "CreateWindowExW"));
    EXPECT_EQ(reinterpret_cast<void (*)()>(table.GetFileVersionInfoSizeW),
              lookup("version.dll", "GetFileVersionInfoSizeW"));
    // Every entry the program calls is present.
    for (const void* entry : {(const void*)table.CreateFileW, (const void*)table.CreateDirectoryW,
                              (const void*)table.GetFileAttributesW, (const void*)table.SetFileAttributesW,
                              (const void*)table.GetModuleFileNameW, (const void*)table.SHBrowseForFolderW,
                              (const void*)table.SHGetPathFromIDListW, (const void*)table.GetOpenFileNameW,
                              (const void*)table.SetWindowTextW, (const void*)table.SendMessageW,
                              (const void*)table.FindFirstFileW, (const void*)table.FindNextFileW,
                              (const void*)table.CreateFontW, (const void*)table.GetObjectW,
                              (const void*)table.SetDlgItemTextW, (const void*)table.GetDlgItemTextW})
        EXPECT_NE(entry, nullptr);
}

TEST(WideCallTable, SecondLoadChangesNothingAndReloadWorks) {
    WideCallTable before;
    std::memcpy(&before, &wideCalls(), sizeof before);
    loadWideCalls();
    EXPECT_EQ(std::memcmp(&before, &wideCalls(), sizeof before), 0);

    unloadWideCalls();
    EXPECT_EQ(wideCalls().loaded, 0);
    loadWideCalls();
    EXPECT_EQ(wideCalls().loaded, 1);
    EXPECT_NE(wideCalls().modules[6], nullptr);
    EXPECT_NE(wideCalls().GetFileVersionInfoW, nullptr);
}

TEST(SystemLibrary, BothRoutesLoadFromTheSystemFolder) {
    for (auto load : {loadSystemLibrary, loadSystemLibraryByPath}) {
        const ModuleHandle module(load("winmm.dll"));
        ASSERT_TRUE(module);
        EXPECT_TRUE(inSystemFolder(module.get()));
    }
    EXPECT_EQ(loadSystemLibrary("zrk-no-such-library.dll"), nullptr);
    EXPECT_EQ(loadSystemLibraryByPath("zrk-no-such-library.dll"), nullptr);
}

// zrk-planted-probe.dll lies beside the program and in the current folder, as a
// planted library would in a download folder. The order set at process start,
// before any test code, refuses it by name; by its full path it loads.
TEST(SystemLibrary, PlantedLibraryIsNotLoadedByName) {
    const ModuleHandle byName(LoadLibraryA("zrk-planted-probe.dll"));
    EXPECT_FALSE(byName);
    char self[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    const std::string planted = folderOf(std::string(self, length)) + "\\zrk-planted-probe.dll";
    const ModuleHandle byPath(LoadLibraryA(planted.c_str()));
    EXPECT_TRUE(byPath);
    EXPECT_EQ(setSafeDllSearchOrder(), DllSearchOrder::SystemFolderOnly);
}

} // namespace
} // namespace zrk

// Windows console backend: the safe library search order, UTF-16 command line and
// console input, echo switched off through the console mode while a password is typed.
#include "platform/windows_api.h"

#include <shellapi.h>

#include <cstdio>
#include <iostream>

#include "console.h"
#include "text/system_library_win32.h"
#include "text/utf.h"

namespace zrk::tool {

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    // shell32 is not imported: the system may take it from the program's folder.
    static const auto commandLineToArgv = systemCall<decltype(&::CommandLineToArgvW)>(
        loadSystemLibrary("shell32.dll"), "CommandLineToArgvW");
    int count = 0;
    LPWSTR* wide = commandLineToArgv ? commandLineToArgv(GetCommandLineW(), &count) : nullptr;
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i) {
        const wchar_t* w = wide[i];
        std::u16string text;
        for (; *w; ++w) text += char16_t(*w);
        args.push_back(wideToUtf8(text));
    }
    LocalFree(wide);
    return args;
}

void prepareConsole() {
    // Set already at process start; called here too so the start-up names it.
    setSafeDllSearchOrder();
    SetConsoleOutputCP(CP_UTF8);
}

bool stderrIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool stdinIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

bool readHiddenLine(const std::string& prompt, std::string& line) {
    std::fputs(prompt.c_str(), stderr);
    std::fflush(stderr);
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD saved = 0;
    if (!GetConsoleMode(input, &saved)) {
        // Not a console: a redirected line, read as bytes.
        if (!std::getline(std::cin, line)) return false;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
    }
    SetConsoleMode(input, saved & ~DWORD(ENABLE_ECHO_INPUT));
    std::u16string text;
    bool ok = false;
    for (;;) {
        wchar_t c = 0;
        DWORD got = 0;
        if (!ReadConsoleW(input, &c, 1, &got, nullptr) || got == 0) break;
        if (c == L'\r') continue;
        if (c == L'\n') {
            ok = true;
            break;
        }
        text += char16_t(c);
    }
    SetConsoleMode(input, saved);
    std::fputs("\n", stderr);
    line = wideToUtf8(text);
    for (char16_t& c : text) c = 0;
    return ok;
}

} // namespace zrk::tool

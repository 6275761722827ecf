// POSIX terminal backend: isatty, and termios to switch echo off while a password is typed.
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "console.h"

namespace zrk::tool {

std::vector<std::string> utf8Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

void prepareConsole() {}

bool stderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }
bool stdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }

bool readHiddenLine(const std::string& prompt, std::string& line) {
    std::fputs(prompt.c_str(), stderr);
    std::fflush(stderr);
    termios saved{};
    const bool terminal = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool ok = bool(std::getline(std::cin, line));
    if (terminal) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    if (ok && !line.empty() && line.back() == '\r') line.pop_back();
    return ok;
}

} // namespace zrk::tool

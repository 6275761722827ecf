// Windows interrupt backend: a console control handler. The system runs it on a
// thread of its own; the first Ctrl-C or Ctrl-Break sets a flag, a second one
// removes the registered file and ends the process.
#include "platform/windows_api.h"

#include <atomic>

#include "interrupt.h"
#include "text/utf.h"

namespace zrk::tool {
namespace {

std::atomic<int> requests{0};
std::atomic<bool> removeRegistered{false};
wchar_t removePath[32768];

BOOL WINAPI onControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    if (requests.fetch_add(1) == 0) return TRUE;
    if (removeRegistered.load()) DeleteFileW(removePath);
    static const char kText[] = "\r\nzrk: interrupted again; stopped at once\r\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), kText, DWORD(sizeof kText - 1), &written, nullptr);
    ExitProcess(DWORD(kInterruptedExit));
}

} // namespace

void installInterruptHandler() { SetConsoleCtrlHandler(onControl, TRUE); }

bool interruptRequested() { return requests.load() != 0; }

void throwIfInterrupted() {
    if (requests.load() != 0) throw Interrupted("interrupted");
}

RemoveOnHardInterrupt::RemoveOnHardInterrupt(const std::string& corePath) {
    removeRegistered = false;
    const std::u16string wide = utf8ToWide(corePath);
    if (wide.size() >= sizeof removePath / sizeof removePath[0]) return;
    for (size_t i = 0; i < wide.size(); ++i) removePath[i] = wchar_t(wide[i]);
    removePath[wide.size()] = L'\0';
    removeRegistered = true;
}

RemoveOnHardInterrupt::~RemoveOnHardInterrupt() { removeRegistered = false; }

} // namespace zrk::tool

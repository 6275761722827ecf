// POSIX interrupt backend: a SIGINT / SIGTERM handler that sets a flag, and on a
// second signal removes the registered file and ends the program. Only
// async-signal-safe calls (write, unlink, _exit) are made inside the handler.
#include "interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>

#include "tool_support.h"

namespace zrk::tool {
namespace {

volatile sig_atomic_t requests = 0;
volatile sig_atomic_t removeRegistered = 0;
char removePath[4096];

void say(const char* text) {
    ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

extern "C" void onSignal(int signal) {
    if (requests == 0) {
        requests = 1;
        return;
    }
    if (removeRegistered) ::unlink(removePath);
    say("\nzrk: interrupted again; stopped at once\n");
    ::_exit(128 + signal);
}

} // namespace

void installInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a password prompt waiting on the terminal returns at once.
    action.sa_flags = 0;
    // A program started in the background by a shell has SIGINT ignored: the
    // terminal's Ctrl-C is not meant for it, so it stays ignored.
    struct sigaction before {};
    if (sigaction(SIGINT, nullptr, &before) == 0 && before.sa_handler != SIG_IGN) sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool interruptRequested() { return requests != 0; }

void throwIfInterrupted() {
    if (requests != 0) throw Interrupted("interrupted");
}

RemoveOnHardInterrupt::RemoveOnHardInterrupt(const std::string& corePath) {
    const std::string host = hostOf(corePath).string();
    removeRegistered = 0;
    if (host.size() >= sizeof removePath) return;
    std::memcpy(removePath, host.c_str(), host.size() + 1);
    removeRegistered = 1;
}

RemoveOnHardInterrupt::~RemoveOnHardInterrupt() { removeRegistered = 0; }

} // namespace zrk::tool

// Ctrl-C while a command works. The first request only sets a flag; the long loops
// (the combine's and the writer's progress calls, the verify loop) look at it after
// each block and throw Interrupted, so that the command can remove what it had half
// written and end with kInterruptedExit. A second request ends the program at once,
// removing the file registered with RemoveOnHardInterrupt first.
#pragma once

#include <stdexcept>
#include <string>

namespace zrk::tool {

// 128 + SIGINT, as shells report a program ended by Ctrl-C.
constexpr int kInterruptedExit = 130;

// Not a ToolError: code that turns failures into reasons must let it pass.
struct Interrupted : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// POSIX: SIGINT and SIGTERM; Windows: the console's Ctrl-C and Ctrl-Break.
void installInterruptHandler();
bool interruptRequested();
// Throws Interrupted when a request has come in.
void throwIfInterrupted();

// While it lives, a second request removes `corePath` before the program ends.
class RemoveOnHardInterrupt {
public:
    explicit RemoveOnHardInterrupt(const std::string& corePath);
    ~RemoveOnHardInterrupt();
    RemoveOnHardInterrupt(const RemoveOnHardInterrupt&) = delete;
    RemoveOnHardInterrupt& operator=(const RemoveOnHardInterrupt&) = delete;
};

} // namespace zrk::tool

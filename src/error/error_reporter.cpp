// Composing and dispatching library errors; showing them is the platform's part.
#include "error/error_reporter.h"

#include <atomic>
#include <cstdio>

#include "error/tql_exception.h"
#include "thread/lock.h"

namespace zrk {
namespace {

Lock modeLock;
uint32_t errorMode = 0;
std::atomic<ErrorBoxShower> shower{&showErrorBox};

struct CodeNamePair {
    int32_t code;
    const char* name;
};

// The scan stops at the first match or at the closing pair, whose name is the fallback.
constexpr CodeNamePair kCodeNames[] = {
    {TQLERR_HWND, "TQLERR_HWND"},
    {TQLERR_FILE, "TQLERR_FILE"},
    {TQLERR_NOMEMORY, "TQLERR_NOMEMORY"},
    {TQLERR_UNKNOWN_EXCEPTION, "TQLERR_UNKNOWN_EXCEPTION"},
    {0, "UnknownError"},
};

} // namespace

void setLibraryErrorMode(uint32_t flags) {
    modeLock.enter();
    errorMode = flags;
    modeLock.leave();
}

uint32_t libraryErrorMode() {
    modeLock.enter();
    uint32_t mode = errorMode;
    modeLock.leave();
    return mode;
}

std::string kindName(int32_t kind) { return kind == 0 ? "DOZuzarir  " : "UnknownType"; }

std::string codeName(int32_t kind, int32_t code) {
    if (kind == 0) {
        const CodeNamePair* pair = kCodeNames;
        while (pair->code != code && pair->code != 0) ++pair;
        return pair->name;
    }
    char text[32];  // "%10d(0x%08x)" of any 32-bit value needs at most 23 characters
    std::snprintf(text, sizeof text, "%10d(0x%08x)", int(code), unsigned(uint32_t(code)));
    return text;
}

ErrorText composeErrorText(int32_t kind, int32_t code, const std::string& message) {
    return ErrorText{kindName(kind), codeName(kind, code) + "\n" + message};
}

ErrorBoxShower setErrorBoxShower(ErrorBoxShower next) { return shower.exchange(next); }

int32_t reportLibraryError(int32_t kind, int32_t code, std::string message) {
    // Only the mode is read under the lock: boxes and throws happen outside it, so two
    // threads may show their boxes at the same time.
    const uint32_t mode = libraryErrorMode();
    if (mode == 0) return 0;
    if (mode & ErrorModeMessageBox) shower.load()(composeErrorText(kind, code, message));
    if (mode & ErrorModeThrow) throw TqlException(kind, code, std::move(message));
    return 0;
}

} // namespace zrk

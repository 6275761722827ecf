// The process-wide error reporter: turns (kind, code, message) into a message box
// and/or a thrown TqlException, as the error mode asks.
#pragma once

#include <cstdint>
#include <string>

namespace zrk {

constexpr uint32_t ErrorModeMessageBox = 2;
constexpr uint32_t ErrorModeThrow = 4;

constexpr int32_t TQLERR_HWND = 1;
constexpr int32_t TQLERR_FILE = 2;
constexpr int32_t TQLERR_NOMEMORY = 3;
constexpr int32_t TQLERR_UNKNOWN_EXCEPTION = 4;

void setLibraryErrorMode(uint32_t flags);
uint32_t libraryErrorMode();

// Shows and/or throws according to the mode; returns 0 when it does not throw.
int32_t reportLibraryError(int32_t kind, int32_t code, std::string message);

// The box caption for a kind: "DOZuzarir  " for the library's own, else "UnknownType".
std::string kindName(int32_t kind);
// The library code's name for kind 0, else the code as "%10d(0x%08x)".
std::string codeName(int32_t kind, int32_t code);

struct ErrorText {
    std::string caption;
    std::string text;  // code text, "\n", message
};
// What the box shows, composed without showing anything.
ErrorText composeErrorText(int32_t kind, int32_t code, const std::string& message);

// Where composed errors are shown. The default is the platform's box (a message box on
// Windows, standard error elsewhere); tests put a recorder here. Returns the previous one.
using ErrorBoxShower = void (*)(const ErrorText& error);
ErrorBoxShower setErrorBoxShower(ErrorBoxShower shower);

// The platform's way of showing an error; waits until the user has seen it.
void showErrorBox(const ErrorText& error);

} // namespace zrk

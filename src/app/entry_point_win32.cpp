// zrkcombine.exe's entry point: reads its own payload, shows the combine wizard and
// runs its message loop; ends quietly with 0 when there is no usable payload.
#include "app/payload_loader.h"
#include "error/error_reporter.h"
#include "error/tql_exception.h"
#include "platform/handle_traits_win32.h"
#include "stream/paths.h"
#include "text/system_library_win32.h"
#include "text/utf.h"
#include "window/controls.h"
#include "window/progress_animation.h"
#include "wizard/combine_job_win32.h"
#include "wizard/wizard_commands.h"
#include "wizard/wizard_pages.h"

using namespace zrk;

namespace {

int32_t runWizard(HINSTANCE instance, CombineWizard& wizard) {
    Window& window = *wizard.window;
    window.addHandler(WM_CLOSE, wizardCloseHandler);
    window.addHandler(WM_COMMAND, wizardCommandHandler);
    configureWizardWindow(window, wizard.settings, LoadIconA(instance, MAKEINTRESOURCEA(101)));
    if (!window.createNamed(instance, kWizardName, SW_HIDE)) return 0;
    window.enforceMinClientSize();
    window.fitToWorkArea();
    window.setDialogWindow(window.handle());
    ShowWindow(window.handle(), SW_SHOWNORMAL);

    animationThread().begin(animationThreadStep);
    animationThread().setArgument(reinterpret_cast<uintptr_t>(window.handle()));
    animationThread().start();
    combineThread().begin(combineThreadStep);

    const FontHandle font(createWizardFont(wizard.settings.fontPointSize));
    wizard.font = font.get();
    PostMessageA(window.handle(), WM_COMMAND, CMD_SHOW_INTRO, 0);
    window.runMessageLoop();
    wizard.font = nullptr;
    return window.exitCode();
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Libraries loaded by name come from the system folder only, never from the
    // download folder the program runs from. Set already at process start, before
    // any constructor ran; called here too so the start-up names it.
    setSafeDllSearchOrder();
    const wchar_t* line = GetCommandLineW();
    const std::u16string wide = line ? std::u16string(reinterpret_cast<const char16_t*>(line)) : std::u16string();
    // The program takes no arguments; whatever follows its name is ignored.
    (void)splitCommandLine(wideToUtf8(wide));

    const std::string program = modulePath();
    setBaseFolder(folderOfPath(program));
    CombineWizard& wizard = combineWizard();
    wizard.defaultFolder = folderOfPath(modulePath());

    if (!loadPayload()) return 0;
    wizard.outputFolder = wizard.defaultFolder;

    int32_t exitCode = 0;
    try {
        exitCode = runWizard(instance, wizard);
    } catch (const TqlException& error) {
        setLibraryErrorMode(ErrorModeMessageBox);
        reportLibraryError(error.kind(), error.code(), error.message());
    } catch (...) {
        setLibraryErrorMode(ErrorModeMessageBox);
        reportLibraryError(0, TQLERR_UNKNOWN_EXCEPTION, "");
    }
    combineThread().pause();
    animationThread().pause();
    return exitCode;
}

// zrk_page_viewer: shows the wizard's pages with the built-in settings and texts,
// no archive needed, so the layout can be looked at and captured.
// Usage: zrk_page_viewer [PAGE [MILLISECONDS]]   PAGE 0-5 shows that page only (the
// combining page with a third of a made-up total done), for MILLISECONDS when given;
// without PAGE, or with -1, the pages take turns.
#include "platform/handle_traits_win32.h"
#include "thread/loop_thread.h"
#include "window/controls.h"
#include "window/progress_animation.h"
#include "wizard/wizard_pages.h"

#include <cstdlib>

namespace {

using namespace zrk;

Window viewerWindow;
MessageTable viewerMessages = MessageTable::builtin();
CombineWizard viewer;
LoopThread animationThread;
int currentPage = 0;
constexpr UINT_PTR kTurnTimer = 1;
constexpr UINT_PTR kEndTimer = 2;

void (*const pages[])(CombineWizard&) = {IntroPage, DecryptionPage, OutputFolderPage,
                                         ReadyPage, CombiningPage, FinishedPage};
constexpr int kPageCount = 6;

void animationStep(uintptr_t window) {
    LockHolder hold(animationLock());
    progressAnimation().frame(reinterpret_cast<HWND>(window));
}

void showPage(int page) {
    {
        LockHolder hold(animationLock());
        animationOn = 0;
    }
    pages[page](viewer);
    if (page == 4) {
        LockHolder hold(animationLock());
        progressAnimation().progressTotal = 3000;
        progressAnimation().progressDone = 1000;
        animationOn = 1;
    }
}

int32_t onTimer(HWND window, UINT, WPARAM timer, LPARAM) {
    if (timer == kEndTimer) {
        DestroyWindow(window);
        return 0;
    }
    currentPage = (currentPage + 1) % kPageCount;
    showPage(currentPage);
    return 0;
}

// The viewer has no flow: its buttons do nothing, closing ends it.
int32_t onCommand(HWND, UINT, WPARAM, LPARAM) { return 0; }

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const int fixedPage = __argc > 1 ? std::atoi(__argv[1]) : -1;
    const int lifetime = __argc > 2 ? std::atoi(__argv[2]) : 0;
    viewer.window = &viewerWindow;
    viewer.messages = &viewerMessages;
    viewer.outputFolder = "C:\\Users\\Public\\結合先";
    viewer.password = "password";
    configureWizardWindow(viewerWindow, viewer.settings, LoadIconA(instance, MAKEINTRESOURCEA(101)));
    viewerWindow.addHandler(WM_COMMAND, onCommand);
    viewerWindow.addHandler(WM_TIMER, onTimer);
    if (!viewerWindow.createNamed(instance, kWizardName, SW_HIDE)) return 0;
    viewerWindow.setDialogWindow(viewerWindow.handle());
    ShowWindow(viewerWindow.handle(), SW_SHOWNORMAL);
    const FontHandle font(createWizardFont(viewer.settings.fontPointSize));
    viewer.font = font.get();

    animationThread.begin(animationStep);
    animationThread.setArgument(reinterpret_cast<uintptr_t>(viewerWindow.handle()));
    animationThread.start();

    currentPage = fixedPage >= 0 && fixedPage < kPageCount ? fixedPage : 0;
    showPage(currentPage);
    if (currentPage != fixedPage) SetTimer(viewerWindow.handle(), kTurnTimer, 2000, nullptr);
    if (lifetime > 0) SetTimer(viewerWindow.handle(), kEndTimer, UINT(lifetime), nullptr);
    viewerWindow.runMessageLoop();

    animationThread.pause();
    return viewerWindow.exitCode();
}

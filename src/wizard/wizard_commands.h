// The wizard's command numbers beyond its buttons' identifiers, and its two window
// handlers and two threads.
#pragma once

#include "platform/windows_api.h"
#include "thread/loop_thread.h"
#include "thread/task_thread.h"

#include <cstdint>

namespace zrk {

enum WizardCommand : int {
    CMD_SHOW_INTRO = 28,
    CMD_SHOW_OUTPUT_FOLDER = 29,
    CMD_SHOW_READY = 30,
    CMD_START_COMBINE = 31,
    CMD_SHOW_FINISHED = 32,
    CMD_SHOW_DECRYPTION = 33,
};

// Registered for WM_COMMAND; always handled (0).
int32_t wizardCommandHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Registered for WM_CLOSE: 0 keeps the window, 1 lets it be destroyed.
int32_t wizardCloseHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

TaskThread& combineThread();
LoopThread& animationThread();
// The animation thread's step: one frame of the bar under animationLock.
void animationThreadStep(uintptr_t window);

} // namespace zrk

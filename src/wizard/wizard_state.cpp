// The process-wide wizard: its state, window and message table, shared by start-up,
// the command handlers and the combine job.
#include "wizard/wizard_pages.h"

namespace zrk {

Window& wizardWindow() {
    static Window window;
    return window;
}

MessageTable& wizardMessages() {
    static MessageTable table;
    return table;
}

CombineWizard& combineWizard() {
    static CombineWizard wizard;
    static const bool wired = [] {
        wizard.window = &wizardWindow();
        wizard.messages = &wizardMessages();
        return true;
    }();
    (void)wired;
    return wizard;
}

} // namespace zrk

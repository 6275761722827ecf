// The wizard's flow: what every command does, the output-folder and key checks, the
// start of the combine job and the question on closing while it runs.
#include "wizard/combine_job_win32.h"
#include "archive/split_archive.h"
#include "error/tql_exception.h"
#include "stream/file_dialogs_win32.h"
#include "stream/paths.h"
#include "text/call_wrappers_win32.h"
#include "window/controls.h"
#include "window/progress_animation.h"
#include "wizard/wizard_commands.h"
#include "wizard/wizard_pages.h"

namespace zrk {

namespace {

const std::string& text(MessageText index) { return (*combineWizard().messages)[index]; }

void post(HWND window, int command) { PostMessageA(window, WM_COMMAND, WPARAM(command), 0); }

int notice(HWND window, const std::string& body, MessageText caption, UINT style) {
    return messageBox(window, body, text(caption), style);
}

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

void setAnimation(int32_t on) {
    LockHolder hold(animationLock());
    animationOn = on;
}

void browseFolder(HWND window) {
    const std::string folder = chooseFolder(window, "", "", combineWizard().defaultFolder);
    if (!folder.empty()) setItemText(window, IDC_FOLDER_EDIT, folder);
}

void browseKeyFile(HWND window) {
    static const char filter[] = "All Files(*.*)\0*.*\0";
    const std::string path = chooseFile(window, filter, combineWizard().defaultFolder);
    if (!path.empty()) setItemText(window, IDC_KEYFILE_EDIT, path);
}

void checkOutputFolder(HWND window) {
    CombineWizard& wizard = combineWizard();
    wizard.outputFolder = makeAbsolute(getItemText(window, IDC_FOLDER_EDIT));
    const uint32_t attributes = getAttributes(wizard.outputFolder);
    if (attributes != kNoAttributes && (attributes & kAttributeFolder)) {
        post(window, CMD_SHOW_READY);
        return;
    }
    if (wizard.outputFolder.empty()) {
        notice(window, text(kTextPathInvalid), kTextNoticeCaption, MB_OK);
        return;
    }
    notice(window, text(kTextPathMissing) + "\n" + quoted(wizard.outputFolder), kTextNoticeCaption, MB_OK);
    if (notice(window, text(kTextAskCreateFolder), kTextNoticeCaption, MB_YESNO) != IDYES) return;
    if (createFolder(wizard.outputFolder)) {
        post(window, CMD_SHOW_READY);
        return;
    }
    notice(window, text(kTextCannotCreateFolder) + "\n" + wizard.outputFolder, kTextErrorCaption, MB_OK);
}

bool isChecked(HWND window, int id) {
    return SendDlgItemMessageA(window, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void checkKey(HWND window) {
    CombineWizard& wizard = combineWizard();
    if (isChecked(window, IDC_PASSWORD_RADIO)) {
        wizard.keyMode = 1;
        wizard.password = getItemText(window, IDC_PASSWORD_EDIT);
    }
    if (isChecked(window, IDC_KEYFILE_RADIO)) {
        wizard.keyMode = 2;
        const std::string path = getItemText(window, IDC_KEYFILE_EDIT);
        const uint32_t attributes = getAttributes(makeAbsolute(path));
        const bool usable = !path.empty() && pathExists(path) && attributes != kNoAttributes &&
                            !(attributes & (kAttributeFolder | kAttributeTemporary));
        if (!usable) {
            const std::string body =
                path.empty() ? text(kTextKeyFileInvalid) : text(kTextKeyFileMissing) + "\n" + quoted(path);
            notice(window, body, kTextNoticeCaption, MB_OK);
            post(window, CMD_SHOW_DECRYPTION);
            return;
        }
        wizard.keyFilePath = path;
    }

    // The trial open reads the archive information with the chosen key, so a wrong
    // password is caught here rather than after the user has chosen a folder.
    SplitArchive trial;
    if (!trial.initialize()) return;
    trial.setProgressCallback(onCombineProgress);
    trial.setStatusCallback(onArchiveStatus);
    const std::string exe = modulePath();
    if (trial.open(exe, wizardKey(wizard)) != SplitArchive::OpenResult::Opened) return;
    std::string name;
    try {
        name = trial.readArchiveInfo(exe);
    } catch (const TqlException&) {
        name.clear();  // unreadable archive information: ask again
    }
    post(window, name.empty() ? CMD_SHOW_DECRYPTION : CMD_SHOW_OUTPUT_FOLDER);
}

void startCombine() {
    CombineWizard& wizard = combineWizard();
    CombiningPage(wizard);
    setAnimation(1);
    combineThread().start();
}

} // namespace

TaskThread& combineThread() {
    static TaskThread thread;
    return thread;
}

LoopThread& animationThread() {
    static LoopThread thread;
    return thread;
}

void animationThreadStep(uintptr_t window) {
    LockHolder hold(animationLock());
    progressAnimation().frame(reinterpret_cast<HWND>(window));
}

int32_t wizardCommandHandler(HWND window, UINT, WPARAM wParam, LPARAM) {
    CombineWizard& wizard = combineWizard();
    switch (LOWORD(wParam)) {
    case IDC_INTRO_NEXT:
        post(window, wizard.archiveEncrypted ? CMD_SHOW_DECRYPTION : CMD_SHOW_OUTPUT_FOLDER);
        break;
    case IDC_INTRO_CANCEL:
    case IDC_FOLDER_CANCEL:
    case IDC_READY_CANCEL:
    case IDC_COMBINING_CANCEL:
    case IDC_DECRYPT_CANCEL:
    case IDC_FINISHED_NEXT:
        PostMessageA(window, WM_CLOSE, 0, 0);
        break;
    case IDC_FOLDER_BROWSE: browseFolder(window); break;
    case IDC_FOLDER_BACK:
        post(window, CMD_SHOW_INTRO);
        wizard.outputFolder = wizard.defaultFolder;
        break;
    case IDC_FOLDER_NEXT: checkOutputFolder(window); break;
    case IDC_READY_BACK: post(window, CMD_SHOW_OUTPUT_FOLDER); break;
    case IDC_READY_NEXT: post(window, CMD_START_COMBINE); break;
    case IDC_DECRYPT_BACK: post(window, CMD_SHOW_INTRO); break;
    case IDC_DECRYPT_NEXT: checkKey(window); break;
    case IDC_PASSWORD_RADIO:
    case IDC_KEYFILE_RADIO: updateKeyChoice(window); break;
    case IDC_KEYFILE_BROWSE: browseKeyFile(window); break;
    case CMD_SHOW_INTRO: setAnimation(0); IntroPage(wizard); break;
    case CMD_SHOW_OUTPUT_FOLDER: setAnimation(0); OutputFolderPage(wizard); break;
    case CMD_SHOW_READY: setAnimation(0); ReadyPage(wizard); break;
    case CMD_START_COMBINE: startCombine(); break;
    case CMD_SHOW_FINISHED: setAnimation(0); FinishedPage(wizard); break;
    case CMD_SHOW_DECRYPTION: setAnimation(0); DecryptionPage(wizard); break;
    default: break;  // disabled buttons, edits and anything unknown
    }
    return 0;
}

int32_t wizardCloseHandler(HWND window, UINT, WPARAM, LPARAM) {
    if (!combineWizard().jobRunning) return 1;
    if (notice(window, text(kTextAskStopCombine), kTextNoticeCaption, MB_YESNO) != IDYES) return 0;
    combineThread().terminate();
    animationThread().terminate();
    return 1;
}

} // namespace zrk

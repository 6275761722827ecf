// The combine job, its progress sink and its status sink (see combine_job_win32.h).
#include "wizard/combine_job_win32.h"

#include "error/tql_exception.h"
#include "stream/paths.h"
#include "text/call_wrappers_win32.h"
#include "window/progress_animation.h"
#include "wizard/wizard_commands.h"
#include "wizard/wizard_pages.h"

#include <array>

namespace zrk {

namespace {

constexpr std::array<StatusMessage, 15> kStatusTable{{
    {ARCNOTE_ENCRYPTED_ARCHIVE, kTextArchiveEncrypted, kTextNoticeCaption, false},
    {ARCNOTE_ENCRYPTED, kTextArchiveEncrypted, kTextNoticeCaption, false},
    {ARCERR_OPEN, kTextCannotOpenFile, kTextNoticeCaption, false},
    {ARCERR_READ, kTextReadError, kTextErrorCaption, true},
    {ARCERR_WRITE, kTextWriteError, kTextErrorCaption, true},
    {ARCERR_CREATE_FOLDER, kTextCannotCreateFolder, kTextErrorCaption, true},
    {ARCERR_NOT_FOUND, kTextFileNotFound, kTextErrorCaption, true},
    {ARCERR_KEY_ARCHIVE, kTextWrongKey, kTextErrorCaption, false},
    {ARCERR_KEY, kTextWrongKey, kTextErrorCaption, false},
    {ARCERR_CRC, kTextCrcError, kTextErrorCaption, true},
    {ARCERR_FORMAT_ARCHIVE, kTextUnknownArchiveFormat, kTextErrorCaption, false},
    {ARCERR_FORMAT, kTextUnknownFormat, kTextErrorCaption, true},
    {ARCERR_VERSION, kTextUnknownArchiveVersion, kTextErrorCaption, false},
    {ARCERR_BROKEN, kTextFileDamaged, kTextErrorCaption, true},
    {ARCERR_ABNORMAL, kTextArchiveAbnormal, kTextErrorCaption, false},
}};

HWND wizardHandle() { return combineWizard().window->handle(); }

} // namespace

std::optional<StatusMessage> findStatusMessage(uint32_t code) {
    for (const StatusMessage& entry : kStatusTable)
        if (entry.code == code) return entry;
    return std::nullopt;
}

std::string statusBoxText(const MessageTable& table, const StatusMessage& entry, const std::string& detail) {
    std::string text = table[entry.text];
    if (entry.appendDetail) text += "\n" + detail;
    return text;
}

int32_t onCombineProgress(uint64_t done, uint64_t total, SplitArchive&) {
    progressAnimation().progressDone = done;
    progressAnimation().progressTotal = total;
    return 1;
}

int32_t onArchiveStatus(uint32_t code, const std::string& detail, SplitArchive&) {
    const std::optional<StatusMessage> entry = findStatusMessage(code);
    if (!entry) return 0;
    const MessageTable& table = *combineWizard().messages;
    SetForegroundWindow(wizardHandle());
    messageBox(wizardHandle(), statusBoxText(table, *entry, detail), table[entry->caption], MB_OK);
    return 0;
}

Key wizardKey(const CombineWizard& wizard) {
    if (wizard.keyMode == 1) return Key::password(wizard.password);
    if (wizard.keyMode == 2) return Key::keyFile(wizard.keyFilePath);
    return Key();
}

int runCombineJob() {
    CombineWizard& wizard = combineWizard();
    wizard.jobRunning = 1;
    SplitArchive archive;
    if (!archive.initialize()) return 0;
    archive.setProgressCallback(onCombineProgress);
    archive.setStatusCallback(onArchiveStatus);
    const std::string exe = modulePath();
    if (archive.open(exe, wizardKey(wizard)) != SplitArchive::OpenResult::Opened) return 0;
    std::string name;
    try {
        name = archive.readArchiveInfo(exe);
    } catch (const TqlZRKAFileReadError&) {
        // The executable could not be positioned at an offset just found in it: the
        // job cannot go on, and the exception must not end the combine thread.
        return 0;
    }
    // No name: its reason has been shown (a refused name as the abnormal archive), and
    // the folder itself must not become the target.
    if (name.empty()) return 0;
    archive.setTargetPath(joinPath(wizard.outputFolder, name));
    if (archive.combine() != 1) return 0;
    wizard.jobRunning = 0;
    return 1;
}

void combineThreadStep(uintptr_t) {
    const int result = runCombineJob();
    const HWND window = wizardHandle();
    if (result == 0) {
        const MessageTable& table = *combineWizard().messages;
        SetForegroundWindow(window);
        messageBox(window, table[kTextJobFailed], table[kTextNoticeCaption], MB_OK);
        combineWizard().jobRunning = 0;
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    PostMessageA(window, WM_COMMAND, CMD_SHOW_FINISHED, 0);
}

} // namespace zrk

// The wizard's state kept across pages and the six page builders. A page is not
// an object: each build clears the window and creates the page's controls afresh.
#pragma once

#include "platform/windows_api.h"
#include "startup/message_texts.h"
#include "startup/payload_settings.h"
#include "window/window.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace zrk {

// Control identifiers; the buttons' identifiers are the wizard's command numbers.
enum WizardControl : int {
    IDC_INTRO_BACK = 3, IDC_INTRO_NEXT = 4, IDC_INTRO_CANCEL = 5,
    IDC_FOLDER_BROWSE = 6, IDC_FOLDER_EDIT = 7,
    IDC_FOLDER_BACK = 8, IDC_FOLDER_NEXT = 9, IDC_FOLDER_CANCEL = 10,
    IDC_READY_BACK = 11, IDC_READY_NEXT = 12, IDC_READY_CANCEL = 13,
    IDC_COMBINING_BACK = 14, IDC_COMBINING_NEXT = 15, IDC_COMBINING_CANCEL = 16,
    IDC_FINISHED_BACK = 17, IDC_FINISHED_NEXT = 18, IDC_FINISHED_CANCEL = 19,
    IDC_DECRYPT_BACK = 20, IDC_DECRYPT_NEXT = 21, IDC_DECRYPT_CANCEL = 22,
    IDC_PASSWORD_RADIO = 23, IDC_KEYFILE_RADIO = 24, IDC_PASSWORD_EDIT = 25,
    IDC_KEYFILE_EDIT = 26, IDC_KEYFILE_BROWSE = 27,
};

struct CombineWizard {
    Window* window = nullptr;
    const MessageTable* messages = nullptr;
    PayloadSettings settings = PayloadSettings::builtin();
    HFONT font = nullptr;

    std::string defaultFolder;  // the program's folder, offered first
    std::string outputFolder;
    std::string password;
    std::string keyFilePath;
    int32_t keyMode = 0;  // 0 none, 1 password, 2 key file
    int32_t archiveEncrypted = 0;
    // Written by the combine thread, read by the close handler.
    std::atomic<int32_t> jobRunning{0};

    int32_t buttonWidth = 0;
    int32_t buttonHeight = 0;
};

// The wizard window's fixed configuration, applied before createNamed.
void configureWizardWindow(Window& window, const PayloadSettings& settings, HICON icon);
inline constexpr const char* kWizardTitle = "ZRK RivuVovevare";
inline constexpr const char* kWizardName = "ZRKA RivuVovevare";

// The program's one wizard, its window and its texts, alive for the whole process.
CombineWizard& combineWizard();
Window& wizardWindow();
MessageTable& wizardMessages();

void IntroPage(CombineWizard& wizard);
void DecryptionPage(CombineWizard& wizard);
void OutputFolderPage(CombineWizard& wizard);
void ReadyPage(CombineWizard& wizard);
void CombiningPage(CombineWizard& wizard);
void FinishedPage(CombineWizard& wizard);

} // namespace zrk

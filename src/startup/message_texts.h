// The names of the message table's 45 entries. The values are the entries' places in
// the stored table and never change.
#pragma once

#include "startup/message_table.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace zrk {

enum MessageText : size_t {
    // Buttons and labels
    kTextBack = 0,
    kTextNext = 1,
    kTextOk = 2,
    kTextCancel = 3,
    kTextFinish = 4,
    kTextUnused = 5,  // always empty
    kTextOutputFolderLabel = 6,
    kTextBrowse = 7,
    // Page headings and the prompts under them
    kTextIntroHeading = 8,
    kTextIntroPrompt = 9,
    kTextFolderHeading = 10,
    kTextFolderPrompt = 11,
    kTextReadyHeading = 12,
    kTextReadyPrompt = 13,
    kTextCombiningHeading = 14,
    kTextFinishedHeading = 15,
    kTextDecryptionHeading = 16,
    kTextDecryptionPrompt = 17,
    kTextPasswordChoice = 18,
    kTextKeyFileChoice = 19,
    // Message boxes: captions, questions and the archive's status codes
    kTextJobFailed = 20,
    kTextNoticeCaption = 21,
    kTextAskStopCombine = 22,
    kTextOutputFile = 23,
    kTextAlreadyExists = 24,
    kTextAskOverwrite = 25,
    kTextAskCreateFolder = 26,
    kTextKeyFileMissing = 27,
    kTextKeyFileInvalid = 28,
    kTextPathMissing = 29,
    kTextPathInvalid = 30,
    kTextErrorCaption = 31,
    kTextCannotOpenFile = 32,
    kTextReadError = 33,
    kTextWriteError = 34,
    kTextFileNotFound = 35,
    kTextCrcError = 36,
    kTextFileDamaged = 37,
    kTextUnknownFormat = 38,
    kTextCannotCreateFolder = 39,
    kTextArchiveEncrypted = 40,
    kTextWrongKey = 41,
    kTextUnknownArchiveVersion = 42,
    kTextUnknownArchiveFormat = 43,
    kTextArchiveAbnormal = 44,
};

static_assert(kTextArchiveAbnormal + 1 == kMessageCount);

// One entry of a table written out by name.
struct NamedText {
    MessageText name;
    std::string_view text;
};

// The texts of a table that names every entry once, in index order. Evaluated at
// compile time, so a table with an entry missing, doubled or out of place does not build.
template <size_t N>
consteval std::array<std::string_view, kMessageCount> textsInIndexOrder(const NamedText (&entries)[N]) {
    static_assert(N == kMessageCount, "one entry per text");
    std::array<std::string_view, kMessageCount> texts{};
    for (size_t i = 0; i < N; ++i) {
        if (entries[i].name != i) throw "entry out of index order";
        texts[i] = entries[i].text;
    }
    return texts;
}

} // namespace zrk

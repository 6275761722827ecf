// English texts of the combine wizard, by index of the message table.
#include "english_messages.h"

#include <array>
#include <string_view>

namespace zrk::tool {

MessageTable englishMessages() {
    static constexpr NamedText kNamed[] = {
        {kTextBack, "< &Back"},
        {kTextNext, "&Next >"},
        {kTextOk, "OK"},
        {kTextCancel, "Cancel"},
        {kTextFinish, "Finish"},
        {kTextUnused, ""},
        {kTextOutputFolderLabel, "Output folder"},
        {kTextBrowse, "B&rowse..."},
        {kTextIntroHeading, "This program combines split files."},
        {kTextIntroPrompt, "Press [Next]."},
        {kTextFolderHeading, "Choose the output folder."},
        {kTextFolderPrompt, "Then press [Next]."},
        {kTextReadyHeading, "The combine is about to start."},
        {kTextReadyPrompt, "Press [Next]."},
        {kTextCombiningHeading, "Combining..."},
        {kTextFinishedHeading, "The combine has finished."},
        {kTextDecryptionHeading, "Choose how to decrypt."},
        {kTextDecryptionPrompt, "Then press [Next]."},
        {kTextPasswordChoice, "Password"},
        {kTextKeyFileChoice, "Key file"},
        {kTextJobFailed, "The combine failed."},
        {kTextNoticeCaption, "Notice"},
        {kTextAskStopCombine, "Stop the combine now?"},
        {kTextOutputFile, "The output file"},
        {kTextAlreadyExists, "already exists."},
        {kTextAskOverwrite, "Replace it?"},
        {kTextAskCreateFolder, "Create the folder?"},
        {kTextKeyFileMissing, "The key file does not exist."},
        {kTextKeyFileInvalid, "The key file is not valid."},
        {kTextPathMissing, "The path does not exist."},
        {kTextPathInvalid, "The path is not valid."},
        {kTextErrorCaption, "Error"},
        {kTextCannotOpenFile, "The file cannot be opened."},
        {kTextReadError, "Error reading the file."},
        {kTextWriteError, "Error writing the file."},
        {kTextFileNotFound, "The file was not found."},
        {kTextCrcError, "CRC error in the file."},
        {kTextFileDamaged, "The file is damaged."},
        {kTextUnknownFormat, "Unknown format."},
        {kTextCannotCreateFolder, "The folder cannot be created."},
        {kTextArchiveEncrypted, "This archive is encrypted."},
        {kTextWrongKey, "The password or key file is wrong."},
        {kTextUnknownArchiveVersion, "The archive is of an unknown version."},
        {kTextUnknownArchiveFormat, "The archive is of an unknown format."},
        {kTextArchiveAbnormal, "The archive is damaged."},
    };
    static constexpr std::array<std::string_view, kMessageCount> kTexts = textsInIndexOrder(kNamed);
    MessageTable table;
    for (size_t i = 0; i < kMessageCount; ++i) table[i] = std::string(kTexts[i]);
    return table;
}

} // namespace zrk::tool

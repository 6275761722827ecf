// English texts of the combine wizard, by index of the message table.
#include "english_messages.h"

#include <array>
#include <string_view>

namespace zrk::tool {

MessageTable englishMessages() {
    static constexpr std::array<std::string_view, kMessageCount> kTexts = {
        "< &Back",
        "&Next >",
        "OK",
        "Cancel",
        "Finish",
        "",
        "Output folder",
        "B&rowse...",
        "This program combines split files.",
        "Press [Next].",
        "Choose the output folder.",
        "Then press [Next].",
        "The combine is about to start.",
        "Press [Next].",
        "Combining...",
        "The combine has finished.",
        "Choose how to decrypt.",
        "Then press [Next].",
        "Password",
        "Key file",
        "The combine failed.",
        "Notice",
        "Stop the combine now?",
        "The output file",
        "already exists.",
        "Replace it?",
        "Create the folder?",
        "The key file does not exist.",
        "The key file is not valid.",
        "The path does not exist.",
        "The path is not valid.",
        "Error",
        "The file cannot be opened.",
        "Error reading the file.",
        "Error writing the file.",
        "The file was not found.",
        "CRC error in the file.",
        "The file is damaged.",
        "Unknown format.",
        "The folder cannot be created.",
        "This archive is encrypted.",
        "The password or key file is wrong.",
        "The archive is of an unknown version.",
        "The archive is of an unknown format.",
        "The archive is damaged.",
    };
    MessageTable table;
    for (size_t i = 0; i < kMessageCount; ++i) table[i] = std::string(kTexts[i]);
    return table;
}

} // namespace zrk::tool

// Shared helpers of the commands: paths, keys, archive status texts.
#include "tool_support.h"

#include <filesystem>
#include <fstream>

#include "archive/archive_records.h"
#include "archive/archive_status.h"
#include "console.h"
#include "interrupt.h"
#include "stream/paths.h"
#include "text/text_format.h"

namespace zrk::tool {
namespace fs = std::filesystem;

namespace {

fs::path hostPath(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

std::string corePath(const std::string& userPath) {
    if (userPath.empty()) throw ToolError("an empty path was given");
    std::error_code error;
    fs::path absolute = fs::absolute(hostPath(userPath), error);
    if (error) throw ToolError(userPath + ": " + error.message());
    std::string text = utf8Of(absolute.lexically_normal());
    // A folder given with a trailing separator: the core joins names itself.
    while (text.size() > 1 && (text.back() == '/' || text.back() == '\\') && text[text.size() - 2] != ':')
        text.pop_back();
    for (char& c : text)
        if (c == '/') c = '\\';
    return text;
}

std::filesystem::path hostOf(const std::string& core) { return hostPath(shownPath(core)); }

std::string shownPath(const std::string& core) {
    std::string text = core;
    if (fs::path::preferred_separator == '/')
        for (char& c : text)
            if (c == '\\') c = '/';
    return text;
}

Key readKey(const KeyOptions& options, bool confirm) {
    if (!options.keyFile.empty()) {
        const std::string path = corePath(options.keyFile);
        if (!pathExists(path) || (getAttributes(path) & kAttributeFolder))
            throw ToolError(options.keyFile + ": the key file does not exist");
        return Key::keyFile(path);
    }
    std::string password;
    struct Wipe {
        std::string& s;
        ~Wipe() { wipeString(s); }
    } wipe{password};
    if (!options.passwordFile.empty()) {
        std::ifstream file(hostPath(options.passwordFile), std::ios::binary);
        if (!file) throw ToolError(options.passwordFile + ": cannot read the password file");
        std::getline(file, password);
        // Editors on Windows like to start a UTF-8 file with a byte-order mark.
        if (password.rfind("\xEF\xBB\xBF", 0) == 0) password.erase(0, 3);
        if (!password.empty() && password.back() == '\r') password.pop_back();
        if (password.empty()) throw ToolError(options.passwordFile + ": the first line (the password) is empty");
        return Key::password(password);
    }
    if (!options.prompt) return Key();
    if (!readHiddenLine("Password: ", password)) {
        throwIfInterrupted();  // Ctrl-C at the prompt ends the wait (and the echo is back on)
        throw ToolError("no password was entered");
    }
    if (password.empty()) throw ToolError("the password is empty");
    if (confirm) {
        std::string again;
        const bool read = readHiddenLine("Repeat the password: ", again);
        const bool same = read && again == password;
        wipeString(again);
        if (!read) throwIfInterrupted();
        if (!same) throw ToolError("the two passwords differ");
    }
    return Key::password(password);
}

void StatusRecorder::attach(SplitArchive& archive) {
    archive.setStatusCallback([this](uint32_t code, const std::string& detail, SplitArchive&) {
        reports.emplace_back(code, detail);
        return int32_t(0);
    });
}

std::string StatusRecorder::reason(const std::string& subject) const {
    if (reports.empty()) return shownPath(subject) + ": the archive cannot be read";
    return statusReason(reports.back().first, reports.back().second, subject);
}

std::string statusReason(uint32_t code, const std::string& detail, const std::string& subject) {
    const std::string file = shownPath(detail.empty() ? subject : detail);
    switch (code) {
    case ARCERR_OPEN:
        return file + ": cannot open the file";
    case ARCERR_READ:
        return file + ": read error (the file is cut short or damaged)";
    case ARCERR_WRITE:
        return file + ": write error";
    case ARCERR_CREATE:
        return file + ": cannot create the file";
    case ARCERR_CREATE_FOLDER:
        return file + ": cannot create the folder";
    case ARCERR_NOT_FOUND: {
        // The detail is "<target> <index>/<count>".
        const size_t space = detail.find_last_of(' ');
        const std::string which = space == std::string::npos ? detail : detail.substr(space + 1);
        return shownPath(subject) + ": volume " + which + " is missing from " + shownPath(parentFolder(subject));
    }
    case ARCERR_KEY:
    case ARCERR_KEY_ARCHIVE:
        return file + ": wrong password or key file";
    case ARCNOTE_ENCRYPTED:
    case ARCNOTE_ENCRYPTED_ARCHIVE:
        return file + ": the archive is encrypted; give --password-prompt, --password-file or -k";
    case ARCERR_CRC:
        return file + ": CRC error, the volume is damaged";
    case ARCERR_ABNORMAL:
        // The detail, when there is one, is the rule the name broke (storedNameProblem).
        return shownPath(subject) + ": the stored file name is unusable" +
               (detail.empty() ? "" : " (" + detail + ")") + "; the archive is damaged";
    case ARCERR_VERSION:
        return file + ": archive of an unknown version";
    default:
        return file + formatText(": the archive is damaged (status 0x%08X)", unsigned(code));
    }
}

void openArchive(SplitArchive& archive, const std::string& path, const Key& key) {
    if (!pathExists(path) || (getAttributes(path) & kAttributeFolder))
        throw ToolError(shownPath(path) + ": no such file");
    if (!archive.ready()) throw ToolError("out of memory for the transfer buffer");
    switch (archive.open(path, key)) {
    case SplitArchive::OpenResult::CannotOpen:
        throw ToolError(shownPath(path) + ": cannot open the file");
    case SplitArchive::OpenResult::NotAnArchive:
        throw ToolError(shownPath(path) + ": not a ZRK archive (no archive description)");
    case SplitArchive::OpenResult::Opened:
        break;
    }
}

std::string groupedNumber(uint64_t value) {
    const std::string plain = std::to_string(value);
    std::string digits;
    for (size_t i = 0; i < plain.size(); ++i) {
        if (i != 0 && (plain.size() - i) % 3 == 0) digits += ',';
        digits += plain[i];
    }
    return digits;
}

std::string sizeText(uint64_t bytes) {
    const std::string digits = groupedNumber(bytes);
    const char* units[] = {"KiB", "MiB", "GiB", "TiB"};
    double value = double(bytes);
    int unit = -1;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    if (unit < 0) return digits + " bytes";
    return digits + formatText(" bytes (%.1f %s)", value, units[unit]);
}

} // namespace zrk::tool

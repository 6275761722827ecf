// The payload loader and the command-line split (see payload_loader.h).
#include "app/payload_loader.h"

#include "archive/split_archive.h"
#include "startup/settings_container.h"
#include "stream/paths.h"
#include "wizard/wizard_pages.h"

namespace zrk {

int loadPayloadFrom(const std::string& programPath, LoadedPayload& payload) {
    if (!loadSettingsFromFile(programPath, payload.settings, payload.messages)) return 0;
    SplitArchive reader;
    if (reader.open(programPath, Key()) != SplitArchive::OpenResult::Opened) return 0;
    uint32_t encrypted = 0;
    if (!reader.isEncrypted(encrypted)) return 0;
    payload.encrypted = encrypted ? 1 : 0;
    return 1;
}

int loadPayload() {
    LoadedPayload payload;
    if (!loadPayloadFrom(modulePath(), payload)) return 0;
    CombineWizard& wizard = combineWizard();
    wizard.settings = payload.settings;
    wizardMessages() = payload.messages;
    wizard.archiveEncrypted = int32_t(payload.encrypted);
    wizard.password.clear();
    wizard.keyFilePath.clear();
    return 1;
}

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t'; }
} // namespace

CommandLineParts splitCommandLine(std::string_view line) {
    size_t at = 0;
    while (at < line.size() && isBlank(line[at])) ++at;
    size_t start = at, end;
    if (at < line.size() && line[at] == '"') {
        start = ++at;
        end = line.find('"', at);
        if (end == std::string_view::npos) {
            end = line.size();
            at = end;
        } else {
            at = end + 1;
        }
    } else {
        end = at;
        while (end < line.size() && !isBlank(line[end])) ++end;
        at = end;
    }
    CommandLineParts parts;
    parts.program = std::string(line.substr(start, end - start));
    while (at < line.size() && isBlank(line[at])) ++at;
    parts.arguments = std::string(line.substr(at));
    return parts;
}

std::string folderOfPath(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(0, slash);
}

} // namespace zrk

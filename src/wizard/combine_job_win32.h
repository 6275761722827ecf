// The combine job run by the combine thread: builds a SplitArchive from the wizard's
// choices, combines, and turns the archive's status codes into message boxes.
#pragma once

#include "archive/split_archive.h"
#include "startup/message_table.h"
#include "startup/message_texts.h"
#include "wizard/wizard_pages.h"

#include <cstdint>
#include <optional>
#include <string>

namespace zrk {

// How one status code is shown: message-table indices of text and caption, and
// whether the detail goes on a second line.
struct StatusMessage {
    uint32_t code;
    MessageText text;
    MessageText caption;
    bool appendDetail;
};

// The entry for a code; none for codes that show nothing (ARCERR_CREATE among them).
std::optional<StatusMessage> findStatusMessage(uint32_t code);
// The box text for an entry: the text, or the text, "\n" and the detail.
std::string statusBoxText(const MessageTable& table, const StatusMessage& entry, const std::string& detail);

// The key the wizard's choices give: none, its password, or its key file.
Key wizardKey(const CombineWizard& wizard);
// 1 when the output file was written.
int runCombineJob();
// The combine thread's step; posts CMD_SHOW_FINISHED (after a failure notice and a
// close request when the job failed).
void combineThreadStep(uintptr_t argument);
int32_t onCombineProgress(uint64_t done, uint64_t total, SplitArchive& archive);
int32_t onArchiveStatus(uint32_t code, const std::string& detail, SplitArchive& archive);

} // namespace zrk

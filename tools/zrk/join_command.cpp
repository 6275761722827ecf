// zrk join: the combine the Windows program runs, into a folder of the user's choice.
#include <filesystem>
#include <iostream>
#include <optional>

#include "archive/archive_status.h"
#include "archive/split_archive.h"
#include "commands.h"
#include "interrupt.h"
#include "progress_bar.h"
#include "stream/paths.h"
#include "tool_support.h"

namespace zrk::tool {

int runJoin(const JoinRequest& request) {
    const std::string exe = corePath(request.executable);
    const Key key = readKey(request.key, false);
    SplitArchive archive;
    StatusRecorder status;
    status.attach(archive);
    openArchive(archive, exe, key);

    const std::string name = archive.readArchiveInfo(exe);
    if (name.empty()) throw ToolError(status.reason(exe));

    const std::string folder = request.outputFolder.empty() ? parentFolder(exe) : corePath(request.outputFolder);
    if (!pathExists(folder) && !createFolder(folder)) throw ToolError(shownPath(folder) + ": cannot create the folder");
    const std::string target = joinPath(folder, name);
    if (pathExists(target)) {
        if (getAttributes(target) & kAttributeFolder) throw ToolError(shownPath(target) + ": is a folder");
        if (!request.force) throw ToolError(shownPath(target) + ": already exists (use --force to replace it)");
    }
    const std::string part = target + SplitArchive::kPartSuffix;
    const bool partExisted = pathExists(part) != 0;
    const bool targetExisted = pathExists(target) != 0;

    ProgressBar bar("join");
    archive.setTargetPath(target);
    // The combine goes on while its progress call returns; Ctrl-C leaves it by the
    // exception, after the block in hand, and the combine removes its part file on
    // the way out.
    archive.setProgressCallback([&bar](uint64_t done, uint64_t total, SplitArchive&) {
        bar.update(done, total);
        throwIfInterrupted();
        return int32_t(1);
    });
    status.reports.clear();
    int ok = 0;
    try {
        std::optional<RemoveOnHardInterrupt> hard;
        if (!partExisted) hard.emplace(part);
        ok = archive.combine();
    } catch (const Interrupted&) {
        bar.finish();
        // Bytes were written only once the combine had made the part file its own.
        const bool written = archive.doneBytes() != 0;
        std::string what = "no part file had been written";
        if (written) what = pathExists(part) ? "the part file " + shownPath(part) + " could not be removed"
                                             : "the part file was removed";
        std::string reason = "interrupted";
        if (written) reason += " after " + sizeText(archive.doneBytes()) + " of " + sizeText(archive.totalBytes());
        throw Interrupted(reason + "; " + what + "; " + shownPath(target) +
                          (targetExisted ? " is unchanged" : " was not made"));
    }
    bar.finish();
    if (!ok) {
        // A failure inside a piece names no file in its report; the archive knows which
        // volume it was reading.
        const auto& last = status.reports.empty() ? std::pair<uint32_t, std::string>{} : status.reports.back();
        const std::optional<VolumeFailure>& failed = archive.failedVolume();
        if (failed && !failed->path.empty() && last.second.empty())
            throw ToolError(statusReason(last.first, failed->path, exe));
        // Every volume sound by its own CRC, but not together the original.
        if (last.first == ARCERR_CRC && !failed)
            throw ToolError(shownPath(exe) + ": the volumes do not add up to the original file (its CRC differs; "
                            "a volume holds other data); " + shownPath(target) +
                            (targetExisted ? " is unchanged" : " was not made"));
        throw ToolError(status.reason(exe));
    }
    std::cout << "rebuilt " << shownPath(target) << " (" << sizeText(archive.totalBytes()) << ")\n";
    return 0;
}

} // namespace zrk::tool

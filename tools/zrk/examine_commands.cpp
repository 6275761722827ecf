// zrk info and zrk verify: what an archive holds and whether its volumes are whole,
// found the way the combine finds them (by content, first match per index).
#include <ctime>
#include <iostream>
#include <optional>

#include "archive/archive_records.h"
#include "archive/archive_status.h"
#include "archive/split_archive.h"
#include "commands.h"
#include "crypto/crc32.h"
#include "interrupt.h"
#include "progress_bar.h"
#include "stream/paths.h"
#include "text/text_format.h"
#include "tool_support.h"

namespace zrk::tool {
namespace {

struct ArchiveView {
    std::string path;
    std::string name;
    bool encrypted = false;
    bool unlocked = false;  // the header and name could be read
    bool isVolume = false;
    ArchiveHeader header;
    DateRecord date;
    VolumeSet volumes;
};

// An archive opened for a look, with its status reports collected.
struct Inspection {
    SplitArchive archive;
    StatusRecorder status;
    ArchiveView view;

    Inspection(const std::string& path, const Key& key) {
        status.attach(archive);
        view.path = path;
        openArchive(archive, path, key);
        view.isVolume = archive.archiveOffset() == 0;  // a volume starts with its description
        uint32_t flag = 0;
        if (!archive.isEncrypted(flag)) throw ToolError(status.reason(path));
        view.encrypted = flag != 0;
        if (view.encrypted && !key.given()) return;
        view.name = archive.readArchiveInfo(path);
        if (view.name.empty()) throw ToolError(status.reason(path));
        if (!archive.readArchiveHeader(view.header, view.date, path)) throw ToolError(status.reason(path));
        view.unlocked = true;
        view.volumes = archive.listVolumes(view.header);
    }
};

std::string fileTimeText(uint64_t fileTime) {
    if (fileTime == 0) return "not stored";
    const int64_t seconds = int64_t(fileTime / 10000000u) - 11644473600;
    const std::time_t t = std::time_t(seconds);
    const std::tm* utc = std::gmtime(&t);
    if (!utc) return formatText("%llu (FILETIME)", static_cast<unsigned long long>(fileTime));
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", utc);
    return text;
}

std::string attributeText(uint32_t attributes) {
    static const std::pair<uint32_t, const char*> kNames[] = {
        {0x01, "read-only"}, {0x02, "hidden"}, {0x04, "system"}, {0x20, "archive"}, {0x80, "normal"}};
    std::string names;
    for (const auto& [bit, name] : kNames)
        if (attributes & bit) names += std::string(names.empty() ? "" : ", ") + name;
    return formatText("0x%08X", unsigned(attributes)) + (names.empty() ? "" : " (" + names + ")");
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Takes the plain bytes of the pieces and keeps only their running CRC.
class CrcSink : public Stream {
public:
    int32_t read(void*, uint32_t) override { return 0; }
    int32_t write(const void* bytes, uint32_t count) override {
        crc_ = crc32_.update(bytes, count, crc_);
        return int32_t(count);
    }
    int seek(uint64_t) override { return 0; }
    uint64_t tell() override { return kNoPosition; }
    uint32_t crc() const { return crc_; }

private:
    Crc32 crc32_;
    uint32_t crc_ = 0;
};

std::string pieceProblem(uint32_t code) {
    switch (code) {
    case ARCERR_OPEN:
        return "cannot be opened";
    case ARCERR_CRC:
        return "CRC error, the data is damaged";
    default:
        return "read error (cut short or damaged)";
    }
}

struct VolumeCheck {
    std::vector<std::string> lines;
    std::string firstProblem;
    uint64_t problems = 0;
    uint64_t stored = 0;
    uint32_t fileCrc = 0;
};

// Calls present(index, volume) for each volume found and missing(first, last) for each
// run of missing indices, in index order: a damaged count of billions of volumes costs
// one line, not billions.
template <class Present, class Missing>
void walkVolumes(const VolumeSet& set, Present present, Missing missing) {
    uint32_t next = 0;
    for (const auto& [index, volume] : set.found) {
        if (index > next) missing(next, index - 1);
        present(index, volume);
        next = index + 1;
    }
    if (next < set.count) missing(next, set.count - 1);
}

// "  3/9  " for one volume, "  3-5/9  " for a run.
std::string volumesText(uint32_t first, uint32_t last, uint32_t count) {
    return first == last ? formatText("  %u/%u  ", unsigned(first + 1), unsigned(count))
                         : formatText("  %u-%u/%u  ", unsigned(first + 1), unsigned(last + 1), unsigned(count));
}

// Reads every volume found for the view: presence, the data CRCs and, through the
// plain bytes, the CRC of the original file.
void checkVolumes(Inspection& inspection, ProgressBar& bar, VolumeCheck& result) {
    SplitArchive& archive = inspection.archive;
    const ArchiveView& view = inspection.view;
    const uint32_t count = view.volumes.count;
    uint64_t total = 0;
    for (const auto& found : view.volumes.found) total += found.second.header.volumeDataSize();
    archive.setProgressCallback([&bar, total](uint64_t done, uint64_t, SplitArchive&) {
        bar.update(done, total);
        throwIfInterrupted();
        return int32_t(1);
    });
    CrcSink sink;
    auto present = [&](uint32_t i, const VolumeSet::Volume& volume) {
        const std::string which = volumesText(i, i, count);
        inspection.status.reports.clear();
        const bool sound = archive.readPiece(i, volume, sink) == 1;
        result.stored += volume.header.volumeDataSize();
        if (sound) {
            result.lines.push_back(which + "ok       " + baseName(volume.path));
            return;
        }
        const uint32_t code = inspection.status.reports.empty() ? ARCERR_READ : inspection.status.reports.back().first;
        const std::string problem = pieceProblem(code);
        result.lines.push_back(which + "DAMAGED  " + baseName(volume.path) + ": " + problem);
        if (result.problems++ == 0) result.firstProblem = shownPath(volume.path) + ": " + problem;
    };
    auto missing = [&](uint32_t first, uint32_t last) {
        result.lines.push_back(volumesText(first, last, count) + "MISSING");
        if (result.problems == 0)
            result.firstProblem = formatText("volume %u of %u is missing from %s", unsigned(first + 1), unsigned(count),
                                             shownPath(parentFolder(view.path)).c_str());
        result.problems += uint64_t(last - first) + 1;
    };
    walkVolumes(view.volumes, present, missing);
    result.fileCrc = sink.crc();
    bar.finish();
}

} // namespace

int runInfo(const InspectRequest& request) {
    const std::string path = corePath(request.path);
    const Key key = readKey(request.key, false);
    Inspection inspection(path, key);
    const ArchiveView& view = inspection.view;

    std::cout << "archive:    " << shownPath(path) << (view.isVolume ? " (volume)" : " (executable)") << "\n";
    std::cout << "encrypted:  " << (view.encrypted ? "yes" : "no") << "\n";
    if (!view.unlocked) {
        std::cout << "The rest is encrypted: give --password-prompt, --password-file or -k to show it.\n";
        return 0;
    }
    const uint32_t count = view.header.volumeCount();
    if (view.isVolume)
        std::cout << "this is:    volume " << view.header.volumeIndex() + 1 << " of " << count << "\n";
    std::cout << "file name:  " << view.name << "\n";
    std::cout << "size:       " << sizeText(view.header.fileSize()) << "\n";
    std::cout << "volumes:    " << count << "\n";
    std::cout << "modified:   " << fileTimeText(view.date.lastWriteTime()) << "\n";
    std::cout << "attributes: " << attributeText(view.date.attributes()) << "\n";
    uint64_t missing = 0;
    std::cout << "volumes in " << shownPath(parentFolder(path)) << ":\n";
    walkVolumes(
        view.volumes,
        [&](uint32_t i, const VolumeSet::Volume& volume) {
            std::cout << volumesText(i, i, count) << "present  " << baseName(volume.path) << "\n";
        },
        [&](uint32_t first, uint32_t last) {
            std::cout << volumesText(first, last, count) << "missing\n";
            missing += uint64_t(last - first) + 1;
        });
    for (const std::string& unreadable : view.volumes.unreadable)
        std::cout << "  unreadable  " << baseName(unreadable) << " (cannot be opened or read)\n";
    std::cout << (missing == 0 ? std::string("all volumes present")
                               : formatText("%llu of %u volumes missing", static_cast<unsigned long long>(missing),
                                            unsigned(count)))
              << "\n";
    return 0;
}

int runVerify(const InspectRequest& request) {
    const std::string path = corePath(request.path);
    const Key key = readKey(request.key, false);
    Inspection inspection(path, key);
    const ArchiveView& view = inspection.view;
    if (!view.unlocked)
        throw ToolError(shownPath(path) + ": the archive is encrypted; give --password-prompt, --password-file or -k");

    ProgressBar bar("verify");
    VolumeCheck check;
    try {
        checkVolumes(inspection, bar, check);
    } catch (const Interrupted&) {
        bar.finish();
        throw Interrupted("interrupted; " + shownPath(path) + " was not checked to the end (verify writes nothing)");
    }
    const uint32_t count = view.header.volumeCount();
    for (const std::string& line : check.lines) std::cout << line << "\n";
    if (check.problems != 0) {
        if (check.problems > 1) check.firstProblem += formatText(" (%llu volumes have problems)", static_cast<unsigned long long>(check.problems));
        throw ToolError(check.firstProblem);
    }
    // Every piece is sound; together they must make the original (a stored CRC of 0:
    // none was stored).
    const uint32_t storedCrc = view.date.fileCrc();
    if (check.stored != view.header.fileSize() || (storedCrc != 0 && check.fileCrc != storedCrc))
        throw ToolError(shownPath(path) + ": the volumes do not add up to the original file (size or CRC differs)");
    std::cout << "all " << count << (count == 1 ? " volume" : " volumes") << " sound; " << view.name << " ("
              << sizeText(check.stored) << ") can be rebuilt\n";
    return 0;
}

} // namespace zrk::tool

// zrk info and zrk verify: what an archive holds and whether its volumes are whole,
// found the way the combine finds them (by content, first match per index).
#include <ctime>
#include <iostream>
#include <memory>
#include <new>
#include <optional>

#include "archive/archive_records.h"
#include "archive/split_archive.h"
#include "chunk/chunk_stream.h"
#include "chunk/locate_chunk.h"
#include "commands.h"
#include "crypto/crc32.h"
#include "crypto/stream_cipher.h"
#include "error/tql_exception.h"
#include "interrupt.h"
#include "progress_bar.h"
#include "stream/file_stream.h"
#include "stream/paths.h"
#include "text/text_format.h"
#include "tool_support.h"

namespace zrk::tool {
namespace {

constexpr uint32_t kBlock = 0x400000;

struct ArchiveView {
    std::string path;
    std::string name;
    bool encrypted = false;
    bool unlocked = false;  // the header and name could be read
    bool isVolume = false;
    ArchiveHeader header;
    DateRecord date;
    std::vector<std::optional<std::string>> volumes;  // by index: the file found
    std::vector<ArchiveHeader> volumeHeaders;
};

void loadView(SplitArchive& archive, StatusRecorder& status, const std::string& path, const Key& key,
              ArchiveView& view) {
    view.path = path;
    openArchive(archive, path, key);
    view.isVolume = locateChunk(path, "ZRKD") == 0;  // a volume starts with its description
    archive.setTargetPath(path);
    uint32_t flag = 0;
    if (!archive.isEncrypted(flag)) throw ToolError(status.reason(path));
    view.encrypted = flag != 0;
    if (view.encrypted && !key.given()) return;
    view.name = archive.readArchiveInfo(path);
    if (view.name.empty()) throw ToolError(status.reason(path));
    if (!archive.readArchiveHeader(view.header, view.date, path)) throw ToolError(status.reason(path));
    view.unlocked = true;

    const uint32_t count = view.header.volumeCount();
    view.volumes.assign(count, std::nullopt);
    view.volumeHeaders.assign(count, ArchiveHeader{});
    const std::string folder = parentFolder(path);
    std::vector<FileEntry> entries;
    listFiles(folder, "*.zrd", entries);
    for (const FileEntry& entry : entries) {
        const std::string candidate = joinPath(folder, entry.name);
        ArchiveHeader volume;
        if (!archive.readVolumeHeader(volume, candidate) || !volume.sameArchive(view.header)) continue;
        const uint32_t index = volume.volumeIndex();
        if (index < count && !view.volumes[index]) {
            view.volumes[index] = candidate;
            view.volumeHeaders[index] = volume;
        }
    }
}

// An archive opened for a look, with its status reports collected.
struct Inspection {
    SplitArchive archive;
    StatusRecorder status;
    ArchiveView view;
    Inspection(const std::string& path, const Key& key) {
        status.attach(archive);
        loadView(archive, status, path, key, view);
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

// Reads a volume's stored data once: its CRC against the record's, and the plain bytes
// into the running CRC of the original file. Empty when sound, else what is wrong.
std::string checkVolume(const std::string& path, const ArchiveHeader& volume, const std::string& password,
                        unsigned char* buffer, uint32_t& fileCrc, uint64_t& done, ProgressBar& bar, uint64_t total) {
    FileStream file;
    if (!file.open(path, ReadExisting)) return "cannot be opened";
    ChunkStream root;
    root.attach(file, 0, file.size());
    uint64_t length = 0;
    uint32_t expected = 0;
    try {
        ChunkStream& data = root.findChild("ZRKD").findChild("DATA");
        if (data.dataSize() != volume.volumeDataSize()) return "its data record has the wrong size";
        if (!file.seek(data.dataPosition())) return "cut short";
        length = data.dataSize();
        expected = data.dataCrc();
    } catch (const TqlSChunkError&) {
        return "its data record is damaged or cut short";
    }
    const bool encrypted = volume.flags() & ArchiveHeader::kEncrypted;
    StreamCipher cipher;
    if (encrypted) cipher.setKey(password, volume.bytes.data(), ArchiveHeader::kSize);
    Crc32 crc;
    uint32_t stored = 0;
    for (uint64_t left = length; left != 0;) {
        const uint32_t k = left < kBlock ? uint32_t(left) : kBlock;
        if (file.read(buffer, k) != int32_t(k)) return "read error (cut short)";
        stored = crc.update(buffer, k, stored);
        if (encrypted) cipher.decrypt(buffer, int32_t(k));
        fileCrc = crc.update(buffer, k, fileCrc);
        left -= k;
        done += k;
        bar.update(done, total);
        throwIfInterrupted();
    }
    if (stored != expected) return "CRC error, the data is damaged";
    return {};
}

struct VolumeCheck {
    std::vector<std::string> lines;
    std::string firstProblem;
    uint32_t problems = 0;
    uint64_t stored = 0;
    uint32_t fileCrc = 0;
};

// Reads every volume found for the view: presence, record sizes and the data CRCs.
void checkVolumes(const SplitArchive& archive, const ArchiveView& view, ProgressBar& bar, VolumeCheck& result) {
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kBlock]);
    if (!buffer) throw ToolError("out of memory for the read buffer");
    const std::string& path = view.path;
    const uint32_t count = view.header.volumeCount();
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i)
        if (view.volumes[i]) total += view.volumeHeaders[i].volumeDataSize();
    uint64_t done = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const std::string which = formatText("  %u/%u  ", unsigned(i + 1), unsigned(count));
        std::string problem;
        std::string shown;
        if (!view.volumes[i]) {
            problem = "missing";
            shown = formatText("volume %u of %u is missing from %s", unsigned(i + 1), unsigned(count),
                               shownPath(parentFolder(path)).c_str());
        } else {
            problem = checkVolume(*view.volumes[i], view.volumeHeaders[i], archive.password(), buffer.get(),
                                  result.fileCrc, done, bar, total);
            result.stored += view.volumeHeaders[i].volumeDataSize();
            shown = shownPath(*view.volumes[i]) + ": " + problem;
        }
        if (problem.empty()) {
            result.lines.push_back(which + "ok       " + baseName(*view.volumes[i]));
        } else {
            result.lines.push_back(which + (view.volumes[i] ? "DAMAGED  " + baseName(*view.volumes[i]) + ": " + problem
                                                            : std::string("MISSING")));
            if (result.problems++ == 0) result.firstProblem = shown;
        }
    }
    bar.finish();
}

} // namespace

std::string diagnoseVolumes(const std::string& path, const Key& key) {
    try {
        Inspection inspection(path, key);
        SplitArchive& archive = inspection.archive;
        const ArchiveView& view = inspection.view;
        if (!view.unlocked || (!key.keyFile.empty() && !archive.deriveKeyFilePassword())) return {};
        ProgressBar bar("check");
        VolumeCheck check;
        checkVolumes(archive, view, bar, check);
        return check.firstProblem;
    } catch (const ToolError&) {
        return {};
    }
}

int runInfo(const InspectRequest& request) {
    const std::string path = corePath(request.path);
    Key key;
    readKey(request.key, false, key);
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
    uint32_t missing = 0;
    std::cout << "volumes in " << shownPath(parentFolder(path)) << ":\n";
    for (uint32_t i = 0; i < count; ++i) {
        if (view.volumes[i]) {
            std::cout << formatText("  %u/%u  present  ", unsigned(i + 1), unsigned(count)) << baseName(*view.volumes[i])
                      << "\n";
        } else {
            std::cout << formatText("  %u/%u  missing\n", unsigned(i + 1), unsigned(count));
            ++missing;
        }
    }
    std::cout << (missing == 0 ? std::string("all volumes present")
                               : formatText("%u of %u volumes missing", unsigned(missing), unsigned(count)))
              << "\n";
    return 0;
}

int runVerify(const InspectRequest& request) {
    const std::string path = corePath(request.path);
    Key key;
    readKey(request.key, false, key);
    Inspection inspection(path, key);
    const ArchiveView& view = inspection.view;
    if (!view.unlocked)
        throw ToolError(shownPath(path) + ": the archive is encrypted; give --password-prompt, --password-file or -k");
    if (!key.keyFile.empty() && !inspection.archive.deriveKeyFilePassword())
        throw ToolError(inspection.status.reason(key.keyFile));

    ProgressBar bar("verify");
    VolumeCheck check;
    try {
        checkVolumes(inspection.archive, view, bar, check);
    } catch (const Interrupted&) {
        bar.finish();
        throw Interrupted("interrupted; " + shownPath(path) + " was not checked to the end (verify writes nothing)");
    }
    const uint32_t count = view.header.volumeCount();
    for (const std::string& line : check.lines) std::cout << line << "\n";
    if (check.problems != 0) {
        if (check.problems > 1) check.firstProblem += formatText(" (%u volumes have problems)", unsigned(check.problems));
        throw ToolError(check.firstProblem);
    }
    // Every piece is sound; together they must make the original.
    if (check.stored != view.header.fileSize() || check.fileCrc != view.date.fileCrc())
        throw ToolError(shownPath(path) + ": the volumes do not add up to the original file (size or CRC differs)");
    std::cout << "all " << count << (count == 1 ? " volume" : " volumes") << " sound; " << view.name << " ("
              << sizeText(check.stored) << ") can be rebuilt\n";
    return 0;
}

} // namespace zrk::tool

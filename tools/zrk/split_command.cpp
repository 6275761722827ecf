// zrk split: the executable (stub + payload) and the volumes, through ArchiveWriter.
#include <filesystem>
#include <iostream>

#include "archive/archive_writer.h"
#include "chunk/chunk_stream.h"
#include "chunk/chunk_tags.h"
#include "chunk/locate_chunk.h"
#include "commands.h"
#include "english_messages.h"
#include "interrupt.h"
#include "progress_bar.h"
#include "stub_search.h"
#include "startup/settings_container.h"
#include "stream/file_stream.h"
#include "stream/memory_stream.h"
#include "stream/paths.h"
#include "text/text_format.h"
#include "tool_support.h"

namespace zrk::tool {
namespace fs = std::filesystem;

namespace {

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return fs::equivalent(hostOf(a), hostOf(b), error);
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Bytes of the settings container the writer puts right after the stub.
uint64_t settingsContainerSize(const MessageTable& messages) {
    size_t room = 4096;
    for (size_t i = 0; i < kMessageCount; ++i) room += 4 + messages[i].size() + 16;
    std::vector<unsigned char> buffer(room);
    MemoryStream stream;
    stream.attachBuffer(buffer.data(), int32_t(room));
    ChunkStream root;
    root.attach(stream, 0, 0);
    if (!writeSettingsContainer(root, stream, PayloadSettings::builtin(), messages))
        throw ToolError("the wizard's texts do not fit in a settings container");
    return root.child(tags::kSettings)->totalSize();
}

} // namespace

int runSplit(const SplitRequest& request) {
    const std::string input = corePath(request.input);
    if (!pathExists(input) || (getAttributes(input) & kAttributeFolder))
        throw ToolError(request.input + ": no such file");
    FileStream probe;
    if (!probe.open(input, ReadExisting)) throw ToolError(request.input + ": cannot open the file");
    const uint64_t fileSize = probe.size();
    probe.close();

    const std::string folder = request.outputFolder.empty() ? parentFolder(input) : corePath(request.outputFolder);
    std::string stub;
    if (request.stub.empty()) {
        std::vector<std::string> looked;
        stub = findStub(moduleFolder(), request.arch, looked);
        if (stub.empty()) {
            std::string places;
            for (const std::string& place : looked) places += (places.empty() ? "" : ", ") + shownPath(place);
            throw ToolError(std::string(request.arch == StubArch::X64 ? "the x64 combining program "
                                                                      : "the combining program ") +
                            shownPath(stubName(request.arch)) + " was not found (looked for " + places +
                            "); give its path with --stub");
        }
    } else {
        stub = corePath(request.stub);
        if (!pathExists(stub) || (getAttributes(stub) & kAttributeFolder))
            throw ToolError(shownPath(stub) + ": no such file (the program given with --stub)");
    }

    // The program looks for its archive description only in the first mebibyte of its
    // own file; behind a larger stub it would end without a word.
    const MessageTable messages = request.english ? englishMessages() : MessageTable::builtin();
    FileStream stubFile;
    if (!stubFile.open(stub, ReadExisting)) throw ToolError(shownPath(stub) + ": cannot open the stub program");
    const uint64_t payloadEnd = stubFile.size() + settingsContainerSize(messages) + ChunkHeader::kSize;
    stubFile.close();
    if (payloadEnd > kLocateWindow)
        throw ToolError(shownPath(stub) + formatText(": the stub program is too large: the archive description would "
                                                     "start at byte %llu, but the program looks for it only in the "
                                                     "first %llu bytes of its file",
                                                     static_cast<unsigned long long>(payloadEnd - ChunkHeader::kSize),
                                                     static_cast<unsigned long long>(kLocateWindow)));

    // The names the writer will use, checked before anything is written.
    const std::string name = baseName(input);
    const size_t dot = name.find_last_of('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    uint64_t count = request.volumeCount;
    if (request.volumeSize != 0) count = fileSize / request.volumeSize + (fileSize % request.volumeSize != 0);
    if (count > kMostVolumes)
        throw ToolError(request.input + ": that makes " + groupedNumber(count) + " volumes, more than the " +
                        groupedNumber(kMostVolumes) + " an archive can have; give a larger -s");
    // A bare number is bytes: "-s 100" meant as megabytes would make a volume of every
    // hundred bytes. An explicit -n is taken as meant.
    if (request.volumeSize != 0 && count > kVolumesWithoutForce && !request.force)
        throw ToolError(request.input + ": that makes " + groupedNumber(count) +
                        " volumes; give a larger -s, or --force to make them all");
    std::vector<std::string> outputs{joinPath(folder, stem + ".exe")};
    for (uint64_t v = 1; v <= count; ++v) outputs.push_back(joinPath(folder, formatText("%s.%03u.zrd", stem.c_str(), unsigned(v))));
    for (const std::string& out : outputs) {
        // Never even with --force: the input or the stub would be overwritten while read.
        if (sameFile(out, input)) throw ToolError(shownPath(out) + ": would overwrite the input file; use -o");
        if (sameFile(out, stub)) throw ToolError(shownPath(out) + ": would overwrite the stub; use -o");
        if (!request.force && pathExists(out))
            throw ToolError(shownPath(out) + ": already exists (use --force to replace it)");
    }
    if (!pathExists(folder) && !createFolder(folder)) throw ToolError(shownPath(folder) + ": cannot create the folder");

    const Key key = readKey(request.key, true);

    ProgressBar bar("split");
    ArchiveWriterOptions options;
    options.inputPath = input;
    options.stubPath = stub;
    options.outputFolder = folder;
    options.outputName = stem;
    options.volumeSize = request.volumeSize;
    options.volumeCount = uint32_t(request.volumeCount);
    if (key.kind() == Key::Kind::Password) options.password = key.value();
    if (key.kind() == Key::Kind::KeyFile) options.keyFilePath = key.value();
    options.messages = messages;
    // Ctrl-C leaves the writer by the exception, after the block in hand.
    options.progress = [&bar](uint64_t done, uint64_t total) {
        bar.update(done, total);
        throwIfInterrupted();
    };
    ArchiveWriter writer(std::move(options));
    int ok = 0;
    try {
        ok = writer.write();
    } catch (const Interrupted&) {
        bar.finish();
        // The writer has removed the volumes it began: they make no archive without the
        // rest and the program, which is written last.
        size_t removed = 0;
        std::string kept;
        for (const std::string& volume : writer.volumePaths()) {
            if (!pathExists(volume)) ++removed;
            else if (kept.empty()) kept = "; " + shownPath(volume) + " could not be removed";
        }
        throw Interrupted(formatText("interrupted; the %zu volume%s begun so far %s removed", removed,
                                     removed == 1 ? "" : "s", removed == 1 ? "was" : "were") +
                          kept + "; " + request.input + " is unchanged");
    }
    bar.finish();
    if (!ok) throw ToolError(request.input + ": split failed: " + shownPath(writer.error()));

    std::cout << "wrote " << shownPath(writer.executablePath()) << " and " << writer.volumePaths().size()
              << (writer.volumePaths().size() == 1 ? " volume" : " volumes") << " for " << name << " ("
              << sizeText(fileSize) << (key.given() ? ", encrypted" : "") << ")\n";
    return 0;
}

} // namespace zrk::tool

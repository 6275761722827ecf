// Writes the seed corpora of the fuzz targets: archives made by ArchiveWriter and
// the fixed archives, settings containers from the settings writer, and texts.
//   fuzz_make_seeds OUTPUT_FOLDER   (one subfolder per target)
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/archive_writer.h"
#include "chunk/chunk_stream.h"
#include "fuzz_support.h"
#include "startup/settings_container.h"
#include "stream/memory_stream.h"
#include "stream/stream.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

// A growable Stream for the settings writer.
class ByteSink : public zrk::Stream {
public:
    Bytes bytes;
    uint64_t at = 0;
    int32_t read(void*, uint32_t) override { return 0; }
    int32_t write(const void* buffer, uint32_t count) override {
        if (bytes.size() < at + count) bytes.resize(at + count);
        std::copy_n(static_cast<const uint8_t*>(buffer), count, bytes.begin() + long(at));
        at += count;
        return int32_t(count);
    }
    int seek(uint64_t position) override {
        at = position;
        return 1;
    }
    uint64_t tell() override { return at; }
};

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeSeed(const fs::path& folder, const std::string& name, const Bytes& bytes) {
    fs::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::string backslashed(const fs::path& path) {
    std::string p = path.string();
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

struct ArchiveSet {
    Bytes exe;
    std::vector<Bytes> volumes;
};

ArchiveSet fixedSet(const std::string& kind) {
    const fs::path folder = fs::path(ZRK_VECTORS_DIR) / "archive" / kind;
    ArchiveSet set{readFile(folder / "archive.exe"), {}};
    for (int v = 1; v <= 3; ++v) set.volumes.push_back(readFile(folder / ("archive.00" + std::to_string(v) + ".zrd")));
    return set;
}

bool writtenSet(const fs::path& scratch, size_t fileSize, uint64_t volumeSize, const std::string& password,
                ArchiveSet& set) {
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    Bytes input(fileSize);
    for (size_t i = 0; i < fileSize; ++i) input[i] = uint8_t(i * 13 + 5);
    writeSeed(scratch, "data.bin", input);
    writeSeed(scratch, "stub.bin", Bytes(64, 0x90));
    zrk::ArchiveWriterOptions options;
    options.inputPath = backslashed(scratch / "data.bin");
    options.stubPath = backslashed(scratch / "stub.bin");
    options.outputFolder = backslashed(scratch);
    options.outputName = "archive";
    options.volumeSize = volumeSize;
    options.password = password;
    options.bufferSize = 64;
    zrk::ArchiveWriter writer(options);
    if (!writer.write()) {
        std::fprintf(stderr, "archive writer: %s\n", writer.error().c_str());
        return false;
    }
    set.exe = readFile(scratch / "archive.exe");
    set.volumes.clear();
    for (const std::string& path : writer.volumePaths()) {
        std::string host = path;
        for (char& c : host)
            if (c == '\\') c = '/';
        set.volumes.push_back(readFile(host));
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path out = argv[1];
    const fs::path scratch = out / "scratch";

    std::vector<std::pair<std::string, ArchiveSet>> sets = {{"plain", fixedSet("plain")},
                                                            {"encrypted", fixedSet("encrypted")}};
    ArchiveSet set;
    if (!writtenSet(scratch, 300, 100, "", set)) return 1;
    sets.emplace_back("written", set);
    if (!writtenSet(scratch, 90, 200, "zrk-sample", set)) return 1;
    sets.emplace_back("written-encrypted", set);
    if (!writtenSet(scratch, 0, 100, "", set)) return 1;
    sets.emplace_back("written-empty", set);
    fs::remove_all(scratch);

    for (const auto& [name, s] : sets) {
        const uint8_t flags = name.find("encrypted") != std::string::npos ? 3 : 0;
        Bytes readers{flags};
        zrk::fuzz::packFile(readers, s.exe);
        if (!s.volumes.empty()) zrk::fuzz::packFile(readers, s.volumes[0]);
        writeSeed(out / "fuzz_archive_readers", name, readers);

        Bytes combine{flags};
        zrk::fuzz::packFile(combine, s.exe);
        for (const Bytes& v : s.volumes) zrk::fuzz::packFile(combine, v);
        writeSeed(out / "fuzz_combine", name, combine);

        writeSeed(out / "fuzz_locate", name + ".exe", s.exe);
        // Selectors for ZRKD/INFO, ZRKD/DATA and ZRKD/DFDT ahead of a volume.
        for (const Bytes& path : {Bytes{1, 2, 5, 5}, Bytes{1, 3, 5, 5}, Bytes{1, 4, 5, 5}}) {
            Bytes chunk = path;
            if (!s.volumes.empty()) chunk.insert(chunk.end(), s.volumes[0].begin(), s.volumes[0].end());
            writeSeed(out / "fuzz_chunk", name + "-" + std::to_string(path[1]), chunk);
        }
    }

    ByteSink builtin;
    zrk::writeSettingsContainer(builtin, 0, zrk::PayloadSettings::builtin(), zrk::MessageTable::builtin());
    writeSeed(out / "fuzz_settings", "builtin", builtin.bytes);
    writeSeed(out / "fuzz_chunk", "settings", [&] {
        Bytes b{0, 2, 5, 5};
        b.insert(b.end(), builtin.bytes.begin(), builtin.bytes.end());
        return b;
    }());
    ByteSink sparse;
    zrk::MessageTable few;
    few[0] = "a";
    few[44] = "last";
    zrk::writeSettingsContainer(sparse, 0, zrk::PayloadSettings{}, few);
    writeSeed(out / "fuzz_settings", "sparse", sparse.bytes);

    const zrk::MessageTable messages = zrk::MessageTable::builtin();
    for (size_t i = 0; i < zrk::kMessageCount; i += 5)
        writeSeed(out / "fuzz_utf", "message" + std::to_string(i), Bytes(messages[i].begin(), messages[i].end()));
    writeSeed(out / "fuzz_utf", "astral", Bytes{0xF0, 0x9F, 0x98, 0x80, 'a', 0xE6, 0x97, 0xA5, 0xED, 0xA0, 0x80});
    writeSeed(out / "fuzz_utf", "surrogates", Bytes{0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xDC, 0x41, 0x00});
    return 0;
}

// Every read and write of the chunk reader and writer, the settings container and
// the combine's copy loop, failed or cut short in turn: each must be reported.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "archive/split_archive.h"
#include "chunk/chunk_stream.h"
#include "chunk/vector_stream.h"
#include "crypto/stream_cipher.h"
#include "error/tql_exception.h"
#include "fault_stream.h"
#include "startup/settings_container.h"

namespace zrk::testing {
namespace {

// Runs `scenario` once without faults to count its calls, then once per call with
// that call faulted; `check` judges each faulted run. Returns the calls walked.
int walkFaults(Fault fault, const std::function<std::vector<unsigned char>()>& start,
               const std::function<bool(FaultStream&)>& scenario,
               const std::function<void(bool ok, int at, const VectorStream& bytes)>& check) {
    VectorStream clean(start());
    FaultStream counter(clean);
    EXPECT_TRUE(scenario(counter)) << "the scenario fails without a fault";
    const bool reading = fault == Fault::FailRead || fault == Fault::ShortRead;
    const int calls = reading ? counter.reads : counter.writes;
    for (int at = 1; at <= calls; ++at) {
        VectorStream inner(start());
        FaultStream stream(inner, fault, at);
        const bool ok = scenario(stream);
        EXPECT_TRUE(stream.injected()) << "call " << at;
        check(ok, at, inner);
    }
    return calls;
}

// A container with two leaves, the way the archive records are laid out.
bool writeTree(Stream& stream) {
    ChunkStream root;
    root.attach(stream, 0, 0);
    if (!root.addChild("ZRKD")) return false;
    ChunkStream& container = root.findChild("ZRKD");
    const std::vector<unsigned char> info(100, 0x5A), data(333, 0xA5);
    for (const auto& [tag, bytes] : {std::pair{"INFO", &info}, std::pair{"DATA", &data}}) {
        if (!container.addChild(tag)) return false;
        ChunkStream& leaf = container.findChild(tag);
        if (!stream.seek(leaf.dataPosition())) return false;
        // In pieces, so a fault can land in the middle of a leaf.
        for (size_t at = 0; at < bytes->size(); at += 50)
            if (!leaf.writeData(bytes->data() + at, std::min<size_t>(50, bytes->size() - at))) return false;
        if (!leaf.finishData() || !leaf.writeHeader()) return false;
    }
    return container.updateFromChildren() && container.writeHeader();
}

std::vector<unsigned char> writtenTree() {
    VectorStream out;
    EXPECT_TRUE(writeTree(out));
    return out.bytes;
}

// Finds ZRKD/DATA and reads it; false on any reported failure.
bool readTree(Stream& stream, uint64_t size, std::vector<unsigned char>& data) {
    ChunkStream root;
    root.attach(stream, 0, size);
    try {
        ChunkStream& leaf = root.findChild("ZRKD").findChild("DATA");
        if (!leaf.readData()) return false;
        data.assign(leaf.dataBuffer(), leaf.dataBuffer() + leaf.dataSize());
        return true;
    } catch (const TqlSChunkError&) {
        return false;
    }
}

TEST(ChunkFaults, EveryFailedOrShortWriteOfATreeIsReported) {
    for (Fault fault : {Fault::FailWrite, Fault::ShortWrite}) {
        const int calls = walkFaults(
            fault, [] { return std::vector<unsigned char>(); }, [](FaultStream& s) { return writeTree(s); },
            [&](bool ok, int at, const VectorStream&) { EXPECT_FALSE(ok) << "write " << at; });
        EXPECT_GT(calls, 10);
    }
}

TEST(ChunkFaults, EveryFailedOrShortReadOfATreeIsReportedAndNothingElseIsReturned) {
    const auto bytes = writtenTree();
    for (Fault fault : {Fault::FailRead, Fault::ShortRead}) {
        const int calls = walkFaults(
            fault, [&] { return bytes; },
            [&](FaultStream& s) {
                std::vector<unsigned char> data;
                return readTree(s, bytes.size(), data) && data == std::vector<unsigned char>(333, 0xA5);
            },
            [&](bool ok, int at, const VectorStream&) { EXPECT_FALSE(ok) << "read " << at; });
        EXPECT_GE(calls, 3);
    }
}

TEST(SettingsFaults, EveryFailedOrShortWriteOfTheContainerIsReported) {
    for (Fault fault : {Fault::FailWrite, Fault::ShortWrite}) {
        const int calls = walkFaults(
            fault, [] { return std::vector<unsigned char>(); },
            [](FaultStream& s) {
                return writeSettingsContainer(s, 0, PayloadSettings::builtin(), MessageTable::builtin()) == 1;
            },
            [&](bool ok, int at, const VectorStream&) { EXPECT_FALSE(ok) << "write " << at; });
        EXPECT_GT(calls, int(kMessageCount));
    }
}

TEST(SettingsFaults, AFailedReadLeavesTheOutputsOrOnlyEmptiesTexts) {
    VectorStream written;
    ASSERT_EQ(writeSettingsContainer(written, 0, PayloadSettings::builtin(), MessageTable::builtin()), 1);
    const MessageTable builtin = MessageTable::builtin();
    for (Fault fault : {Fault::FailRead, Fault::ShortRead}) {
        VectorStream clean(written.bytes);
        FaultStream counter(clean);
        PayloadSettings settings;
        MessageTable table;
        ASSERT_EQ(readSettingsContainer(counter, 0, written.bytes.size(), settings, table), 1);
        for (int at = 1; at <= counter.reads; ++at) {
            VectorStream inner(written.bytes);
            FaultStream stream(inner, fault, at);
            PayloadSettings got;
            got.clientWidth = 7;
            MessageTable texts;
            texts[3] = "before";
            if (readSettingsContainer(stream, 0, written.bytes.size(), got, texts)) {
                // Only a text may be lost, never a wrong one or the settings record.
                EXPECT_EQ(got, PayloadSettings::builtin()) << "read " << at;
                for (size_t i = 0; i < kMessageCount; ++i)
                    EXPECT_TRUE(texts[i].empty() || texts[i] == builtin[i]) << "read " << at << " text " << i;
            } else {
                EXPECT_EQ(got.clientWidth, 7u) << "read " << at;
                EXPECT_EQ(texts[3], "before") << "read " << at;
            }
        }
    }
}

// The combine's copy loop, input and output faulted in turn; the copy moves in
// 40-byte blocks, decrypting or not.
TEST(CopyFaults, EveryFaultedTransferRaisesItsError) {
    const std::vector<unsigned char> source(1000, 0x3C);
    for (bool encrypted : {false, true})
        for (Fault fault : {Fault::FailRead, Fault::ShortRead, Fault::FailWrite, Fault::ShortWrite}) {
            const bool reading = fault == Fault::FailRead || fault == Fault::ShortRead;
            for (int at = 1; at <= 25; ++at) {
                SplitArchive archive;
                archive.setBufferSize(40);
                ASSERT_EQ(archive.initialize(), 1);
                archive.setDecrypt(encrypted ? 1 : 0);
                VectorStream in(source), out;
                FaultStream input(in, reading ? fault : Fault::None, at);
                FaultStream output(out, reading ? Fault::None : fault, at);
                StreamCipher cipher;
                cipher.setPassword(0, "key");
                try {
                    archive.copyDecrypt(output, input, source.size(), &cipher);
                    ADD_FAILURE() << "no error for call " << at;
                } catch (const TqlZRKAFileReadError&) {
                    EXPECT_TRUE(reading) << "call " << at;
                } catch (const TqlZRKAFileWriteError&) {
                    EXPECT_FALSE(reading) << "call " << at;
                }
                // Progress never counts the block that failed.
                EXPECT_EQ(archive.doneBytes(), uint64_t(40) * (at - 1)) << "call " << at;
            }
        }
}

} // namespace
} // namespace zrk::testing

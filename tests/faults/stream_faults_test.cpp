// Every read and write of the chunk reader and writer, the settings container and
// the combine's copy loop, failed or cut short in turn: each must be reported.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <thread>
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

// Blocks are read ahead of the writing: a read fault one block after a write fault
// must not overtake it, and a write fault one block after a read fault never comes.
TEST(CopyFaults, FaultsAreRaisedInBlockOrderWhateverIsReadAhead) {
    const std::vector<unsigned char> source(1000, 0x5D);
    for (int at = 1; at <= 24; ++at) {
        for (bool writeFirst : {true, false}) {
            SplitArchive archive;
            archive.setBufferSize(40);
            ASSERT_EQ(archive.initialize(), 1);
            VectorStream in(source), out;
            FaultStream input(in, Fault::ShortRead, writeFirst ? at + 1 : at);
            FaultStream output(out, Fault::FailWrite, writeFirst ? at : at + 1);
            bool readError = false, writeError = false;
            try {
                archive.copyData(output, input, source.size());
            } catch (const TqlZRKAFileReadError&) {
                readError = true;
            } catch (const TqlZRKAFileWriteError&) {
                writeError = true;
            }
            EXPECT_EQ(writeError, writeFirst) << "block " << at;
            EXPECT_EQ(readError, !writeFirst) << "block " << at;
            EXPECT_EQ(archive.doneBytes(), uint64_t(40) * (at - 1)) << "block " << at;
            EXPECT_EQ(out.bytes, std::vector<unsigned char>(size_t(40) * (at - 1), 0x5D)) << "block " << at;
        }
    }
}

// The status and progress sinks belong to the combine's thread: every report comes
// there, once per block, after the block was written.
TEST(CopyFaults, ProgressIsReportedOnTheCallersThreadAfterEachWrittenBlock) {
    const auto caller = std::this_thread::get_id();
    for (bool encrypted : {false, true}) {
        std::vector<unsigned char> source(1000);
        for (size_t i = 0; i < source.size(); ++i) source[i] = uint8_t(i * 7);
        SplitArchive archive;
        archive.setBufferSize(64);
        ASSERT_EQ(archive.initialize(), 1);
        archive.setDecrypt(encrypted ? 1 : 0);
        VectorStream in(source), out;
        std::vector<uint64_t> seen;
        bool otherThread = false, aheadOfOutput = false;
        archive.setProgressCallback([&](uint64_t done, uint64_t, SplitArchive&) {
            otherThread |= std::this_thread::get_id() != caller;
            aheadOfOutput |= out.bytes.size() != done;
            seen.push_back(done);
            return int32_t(1);
        });
        StreamCipher cipher, expected;
        cipher.setPassword(0, "key");
        expected.setPassword(0, "key");
        archive.copyDecrypt(out, in, source.size(), &cipher);
        EXPECT_FALSE(otherThread);
        EXPECT_FALSE(aheadOfOutput);
        std::vector<uint64_t> blocks;
        for (uint64_t done = 64; done < source.size(); done += 64) blocks.push_back(done);
        blocks.push_back(source.size());
        EXPECT_EQ(seen, blocks);
        // The keystream runs on from block to block as if decrypted in one go.
        if (encrypted) expected.decrypt(source.data(), int32_t(source.size()));
        EXPECT_EQ(out.bytes, source);
    }
}

// A stream that throws (ours never do) still ends the copy on the caller's
// thread with its own exception, after the blocks before it.
TEST(CopyFaults, AnExceptionFromTheInputReachesTheCaller) {
    struct ThrowingStream : Stream {
        VectorStream& inner;
        int reads = 0;
        explicit ThrowingStream(VectorStream& s) : inner(s) {}
        int32_t read(void* buffer, uint32_t count) override {
            if (++reads == 4) throw std::runtime_error("device gone");
            return inner.read(buffer, count);
        }
        int32_t write(const void*, uint32_t) override { return 0; }
        int seek(uint64_t position) override { return inner.seek(position); }
        uint64_t tell() override { return inner.tell(); }
    };
    SplitArchive archive;
    archive.setBufferSize(50);
    ASSERT_EQ(archive.initialize(), 1);
    VectorStream in(std::vector<unsigned char>(500, 1)), out;
    ThrowingStream input(in);
    EXPECT_THROW(archive.copyData(out, input, 500), std::runtime_error);
    EXPECT_EQ(archive.doneBytes(), 150u);
    EXPECT_EQ(out.bytes.size(), 150u);
}

} // namespace
} // namespace zrk::testing

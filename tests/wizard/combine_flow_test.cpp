// The combine job's status table, the command-line split and the payload loader on
// program files with whole, partial, misplaced and missing payloads.
#include "archive/archive_writer.h"
#include "wizard/combine_job_win32.h"
#include "chunk/locate_chunk.h"
#include "app/payload_loader.h"
#include "../stream/test_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace zrk {
namespace {

struct Row {
    uint32_t code;
    int text, caption;
    bool detail;
};

TEST(StatusTable, EveryCodeShowsItsTextCaptionAndDetail) {
    const Row rows[] = {
        {ARCNOTE_ENCRYPTED_ARCHIVE, 40, 21, false}, {ARCNOTE_ENCRYPTED, 40, 21, false},
        {ARCERR_OPEN, 32, 21, false},               {ARCERR_READ, 33, 31, true},
        {ARCERR_WRITE, 34, 31, true},               {ARCERR_CREATE_FOLDER, 39, 31, true},
        {ARCERR_NOT_FOUND, 35, 31, true},           {ARCERR_KEY_ARCHIVE, 41, 31, false},
        {ARCERR_KEY, 41, 31, false},                {ARCERR_CRC, 36, 31, true},
        {ARCERR_FORMAT_ARCHIVE, 43, 31, false},     {ARCERR_FORMAT, 38, 31, true},
        {ARCERR_VERSION, 42, 31, false},            {ARCERR_BROKEN, 37, 31, true},
        {ARCERR_ABNORMAL, 44, 31, false},
    };
    const MessageTable table = MessageTable::builtin();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        const auto entry = findStatusMessage(row.code);
        ASSERT_TRUE(entry.has_value());
        EXPECT_EQ(size_t(entry->text), size_t(row.text));
        EXPECT_EQ(size_t(entry->caption), size_t(row.caption));
        const std::string shown = statusBoxText(table, *entry, "D:\\x.bin 2/3");
        EXPECT_EQ(shown, row.detail ? table[size_t(row.text)] + "\nD:\\x.bin 2/3" : table[size_t(row.text)]);
    }
}

TEST(StatusTable, UnknownCodesAndCreateShowNothing) {
    for (uint32_t code : {ARCERR_CREATE, 0u, 0x0C280C00u, 0xFFFFFFFFu, ARCERR_READ + 1})
        EXPECT_FALSE(findStatusMessage(code).has_value()) << code;
}

TEST(StatusTable, AnEmptyDetailStillEndsInALineFeed) {
    const MessageTable table = MessageTable::builtin();
    EXPECT_EQ(statusBoxText(table, *findStatusMessage(ARCERR_WRITE), ""), table[kTextWriteError] + "\n");
    EXPECT_EQ(statusBoxText(table, *findStatusMessage(ARCERR_CRC), "v.zrd"), "ファイルのCRCエラー\nv.zrd");
}

TEST(CommandLine, ProgramNameIsSplitOffAndTheRestKept) {
    struct Case {
        const char* line;
        const char* program;
        const char* arguments;
    } cases[] = {
        {"\"C:\\My Files\\a b.exe\" -x  y", "C:\\My Files\\a b.exe", "-x  y"},
        {"  plain.exe   arg", "plain.exe", "arg"},
        {"\"C:\\unclosed quote\\a.exe arg", "C:\\unclosed quote\\a.exe arg", ""},
        {"\"\"rest", "", "rest"},
        {"a.exe\t\tnext", "a.exe", "next"},
        {"", "", ""},
        {"   ", "", ""},
        {"\"q.exe\"", "q.exe", ""},
    };
    for (const Case& c : cases) {
        const CommandLineParts parts = splitCommandLine(c.line);
        EXPECT_EQ(parts.program, c.program) << c.line;
        EXPECT_EQ(parts.arguments, c.arguments) << c.line;
    }
}

TEST(CommandLine, FolderOfPathCutsAtTheLastBackslash) {
    EXPECT_EQ(folderOfPath("C:\\dir\\sub\\p.exe"), "C:\\dir\\sub");
    EXPECT_EQ(folderOfPath("p.exe"), "p.exe");
    EXPECT_EQ(folderOfPath("C:\\p.exe"), "C:");
}

class PayloadLoader : public test::ScratchFolderTest {
protected:
    // A program file made by the archive writer behind a stand-in image of `imageSize` bytes.
    std::string makeProgram(uint64_t imageSize, bool encrypt) {
        writeFile("stub.exe", std::string(size_t(imageSize), 'M'));
        writeFile("input.bin", std::string(5000, 'i'));
        ArchiveWriterOptions options;
        options.inputPath = at("input.bin");
        options.stubPath = at("stub.exe");
        options.outputFolder = folder_;
        options.volumeCount = 2;
        options.encrypt = encrypt;
        options.password = encrypt ? "pw" : "";
        ArchiveWriter writer(options);
        EXPECT_EQ(writer.write(), 1) << writer.error();
        return writer.executablePath();
    }
    std::string bytesOf(const std::string& path) {
        std::ifstream in(test::hostPath(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(PayloadLoader, LoadsSettingsTextsAndTheEncryptionFlag) {
    for (bool encrypt : {false, true}) {
        LoadedPayload payload;
        ASSERT_EQ(loadPayloadFrom(makeProgram(70000, encrypt), payload), 1);
        EXPECT_EQ(payload.encrypted, encrypt ? 1u : 0u);
        EXPECT_EQ(payload.messages[kTextJobFailed], "結合処理に失敗しました。");
        EXPECT_EQ(payload.settings.clientWidth, PayloadSettings::builtin().clientWidth);
    }
}

TEST_F(PayloadLoader, MissingMisplacedOrPartialPayloadsFail) {
    const std::string program = makeProgram(1000, false);
    const std::string whole = bytesOf(program);
    LoadedPayload payload;

    writeFile("bare.exe", std::string(1000, 'M'));
    EXPECT_EQ(loadPayloadFrom(at("bare.exe"), payload), 0);
    EXPECT_EQ(loadPayloadFrom(at("absent.exe"), payload), 0);

    // Settings only: the archive container is cut off.
    const uint64_t archive = locateChunk(program, "ZRKD");
    ASSERT_NE(archive, kChunkNotFound);
    writeFile("settings-only.exe", whole.substr(0, size_t(archive)));
    EXPECT_EQ(loadPayloadFrom(at("settings-only.exe"), payload), 0);

    // The settings header cut in half.
    const uint64_t settings = locateChunk(program, "ZRKS");
    writeFile("cut.exe", whole.substr(0, size_t(settings) + 40));
    EXPECT_EQ(loadPayloadFrom(at("cut.exe"), payload), 0);

    // The same payload behind an image too large for the search window.
    writeFile("far.exe", std::string(size_t(kLocateWindow), 'M') + whole.substr(size_t(settings)));
    EXPECT_EQ(loadPayloadFrom(at("far.exe"), payload), 0);
}

TEST_F(PayloadLoader, APayloadJustInsideTheSearchWindowLoads) {
    const std::string program = makeProgram(1000, false);
    const std::string whole = bytesOf(program);
    const uint64_t settings = locateChunk(program, "ZRKS");
    const uint64_t archive = locateChunk(program, "ZRKD");
    ASSERT_NE(archive, kChunkNotFound);
    // Both containers are searched for: the archive's 32-byte header must end inside
    // the window, and one byte further it no longer does.
    const uint64_t last = kLocateWindow - 32 - (archive - settings);
    writeFile("near.exe", std::string(size_t(last), 'M') + whole.substr(size_t(settings)));
    writeFile("over.exe", std::string(size_t(last + 1), 'M') + whole.substr(size_t(settings)));
    LoadedPayload payload;
    EXPECT_EQ(loadPayloadFrom(at("near.exe"), payload), 1);
    EXPECT_EQ(loadPayloadFrom(at("over.exe"), payload), 0);
}

} // namespace
} // namespace zrk

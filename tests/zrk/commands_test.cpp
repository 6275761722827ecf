// The commands end to end: the built zrk run on scratch files, checking exit codes,
// the one-line reasons and the rebuilt bytes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string readText(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

class ZrkTool : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / (std::string("zrk_tool_") + info->name() + "_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "in");
        fs::create_directories(dir_ / "arc");
        stub_ = dir_ / "stub.exe";
        writeBytes(stub_, bytes(3000, 7));
    }
    void TearDown() override { fs::remove_all(dir_); }

    static std::vector<char> bytes(size_t n, uint32_t seed) {
        std::mt19937 random(seed);
        std::vector<char> v(n);
        for (char& c : v) c = char(random());
        return v;
    }
    static void writeBytes(const fs::path& p, const std::vector<char>& v) {
        std::ofstream f(p, std::ios::binary);
        f.write(v.data(), std::streamsize(v.size()));
    }
    static std::vector<char> readBytes(const fs::path& p) {
        std::ifstream f(p, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(f), {});
    }

    Result run(const std::vector<std::string>& args, const std::string& input = "") {
        return runTool(ZRK_TOOL_PATH, args, input);
    }
    Result runTool(const std::string& tool, const std::vector<std::string>& args, const std::string& input = "") {
        std::string command = quote(tool);
        for (const std::string& a : args) command += " " + quote(a);
        const fs::path out = dir_ / "stdout", err = dir_ / "stderr", in = dir_ / "stdin";
        std::ofstream(in) << input;
        command += " <" + quote(in.string()) + " >" + quote(out.string()) + " 2>" + quote(err.string());
        const int status = std::system(command.c_str());
        Result r;
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = readText(out);
        r.err = readText(err);
        return r;
    }

    // Splits in/<name> holding `data` into arc/ with extra options.
    Result split(const std::string& name, const std::vector<char>& data, std::vector<std::string> options) {
        writeBytes(dir_ / "in" / name, data);
        std::vector<std::string> args{"split", (dir_ / "in" / name).string(), "-o", (dir_ / "arc").string(), "--stub",
                                      stub_.string()};
        args.insert(args.end(), options.begin(), options.end());
        return run(args);
    }
    size_t volumeCount() const {
        size_t n = 0;
        for (const auto& e : fs::directory_iterator(dir_ / "arc")) n += e.path().extension() == ".zrd";
        return n;
    }
    std::string path(const std::string& rel) const { return (dir_ / rel).string(); }
    static size_t lineCount(const std::string& text) { return size_t(std::count(text.begin(), text.end(), '\n')); }

    fs::path dir_;
    fs::path stub_;
};

TEST_F(ZrkTool, RoundTripsPlainAndEncrypted) {
    const auto data = bytes(100000, 1);
    ASSERT_EQ(split("data.bin", data, {"-s", "30000"}).code, 0);
    EXPECT_EQ(volumeCount(), 4u);
    // The executable is the stub followed by the payload.
    const auto exe = readBytes(dir_ / "arc" / "data.exe");
    ASSERT_GT(exe.size(), 3000u);
    EXPECT_TRUE(std::equal(exe.begin(), exe.begin() + 3000, bytes(3000, 7).begin()));
    Result r = run({"join", path("arc/data.exe"), "-o", path("out")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readBytes(dir_ / "out" / "data.bin"), data);

    // Password from a file; the wrong one and none at all are refused.
    fs::remove_all(dir_ / "arc");
    fs::remove_all(dir_ / "out");
    std::ofstream(dir_ / "pw") << "s3cret words\nignored second line\n";
    std::ofstream(dir_ / "bad") << "wrong\n";
    ASSERT_EQ(split("data.bin", data, {"-n", "3", "--password-file", path("pw")}).code, 0);
    EXPECT_EQ(volumeCount(), 3u);
    r = run({"join", path("arc/data.exe"), "-o", path("out"), "--password-file", path("bad")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find("wrong password"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("data.exe"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "out" / "data.bin"));
    r = run({"join", path("arc/data.exe"), "-o", path("out")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("encrypted"), std::string::npos) << r.err;
    r = run({"join", path("arc/data.exe"), "-o", path("out"), "--password-file", path("pw")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readBytes(dir_ / "out" / "data.bin"), data);
}

TEST_F(ZrkTool, RoundTripsKeyFileAndPromptedPassword) {
    const auto data = bytes(50000, 2);
    writeBytes(dir_ / "key.jpg", bytes(70000, 3));
    writeBytes(dir_ / "other.jpg", bytes(70000, 4));
    ASSERT_EQ(split("photo.raw", data, {"-s", "20k", "-k", path("key.jpg")}).code, 0);
    EXPECT_EQ(volumeCount(), 3u);
    Result r = run({"join", path("arc/photo.exe"), "-k", path("other.jpg"), "-o", path("o1")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("wrong password"), std::string::npos) << r.err;
    r = run({"join", path("arc/photo.exe"), "-k", path("key.jpg"), "-o", path("o1")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readBytes(dir_ / "o1" / "photo.raw"), data);

    // Prompted passwords come from standard input when it is no terminal; asked twice on split.
    fs::remove_all(dir_ / "arc");
    writeBytes(dir_ / "in" / "p.bin", data);
    const std::vector<std::string> splitArgs{"split", path("in/p.bin"), "-o", path("arc"), "--stub", stub_.string(),
                                             "-n", "2", "--password-prompt"};
    r = run(splitArgs, "one\ntwo\n");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("differ"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "arc" / "p.exe"));
    ASSERT_EQ(run(splitArgs, "pässword\npässword\n").code, 0);
    r = run({"join", path("arc/p.exe"), "--password-prompt", "-o", path("o2")}, "pässword\n");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readBytes(dir_ / "o2" / "p.bin"), data);
}

TEST_F(ZrkTool, VolumeSizesWithUnitsOneAndManyVolumes) {
    const auto data = bytes(3 * 1024 * 1024 + 17, 5);
    struct Case {
        const char* size;
        size_t volumes;
    } cases[] = {{"1MiB", 4}, {"1M", 4}, {"1.5MiB", 3}, {"10MiB", 1}, {"100KiB", 31}};
    for (const Case& c : cases) {
        fs::remove_all(dir_ / "arc");
        fs::remove_all(dir_ / "out");
        ASSERT_EQ(split("big.dat", data, {"-s", c.size}).code, 0) << c.size;
        EXPECT_EQ(volumeCount(), c.volumes) << c.size;
        Result r = run({"join", path("arc/big.exe"), "-o", path("out")});
        ASSERT_EQ(r.code, 0) << c.size << r.err;
        EXPECT_EQ(readBytes(dir_ / "out" / "big.dat"), data) << c.size;
    }
    // Output goes to the exe's folder by default.
    fs::remove(dir_ / "in" / "big.dat");
    fs::copy(dir_ / "arc", dir_ / "copy");
    ASSERT_EQ(run({"join", path("copy/big.exe")}).code, 0);
    EXPECT_EQ(readBytes(dir_ / "copy" / "big.dat"), data);
}

TEST_F(ZrkTool, JoinRefusesToOverwriteWithoutForce) {
    const auto data = bytes(10000, 6);
    ASSERT_EQ(split("f.txt", data, {"-n", "2"}).code, 0);
    writeBytes(dir_ / "arc" / "f.txt", {'k', 'e', 'e', 'p'});
    Result r = run({"join", path("arc/f.exe")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(lineCount(r.err), 1u);
    EXPECT_NE(r.err.find("f.txt: already exists"), std::string::npos) << r.err;
    EXPECT_EQ(readBytes(dir_ / "arc" / "f.txt"), (std::vector<char>{'k', 'e', 'e', 'p'}));
    r = run({"join", path("arc/f.exe"), "--force"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readBytes(dir_ / "arc" / "f.txt"), data);
    // split too: an existing archive is kept unless --force is given.
    r = split("f.txt", data, {"-n", "2"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("already exists"), std::string::npos) << r.err;
    EXPECT_EQ(split("f.txt", data, {"-n", "2", "--force"}).code, 0);
}

TEST_F(ZrkTool, SplitNeverOverwritesItsInputOrStub) {
    // setup.exe -> setup.exe would destroy the file while it is being read.
    writeBytes(dir_ / "arc" / "setup.exe", bytes(5000, 8));
    Result r = run({"split", path("arc/setup.exe"), "-n", "2", "--stub", stub_.string(), "--force"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("overwrite the input"), std::string::npos) << r.err;
    EXPECT_EQ(readBytes(dir_ / "arc" / "setup.exe"), bytes(5000, 8));
    r = run({"split", path("arc/setup.exe"), "-n", "2", "--stub", stub_.string(), "-o", path("x")});
    EXPECT_EQ(r.code, 0) << r.err;
    // A missing stub is named.
    r = run({"split", path("arc/setup.exe"), "-n", "2", "--stub", path("nostub.exe"), "-o", path("y")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("nostub.exe"), std::string::npos) << r.err;
}

TEST_F(ZrkTool, MissingAndCorruptedVolumes) {
    const auto data = bytes(90000, 9);
    ASSERT_EQ(split("d.bin", data, {"-n", "3"}).code, 0);
    Result r = run({"info", path("arc/d.exe")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("file name:  d.bin"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("90,000 bytes"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("volumes:    3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("encrypted:  no"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("all volumes present"), std::string::npos) << r.out;
    r = run({"verify", path("arc/d.exe")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("all 3 volumes sound"), std::string::npos) << r.out;
    // A volume names its place and finds the others; a candidate that cannot be read
    // is named and changes nothing.
    fs::create_symlink(dir_ / "nowhere", dir_ / "arc" / "dangling.zrd");
    r = run({"info", path("arc/d.002.zrd")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("volume 2 of 3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("unreadable  dangling.zrd"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("all volumes present"), std::string::npos) << r.out;
    fs::remove(dir_ / "arc" / "dangling.zrd");

    // Corrupt one byte in the middle of volume 2's data.
    {
        std::fstream f(dir_ / "arc" / "d.002.zrd", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(20000);
        char c = 0;
        f.read(&c, 1);
        f.seekp(20000);
        c = char(c ^ 0x40);
        f.write(&c, 1);
    }
    r = run({"verify", path("arc/d.exe")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find("d.002.zrd: CRC error"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("2/3  DAMAGED"), std::string::npos) << r.out;
    r = run({"join", path("arc/d.exe"), "-o", path("out")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find("d.002.zrd: CRC error"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "out" / "d.bin"));
    EXPECT_FALSE(fs::exists(dir_ / "out" / "d.bin.zrk-part"));

    fs::remove(dir_ / "arc" / "d.003.zrd");
    r = run({"info", path("arc/d.exe")});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("3/3  missing"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1 of 3 volumes missing"), std::string::npos) << r.out;
    r = run({"verify", path("arc/d.exe")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("3/3  MISSING"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("(2 volumes have problems)"), std::string::npos) << r.err;
    r = run({"join", path("arc/d.exe"), "-o", path("out")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("volume 3/3 is missing"), std::string::npos) << r.err;

    // Not an archive at all.
    r = run({"info", stub_.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("stub.exe: not a ZRK archive"), std::string::npos) << r.err;
}

TEST_F(ZrkTool, CutShortVolumeIsNamed) {
    std::ofstream(dir_ / "pw") << "pw\n";
    ASSERT_EQ(split("c.bin", bytes(60000, 13), {"-n", "3", "--password-file", path("pw")}).code, 0);
    fs::resize_file(dir_ / "arc" / "c.002.zrd", 5000);
    const std::vector<std::string> verify{"verify", path("arc/c.exe"), "--password-file", path("pw")};
    const std::vector<std::string> join{"join", path("arc/c.exe"), "--password-file", path("pw"), "-o", path("out")};
    for (const auto& command : {verify, join}) {
        const Result r = run(command);
        EXPECT_EQ(r.code, 1) << command[0];
        EXPECT_EQ(lineCount(r.err), 1u) << r.err;
        EXPECT_NE(r.err.find("c.002.zrd: "), std::string::npos) << command[0] << ": " << r.err;
    }
    EXPECT_FALSE(fs::exists(dir_ / "out" / "c.bin"));
}

TEST_F(ZrkTool, PasswordFileLineEndingsAndByteOrderMark) {
    // The same password written by different editors opens the same archive.
    std::ofstream(dir_ / "unix") << "pass word\n";
    std::ofstream(dir_ / "dos") << "\xEF\xBB\xBFpass word\r\nnext\r\n";
    std::ofstream(dir_ / "bare") << "pass word";
    std::ofstream(dir_ / "empty") << "\nnot this\n";
    ASSERT_EQ(split("w.bin", bytes(5000, 14), {"-n", "2", "--password-file", path("unix")}).code, 0);
    for (const char* file : {"dos", "bare"}) {
        fs::remove_all(dir_ / "out");
        const Result r = run({"join", path("arc/w.exe"), "-o", path("out"), "--password-file", path(file)});
        EXPECT_EQ(r.code, 0) << file << ": " << r.err;
    }
    Result r = run({"join", path("arc/w.exe"), "-o", path("o2"), "--password-file", path("empty")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("empty"), std::string::npos) << r.err;
    r = run({"join", path("arc/w.exe"), "-o", path("o2"), "--password-file", path("none")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("none: cannot read"), std::string::npos) << r.err;
}

TEST_F(ZrkTool, ProgressBarOnlyOnATerminal) {
    if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1) to give a terminal";
    writeBytes(dir_ / "in" / "t.bin", bytes(200000, 15));
    // script(1) runs the tool on a pseudo-terminal and records what it drew.
    const std::string inner = quote(ZRK_TOOL_PATH) + " split " + quote(path("in/t.bin")) + " -n 2 --stub " +
                              quote(stub_.string()) + " -o " + quote(path("tty"));
    const std::string command = "script -qec " + quote(inner) + " " + quote(path("typescript")) + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string drawn = readText(dir_ / "typescript");
    EXPECT_NE(drawn.find("100%"), std::string::npos) << drawn;
    EXPECT_NE(drawn.find("MB/s"), std::string::npos) << drawn;
    EXPECT_NE(drawn.find("left"), std::string::npos) << drawn;
    // Redirected: not a trace of it.
    const Result r = run({"split", path("in/t.bin"), "-n", "2", "--stub", stub_.string(), "-o", path("file")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "");
}

TEST_F(ZrkTool, EncryptedInfoAndVerifyNeedTheKey) {
    std::ofstream(dir_ / "pw") << "pw\n";
    ASSERT_EQ(split("e.bin", bytes(40000, 10), {"-n", "2", "--password-file", path("pw")}).code, 0);
    Result r = run({"info", path("arc/e.exe")});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("encrypted:  yes"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("e.bin"), std::string::npos) << r.out;
    r = run({"info", path("arc/e.exe"), "--password-file", path("pw")});
    EXPECT_NE(r.out.find("file name:  e.bin"), std::string::npos) << r.out;
    EXPECT_EQ(run({"verify", path("arc/e.exe")}).code, 1);
    r = run({"verify", path("arc/e.exe"), "--password-file", path("pw")});
    EXPECT_EQ(r.code, 0) << r.err;
}

TEST_F(ZrkTool, UsageErrorsExitTwoWithOneLineAndWhereTheHelpIs) {
    writeBytes(dir_ / "in" / "u.bin", bytes(100, 11));
    const std::string in = path("in/u.bin"), stub = stub_.string();
    struct Case {
        std::vector<std::string> args;
        const char* reason;
        const char* help;
    } cases[] = {
        {{"split", in, "-s", "abc", "--stub", stub}, "--size: 'abc' is not a size", "zrk split"},
        {{"split", in, "-s", "0", "--stub", stub}, "--size: '0' is not a size", "zrk split"},
        {{"split", in, "-s", "1.5", "--stub", stub}, "--size: '1.5' is not a size", "zrk split"},
        {{"split", in, "-s", "12Q", "--stub", stub}, "--size: '12Q' is not a size", "zrk split"},
        {{"split", in, "-s", "-3M", "--stub", stub}, "--size: '-3M' is not a size", "zrk split"},
        {{"split", in, "-s", "99999999999999999999", "--stub", stub}, "--size: '99999999999999999999' is not a size", "zrk split"},
        {{"split", in, "--stub", stub}, "split needs -s SIZE or -n COUNT", "zrk split"},
        {{"split", in, "-s", "1k", "-n", "2"}, "--size and --count cannot be given together", "zrk split"},
        {{"split", in, "-n", "1000000"}, "--count: '1000000' is not a number of volumes from 1 to 999,999", "zrk split"},
        {{"split", in, "-n", "2", "--lang", "fr"}, "--lang: 'fr' is not a language of the wizard (ja, en)", "zrk split"},
        {{"split", in, "-n", "2", "--arch", "arm"}, "--arch: 'arm' is not an architecture of the combining program (x86, x64)", "zrk split"},
        {{"split", in, "-n", "2", "--arch", "x64", "--stub", stub}, "--stub and --arch cannot be given together", "zrk split"},
        {{"split", in, "-n", "2", "--bogus"}, "unknown option --bogus", "zrk split"},
        {{"split"}, "FILE is missing", "zrk split"},
        {{"split", in, "-s"}, "--size needs a value (SIZE)", "zrk split"},
        {{"join", "x.exe", "--password-prompt", "-k", "key"}, "--password-prompt and --key-file cannot be given together", "zrk join"},
        {{"join", "a.exe", "b", "c"}, "unexpected argument 'b'", "zrk join"},
        {{"verify", "x.exe", "--password-file"}, "--password-file needs a value (F)", "zrk verify"},
        {{"frobnicate"}, "'frobnicate' is not a command (split, join, info or verify)", "zrk"},
        {{}, "no command given", "zrk"},
    };
    for (const Case& c : cases) {
        const Result r = run(c.args);
        EXPECT_EQ(r.code, 2) << c.reason;
        EXPECT_EQ(r.err.rfind(std::string("zrk: ") + c.reason, 0), 0u) << r.err;
        EXPECT_NE(r.err.find(std::string("\nTry '") + c.help + " --help' for more information.\n"), std::string::npos)
            << r.err;
        EXPECT_EQ(lineCount(r.err), 2u) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir_ / "in" / "u.exe"));
    Result help = run({"split", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("powers of 1024"), std::string::npos);
    Result version = run({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, "zrk " ZRK_PROJECT_VERSION "\n");
}

// Without --stub the program is looked for beside the tool (the Windows zip), then in
// ../lib/zrk (an installed package), the x64 one under x64/ in both; a missing one
// names every place looked at.
TEST_F(ZrkTool, StubFoundBesideTheToolOrInItsLibraryFolder) {
    const fs::path zip = dir_ / "zip", prefix = dir_ / "prefix";
    for (const fs::path& bin : {zip, prefix / "bin"}) {
        fs::create_directories(bin);
        fs::copy_file(ZRK_TOOL_PATH, bin / "zrk");
    }
    fs::create_directories(prefix / "lib" / "zrk");
    writeBytes(dir_ / "in" / "s.bin", bytes(5000, 13));
    auto splitWith = [&](const fs::path& tool, std::vector<std::string> more = {}) {
        fs::remove_all(dir_ / "arc");
        std::vector<std::string> args{"split", path("in/s.bin"), "-n", "2", "-o", path("arc")};
        args.insert(args.end(), more.begin(), more.end());
        return runTool(tool.string(), args);
    };
    auto startsWith = [&](const std::vector<char>& stub) {
        const auto exe = readBytes(dir_ / "arc" / "s.exe");
        return exe.size() > stub.size() && std::equal(stub.begin(), stub.end(), exe.begin());
    };

    Result r = splitWith(prefix / "bin" / "zrk");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    for (const fs::path& place : {prefix / "bin" / "zrkcombine.exe", prefix / "lib" / "zrk" / "zrkcombine.exe"})
        EXPECT_NE(r.err.find(place.lexically_normal().string()), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("give its path with --stub"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "arc" / "s.exe"));

    const auto packaged = bytes(4000, 21), beside = bytes(4500, 22);
    writeBytes(prefix / "lib" / "zrk" / "zrkcombine.exe", packaged);
    ASSERT_EQ(splitWith(prefix / "bin" / "zrk").code, 0);
    EXPECT_TRUE(startsWith(packaged));
    writeBytes(prefix / "bin" / "zrkcombine.exe", beside);
    ASSERT_EQ(splitWith(prefix / "bin" / "zrk").code, 0);
    EXPECT_TRUE(startsWith(beside));
    writeBytes(zip / "zrkcombine.exe", beside);
    ASSERT_EQ(splitWith(zip / "zrk").code, 0);
    EXPECT_TRUE(startsWith(beside));

    r = splitWith(prefix / "bin" / "zrk", {"--arch", "x64"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("the x64 combining program x64/zrkcombine.exe was not found"), std::string::npos) << r.err;
    for (const fs::path& place : {prefix / "bin" / "x64" / "zrkcombine.exe", prefix / "lib" / "zrk" / "x64" / "zrkcombine.exe"})
        EXPECT_NE(r.err.find(place.lexically_normal().string()), std::string::npos) << r.err;
    const auto packaged64 = bytes(4200, 23), beside64 = bytes(4700, 24);
    fs::create_directories(prefix / "lib" / "zrk" / "x64");
    writeBytes(prefix / "lib" / "zrk" / "x64" / "zrkcombine.exe", packaged64);
    ASSERT_EQ(splitWith(prefix / "bin" / "zrk", {"--arch", "x64"}).code, 0);
    EXPECT_TRUE(startsWith(packaged64));
    ASSERT_EQ(splitWith(prefix / "bin" / "zrk", {"--arch", "x86"}).code, 0);
    EXPECT_TRUE(startsWith(beside));
    fs::create_directories(zip / "x64");
    writeBytes(zip / "x64" / "zrkcombine.exe", beside64);
    ASSERT_EQ(splitWith(zip / "zrk", {"--arch", "x64"}).code, 0);
    EXPECT_TRUE(startsWith(beside64));
}

// -s 100 meant as megabytes makes a volume of every hundred bytes: past 10,000 volumes
// split asks for --force; an explicit -n is taken as meant.
TEST_F(ZrkTool, ManyVolumesFromASizeNeedForce) {
    const auto data = bytes(10001, 14);
    Result r = split("m.bin", data, {"-s", "1"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("that makes 10,001 volumes; give a larger -s, or --force to make them all"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(volumeCount(), 0u);
    EXPECT_FALSE(fs::exists(dir_ / "arc" / "m.exe"));
    ASSERT_EQ(split("m.bin", data, {"-s", "1", "--force"}).code, 0);
    EXPECT_EQ(volumeCount(), 10001u);
    fs::remove_all(dir_ / "arc");
    fs::create_directories(dir_ / "arc");
    ASSERT_EQ(split("m.bin", data, {"-n", "10001"}).code, 0);
    EXPECT_EQ(volumeCount(), 10001u);
}

TEST_F(ZrkTool, EnglishPayloadCarriesTheEnglishTable) {
    ASSERT_EQ(split("l.bin", bytes(1000, 12), {"-n", "1", "--lang", "en"}).code, 0);
    const auto exe = readBytes(dir_ / "arc" / "l.exe");
    const std::string text(exe.begin(), exe.end());
    EXPECT_NE(text.find("This program combines split files."), std::string::npos);
    EXPECT_NE(text.find("B&rowse..."), std::string::npos);
    fs::remove_all(dir_ / "arc");
    ASSERT_EQ(split("l.bin", bytes(1000, 12), {"-n", "1"}).code, 0);
    const auto ja = readBytes(dir_ / "arc" / "l.exe");
    EXPECT_EQ(std::string(ja.begin(), ja.end()).find("This program combines"), std::string::npos);
}

} // namespace

TEST_F(ZrkTool, StubMustLeaveTheArchiveDescriptionInTheFirstMebibyte) {
    const auto data = bytes(20000, 12);
    ASSERT_EQ(split("probe.bin", data, {"-n", "1"}).code, 0);
    // The settings container right behind the stub: its header's data size, plus the header.
    const auto probe = readBytes(dir_ / "arc" / "probe.exe");
    uint64_t settingsData = 0;
    for (int i = 7; i >= 0; --i) settingsData = settingsData << 8 | uint8_t(probe[3000 + 8 + size_t(i)]);
    const size_t largest = 0x100000 - 32 - 32 - size_t(settingsData);

    // The largest stub that leaves the archive description's header inside the window.
    writeBytes(stub_, bytes(largest, 7));
    ASSERT_EQ(split("fits.bin", data, {"-n", "2"}).code, 0);
    Result r = run({"join", path("arc/fits.exe"), "-o", path("out")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readBytes(dir_ / "out" / "fits.bin"), data);

    // One byte more, and the program would never find it: refused before anything is written.
    writeBytes(stub_, bytes(largest + 1, 7));
    r = split("large.bin", data, {"-n", "2"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("the stub program is too large"), std::string::npos) << r.err;
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "arc" / "large.exe"));
    EXPECT_FALSE(fs::exists(dir_ / "arc" / "large.001.zrd"));
    // The limit comes from the texts carried: the English ones take fewer bytes than the
    // Japanese (one byte a character against three), so with them the same stub fits.
    r = split("large.bin", data, {"-n", "2", "--lang", "en"});
    ASSERT_EQ(r.code, 0) << r.err;
    r = run({"join", path("arc/large.exe"), "-o", path("out")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readBytes(dir_ / "out" / "large.bin"), data);
}

// Ctrl-C: the tool is started on its own, SIGINT is sent once the file it writes has
// grown, and what is left on disk is checked.
class ZrkInterrupt : public ZrkTool {
protected:
    pid_t start(const std::vector<std::string>& args) {
        std::vector<std::string> argv{ZRK_TOOL_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (std::string& a : argv) pointers.push_back(a.data());
        pointers.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, (dir_ / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&files, 2, (dir_ / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = -1;
        const int error = posix_spawn(&pid, ZRK_TOOL_PATH, &files, nullptr, pointers.data(), environ);
        posix_spawn_file_actions_destroy(&files);
        return error == 0 ? pid : -1;
    }
    // Waits until `grows` holds more than a few blocks, then interrupts `signals` times.
    // False when the tool ended first (the input is too small for this machine).
    bool interruptWhenGrown(pid_t pid, const fs::path& grows, int signals = 1) {
        for (int i = 0; i < 30000; ++i) {
            std::error_code error;
            if (fs::file_size(grows, error) > (16u << 20) && !error) {
                for (int s = 0; s < signals; ++s) kill(pid, SIGINT);
                return true;
            }
            if (waitpid(pid, nullptr, WNOHANG) == pid) return false;
            usleep(1000);
        }
        kill(pid, SIGKILL);
        return false;
    }
    Result finish(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        Result r;
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = readText(dir_ / "stdout");
        r.err = readText(dir_ / "stderr");
        return r;
    }
    // A sparse input: large enough that each command runs for a while, cheap to make.
    fs::path sparseInput() {
        const fs::path input = dir_ / "in" / "big.img";
        std::ofstream(input, std::ios::binary).put('x');
        fs::resize_file(input, 240u << 20);
        return input;
    }
};

TEST_F(ZrkInterrupt, SplitRemovesTheVolumesItBegan) {
    const fs::path input = sparseInput();
    const pid_t pid = start({"split", input.string(), "-n", "3", "-o", path("arc"), "--stub", stub_.string()});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(interruptWhenGrown(pid, dir_ / "arc" / "big.001.zrd"));
    const Result r = finish(pid);
    EXPECT_EQ(r.code, 130) << r.err;
    EXPECT_NE(r.err.find("zrk: interrupted; the 1 volume begun so far was removed"), std::string::npos) << r.err;
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_TRUE(fs::is_empty(dir_ / "arc"));
    EXPECT_EQ(fs::file_size(input), 240u << 20);
}

TEST_F(ZrkInterrupt, JoinLeavesNoPartFileAndAnExistingTargetAsItWas) {
    ASSERT_EQ(run({"split", sparseInput().string(), "-n", "2", "-o", path("arc"), "--stub", stub_.string()}).code, 0);
    const fs::path target = dir_ / "out" / "big.img", part = dir_ / "out" / "big.img.zrk-part";

    // No file of that name yet: none afterwards either.
    pid_t pid = start({"join", path("arc/big.exe"), "-o", path("out")});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(interruptWhenGrown(pid, part));
    Result r = finish(pid);
    EXPECT_EQ(r.code, 130) << r.err;
    EXPECT_NE(r.err.find("the part file was removed; " + target.string() + " was not made"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_FALSE(fs::exists(part));
    EXPECT_FALSE(fs::exists(target));

    // --force over an older file: the older file stays until the new one is complete.
    writeBytes(target, {'o', 'l', 'd'});
    pid = start({"join", path("arc/big.exe"), "-o", path("out"), "--force"});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(interruptWhenGrown(pid, part));
    r = finish(pid);
    EXPECT_EQ(r.code, 130) << r.err;
    EXPECT_NE(r.err.find(target.string() + " is unchanged"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(part));
    EXPECT_EQ(readBytes(target), (std::vector<char>{'o', 'l', 'd'}));

    // Two at once: either the first is handled in time, or the second ends the tool
    // there and then; the part file goes in both cases.
    pid = start({"join", path("arc/big.exe"), "-o", path("out"), "--force"});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(interruptWhenGrown(pid, part, 2));
    r = finish(pid);
    EXPECT_EQ(r.code, 130) << r.err;
    EXPECT_FALSE(fs::exists(part));
    EXPECT_EQ(readBytes(target), (std::vector<char>{'o', 'l', 'd'}));

    // Not interrupted, the same command completes.
    r = run({"join", path("arc/big.exe"), "-o", path("out"), "--force"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(fs::file_size(target), 240u << 20);
}

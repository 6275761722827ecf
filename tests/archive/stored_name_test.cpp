// The stored-name rule, one table per kind of name it refuses, and the ordinary names
// it must let through.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "archive/stored_name.h"

namespace zrk::testing {
namespace {

using Cases = std::vector<std::pair<std::string, std::string>>;  // name, problem

void expectProblems(const Cases& cases) {
    for (const auto& [name, problem] : cases) EXPECT_EQ(storedNameProblem(name), problem) << name;
}

TEST(StoredNames, OrdinaryNamesAreAccepted) {
    for (const std::string& good : std::vector<std::string>{
             "a", "a..b", ".hidden", "report final.v2.txt", " leading space.txt",
             "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", "console.txt", "CONSOLE", "nul_file", "null.txt",
             "COM10", "lpt10.log", "comx", "COM", "auxiliary", "CONIN", "clock.txt", "a~b.txt", "backup~.txt",
             "long name~1.txt", "DATA~0.TXT", "ARCHIVE~1.TAR.GZ", "\xF0\x9F\x93\x84 notes.txt",
             "caf\xC3\xA9~", std::string(255, 'x')})
        EXPECT_EQ(storedNameProblem(good), "") << good;
}

TEST(StoredNames, DeviceNamesInEveryFormWindowsOpensAreRefused) {
    expectProblems({
        {"CON", "it names a Windows device (CON)"},
        {"prn", "it names a Windows device (PRN)"},
        {"Aux.txt", "it names a Windows device (AUX)"},
        {"nul.txt", "it names a Windows device (NUL)"},
        {"con.tar.gz", "it names a Windows device (CON)"},
        {"NUL .txt", "it names a Windows device (NUL)"},
        {"com1..txt", "it names a Windows device (COM1)"},
        {" nul", "it names a Windows device (NUL)"},
        {"COM0", "it names a Windows device (COM0)"},
        {"lpt9.doc", "it names a Windows device (LPT9)"},
        {"LPT0", "it names a Windows device (LPT0)"},
        {"COM\xC2\xB9", "it names a Windows device (COM\xC2\xB9)"},
        {"lpt\xC2\xB2.txt", "it names a Windows device (LPT\xC2\xB2)"},
        {"Com\xC2\xB3", "it names a Windows device (COM\xC2\xB3)"},
        {"conin$", "it names a Windows device (CONIN$)"},
        {"CONOUT$.log", "it names a Windows device (CONOUT$)"},
        {"clock$", "it names a Windows device (CLOCK$)"},
    });
}

TEST(StoredNames, NamesWindowsWouldChangeOrRejectAreRefused) {
    expectProblems({
        {"", "it is empty"},
        {".", "it names a folder (.)"},
        {"..", "it names a folder (..)"},
        {"a.", "Windows would drop its trailing dot"},
        {"a ", "Windows would drop its trailing space"},
        {"a. .", "Windows would drop its trailing dot"},
        {"AUX ", "Windows would drop its trailing space"},
        {"...", "Windows would drop its trailing dot"},
        {"..\\evil.txt", "it contains a folder separator (\\)"},
        {"sub/x", "it contains a folder separator (/)"},
        {"C:x", "it contains ':', which names a drive or a stream"},
        {"a.txt:stream", "it contains ':', which names a drive or a stream"},
        {"a<b", "it contains a character Windows forbids in file names (<)"},
        {"a>b", "it contains a character Windows forbids in file names (>)"},
        {"say \"hi\"", "it contains a character Windows forbids in file names (\")"},
        {"a|b", "it contains a character Windows forbids in file names (|)"},
        {"why?", "it contains a character Windows forbids in file names (?)"},
        {"*.txt", "it contains a character Windows forbids in file names (*)"},
        {std::string("a\0b", 3), "it contains a control character (U+0000)"},
        {"a\x01" "b", "it contains a control character (U+0001)"},
        {"tab\there", "it contains a control character (U+0009)"},
        {"a\x1F", "it contains a control character (U+001F)"},
        {"del\x7F", "it contains a control character (U+007F)"},
        {"c1\xC2\x85.txt", "it contains a control character (U+0085)"},
        {"c1\xC2\x9F", "it contains a control character (U+009F)"},
        {"REPORT~1.TXT", "it has the form of a Windows short name and may open another file"},
        {"progra~1", "it has the form of a Windows short name and may open another file"},
        {"AB12~345.d", "it has the form of a Windows short name and may open another file"},
    });
}

TEST(StoredNames, InvisibleAndReorderingCharactersAreRefused) {
    expectProblems({
        {"invoice\xE2\x80\xAEtxt.exe", "it contains an invisible formatting character (U+202E)"},
        {"\xE2\x80\xAA" "a", "it contains an invisible formatting character (U+202A)"},
        {"a\xE2\x81\xA6" "b", "it contains an invisible formatting character (U+2066)"},
        {"a\xE2\x81\xA9", "it contains an invisible formatting character (U+2069)"},
        {"a\xE2\x80\x8E", "it contains an invisible formatting character (U+200E)"},
        {"a\xE2\x80\x8F", "it contains an invisible formatting character (U+200F)"},
        {"a\xD8\x9C", "it contains an invisible formatting character (U+061C)"},
        {"a\xE2\x80\x8B" "b", "it contains an invisible formatting character (U+200B)"},
        {"a\xE2\x80\x8D" "b", "it contains an invisible formatting character (U+200D)"},
        {"a\xE2\x81\xA0", "it contains an invisible formatting character (U+2060)"},
        {"\xEF\xBB\xBF" "a.txt", "it contains an invisible formatting character (U+FEFF)"},
        {"soft\xC2\xAD" "hyphen", "it contains an invisible formatting character (U+00AD)"},
        {"a\xF3\xA0\x80\xA1", "it contains an invisible formatting character (U+E0021)"},
        {"a\xF0\x9D\x85\xB3", "it contains an invisible formatting character (U+1D173)"},
        {"two\xE2\x80\xA8lines", "it contains a line break (U+2028)"},
        {"\xE3\x85\xA4", "it contains an invisible filler character (U+3164)"},
        {"\xE1\x85\x9F.txt", "it contains an invisible filler character (U+115F)"},
    });
}

TEST(StoredNames, NamesOverTheComponentLimitAreRefused) {
    std::string kana;  // three UTF-8 bytes, one UTF-16 unit each
    for (int i = 0; i < 256; ++i) kana += "\xE3\x81\x82";
    std::string emoji;  // four UTF-8 bytes, two UTF-16 units each
    for (int i = 0; i < 128; ++i) emoji += "\xF0\x9F\x93\x84";
    expectProblems({
        {std::string(256, 'x'), "it is longer than 255 characters"},
        {kana, "it is longer than 255 characters"},
        {emoji, "it is longer than 255 characters"},
        {emoji.substr(4) + "x", ""},  // 127 pairs and one more: 255 units
    });
}

TEST(StoredNames, InvalidUtf8IsRefused) {
    for (const std::string bad : {
             "\x80" "abc",                        // a continuation byte alone
             "caf\xC3",                           // cut short at the end
             "caf\xC3" "x",                       // a lead byte not followed by a continuation
             "\xC0\xAE\xC0\xAE",                  // overlong ".."
             "\xC0\xAE\xC0\xAE\xC1\x9C" "evil",  // overlong "..\evil", which decodeUtf8 reads as that
             "\xE0\x80\xAF",                      // overlong '/'
             "\xF0\x80\x80\xAF",                  // overlong '/' in four bytes
             "\xED\xA0\x80",                      // a surrogate (U+D800)
             "\xF4\x90\x80\x80",                  // past U+10FFFF
             "\xF8\x88\x80\x80\x80",              // five-byte form
             "\xFE\xFF",
         })
        EXPECT_EQ(storedNameProblem(bad), "it is not valid UTF-8") << bad;
}

} // namespace
} // namespace zrk::testing

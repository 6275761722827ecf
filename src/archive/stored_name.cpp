// The stored-name rule. The combine creates the file as folder + name through the
// Win32 path rules, which cut a name at \ / and :, drop trailing dots and spaces, turn
// device names into devices and fail on the characters file systems forbid; each of
// those is refused here with its reason, as are characters that hide or reorder what
// a reader sees.
#include "archive/stored_name.h"

#include <cstdint>
#include <cstdio>

namespace zrk {
namespace {

constexpr size_t kMaxUnits = 255;  // NTFS, exFAT and FAT long names: UTF-16 units per component

// Decodes one well-formed UTF-8 character: no overlong form, no surrogate, nothing
// past U+10FFFF, no stray or missing continuation byte. Returns the bytes taken, or 0.
size_t decodeStrict(const unsigned char* p, size_t available, uint32_t& c) {
    const unsigned b = p[0];
    size_t count;
    uint32_t least;
    if (b < 0x80) {
        c = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        count = 2, least = 0x80, c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        count = 3, least = 0x800, c = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        count = 4, least = 0x10000, c = b & 0x07;
    } else {
        return 0;
    }
    if (count > available) return 0;
    for (size_t i = 1; i < count; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        c = c << 6 | (p[i] & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return count;
}

// Format characters (general category Cf) and the tag block: they draw nothing, or
// reorder the text around them, so "txt.exe" can show as "exe.txt".
bool isFormatCharacter(uint32_t c) {
    static const uint32_t ranges[][2] = {
        {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
        {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},
        {0x200B, 0x200F},   {0x202A, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},
        {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
        {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0000, 0xE007F},
    };
    for (const auto& r : ranges)
        if (c >= r[0] && c <= r[1]) return true;
    return false;
}

// Letters that are drawn as nothing at all; a name of them alone looks empty.
bool isBlankFiller(uint32_t c) { return c == 0x115F || c == 0x1160 || c == 0x3164 || c == 0xFFA0; }

std::string codePoint(uint32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", unsigned(c));
    return text;
}

std::string problemWithCharacter(uint32_t c) {
    if (c == '\\' || c == '/') return std::string("it contains a folder separator (") + char(c) + ")";
    if (c == ':') return "it contains ':', which names a drive or a stream";
    if (c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*')
        return std::string("it contains a character Windows forbids in file names (") + char(c) + ")";
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return "it contains a control character (" + codePoint(c) + ")";
    if (isFormatCharacter(c)) return "it contains an invisible formatting character (" + codePoint(c) + ")";
    if (c == 0x2028 || c == 0x2029) return "it contains a line break (" + codePoint(c) + ")";
    if (isBlankFiller(c)) return "it contains an invisible filler character (" + codePoint(c) + ")";
    return {};
}

char upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

// The device a name opens, or "". Windows takes the part before the first dot with its
// spaces dropped, so "nul.txt", "NUL .txt" and "com1..tar.gz" are devices too. Newer
// Windows versions match fewer of these forms; the older rule is kept, as it refuses
// more. Leading spaces are dropped as well, though Windows keeps them: refusing " NUL"
// costs nothing.
std::string deviceName(const std::string& name) {
    std::string base = name.substr(0, name.find('.'));
    const size_t first = base.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    base = base.substr(first, base.find_last_not_of(' ') + 1 - first);
    for (char& c : base) c = upper(c);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"})
        if (base == device) return base;
    if (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0) return {};
    // A digit, 0 included, or a superscript one, two or three (which Windows counts as
    // digits here): U+00B9, U+00B2, U+00B3.
    const std::string number = base.substr(3);
    if (number.size() == 1 && number[0] >= '0' && number[0] <= '9') return base;
    if (number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3") return base;
    return {};
}

// The shape Windows gives generated 8.3 names ("REPORT~1.TXT", "AB12~3"). Such a name
// opens whichever long-named file of the folder holds that alias, so a combine could
// replace a file the user never saw named.
bool looksLikeShortName(const std::string& name) {
    const size_t dot = name.find('.');
    const std::string base = name.substr(0, dot);
    if (dot != std::string::npos) {
        const std::string extension = name.substr(dot + 1);
        if (extension.empty() || extension.size() > 3 || extension.find('.') != std::string::npos)
            return false;
    }
    const size_t tilde = base.rfind('~');
    if (base.size() > 8 || tilde == std::string::npos || tilde == 0 || tilde + 1 == base.size()) return false;
    if (base[tilde + 1] == '0') return false;
    for (size_t i = tilde + 1; i < base.size(); ++i)
        if (base[i] < '0' || base[i] > '9') return false;
    for (unsigned char c : name)
        if (c >= 0x80 || c == ' ' || c == '+' || c == ',' || c == ';' || c == '=' || c == '[' || c == ']')
            return false;  // never part of a generated short name
    return true;
}

} // namespace

std::string storedNameProblem(const std::string& name) {
    if (name.empty()) return "it is empty";
    if (name == "." || name == "..") return "it names a folder (" + name + ")";
    const auto* p = reinterpret_cast<const unsigned char*>(name.data());
    size_t units = 0;
    for (size_t i = 0; i < name.size();) {
        uint32_t c;
        const size_t taken = decodeStrict(p + i, name.size() - i, c);
        if (taken == 0) return "it is not valid UTF-8";
        std::string problem = problemWithCharacter(c);
        if (!problem.empty()) return problem;
        units += c >= 0x10000 ? 2 : 1;
        i += taken;
    }
    if (name.back() == '.') return "Windows would drop its trailing dot";
    if (name.back() == ' ') return "Windows would drop its trailing space";
    const std::string device = deviceName(name);
    if (!device.empty()) return "it names a Windows device (" + device + ")";
    if (units > kMaxUnits) return "it is longer than 255 characters";
    if (looksLikeShortName(name)) return "it has the form of a Windows short name and may open another file";
    return {};
}

} // namespace zrk

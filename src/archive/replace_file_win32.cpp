// Windows form of replaceFile: MoveFileExW with replacement, on wide paths.
#include "archive/replace_file.h"

#include "platform/windows_api.h"
#include "stream/paths.h"
#include "text/utf.h"

namespace zrk {

int replaceFile(const std::string& from, const std::string& to) {
    const std::u16string a = utf8ToWide(makeAbsolute(from));
    const std::u16string b = utf8ToWide(makeAbsolute(to));
    return MoveFileExW(reinterpret_cast<const wchar_t*>(a.c_str()), reinterpret_cast<const wchar_t*>(b.c_str()),
                       MOVEFILE_REPLACE_EXISTING)
               ? 1
               : 0;
}

} // namespace zrk

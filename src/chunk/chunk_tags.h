// The tags of the stored records: the two containers of a program's payload and
// the records inside them.
#pragma once

namespace zrk::tags {

inline constexpr const char* kSettings = "ZRKS";  // the program's settings and texts
inline constexpr const char* kArchive = "ZRKD";   // the archive: INFO, DFDT, DATA
inline constexpr const char* kInfo = "INFO";      // settings record / archive header and name
inline constexpr const char* kDate = "DFDT";      // the original's time and attributes
inline constexpr const char* kData = "DATA";      // message texts / a volume's piece

} // namespace zrk::tags

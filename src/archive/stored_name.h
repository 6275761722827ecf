// The rule for a stored original name: the name the combine gives the rebuilt file in
// the folder the user chose. It comes from a downloaded archive, so it is checked as
// hostile input, and the writer applies the same rule so that it never stores a name
// the combine would refuse.
#pragma once

#include <string>

namespace zrk {

// Empty when `name` (UTF-8) may be used as it is: Windows creates exactly that plain
// file in the chosen folder, and the name shows a reader what it is. Otherwise a short
// English phrase naming the broken rule, e.g. "it names a Windows device (NUL)". The
// phrase quotes code points as U+XXXX and device names in capitals, never the raw
// characters of the name, so it is safe to print.
//
// Refused: not valid UTF-8; empty, "." and ".."; \ / and : (folders, drives,
// streams); the other characters Windows forbids (< > " | ? *); C0 and C1 controls
// and DEL; invisible characters (general category Cf, the line and paragraph
// separators, the Hangul fillers); a trailing dot or space (Windows drops it); a device
// name (CON PRN AUX NUL, COM0-9, LPT0-9 and COM/LPT with a superscript 1-3, CONIN$
// CONOUT$ CLOCK$), in any case, with or without extensions, before which spaces
// count for nothing; the shape of a generated short name ("REPORT~1.TXT"), which may
// open another file of the folder; and more than 255 UTF-16 units.
std::string storedNameProblem(const std::string& name);

} // namespace zrk

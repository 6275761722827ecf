// The few terminal operations the tool needs, with one backend per system.
#pragma once

#include <string>
#include <vector>

namespace zrk::tool {

// The program's arguments as UTF-8, the program name first.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Makes UTF-8 text written to standard output and error show as such.
void prepareConsole();

bool stderrIsTerminal();
bool stdinIsTerminal();

// Shows `prompt` on standard error and reads one line from the terminal without echo.
// False at the end of input or when the terminal cannot be read.
bool readHiddenLine(const std::string& prompt, std::string& line);

} // namespace zrk::tool

// Console output, title and line input as the compiler's console expects them.
#pragma once
#include <string>
#include <string_view>

namespace kelvo::platform {

// Console attributes the compiler uses: 7 normal, 10 information, 12 error, 14 warning.
// Shown as ANSI colours, and only when standard output is a terminal.
void setTextColour(int attribute);
void writeLine(std::string_view text);
// A plain line on standard output: no colour change.
void writePlainLine(std::string_view text);
void setConsoleTitle(std::string_view title);
// Waits for one line of input; end of input counts as the Enter key.
void waitForLine();

}  // namespace kelvo::platform

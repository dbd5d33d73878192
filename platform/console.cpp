#include "platform/console.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace kelvo::platform {

static bool stdoutIsTerminal() {
  static const bool terminal = isatty(STDOUT_FILENO) != 0;
  return terminal;
}

static const char* ansiFor(int attribute) {
  switch (attribute) {
    case 10: return "\x1b[92m";
    case 12: return "\x1b[91m";
    case 14: return "\x1b[93m";
    default: return "\x1b[0m";
  }
}

void setTextColour(int attribute) {
  if (stdoutIsTerminal()) std::fputs(ansiFor(attribute), stdout);
}

void writeLine(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void writePlainLine(std::string_view text) { writeLine(text); }

void setConsoleTitle(std::string_view title) {
  if (!stdoutIsTerminal()) return;
  std::fputs("\x1b]0;", stdout);
  std::fwrite(title.data(), 1, title.size(), stdout);
  std::fputs("\x07", stdout);
  std::fflush(stdout);
}

void waitForLine() {
  std::string line;
  std::getline(std::cin, line);
}

}  // namespace kelvo::platform

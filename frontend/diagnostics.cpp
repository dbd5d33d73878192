#include "frontend/compiler.h"

namespace kelvo {

static bool isBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string TCompiler::errorPosition() const {
  if (!curFile) return "[0,0]: ";
  return "[" + std::to_string(curFile->intCurLine) + "," + std::to_string(curFile->intCurLineChar) + "]: ";
}

static std::string fileSuffix(const TAFile* file) {
  return " in [" + (file ? file->strShortFileName : std::string()) + "]";
}

// The trimmed text of the line that holds the reader's position.
std::string TCompiler::sourceLineAtCursor() const {
  if (!curFile) return {};
  const TAFile& f = *curFile;
  auto isLineBreak = [](char c) { return c == '\0' || c == '\n' || c == '\r'; };
  int32_t start = f.intCurChar;
  while (start >= 1 && !isLineBreak(f.CharAt(start))) --start;
  int32_t end = f.intCurChar < 1 ? 1 : f.intCurChar;
  while (end <= f.intSourceLen && !isLineBreak(f.CharAt(end))) ++end;
  ++start;  // the line starts after the break
  while (start < end && isBlankOrControl(f.CharAt(start))) ++start;
  while (end > start && isBlankOrControl(f.CharAt(end - 1))) --end;
  if (end <= start) return {};
  return f.strSource.substr(static_cast<size_t>(start - 1), static_cast<size_t>(end - start));
}

static std::string codeBlock(const std::string& line) {
  return line.empty() ? std::string() : "Code: \r\n\t" + line + "\r\n";
}

void TCompiler::RaiseError() {
  const std::string line = sourceLineAtCursor();
  throw ECompileError(errorPosition() + strLastError + fileSuffix(curFile) + "\r\n" + codeBlock(line));
}

void TCompiler::Error(const std::string& message) {
  const std::string line = sourceLineAtCursor();
  std::string report = errorPosition() + message + fileSuffix(curFile);
  if (!line.empty()) report += "\r\n" + codeBlock(line);
  Print(report, clError);
  throw ECompileError(kSilentAbort);
}

void TCompiler::Warning(const std::string& message) {
  if (Settings.peekToken) return;  // a look-ahead reads the token again, and warns then
  Print(errorPosition() + "Warning: " + message + fileSuffix(curFile), clWarning);
}

}  // namespace kelvo

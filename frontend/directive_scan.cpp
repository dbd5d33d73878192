// Passing over source text to find the directives that open and close conditional and
// repeated parts. Nothing is compiled or expanded on the way; strings and comments are passed
// over, so a "#end" inside one neither ends nor counts, and line ends are counted as the lexer
// counts them.
#include "frontend/compiler.h"

namespace kelvo {

namespace {

bool wordStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool wordChar(char c) { return wordStart(c) || (c >= '0' && c <= '9'); }

}  // namespace

// A line end at the current character (CR, LF or CR LF counted once).
void TCompiler::scanLineEnd(char c) {
  if (c == '\r') startLine();
  else if (c == '\n') {
    if (curFile->CharAt(curFile->intCurChar - 1) == '\r') curFile->intCurLineChar = 0;
    else startLine();
  }
}

// Passes over a quoted text whose opening quote is the current character.
void TCompiler::scanQuoted(char quote) {
  for (;;) {
    char c = NextChar();
    if (c == '\0' && curFile->intCurChar > curFile->intSourceLen) return;
    if (c == quote) return;
    if (c == '\\') c = NextChar();
    scanLineEnd(c);
  }
}

// Passes over a comment whose "/" is the current character; false when none starts there.
bool TCompiler::scanComment() {
  const char next = PeekChar(1);
  if (next == '/') {
    while (PeekChar(1) != '\r' && PeekChar(1) != '\n' && curFile->intCurChar < curFile->intSourceLen) NextChar();
    return true;
  }
  if (next != '*') return false;
  NextChar();
  for (;;) {
    const char c = NextChar();
    if (curFile->intCurChar > curFile->intSourceLen) return true;
    if (c == '*' && PeekChar(1) == '/') {
      NextChar();
      return true;
    }
    scanLineEnd(c);
  }
}

// Moves to the next "#word" and leaves the reader on the word's last character. `word` is the
// word lower-cased; `hash` where the "#" stands. False at the end of the text.
bool TCompiler::scanToDirective(std::string& word, TDirectiveMark& hash) {
  for (;;) {
    const char c = NextChar();
    if (curFile->intCurChar > curFile->intSourceLen) {
      curFile->intCurChar = curFile->intSourceLen + 1;
      return false;
    }
    switch (c) {
      case '\r': case '\n': scanLineEnd(c); break;
      case '\'': case '"': scanQuoted(c); break;
      case '/': scanComment(); break;
      case '#':
        if (!wordStart(PeekChar(1))) break;
        hash = {curFile->intCurChar, curFile->intCurLineChar};
        word.clear();
        while (wordChar(PeekChar(1))) {
          char w = NextChar();
          if (w >= 'A' && w <= 'Z') w = static_cast<char>(w + 32);
          word += w;
        }
        return true;
      default: break;
    }
  }
}

// The kinds of directive a scan cares about.
TCompiler::TScanWord TCompiler::scanWordKind(const std::string& word) {
  if (word == "end") return TScanWord::close;
  if (word == "if" || word == "repeat" || word == "ifdef" || word == "ifndef") return TScanWord::open;
  if (word == "else" || word == "elseif") return TScanWord::branch;
  return TScanWord::other;
}

// Puts the reader back just before a "#" found by the scan, so the lexer reads it next.
void TCompiler::backToDirective(const TDirectiveMark& hash) {
  curFile->intCurChar = hash.charPos - 1;
  curFile->intCurLineChar = hash.column - 1;
}

// From the reader on, the position of the "#end" that closes the construct just opened, with
// the reader left after it. With `branches`, `branchEnd` is where the first "#else" or
// "#elseif" at this level stands (or the "#end" when none does); `stopAtBranch` stops the scan
// before that "#else" or "#elseif" and answers false.
bool TCompiler::scanToEnd(bool branches, bool stopAtBranch, int32_t& branchEnd, const char* what) {
  int depth = 0;
  std::string word;
  TDirectiveMark hash;
  branchEnd = -1;
  while (scanToDirective(word, hash)) {
    switch (scanWordKind(word)) {
      case TScanWord::open: ++depth; break;
      case TScanWord::close:
        if (depth-- > 0) break;
        if (branchEnd < 0) branchEnd = hash.charPos;
        return true;
      case TScanWord::branch:
        if (!branches || depth > 0) break;
        if (stopAtBranch) {
          backToDirective(hash);
          return false;
        }
        if (branchEnd < 0) branchEnd = hash.charPos;
        break;
      case TScanWord::other: break;
    }
  }
  Error(std::string(what) + " statement is missing end in " + curFile->strShortFileName);
}

}  // namespace kelvo

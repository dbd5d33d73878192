// One source text in memory with its reading position.
#pragma once

#include <cstdint>
#include <string>

#include "frontend/source_text.h"

namespace kelvo {

struct TAFile {
  int32_t intSourceLen = 0;
  bool boolAssembled = false;
  std::string strShortFileName;
  TSourceText strSource;  // bytes as read, no code-page conversion
  int32_t intParent = -1;
  int32_t macID = -1;
  int32_t intID = 0;
  int32_t intCurChar = 0;  // 1-based; 0 before the first character
  int32_t intCurLine = 1;
  int32_t intCurLineChar = 0;  // column of the current character, from 1
  int32_t bPopMacroStack = 0;
  bool isBranchText = false;  // a taken #if branch: its end ends the block compiling it
  // A text cut from a loaded file (an #if branch, a macro body): that file's index and where
  // the text's first character stands there; originFile is -1 for any other text.
  int32_t originFile = -1, originChar = 0, originLine = 0, originColumn = 0;

  // Throws std::runtime_error with the file layer's message when the file can't be read.
  int LoadFromFile(const std::string& fileName, int32_t parent);
  int InitFromText(const std::string& name, const std::string& text, int32_t parent);
  // The byte at a 1-based position; 0 for any position outside the text.
  char CharAt(int32_t position) const {
    return (position >= 1 && position <= intSourceLen) ? strSource[position - 1] : '\0';
  }
  // Marks this text as cut from `from`, starting at its character `first` (line, column).
  void CutFrom(const TAFile& from, int32_t first, int32_t line, int32_t column);
  // A position of this text (character, line, column; nothing read counts as the first
  // character) turned into the same place in the loaded file it was cut from.
  void PlaceInOrigin(int32_t& charPos, int32_t& line, int32_t& column) const;
  // Once reading is over, lets go of the text but the line at the reading position, the only
  // part that a report can still quote. Positions move so that the same line is found there.
  void ReleaseText();

 private:
  void resetPosition(const std::string& name, int32_t parent);
};

// Line and column after reading on from the character at `from` (at `line`, `column`) up to
// and including the character at `to`, counted as the lexer counts them.
void AdvancePosition(const TAFile& f, int32_t from, int32_t to, int32_t& line, int32_t& column);

}  // namespace kelvo

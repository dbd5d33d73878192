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

  // Throws std::runtime_error with the file layer's message when the file can't be read.
  int LoadFromFile(const std::string& fileName, int32_t parent);
  int InitFromText(const std::string& name, const std::string& text, int32_t parent);
  // The byte at a 1-based position; 0 for any position outside the text.
  char CharAt(int32_t position) const {
    return (position >= 1 && position <= intSourceLen) ? strSource[position - 1] : '\0';
  }
  // Once reading is over, lets go of the text but the line at the reading position, the only
  // part that a report can still quote. Positions move so that the same line is found there.
  void ReleaseText();

 private:
  void resetPosition(const std::string& name, int32_t parent);
};

}  // namespace kelvo

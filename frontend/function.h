// One procedure of the program being compiled.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "assembler/code_buffer.h"
#include "common/definitions.h"

namespace kelvo {

// A name with a number beside it: labels with their code positions.
using TNamedEntry = std::pair<std::string, int64_t>;

struct TBraceLevel {
  int32_t braceType = 0;
  uint32_t braceID = 0;
};

struct TFunction {
  TAssembler recAssembler;
  std::vector<TNamedEntry> jmpLabels;
  std::vector<TNamedEntry> ofsLabels;
  uint32_t localFixupOffset = 0;  // 1-based position of the locals' reservation
  std::vector<std::string> paramList;
  std::string Name;
  std::string ImportName;
  int32_t DLLIndex = -1;
  int32_t FuncIndex = 0;
  bool isFunction = false;
  bool isExported = false;
  uint32_t Address = 0xFFFFFFFFu;
  TRegister ptrReg = rdEAX;
  bool isPointer = false;
  PData LinkedData = nullptr;
  bool Called = false;
  bool isClassFunc = false;
  TCallMethod CallMethod = cmStdcall;
  PDataType ResultType = nullptr;
  int32_t intLocalCount = 0;
  uint32_t dwTotalLocalSize = 0;
  uint32_t dwTotalParamSize = 0;
  uint32_t dwLocalSet = 0;
  int32_t intParamOffset = 0;
  bool bMinParams = false;
  int32_t intParamCount = 0;
  int32_t intRegParamCount = 0;
  std::vector<PDataType> paramType;
  uint32_t tryExceptCounter = 0;
  bool isDeclaration = false;
  uint32_t braceLabelID = 0;
  uint32_t braceCounter = 0;
  std::vector<TBraceLevel> braceLevel;
};

}  // namespace kelvo

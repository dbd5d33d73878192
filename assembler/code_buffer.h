// A procedure's machine code and the patches still to be applied to it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/definitions.h"

namespace kelvo {

// One pending patch of a procedure's code, resolved when the image is laid out.
struct TFixUp {
  TFixType fixType = ftNone;
  uint32_t fixAddr = 0;    // offset in the procedure's code of the field to patch
  uint32_t fixOffset = 0;  // addend inside the target
  uint32_t fixIndex = 0;   // procedure, data item or label index
  TIdentType identType = itIdent;
  uint8_t fixSize = 0;     // width in bits of the patched field; 0 for label jumps
  std::string fixLabel;
  uint16_t fixJmp = 0;     // jump kind: condition code, 16 jmp, 115 jecxz, 1000 none
  int32_t fixLabelID = -1;
  int32_t fixUID = 0;
};

struct TAssembler {
  std::string strLastError;
  uint32_t cpuMode = 32;
  uint32_t lastIncDecPos = 0;
  TRegister lastIncDecReg = rdEAX;
  std::string strCode;  // bytes; its length is where the next instruction starts
  bool reverseMode = false;
  std::vector<std::unique_ptr<TFixUp>> FixUps;
};

}  // namespace kelvo

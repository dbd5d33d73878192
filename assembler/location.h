// Where a memory operand lives: a global data item or [base + index*scale + disp], with the
// size of the item. The operand model of the form encoders and of the compiler's statements.
#pragma once

#include <cstdint>

#include "assembler/memory_operand.h"

namespace kelvo {

// A global data item (ModRM disp32 with its data fix-up) or a [base + index*scale + disp]
// operand, with the size of the item in bytes.
struct TLocation {
  bool isVar = false;
  uint32_t dataIdent = 0;
  uint32_t offset = 0;  // byte offset inside a global item
  TMemOperand mem;
  int32_t size = 4;
  bool isSigned = false;
  int8_t segPrefix = -1;  // a segment override for a [seg:address] operand

  // The same place `bytes` further on, with another size.
  TLocation At(int32_t bytes, int32_t newSize) const {
    TLocation l = *this;
    if (isVar) l.offset += static_cast<uint32_t>(bytes);
    else l.mem.disp += bytes;
    l.size = newSize;
    return l;
  }
};

// A global data item and a byte offset into it.
inline TLocation VarLocation(uint32_t dataIdent, uint32_t offset) {
  TLocation l;
  l.isVar = true;
  l.dataIdent = dataIdent;
  l.offset = offset;
  return l;
}

// [base + index*scale + disp] (TMemOperand's register counts).
inline TLocation MemLocation(const TMemOperand& m) {
  TLocation l;
  l.mem = m;
  return l;
}

}  // namespace kelvo

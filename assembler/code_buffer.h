// A procedure's machine code and the patches still to be applied to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <string>
#include <vector>

#include "assembler/code_bytes.h"
#include "assembler/encoder_host.h"
#include "assembler/label_names.h"
#include "common/definitions.h"

namespace kelvo {

// One pending patch of a procedure's code, resolved when the image is laid out. Kept small
// and by value: a large program records several for every procedure.
struct TFixUp {
  uint32_t fixAddr = 0;    // offset in the procedure's code of the field to patch
  uint32_t fixOffset = 0;  // addend inside the target
  uint32_t fixIndex = 0;   // procedure, data item or label index
  int32_t fixLabelID = -1;
  TLabelName fixLabel = 0;  // the label a jump goes to, in TLabelNames; 0: none
  uint16_t fixJmp = 0;      // jump kind: condition code, 16 jmp, 115 jecxz, 1000 none
  TFixType fixType = ftNone;
  uint8_t fixSize = 0;      // width in bits of the patched field; label jumps: 16 in 16-bit code, else 0
};

struct TAssembler {
  TCodeBytes strCode;  // bytes; its length is where the next instruction starts
  std::vector<TFixUp> FixUps;
  // Fix-ups whose bytes are already in strCode. In prepend mode only these move when bytes
  // are put in front; the ones recorded since belong to the bytes being placed.
  uint32_t fixUpsPlaced = 0;
  uint16_t cpuMode = 32;  // 16 or 32
  bool reverseMode = false;
};

// Jump kinds beyond the condition codes 0..15.
inline constexpr uint16_t kJumpAlways = 16;
inline constexpr uint16_t kJumpEcxZero = 115;
inline constexpr uint16_t kJumpNone = 1000;

// --- emission
void EmitBytes(TAssembler& a, const uint8_t* bytes, size_t count);
// Emits the first n bytes of `block`, which holds TCodeBytes::kBlock readable bytes: appending
// them costs a few moves, so every encoded instruction comes this way.
inline void EmitBlock(TAssembler& a, const uint8_t* block, size_t n) {
  if (a.reverseMode) [[unlikely]] {
    EmitBytes(a, block, n);
    return;
  }
  a.strCode.appendBlock(block, n);
  a.fixUpsPlaced = static_cast<uint32_t>(a.FixUps.size());
}
// Makes room for more fix-ups; out of line, as it is rare.
void GrowFixUps(TAssembler& a);
// Appends a fix-up into the room there is, so the vector's own growth is never inlined.
inline void PushFixUp(TAssembler& a, const TFixUp& fixUp) {
  if (a.FixUps.size() == a.FixUps.capacity()) __builtin_unreachable();
  a.FixUps.push_back(fixUp);
}
// Inline: every call, jump and address operand records one.
inline void AddFixUp(TAssembler& a, TFixType fixType, uint8_t fixSize, uint32_t fixIndex, uint32_t fixAddr,
                     uint32_t fixOffset, uint16_t fixJmp, TLabelName fixLabel = 0) {
  // In prepend mode the field's position counts from the front of the bytes still to come.
  if (a.reverseMode) fixAddr -= static_cast<uint32_t>(a.strCode.size());
  if (a.FixUps.size() == a.FixUps.capacity()) GrowFixUps(a);
  PushFixUp(a, {.fixAddr = fixAddr,
                .fixOffset = fixOffset,
                .fixIndex = fixIndex,
                .fixLabel = fixLabel,
                .fixJmp = fixJmp,
                .fixType = fixType,
                .fixSize = fixSize});
}
// Records a label jump at `address` and leaves six NOPs for the layout to overwrite with the
// short or long jump.
void EmitJumpToLabel(TAssembler& a, uint32_t address, uint16_t jumpKind, TLabelName label);
// The same for a label known by its text.
void EmitJumpToLabel(TAssembler& a, uint32_t address, uint16_t jumpKind, std::string_view label);
// Six NOPs: room the layout fills later (a label jump, the locals' reservation).
void EmitPatchArea(TAssembler& a);

// --- registers and fixed sequences
// The register's number in ModRM and +r fields; inline, as every register operand asks.
inline uint8_t RegNum(TRegister r) { return r < kRegisterCount ? static_cast<uint8_t>(r & 7) : 0; }
void EmitPushad(TAssembler& a);
void EmitPopad(TAssembler& a);
void EmitLeave(TAssembler& a);
void EmitRet(TAssembler& a);


}  // namespace kelvo

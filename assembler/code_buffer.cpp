#include "assembler/code_buffer.h"

#include <algorithm>

#include "assembler/form_encoders.h"


namespace kelvo {

namespace {

constexpr size_t kFirstFixUpRoom = 32;

// Prepend mode: the bytes go in front, and the fix-ups already placed move with the code.
[[gnu::noinline]] void prependBytes(TAssembler& a, const char* text, size_t count) {
  a.strCode.prepend(text, count);
  for (size_t i = 0; i < a.fixUpsPlaced && i < a.FixUps.size(); ++i)
    a.FixUps[i].fixAddr += static_cast<uint32_t>(count);
}

}  // namespace

void EmitBytes(TAssembler& a, const uint8_t* bytes, size_t count) {
  const char* text = reinterpret_cast<const char*>(bytes);
  if (a.reverseMode) prependBytes(a, text, count);
  else a.strCode.append(text, count);
  a.fixUpsPlaced = static_cast<uint32_t>(a.FixUps.size());
}

// Growing by half rather than doubling: the global code of a large program gathers one fix-up
// per call, and holds them until the link step.
void GrowFixUps(TAssembler& a) {
  a.FixUps.reserve(std::max(kFirstFixUpRoom, a.FixUps.size() + a.FixUps.size() / 2 + 4));
}

void EmitFixedUp(TAssembler& a, const TInstr& in) {
  const auto start = static_cast<uint32_t>(a.strCode.size());
  for (uint8_t i = 0; i < in.fixCount; ++i) {
    const TInstr::TPendingFix& f = in.fix[i];
    AddFixUp(a, f.type, f.size, f.index, start + f.pos, f.offset, kJumpAlways);
  }
  EmitBlock(a, in.b, in.n);
}

// A jump that needs more room for its fix-up (mostly a body's first), or goes in front in
// prepend mode.
[[gnu::noinline]] static void emitJumpSlowly(TAssembler& a, uint32_t address, uint16_t jumpKind, TLabelName label) {
  if (!a.reverseMode) {
    GrowFixUps(a);
    return EmitJumpToLabel(a, address, jumpKind, label);
  }
  // The size says which long form the writer may use: rel16 in 16-bit code, else rel32.
  AddFixUp(a, ftJmp, a.cpuMode == 16 ? 16 : 0, 0, address, 0, jumpKind, label);
  EmitPatchArea(a);
}

// Every structured statement emits several: the usual one stores its fix-up in the room there
// is and ends in appending the NOPs, so it saves no registers on the way.
void EmitJumpToLabel(TAssembler& a, uint32_t address, uint16_t jumpKind, TLabelName label) {
  if (jumpKind == kJumpNone) return;
  if (a.reverseMode || a.FixUps.size() == a.FixUps.capacity()) [[unlikely]]
    return emitJumpSlowly(a, address, jumpKind, label);
  PushFixUp(a, {.fixAddr = address,
                .fixLabel = label,
                .fixJmp = jumpKind,
                .fixType = ftJmp,
                .fixSize = static_cast<uint8_t>(a.cpuMode == 16 ? 16 : 0)});
  a.fixUpsPlaced = static_cast<uint32_t>(a.FixUps.size());
  static constexpr char kNops[6] = {'\x90', '\x90', '\x90', '\x90', '\x90', '\x90'};
  a.strCode.append(kNops, sizeof kNops);
}

void EmitJumpToLabel(TAssembler& a, uint32_t address, uint16_t jumpKind, std::string_view label) {
  if (jumpKind == kJumpNone) return;
  EmitJumpToLabel(a, address, jumpKind, TLabelNames::Get().Intern(label));
}

void EmitPatchArea(TAssembler& a) {
  static constexpr uint8_t kArea[TCodeBytes::kBlock] = {0x90, 0x90, 0x90, 0x90, 0x90, 0x90};  // NOP
  EmitBlock(a, kArea, 6);
}

static void emitRaw(TAssembler& a, TFormId form) {
  TInstr in(a);
  PutRaw(in, kForms[form], 4);
  Emit(a, in);
}

void EmitPushad(TAssembler& a) { emitRaw(a, fmPushad); }
void EmitPopad(TAssembler& a) { emitRaw(a, fmPopad); }
void EmitLeave(TAssembler& a) { emitRaw(a, fmLeave); }
void EmitRet(TAssembler& a) { emitRaw(a, fmRet); }

static TEncoderHost gHost;

void SetEncoderHost(const TEncoderHost& host) { gHost = host; }

void ClearEncoderHost(const void* context) {
  if (gHost.context == context) gHost = {};
}

void EncoderError(const char* message) {
  if (gHost.report) gHost.report(gHost.context, message);
  throw EEncoderError(message);
}

int32_t CurrentCPULevel() { return gHost.cpuLevel ? *gHost.cpuLevel : 386; }
bool MmxEnabled() { return !gHost.mmx || *gHost.mmx; }
bool SseEnabled() { return !gHost.sse || *gHost.sse; }

}  // namespace kelvo

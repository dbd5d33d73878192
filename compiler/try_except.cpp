// try { ... } except { ... }: a Windows exception-registration record on the stack for the
// try body. The system calls the handler with the exception record; the handler takes the
// stack back to the record, unregisters it and runs the except body with EAX = exception
// code and ECX = exception address.
//
// The record at the try body's start, from ESP up:
//   +0 previous record (FS:[0] before)   +4 handler address   +8 PUSHAD (32 bytes)
//   +40 exception address slot           +44 exception code slot
#include <algorithm>

#include "assembler/encoders.h"
#include "compiler/structured_labels.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

constexpr uint8_t kPushFs0[] = {0x64, 0xFF, 0x35, 0, 0, 0, 0};  // PUSH dword FS:[0]
constexpr uint8_t kMovFs0Esp[] = {0x64, 0x89, 0x25, 0, 0, 0, 0};  // MOV FS:[0], ESP
constexpr uint8_t kPopFs0[] = {0x64, 0x8F, 0x05, 0, 0, 0, 0};  // POP dword FS:[0]

// Called as handler(record, frame, context, dispatcher): never returns to the system.
constexpr uint8_t kHandlerEntry[] = {
    0x8B, 0x44, 0x24, 0x04,  // MOV EAX, [ESP+4]     the exception record
    0x8B, 0x48, 0x0C,        // MOV ECX, [EAX+12]    its address
    0x8B, 0x00,              // MOV EAX, [EAX]       its code
    0x8B, 0x64, 0x24, 0x08,  // MOV ESP, [ESP+8]     back to the registration record
};
constexpr uint8_t kHandlerExit[] = {
    0x83, 0xC4, 0x04,        // ADD ESP, 4           the handler address
    0x89, 0x44, 0x24, 0x24,  // MOV [ESP+36], EAX
    0x89, 0x4C, 0x24, 0x20,  // MOV [ESP+32], ECX
    0x61,                    // POPAD
    0x59,                    // POP ECX
    0x58,                    // POP EAX
};

void emit(TAssembler& a, const uint8_t* bytes, size_t count) { EmitBytes(a, bytes, count); }

}  // namespace

// Unregisters the record and drops it with the saved registers: ESP is as before the try.
void TCompiler::emitTryUnwind() {
  TAssembler& a = curFunc->recAssembler;
  emit(a, kPopFs0, sizeof kPopFs0);
  AddRegImm(a, rdESP, 44, ftNone);
}

int TCompiler::TryFramesAbove(int32_t target) {
  const std::vector<uint32_t>& tries = CurBody().tryBodies;
  int count = 0;
  for (int32_t i = static_cast<int32_t>(curFunc->braceLevel.size()) - 1; i > target && !tries.empty(); --i)
    count += std::count(tries.begin(), tries.end(), curFunc->braceLevel[static_cast<size_t>(i)].id) > 0;
  return count;
}

// Unregisters every try record between the innermost level and the level at index `target`
// (-1: all of them); each record lies right above the next one out.
int TCompiler::UnwindTryFrames(int32_t target) {
  const int count = TryFramesAbove(target);
  for (int i = 0; i < count; ++i) emitTryUnwind();
  return count;
}

// A jump from the try body to a label of its own is fine; one to any other label would leave
// the record registered after the try has ended.
void TCompiler::checkTryBodyJumps(size_t firstFixUp, size_t firstLabel) {
  const TAssembler& a = curFunc->recAssembler;
  const TLabelNames& names = TLabelNames::Get();
  for (size_t i = firstFixUp; i < a.FixUps.size(); ++i) {
    const TFixUp& x = a.FixUps[i];
    if (x.fixType != ftJmp || x.fixLabel == 0) continue;
    const std::string& label = names.Text(x.fixLabel);
    if (label[0] == '=' || label[0] == '~') continue;
    const int32_t at = FindLabel(label);
    if (at < 0 || static_cast<size_t>(at) < firstLabel)
      Error("A jump to \"" + label + "\" leaves the try block without removing its exception handler");
  }
}

// "try { ... } except { ... }"
bool TCompiler::CompileTryExcept() {
  ExpectOrRaise(tk::LBrace);
  TAssembler& a = curFunc->recAssembler;
  const uint32_t n = curFunc->PushBrace(btIf).id;
  const std::string handler = LevelLabel("=EXCEPT_", n);
  SubRegImm(a, rdESP, 8, ftNone);
  EmitPushad(a);
  curFunc->ofsLabels.emplace_back(handler, static_cast<int64_t>(a.strCode.size()));
  PushImm(a, 4, static_cast<int32_t>(curFunc->ofsLabels.size() - 1), ftOffsetLabelAddress, 0);
  emit(a, kPushFs0, sizeof kPushFs0);
  emit(a, kMovFs0Esp, sizeof kMovFs0Esp);
  const uint32_t body = curFunc->PushBrace(btIf).id;
  const size_t firstFixUp = a.FixUps.size(), firstLabel = curFunc->jmpLabels.size();
  CurBody().tryBodies.push_back(body);
  CompileBracedBody("Error 34512313");
  CurBody().tryBodies.pop_back();
  checkTryBodyJumps(firstFixUp, firstLabel);
  emitTryUnwind();
  JumpToLevelLabel(kJumpAlways, LevelLabel("=EXCEPTEND_", n), n);
  if (GetToken(false, true) != tk::Except) Error("Expected except but found " + curToken.Str);
  ExpectOrRaise(tk::LBrace);
  DefineLabel(handler);
  emit(a, kHandlerEntry, sizeof kHandlerEntry);
  emit(a, kPopFs0, sizeof kPopFs0);
  emit(a, kHandlerExit, sizeof kHandlerExit);
  CompileBracedBody("Error 34512313");
  DefineLabel(LevelLabel("=EXCEPTEND_", n));
  return true;
}

}  // namespace kelvo

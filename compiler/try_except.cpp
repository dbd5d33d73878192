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
#include "assembler/operand_location.h"
#include "compiler/structured_labels.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

// FS:[0], the head of the thread's registration records.
TLocation recordHead() {
  TLocation head = MemLocation(AbsoluteOperand(0));
  head.segPrefix = segFS;
  return head;
}

TLocation stackAt(int32_t disp) { return MemLocation(BaseDisp(rdESP, disp)); }

// Called as handler(record, frame, context, dispatcher): never returns to the system.
void emitHandlerEntry(TAssembler& a) {
  LocMovRegLoc(a, rdEAX, stackAt(4));                     // the exception record
  LocMovRegLoc(a, rdECX, MemLocation(BaseDisp(rdEAX, 12)));  // its address
  LocMovRegLoc(a, rdEAX, MemLocation(BaseDisp(rdEAX, 0)));   // its code
  LocMovRegLoc(a, rdESP, stackAt(8));                     // back to the registration record
}

void emitHandlerExit(TAssembler& a) {
  AddRegImm(a, rdESP, 4, ftNone);  // the handler address
  LocMovLocReg(a, stackAt(36), rdEAX);
  LocMovLocReg(a, stackAt(32), rdECX);
  EmitPopad(a);
  PopReg(a, rdECX);
  PopReg(a, rdEAX);
}

}  // namespace

// Unregisters the record and drops it with the saved registers: ESP is as before the try.
void TCompiler::emitTryUnwind() {
  TAssembler& a = curFunc->recAssembler;
  LocPop(a, recordHead(), 4);
  AddRegImm(a, rdESP, 44, ftNone);
}

int TCompiler::TryFramesAbove(int32_t target) {
  const std::vector<uint32_t>& tries = CurBody().tryBodies;
  int count = 0;
  const std::vector<TBraceLevel>& levels = CurBody().braceLevel;
  for (int32_t i = static_cast<int32_t>(levels.size()) - 1; i > target && !tries.empty(); --i)
    count += std::count(tries.begin(), tries.end(), levels[static_cast<size_t>(i)].id) > 0;
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
  TAssembler& a = curFunc->recAssembler;
  // The handler record hangs off FS:[0], which only Windows threads have.
  if (a.cpuMode == 16) Error("try/except needs 32-bit code");
  ExpectOrRaise(tk::LBrace);
  const uint32_t n = CurBody().PushBrace(btIf).id;
  const TLabelName handler = LevelLabel(llExcept, n);
  SubRegImm(a, rdESP, 8, ftNone);
  EmitPushad(a);
  curFunc->ofsLabels.emplace_back(TLabelNames::Get().Text(handler), static_cast<int64_t>(a.strCode.size()));
  PushImm(a, 4, static_cast<int32_t>(curFunc->ofsLabels.size() - 1), ftOffsetLabelAddress, 0);
  LocPush(a, recordHead(), 4);
  LocMovLocReg(a, recordHead(), rdESP);
  const uint32_t body = CurBody().PushBrace(btIf).id;
  const size_t firstFixUp = a.FixUps.size(), firstLabel = curFunc->jmpLabels.size();
  CurBody().tryBodies.push_back(body);
  CompileBracedBody("Error 34512313");
  CurBody().tryBodies.pop_back();
  checkTryBodyJumps(firstFixUp, firstLabel);
  emitTryUnwind();
  JumpToLabel(kJumpAlways, LevelLabel(llExceptEnd, n));
  if (GetToken(false, true) != tk::Except) Error("Expected except but found " + curToken.Str);
  ExpectOrRaise(tk::LBrace);
  DefineLabel(handler);
  emitHandlerEntry(a);
  LocPop(a, recordHead(), 4);
  emitHandlerExit(a);
  CompileBracedBody("Error 34512313");
  DefineLabel(LevelLabel(llExceptEnd, n));
  return true;
}

}  // namespace kelvo

// case (reg) { state n: ... default: ... }: the states are labels in the body; the dispatch
// code after the body compares the selector with each state's value.
#include <algorithm>
#include <charconv>
#include <string_view>
#include <vector>

#include "assembler/encoders.h"
#include "compiler/label_binding.h"
#include "compiler/structured_labels.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

// "=case<id>_<value>", or "=case<id>_default": the default has a label of its own, so a
// "state 0" beside it stays reachable.
TLabelName internStateLabel(uint32_t caseId, const TStateInfo& s) {
  char text[32] = "=case";
  char* end = std::to_chars(text + 5, text + 15, caseId).ptr;  // at most ten digits
  *end++ = '_';
  if (s.def) {
    constexpr std::string_view kDefault = "default";
    end += kDefault.copy(end, kDefault.size());
  } else {
    end = std::to_chars(end, text + sizeof text, s.value).ptr;
  }
  return TLabelNames::Get().Intern({text, static_cast<size_t>(end - text)});
}

// Case ids start again in every procedure, and most states are small numbers: such a name is
// interned the first time and found by case id and value from then on.
constexpr uint32_t kKeptValues = 16;       // states 0..15; the default is kept after them
constexpr uint32_t kKeptCaseIds = 256;    // a few KiB at most, however deep a procedure nests

TLabelName stateLabel(uint32_t caseId, const TStateInfo& s) {
  static std::vector<TLabelName> known;  // by case id, then value: kKeptValues + 1 each
  if (caseId >= kKeptCaseIds || (!s.def && s.value >= kKeptValues)) return internStateLabel(caseId, s);
  const uint32_t slot = s.def ? kKeptValues : s.value;
  const size_t at = size_t{caseId} * (kKeptValues + 1) + slot;
  if (at >= known.size()) known.resize(at + kKeptValues + 1, 0);
  if (known[at] == 0) known[at] = internStateLabel(caseId, s);
  return known[at];
}

}  // namespace

// "case (reg) { state n: ... default: ... }"
bool TCompiler::CompileCase() {
  ExpectOrRaise(tk::LParen);
  ExpectOrRaise(tk::Register);
  const TRegister selector = curToken.Reg;
  ExpectOrRaise(tk::RParen);
  ExpectOrRaise(tk::LBrace);
  const uint32_t n = curFunc->PushBrace(btCase).id;
  const TLabelName dispatch = LevelLabel(llCheckCase, n);
  JumpToLabel(kJumpAlways, dispatch);
  CompileBracedBody("Error 54525");
  // A last state without break leaves the case instead of running into the dispatch.
  const TLabelName exit = LevelLabel(llExitCase, n);
  JumpToLabel(kJumpAlways, exit);
  DefineLabel(dispatch);
  emitCaseDispatch(n, selector);
  DefineLabel(exit);
  return true;
}

// Compares the selector with the case's states, the last written first, and removes them.
void TCompiler::emitCaseDispatch(uint32_t n, TRegister selector) {
  TAssembler& a = curFunc->recAssembler;
  const TStateInfo* fallback = nullptr;
  for (size_t i = StateStack.size(); i-- > 0;) {
    const TStateInfo& s = StateStack[i];
    if (s.caseid != n) continue;
    if (s.def) {
      fallback = &s;
      continue;
    }
    CheckImmediate(static_cast<int32_t>(s.value), regSize(selector) / 8);
    CmpRegImm(a, selector, 0, static_cast<int32_t>(s.value));
    JumpToLabel(4, s.label);
  }
  if (fallback) JumpToLabel(kJumpAlways, fallback->label);
  std::erase_if(StateStack, [n](const TStateInfo& s) { return s.caseid == n; });
}

// "state n[, n]...:" | "default:" inside a case
bool TCompiler::CompileState(bool isDefault) {
  const int64_t caseId = curFunc->FindCaseBrace();
  if (caseId < 0) Error("A state may only reside inside a case statement");
  TStateInfo s;
  s.caseid = static_cast<uint32_t>(caseId);
  s.def = isDefault;
  if (!isDefault) {
    if (ExpectToken({tk::Number, tk::Hex}) == tk::Invalid) RaiseError();
    s.value = static_cast<uint32_t>(curToken.Int);
  }
  s.label = stateLabel(s.caseid, s);
  if (FindLabelNamed(*this, s.label) >= 0) {
    if (isDefault) Error("The case already has a default state");
    Error("State " + std::to_string(s.value) + " is already in this case");
  }
  ExpectOrRaise(tk::Colon);
  AddLabelNamed(*this, s.label, static_cast<uint32_t>(curFunc->recAssembler.strCode.size()));
  StateStack.push_back(s);
  return true;
}

}  // namespace kelvo

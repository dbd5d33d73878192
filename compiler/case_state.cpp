// case (reg) { state n: ... default: ... }: the states are labels in the body; the dispatch
// code after the body compares the selector with each state's value.
#include <algorithm>
#include <charconv>
#include <string>
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
TLabelName internStateLabel(uint32_t caseId, bool isDefault, uint32_t value) {
  char text[32] = "=case";
  char* end = std::to_chars(text + 5, text + 15, caseId).ptr;  // at most ten digits
  *end++ = '_';
  if (isDefault) {
    constexpr std::string_view kDefault = "default";
    end += kDefault.copy(end, kDefault.size());
  } else {
    end = std::to_chars(end, text + sizeof text, value).ptr;
  }
  return TLabelNames::Get().Intern({text, static_cast<size_t>(end - text)});
}

// Case ids start again in every procedure, and most states are small numbers: such a name is
// interned the first time and found by case id and value from then on.
constexpr uint32_t kKeptValues = 16;     // states 0..15; the default is kept after them
constexpr uint32_t kKeptCaseIds = 256;   // only the pages of the ids met are ever touched
TLabelName knownStates[kKeptCaseIds][kKeptValues + 1];  // 0: not interned yet

TLabelName stateLabel(uint32_t caseId, bool isDefault, uint32_t value) {
  if (caseId >= kKeptCaseIds || (!isDefault && value >= kKeptValues))
    return internStateLabel(caseId, isDefault, value);
  TLabelName& known = knownStates[caseId][isDefault ? kKeptValues : value];
  if (known == 0) known = internStateLabel(caseId, isDefault, value);
  return known;
}

// The reports stand apart: their texts would make every state save registers it never needs.
[[noreturn, gnu::cold, gnu::noinline]] void notInCase(TCompiler& c) {
  c.Error("A state may only reside inside a case statement");
}

[[noreturn, gnu::cold, gnu::noinline]] void stateTwice(TCompiler& c, bool isDefault, uint32_t value) {
  if (isDefault) c.Error("The case already has a default state");
  c.Error("State " + std::to_string(value) + " is already in this case");
}

}  // namespace

// "case (reg) { state n: ... default: ... }"
bool TCompiler::CompileCase() {
  ExpectOrRaise(tk::LParen);
  ExpectOrRaise(tk::Register);
  const TRegister selector = curToken.Reg;
  ExpectOrRaise(tk::RParen);
  ExpectOrRaise(tk::LBrace);
  const uint32_t n = CurBody().PushBrace(btCase).id;
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
  const int64_t caseId = CurBody().FindCaseBrace();
  if (caseId < 0) notInCase(*this);
  uint32_t value = 0;
  if (!isDefault) {
    if (ExpectToken({tk::Number, tk::Hex}) == tk::Invalid) RaiseError();
    value = static_cast<uint32_t>(curToken.Int);
  }
  const auto id = static_cast<uint32_t>(caseId);
  const TLabelName label = stateLabel(id, isDefault, value);
  // The colon emits nothing: the state's code starts where it stands now.
  if (!AddNewLabel(*this, label, static_cast<uint32_t>(curFunc->recAssembler.strCode.size())))
    stateTwice(*this, isDefault, value);
  ExpectOrRaise(tk::Colon);
  StateStack.push_back({.caseid = id, .value = value, .def = isDefault, .label = label});
  return true;
}

}  // namespace kelvo

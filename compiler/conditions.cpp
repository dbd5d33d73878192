// Conditions: one comparison between two operands, compiled to a compare and the condition
// code under which the statement's jump is taken. Two numbers are compared here and now.
#include <iterator>

#include "assembler/encoders.h"
#include "compiler/comparator_read.h"
#include "compiler/structured_labels.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

// The jump-when-true code of each comparator, from "==" to "=>" in the order of their token
// codes, by the signedness of the left operand.
struct TWhenTrue {
  uint16_t whenSigned;
  uint16_t whenUnsigned;
};
constexpr TWhenTrue kWhenTrue[] = {
    {4, 4},    // ==
    {5, 5},    // != (also written <> and =!)
    {12, 2},   // <
    {15, 7},   // >
    {14, 6},   // <=
    {13, 3},   // =>
};
static_assert(tk::NotEqual == tk::Equal + 1 && tk::Less == tk::Equal + 2 && tk::Greater == tk::Equal + 3 &&
              tk::LessEqual == tk::Equal + 4 && tk::GreaterEqual == tk::Equal + std::size(kWhenTrue) - 1);
constexpr uint16_t kNoComparator = 0;  // ")" right after the left operand: compared with 0

bool isNumber(uint16_t code) { return code == tk::Number || code == tk::Hex; }

// Whether the left operand's ordering is signed: only a data item declared signed is, or a
// member of a record or class declared with a signed type.
bool signedOperand(const TCurrentToken& t) {
  if (t.Token == tk::BaseExpr || t.Token == tk::Register || !t.Data) return false;
  if (t.DataType && t.DataType != t.Data->dataType) return t.DataType->typeSigned;  // a member
  return t.Data->dataSigned;
}

// `comparator` is one of them, as readComparison leaves it, or kNoComparator.
uint16_t whenTrue(uint16_t comparator, bool isSigned) {
  if (comparator == kNoComparator) return 5;
  const TWhenTrue& w = kWhenTrue[comparator - tk::Equal];
  return isSigned ? w.whenSigned : w.whenUnsigned;
}

// Two numbers: whether the jump with `code` would be taken.
bool foldedJump(uint16_t code, int64_t left, int64_t right) {
  const auto ul = static_cast<uint32_t>(left), ur = static_cast<uint32_t>(right);
  const auto sl = static_cast<int32_t>(ul), sr = static_cast<int32_t>(ur);
  switch (code) {
    case 4: return left == right;
    case 5: return left != right;
    case 2: return ul < ur;
    case 3: return ul >= ur;
    case 6: return ul <= ur;
    case 7: return ul > ur;
    case 12: return sl < sr;
    case 13: return sl >= sr;
    case 14: return sl <= sr;
    default: return sl > sr;  // 15
  }
}

// "(left)": the left operand compared with 0.
const TCurrentToken& zeroOperand() {
  static const TCurrentToken zero = [] {
    TCurrentToken t;
    t.Token = tk::Number;
    t.Str = "0";
    return t;
  }();
  return zero;
}

}  // namespace

uint16_t InvertJump(uint16_t code) {
  if (code == kJumpAlways) return kJumpNone;
  if (code == kJumpNone) return kJumpAlways;
  return static_cast<uint16_t>(code ^ 1);  // 4/5, 2/3, 6/7, 12/13, 14/15
}

// The left operand of a comparison, with a function call compiled and turned into EAX.
void TCompiler::readLeftOperand(TCurrentToken& left, uint16_t code) {
  if (code == tk::ProcCall) {
    const PFunction proc = curToken.Proc;
    if (!proc->isFunction)
      Error("\"" + proc->Name + "\" is not a function and can not be used in this manner");
    if (!CompileCall(proc, false, curToken.DataOffset)) RaiseError();  // a method slot's offset
    left = TCurrentToken{};
    left.Token = tk::Register;
    left.Reg = rdEAX;
    left.Size = 32;
    left.Str = "eax";
    return;
  }
  if (code == tk::TypeName) {  // a type before a memory operand that the lexer left apart
    const PDataType type = curToken.DataType;
    if (ExpectToken({tk::BaseExpr}) == tk::Invalid) RaiseError();
    curBaseExpression.dt = type;
    curBaseExpression.dtSize = type->typeSize;
  }
  CopyToken(&left, &curToken);
  left.DataType = curToken.DataType;  // a member's own type decides its signedness
  left.Token = code == tk::TypeName ? static_cast<uint16_t>(tk::BaseExpr) : code;
  if (left.Token == tk::BaseExpr) {
    left.Int = 0;  // the operand is the one just parsed, kept below
    leftExpression_ = curBaseExpression;
  }
}

void TCompiler::readRightOperand() {
  const uint16_t code = ExpectToken({tk::Register, tk::TypeName, tk::Variable, tk::LocalVar, tk::LocalParam,
                                     tk::Constant, tk::Number, tk::Hex, tk::String, tk::Minus});
  if (code == tk::Invalid) RaiseError();
  if (code == tk::Minus) {
    if (ExpectToken({tk::Number, tk::Hex}) == tk::Invalid) RaiseError();
    curToken.Int = -curToken.Int;
    curToken.Str = "-" + curToken.Str;
  }
}

uint16_t TCompiler::CompileCondition(bool negate) {
  // One look at the next character decides the forms; only a comment needs the lexer.
  char next = PeekNonBlank();
  if ((next == ')' || next == '/') && NextIsChar(')', tk::RParen))
    return negate ? kJumpAlways : kJumpNone;  // "()" holds
  if (next == '!') {
    if (GetToken(false, true) != tk::Not) Error("Unknown comparator");
    negate = !negate;
    next = PeekNonBlank();
  }
  if (next == '(') {
    // Parentheses nest by recursion; past this depth the source is refused rather than the stack.
    constexpr int kMaxParentheses = 64;
    struct TDepth {
      int& depth;
      ~TDepth() { --depth; }
    } guard{++conditionDepth_};
    if (conditionDepth_ > kMaxParentheses) Error("Conditions are nested too deeply");
    GetToken(false, true);
    const uint16_t code = CompileCondition(negate);
    if (ExpectToken({tk::RParen}) == tk::Invalid) RaiseError();
    return code;
  }
  const uint16_t leftCode = ExpectToken({tk::ProcCall, tk::BaseExpr, tk::Register, tk::TypeName, tk::Variable,
                                         tk::LocalVar, tk::LocalParam, tk::Constant, tk::Number, tk::Hex,
                                         tk::String});
  if (leftCode == tk::Invalid) RaiseError();
  if (leftCode != tk::Register) return compareOperands(negate, leftCode);
  // A register on the left, the form most written: compared with no copy of a token, unsigned.
  const TRegister reg = curToken.Reg;
  const uint16_t comparator = readComparison();
  const uint16_t jumpWhenTrue = whenTrue(comparator, false);
  compareRegister(reg, comparator == kNoComparator ? zeroOperand() : curToken);
  return negate ? jumpWhenTrue : InvertJump(jumpWhenTrue);
}

uint16_t TCompiler::readComparison() {
  // A comparator found in place is no ")": only when none is does the look for one follow.
  uint16_t comparator = ReadComparator(*this);
  if (comparator == 0) {
    if (NextIsChar(')', tk::RParen)) return kNoComparator;
    comparator = GetToken(false, true);
  }
  if (comparator < tk::Equal || comparator > tk::GreaterEqual) Error("Unknown comparator");
  readRightOperand();
  return comparator;
}

// Any other left operand, kept while the comparator and the right operand are read.
uint16_t TCompiler::compareOperands(bool negate, uint16_t leftCode) {
  TCurrentToken left;
  readLeftOperand(left, leftCode);
  const uint16_t comparator = readComparison();
  // The right operand is compared straight from the current token: nothing is read after it.
  const TCurrentToken& right = comparator == kNoComparator ? zeroOperand() : curToken;
  const uint16_t jumpWhenTrue = whenTrue(comparator, signedOperand(left));
  const uint16_t code = negate ? jumpWhenTrue : InvertJump(jumpWhenTrue);
  if (isNumber(left.Token) && isNumber(right.Token))
    return foldedJump(code, left.Int, right.Int) ? kJumpAlways : kJumpNone;
  EmitCompare(left, right);
  return code;
}

uint16_t TCompiler::CompileUntilCondition(bool negate) {
  const uint16_t code = CompileCondition(negate);
  if (ExpectToken({tk::RParen}) == tk::Invalid) RaiseError();
  return code;
}

}  // namespace kelvo

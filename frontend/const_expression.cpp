// Values known while compiling: the general evaluator (precedence, 80-bit floats, 64-bit
// integer operators) and the small 32-bit one that groups from the right and counts
// register names as their numbers.
#include <cmath>
#include <vector>

#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

// The largest float below 2^63; anything at or past it does not fit a 64-bit integer.
constexpr long double kInt64Limit = 9223372036854775808.0L;

int32_t wrap32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

// A 64-bit shift by a count outside 0..63 leaves no bits: the result is 0.
int64_t shift64(int64_t value, int64_t count, bool left) {
  if (count < 0 || count >= 64) return 0;
  const auto u = static_cast<uint64_t>(value);
  return static_cast<int64_t>(left ? u << count : u >> count);
}

// The operators that bind tighter than "+" and "-". The words mul and div, which older sources
// use in constants, are "*" and the integer division.
bool isTermOperator(uint16_t op) {
  switch (op) {
    case tk::Star: case tk::Slash: case tk::Percent: case tk::MnAnd: case tk::MnShl: case tk::MnShr:
    case tk::MnMul: case tk::MnDiv: return true;
    default: return false;
  }
}

}  // namespace

// Nearest integer, halves to even; a value no 64-bit integer holds stops the build.
int64_t TCompiler::constToInt(long double value) {
  if (!(value > -kInt64Limit - 1 && value < kInt64Limit)) Error("Constant value out of range");
  // A whole value needs no rounding, and the rounding call saves and restores the FPU state.
  const auto whole = static_cast<int64_t>(value);
  if (static_cast<long double>(whole) == value) return whole;
  return static_cast<int64_t>(std::nearbyintl(value));
}

uint16_t TCompiler::ConstExpression(bool asFloat) {
  const long double value = ConstSimpleExpression();
  const int64_t whole = constToInt(value);
  const uint16_t code = asFloat ? tk::Float : tk::Number;
  SetToken(code, std::to_string(whole));
  curToken.Int = whole;
  curToken.Ext = value;
  return code;
}

long double TCompiler::ConstSimpleExpression() {
  const uint16_t sign = PeekToken();
  if (sign == tk::Plus || sign == tk::Minus) GetToken();
  long double value = ConstTerm();
  if (sign == tk::Minus) value = -value;
  for (;;) {
    const uint16_t op = PeekToken();
    if (op != tk::Plus && op != tk::Minus && op != tk::MnOr && op != tk::MnXor) return value;
    GetToken();
    if (op == tk::Plus) {
      value += ConstTerm();
    } else if (op == tk::Minus) {
      value -= ConstTerm();
    } else {
      const int64_t left = constToInt(value);
      const int64_t right = ConstIntTerm();
      value = static_cast<long double>(op == tk::MnOr ? (left | right) : (left ^ right));
    }
  }
}

long double TCompiler::ConstTerm() {
  long double value = ConstFactor();
  for (;;) {
    const uint16_t op = PeekToken();
    if (!isTermOperator(op)) return value;
    GetToken();
    if (op == tk::Star || op == tk::MnMul || op == tk::Slash) {
      const long double right = ConstFactor();
      if (op == tk::Slash && right == 0) Error("Division by zero");
      value = op == tk::Slash ? value / right : value * right;
      continue;
    }
    const int64_t left = constToInt(value);
    const int64_t right = ConstIntFactor();
    int64_t result = 0;
    switch (op) {
      case tk::Percent:
        if (right == 0) Error("Division by zero");
        result = right == -1 ? 0 : left % right;
        break;
      case tk::MnDiv:
        if (right == 0) Error("Division by zero");
        result = right == -1 ? static_cast<int64_t>(0 - static_cast<uint64_t>(left)) : left / right;
        break;
      case tk::MnAnd: result = left & right; break;
      default: result = shift64(left, right, op == tk::MnShl); break;
    }
    value = static_cast<long double>(result);
  }
}

long double TCompiler::ConstFactor() {
  switch (ExpectToken({tk::Number, tk::Hex, tk::LParen, tk::Float})) {
    case tk::LParen: {
      const long double value = ConstSimpleExpression();
      if (ExpectToken({tk::RParen}) == tk::Invalid) RaiseError();
      return value;
    }
    case tk::Number: case tk::Hex: return static_cast<long double>(curToken.Int);
    case tk::Float: return curToken.Ext;
    default: RaiseError();
  }
}

// A 32-bit operand on the right of an integer operator, sign-extended.
int64_t TCompiler::ConstIntFactor() {
  switch (ExpectToken({tk::Number, tk::Hex, tk::LParen})) {
    case tk::LParen: {
      const long double value = ConstSimpleExpression();
      if (ExpectToken({tk::RParen}) == tk::Invalid) RaiseError();
      return wrap32(constToInt(value));
    }
    case tk::Number: case tk::Hex: return wrap32(curToken.Int);
    default: RaiseError();
  }
}

// Integer factors in 32-bit signed arithmetic, left to right, on the right of or and xor.
int64_t TCompiler::ConstIntTerm() {
  int32_t value = static_cast<int32_t>(ConstIntFactor());
  for (;;) {
    const uint16_t op = PeekToken();
    if (!isTermOperator(op)) return value;
    GetToken();
    value = applyInt32(op, value, static_cast<int32_t>(ConstIntFactor()));
  }
}

// One 32-bit operator with wrapping results: the most negative value divided by -1 stays itself.
int32_t TCompiler::applyInt32(uint16_t op, int32_t left, int32_t right) {
  const auto ul = static_cast<uint32_t>(left), ur = static_cast<uint32_t>(right);
  switch (op) {
    case tk::Plus: return static_cast<int32_t>(ul + ur);
    case tk::Minus: return static_cast<int32_t>(ul - ur);
    case tk::Star: case tk::MnMul: return static_cast<int32_t>(ul * ur);
    case tk::Slash: case tk::MnDiv: case tk::Percent: {
      if (right == 0) Error("Division by zero");
      const bool remainder = op == tk::Percent;
      if (right == -1) return remainder ? 0 : static_cast<int32_t>(0u - ul);
      return remainder ? left % right : left / right;
    }
    case tk::MnAnd: return left & right;
    case tk::MnOr: return left | right;
    case tk::MnXor: return left ^ right;
    case tk::MnShl: return static_cast<int32_t>(ul << (ur & 31));
    default: return static_cast<int32_t>(ul >> (ur & 31));  // shr, logical
  }
}

int32_t TCompiler::IntOperand(bool& done, int32_t& depth) { return IntChain(done, depth, true, 0); }

int32_t TCompiler::IntExpression(bool& done, int32_t& depth, int32_t accumulator) {
  return IntChain(done, depth, false, accumulator);
}

// The operand/expression pair without recursion: every operator takes the whole rest of its
// chain as its right side, so it waits on `pending` until that rest has a value; a long line
// of terms costs memory, not stack.
int32_t TCompiler::IntChain(bool& done, int32_t& depth, bool readOperand, int32_t accumulator) {
  struct TPending {
    uint16_t op;  // the operator, or "(" for a bracket that opened an operand
    int32_t left;
  };
  std::vector<TPending> pending;
  for (;;) {
    int32_t value = 0;  // what the innermost operand or chain gives back
    if (readOperand) {
      done = true;
      const uint16_t next = PeekToken();
      if (next == tk::LParen) {
        ++depth;
        GetToken();
        pending.push_back({tk::LParen, 0});
        continue;
      }
      if (next == tk::Register || next == tk::Number || next == tk::Hex) {
        GetToken();
        accumulator = next == tk::Register ? static_cast<int32_t>(regNumber(curToken.Reg)) : wrap32(curToken.Int);
        readOperand = false;
        continue;
      }
    } else {
      const uint16_t op = PeekToken();
      switch (op) {
        case tk::Semicolon:
          if (depth > 0)
            throw ECompileError("[" + std::to_string(curFile->intCurLine) + "," +
                                std::to_string(curFile->intCurLineChar - 1) + "]: \"(\" does not have a \")\"");
          done = true;
          break;
        case tk::RParen:
          GetToken();
          --depth;
          done = true;
          break;
        case tk::LParen:
          GetToken();
          Error("Unexpected \"(\"");
        case tk::Plus: case tk::Minus: case tk::Star: case tk::MnMul: case tk::MnDiv: case tk::MnAnd:
        case tk::MnOr: case tk::MnXor: case tk::MnShl: case tk::MnShr:
          GetToken();
          pending.push_back({op, accumulator});
          readOperand = true;
          continue;
        default: break;
      }
      value = accumulator;
    }
    // The chain ended with `value`: a bracket passes it on, an operator continues its chain.
    for (;;) {
      if (pending.empty()) return value;
      const TPending p = pending.back();
      pending.pop_back();
      if (p.op == tk::LParen) {
        if (!done) value = 0;
        else --depth;
        continue;
      }
      accumulator = applyInt32(p.op, p.left, value);
      break;
    }
  }
}

}  // namespace kelvo

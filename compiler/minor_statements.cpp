// Small declarations and statements: enumerations, type aliases, the "uses" register list and
// "blob" raw bytes.
#include "assembler/code_buffer.h"
#include "assembler/encoders.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

// The smallest unsigned type that holds every member of an enumeration without a base type.
const char* enumTypeFor(uint64_t largest) {
  if (largest < 256) return "byte";
  return largest > 0xFFFF ? "dword" : "word";
}

}  // namespace

// enum name [: type] { a, b = 5, c }. The members become constants; the name a type.
bool TCompiler::CompileEnum() {
  if (ExpectToken({tk::Identifier}) == tk::Invalid) return false;
  const std::string name = curToken.Str;
  PDataType base = nullptr;
  if (PeekToken() == tk::Colon) {
    GetToken();
    if (ExpectToken({tk::TypeName}) == tk::Invalid) return false;
    base = curToken.DataType;
  }
  if (ExpectToken({tk::LBrace}) == tk::Invalid) return false;
  uint64_t counter = 0, largest = 0;
  for (;;) {
    if (ExpectToken({tk::RBrace, tk::Identifier}) == tk::Invalid) return false;
    if (curToken.Token == tk::RBrace) break;
    const std::string member = curToken.Str;
    if (PeekToken() == tk::Assign) {
      GetToken();
      if (ExpectToken({tk::Number, tk::Hex}) == tk::Invalid) return false;
      // A hexadecimal number is read as 32 bits; 0xFFFFFFFF arrives as -1.
      counter = curToken.Token == tk::Hex ? static_cast<uint32_t>(curToken.Int) : static_cast<uint64_t>(curToken.Int);
    }
    // Each member is checked as it comes, so the message points at the one that does not fit.
    const int64_t upper = base ? base->typeUpper : 0xFFFFFFFFll;
    if (counter > static_cast<uint64_t>(upper)) Error("Enumeration data type is too small");
    if (counter > largest) largest = counter;
    AddNamedConst(member, static_cast<uint32_t>(counter));
    if (ExpectToken({tk::Semicolon, tk::Comma, tk::RBrace}) == tk::Invalid) return false;
    if (curToken.Token == tk::RBrace) break;
    ++counter;
  }
  const PDataType type = base ? base : FindType(enumTypeFor(largest));
  DeclareIdent(name, itType, type->typeIdent);
  return true;
}

// type name = existingtype. No ";" is read: one that follows is an empty statement.
bool TCompiler::CompileTypeAlias() {
  if (ExpectToken({tk::Identifier}) == tk::Invalid) return false;
  const std::string name = curToken.Str;
  if (ExpectToken({tk::Assign}) == tk::Invalid) return false;
  if (ExpectToken({tk::TypeName}) == tk::Invalid) return false;
  DeclareIdent(name, itType, curToken.DataType->typeIdent);
  return true;
}

// uses reg reg ... ; each register is pushed at once and popped by every return.
bool TCompiler::CompileRegisterList() {
  for (;;) {
    if (ExpectToken({tk::Register, tk::Semicolon}) == tk::Invalid) return false;
    if (curToken.Token == tk::Semicolon) return true;
    PushReg(curFunc->recAssembler, curToken.Reg);
    listUses.push_back(curToken.Reg);
  }
}

// blob item item ... ; a register is one byte, its number plus the operand after it; a
// count of 1, 2 or 4 takes the operand after its comma, written little-endian.
bool TCompiler::CompileEmit() {
  TAssembler& a = curFunc->recAssembler;
  for (;;) {
    bool done = true;
    int32_t depth = 0;
    switch (GetToken()) {
      case tk::Semicolon: return true;
      case tk::Register: {
        const uint8_t reg = RegNum(curToken.Reg);
        const uint8_t byte = static_cast<uint8_t>(reg + IntOperand(done, depth));
        if (!done) return false;
        EmitBytes(a, &byte, 1);
        break;
      }
      case tk::Number: {
        const int64_t count = curToken.Int;
        if (count != 1 && count != 2 && count != 4) Error("Byte count can only be 1,2 or 4.");
        if (ExpectToken({tk::Comma}) == tk::Invalid) return false;
        const uint32_t value = static_cast<uint32_t>(IntOperand(done, depth));
        if (!done) return false;
        const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                  static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
        EmitBytes(a, bytes, static_cast<size_t>(count));
        break;
      }
      default: Error("Invalid parameter \"" + curToken.Str + "\"");
    }
  }
}

}  // namespace kelvo

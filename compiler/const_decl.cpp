// Constants and static byte blocks: values fixed at compile time, kept in the item or the
// data image.
#include <cstdint>

#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

void appendLE(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

// Anything but an operator or ";" after a constant's number. The report's head gives the position.
static bool invalidSymbol(TCompiler& c) {
  c.strLastError = "Invalid symbol \"" + c.curToken.Str + "\".";
  return false;
}

// The operators after a constant's first number, up to ";": applied left to right without
// precedence, each on a decimal or hexadecimal number (an integer constant arrives as one).
bool TCompiler::ParseDataValues(int64_t& value) {
  for (;;) {
    const uint16_t op = GetToken();
    if (op == tk::Semicolon) return true;
    switch (op) {
      case tk::Plus: case tk::Minus: case tk::Star: case tk::MnMul: case tk::MnAnd: case tk::MnOr:
      case tk::MnDiv: case tk::MnShl: case tk::MnShr: break;
      default: return invalidSymbol(*this);
    }
    if (ExpectToken({tk::Number, tk::Hex}) == tk::Invalid) return false;
    const int64_t n = curToken.Int;
    // Unsigned arithmetic: overflow wraps as the 32-bit result will.
    const auto u = static_cast<uint64_t>(value), un = static_cast<uint64_t>(n);
    switch (op) {
      case tk::Plus: value = static_cast<int64_t>(u + un); break;
      case tk::Minus: value = static_cast<int64_t>(u - un); break;
      case tk::Star: case tk::MnMul: value = static_cast<int64_t>(u * un); break;
      case tk::MnAnd: value &= n; break;
      case tk::MnOr: value |= n; break;
      case tk::MnDiv:
        if (n == 0) Error("Division by zero");
        if (!(n == -1 && value == INT64_MIN)) value /= n;
        break;
      case tk::MnShl: value = static_cast<int64_t>(u << (n & 31)); break;
      default: value = static_cast<int64_t>(static_cast<uint32_t>(u) >> (n & 31)); break;  // shr
    }
  }
}

// A text followed by any number of "+" and a string or a character code.
std::string TCompiler::readConstText(std::string text) {
  while (PeekToken() == tk::Plus) {
    GetToken();
    if (ExpectToken({tk::String, tk::Number, tk::Hex}) == tk::Invalid) RaiseError();
    if (curToken.Token == tk::String) text += curToken.Str;
    else text += static_cast<char>(curToken.Int);
  }
  return text;
}

// "const [type] name = value[, name = value]...;"
bool TCompiler::CompileConst() {
  if (PeekToken() == tk::TypeName) {
    GetToken();
    const PDataType type = curToken.DataType;
    std::string name;
    if (readItemName(false, bInProcedure, name) != 0) return false;
    if (ExpectToken({tk::Assign}) == tk::Invalid) return false;
    PData item = newDataItem(name, dmConst, type);
    return compileTypedConst(item, type);
  }
  std::string name;
  if (readItemName(false, bInProcedure, name) != 0) return false;
  if (ExpectToken({tk::Assign}) == tk::Invalid) return false;
  const PDataType dword = FindType("dword");
  // The value is read before the name is declared, so it can not refer to itself.
  TData value;
  value.dataMode = dmConst;
  value.dataType = dword;
  bool ended = false;  // the operators read the ";"
  switch (GetToken()) {
    case tk::Float:
      value.dataSubMode = smFloat;
      value.dataValExt = curToken.Ext;
      break;
    case tk::Minus:
    case tk::Number:
    case tk::Hex: {
      const bool negative = curToken.Token == tk::Minus;
      if (negative && ExpectToken({tk::Number, tk::Float}) == tk::Invalid) return false;
      if (curToken.Token == tk::Float) {
        value.dataSubMode = smFloat;
        value.dataValExt = -curToken.Ext;
        break;
      }
      int64_t n = negative ? -curToken.Int : curToken.Int;
      if (!ParseDataValues(n)) return false;
      value.dataAddress = static_cast<uint32_t>(static_cast<uint64_t>(n));
      ended = true;
      break;
    }
    case tk::String:
      value.dataSubMode = smString;
      value.strVal = readConstText(curToken.Str);
      break;
    case tk::Constant: {
      const PData c = curToken.Data;
      if (c->dataSubMode == smString) {
        value.dataSubMode = smString;
        const std::string& image = PEFile.dataMan.F_DataString;
        const size_t end = image.find('\0', c->dataAddress);
        value.strVal = readConstText(image.substr(c->dataAddress, end == std::string::npos ? std::string::npos
                                                                                           : end - c->dataAddress));
      } else {
        if (PeekToken() != tk::Semicolon) {
          GetToken();
          return invalidSymbol(*this);
        }
        value.dataSubMode = c->dataSubMode;
        value.dataValExt = c->dataValExt;
        value.dataAddress = c->dataAddress;
      }
      break;
    }
    default: return invalidSymbol(*this);
  }
  PData item = newDataItem(name, dmConst, dword);
  item->dataSubMode = value.dataSubMode;
  item->dataValExt = value.dataValExt;
  item->dataAddress = value.dataAddress;
  if (value.dataSubMode == smString) {
    item->dataSubMode = smString;
    item->dataType = compilerPtrType;
    item->strVal = value.strVal;
    item->strLength = static_cast<int32_t>(value.strVal.size());
    item->dataAddress = PEFile.dataMan.AddString(value.strVal);
  }
  return ended || ExpectToken({tk::Semicolon}) != tk::Invalid;
}

// "const type name = values": raw bytes or dwords.
bool TCompiler::compileTypedConst(PData item, PDataType type) {
  const int32_t size = type->typeSize;
  if (size != 1 && size != 4) Error("Data must be byte or dword type");
  std::string bytes;
  for (;;) {
    if (ExpectToken({tk::Hex, tk::Number}) == tk::Invalid) return false;
    appendLE(bytes, static_cast<uint64_t>(curToken.Int), size);
    const uint16_t next = ExpectToken({tk::Comma, tk::Semicolon});
    if (next == tk::Invalid) return false;
    if (next == tk::Semicolon) break;
  }
  item->dataSubMode = smString;
  item->dataAddress = PEFile.dataMan.AddRaw(bytes);
  item->strLength = static_cast<int32_t>(bytes.size());
  return true;
}

// "static type name = n, n;" or "static blob name = 'text', n;": bytes kept as written.
bool TCompiler::CompileStatic() {
  if (ExpectToken({tk::TypeName, tk::Blob}) == tk::Invalid) return false;
  const bool blob = curToken.Token == tk::Blob;
  const int32_t size = blob ? 0 : curToken.DataType->typeSize;
  if (!blob && size != 1 && size != 4) Error("Data must be byte or dword type");
  std::string name;
  if (readItemName(false, bInProcedure, name) != 0) return false;
  if (ExpectToken({tk::Assign}) == tk::Invalid) return false;
  std::string bytes;
  for (;;) {
    if (blob) {
      if (ExpectToken({tk::String, tk::Number, tk::Hex}) == tk::Invalid) return false;
      const auto n = static_cast<uint64_t>(curToken.Int);
      if (curToken.Token == tk::String) bytes += curToken.Str;
      else appendLE(bytes, n, n <= 0xFF ? 1 : (n <= 0xFFFF ? 2 : 4));
    } else {
      if (ExpectToken({tk::Number, tk::Hex, tk::Minus}) == tk::Invalid) return false;
      const bool negative = curToken.Token == tk::Minus;
      if (negative && ExpectToken({tk::Number}) == tk::Invalid) return false;
      appendLE(bytes, static_cast<uint64_t>(negative ? -curToken.Int : curToken.Int), size);
    }
    const uint16_t next = ExpectToken({tk::Comma, tk::Semicolon});
    if (next == tk::Invalid) return false;
    if (next == tk::Semicolon) break;
  }
  PData item = newDataItem(name, dmConst, FindType("dword"));
  item->dataSubMode = smString;
  item->dataAddress = PEFile.dataMan.AddRaw(bytes);
  item->strLength = static_cast<int32_t>(bytes.size());
  return true;
}

}  // namespace kelvo

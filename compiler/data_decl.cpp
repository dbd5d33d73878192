// Variables: locals on the procedure's frame, globals in the data image with their initial
// values, and the names they are declared under.
#include <algorithm>
#include <cstring>

#include "assembler/code_buffer.h"
#include "assembler/encoders.h"
#include "compiler/size_messages.h"
#include "frontend/compiler.h"
#include "frontend/lexer_scan.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

// Past this many bytes an array is a mistake, not data: the image is built in memory.
constexpr int64_t kLargestItem = 0x10000000;

// The bytes of a float of 4, 8 or 10 bytes, little-endian.
std::string floatBytes(long double value, int32_t size) {
  std::string out(static_cast<size_t>(size), '\0');
  if (size == 4) {
    const float f = static_cast<float>(value);
    std::memcpy(out.data(), &f, 4);
  } else if (size == 8) {
    const double d = static_cast<double>(value);
    std::memcpy(out.data(), &d, 8);
  } else {
    out = encodeExtended(value);
  }
  return out;
}

uint32_t le32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
  return v;
}

}  // namespace

// --- names

// Reads the name of a new item. 0: `name` holds it; 1: an inherited item was found and the
// statement skipped; -1: strLastError tells what is wrong. A name that belongs to an outer
// scope is hidden by the new item, so it is read as written rather than looked up.
int TCompiler::readItemName(bool inherit, bool local, std::string& name) {
  const TAFile& f = *curFile;
  int32_t pos = f.intCurChar + 1;
  while (f.CharAt(pos) != '\0' && static_cast<unsigned char>(f.CharAt(pos)) <= 32) ++pos;
  int32_t end = pos;
  while (lex::isWordChar(f.CharAt(end))) ++end;
  const TIdentifier* e = nullptr;
  if (lex::isWordStart(f.CharAt(pos))) {
    name = f.strSource.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(end - pos));
    e = SmartIdents.Find(SmartIdents.F_CurScope, name);
  }
  const bool named = e && e->identPos >= 0 &&
                     (e->identType == itData || e->identType == itProcedure || e->identType == itFunction);
  if (!named) {
    if (ExpectToken({tk::Identifier}) == tk::Invalid) return -1;
    name = curToken.Str;
    return 0;
  }
  if (inherit && e->identType == itData && static_cast<size_t>(e->identPos) < listData.size()) {
    const PData d = listData[static_cast<size_t>(e->identPos)].get();
    if (d->dataMode == dmVar || (local && d->dataMode == dmLocalVar)) {
      SkipToChars(";");
      lastDataRegistered = d;
      return 1;
    }
  }
  // Move over the blanks (counting lines as the lexer does) and the word.
  while (curFile->intCurChar + 1 < pos) {
    const char c = NextChar();
    if (c == '\r') startLine();
    else if (c == '\n' && curFile->CharAt(curFile->intCurChar - 1) == '\r') curFile->intCurLineChar = 0;
    else if (c == '\n') startLine();
  }
  tokenStart = {curFile->intCurChar, curFile->intCurLine, curFile->intCurLineChar};
  const int32_t column = curFile->intCurLineChar + 1;
  while (curFile->intCurChar + 1 < end) NextChar();
  SetToken(tk::Identifier, name);
  if (e->identScope == SmartIdents.F_CurScope) {
    char text[64];
    std::snprintf(text, sizeof text, "[%d,%d]: ", curFile->intCurLine, column - 1);
    strLastError = text + ("Identifier Redeclared \"" + name + "\".");
    return -1;
  }
  return 0;
}

PData TCompiler::newDataItem(const std::string& name, TDataMode mode, PDataType type) {
  auto d = std::make_unique<TData>();
  d->dataName = name;
  d->dataMode = mode;
  d->dataType = type;
  d->dataSigned = type && type->typeSigned;
  d->intMultiplier = 1;
  d->defaultValue.ttype = tk::Invalid;
  d->dataIdent = static_cast<int32_t>(listData.size());
  PData item = d.get();
  listData.push_back(std::move(d));
  DeclareIdent(name, itData, item->dataIdent);
  if (mode == dmVar || mode == dmLocalVar) lastDataRegistered = item;
  return item;
}

// "type*" reaches us as the pointer type with the written name; a class is held by pointer too.
PDataType TCompiler::writtenType(PDataType type) const {
  if (type == compilerPtrType && !sameText(curToken.Str, type->typeName)) {
    const TIdentifier* e = SmartIdents.Find(SmartIdents.F_CurScope, curToken.Str);
    if (e && e->identType == itType && static_cast<size_t>(e->identPos) < listTypes.size())
      return listTypes[static_cast<size_t>(e->identPos)].get();
  }
  return type->typeClass ? type : nullptr;
}

// Reads "[n]" or "[]" after a name; false when there is none. `open` tells "[]".
static bool readCount(TCompiler& c, bool allowOpen, uint32_t& count, int32_t typeSize, bool& open) {
  open = false;
  if (c.PeekToken() != tk::LBracket) return false;
  c.GetToken();
  if (c.ExpectToken({tk::Number, tk::Hex, tk::RBracket}) == tk::Invalid) c.RaiseError();
  if (c.curToken.Token == tk::RBracket) {
    if (!allowOpen) c.Error("Array size is too small");
    count = 1;
    open = true;
    return true;
  }
  const int64_t n = c.curToken.Int;
  if (n <= 0) c.Error("Array size is too small");
  // Compared by division: a count near the 64-bit limit must not overflow the product.
  if (typeSize > 0 && n > kLargestItem / typeSize) c.Error("Array size is too large");
  count = static_cast<uint32_t>(n);
  if (c.ExpectToken({tk::RBracket}) == tk::Invalid) c.RaiseError();
  return true;
}

// --- locals

bool TCompiler::DeclareLocalData(PDataType type, bool inherit) {
  const PDataType pointedTo = writtenType(type);
  if (pointedTo) type = compilerPtrType;
  for (;;) {
    std::string name;
    const int read = readItemName(inherit, true, name);
    if (read < 0) return false;
    if (read > 0) return true;
    uint32_t count = 1;
    bool open = false;
    const bool bracketed = readCount(*this, false, count, type->typeSize, open);
    // A return compiled before the procedure had a frame does not undo one added now.
    if (CurBody().framelessRetLine > 0 && !curFunc->HasFrame())
      Error("Locals must be declared before the first ret (line " + std::to_string(CurBody().framelessRetLine) + ")");
    PData item = newDataItem(name, dmLocalVar, type);
    item->dataPtrType = pointedTo;
    item->intMultiplier = count;
    item->dataIsArray = bracketed;
    ++curFunc->intLocalCount;
    curFunc->dwTotalLocalSize += static_cast<uint32_t>(type->typeSize) * count;
    if (curFunc->dwTotalLocalSize > kLargestItem) Error("Too many locals");
    item->dataAddress = 0u - curFunc->dwTotalLocalSize;
    uint16_t next = ExpectToken({tk::Comma, tk::Semicolon, tk::Assign});
    if (next == tk::Assign) {
      storeLocalValue(item);
      next = ExpectToken({tk::Comma, tk::Semicolon});
    }
    if (next == tk::Invalid) return false;
    if (next == tk::Semicolon) return true;
  }
}

// The initial value of a local, stored by code at the declaration.
void TCompiler::storeLocalValue(PData item) {
  TAssembler& a = curFunc->recAssembler;
  const int32_t size = item->dataType->typeSize;
  const int32_t disp = static_cast<int32_t>(item->dataAddress);
  const TRegister frame = Settings.localsReg;
  auto storeBytes = [&](const std::string& bytes) {
    size_t at = 0;
    for (; at + 4 <= bytes.size(); at += 4)
      MovMemImm(a, 1, 4, static_cast<int32_t>(le32(bytes, at)), frame, rdEAX, disp + static_cast<int32_t>(at), 0,
                ftNone);
    if (at + 2 <= bytes.size()) {
      const int32_t word = static_cast<uint8_t>(bytes[at]) | (static_cast<uint8_t>(bytes[at + 1]) << 8);
      MovMemImm(a, 1, 2, word, frame, rdEAX, disp + static_cast<int32_t>(at), 0, ftNone);
    }
  };
  auto storeFloat = [&](long double value) {
    if (size != 4 && size != 8 && size != 10) Error("Error 2423: Unexpected float variable size");
    storeBytes(floatBytes(value, size));
  };
  auto storeInt = [&](int64_t value) {
    if (isFloatType(item->dataType)) return storeFloat(static_cast<long double>(value));
    if (size == 8) {
      std::string bytes(8, '\0');
      for (int i = 0; i < 8; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
      return storeBytes(bytes);
    }
    if (size != 1 && size != 2 && size != 4) Error("Unexpected token, Error 5432442");
    MovMemImm(a, 1, size, static_cast<int32_t>(value), frame, rdEAX, disp, 0, ftNone);
  };
  auto storeAddress = [&](uint32_t value, TFixType fix) {
    if (size != 4) Error("Variable \"" + item->dataName + "\" can not hold an address");
    MovMemImm(a, 1, 4, static_cast<int32_t>(value), frame, rdEAX, disp, 0, fix);
  };
  const TWideHex wide(*this, size == 8);
  switch (GetToken()) {
    case tk::Minus:
      if (ExpectToken({tk::Number, tk::Float}) == tk::Invalid) RaiseError();
      if (curToken.Token == tk::Float) return storeFloat(-curToken.Ext);
      return storeInt(-curToken.Int);
    case tk::Number: return storeInt(curToken.Int);
    case tk::Hex: return storeInt(hexToInt64(curToken.Str));  // the digits unsigned
    case tk::Float: return storeFloat(curToken.Ext);
    case tk::Register:
      if (curToken.Size / 8 != size) Error(SizeMessage(TSizeMessage::equalSize, curToken.Str));
      return MovMemReg(a, 1, curToken.Reg, frame, rdEAX, disp, 0);
    case tk::String: return storeAddress(AddAnonymousString(curToken.Str)->dataAddress, ftAppendDataAddr);
    case tk::Constant:
      if (curToken.Data->dataSubMode == smFloat) return storeFloat(curToken.Data->dataValExt);
      return storeAddress(curToken.Data->dataAddress, ftAppendDataAddr);
    case tk::ProcAddress:
      // The token carries the procedure's index; an address takes 32 bits, as in an assignment.
      if (size != 4) Error("Expected 32bit variable");
      return storeAddress(static_cast<uint32_t>(curToken.Int), ftProcAddress);
    default: {
      // A function's result, and the refusals of everything else, are the operand code's.
      const PCurrentToken source = SaveToken();
      const PCurrentToken destination = SaveToken();
      destination->Token = tk::LocalVar;
      destination->Str = item->dataName;
      destination->Data = item;
      destination->DataType = item->dataType;
      destination->Size = size;
      destination->DataOffset = 0;
      CompileVarOperand(destination, source);
    }
  }
}

// --- globals

bool TCompiler::DeclareGlobalData(PDataType type, bool inherit) {
  const PDataType pointedTo = writtenType(type);
  if (pointedTo) type = compilerPtrType;
  for (;;) {
    std::string name;
    const int read = readItemName(inherit, false, name);
    if (read < 0) return false;
    if (read > 0) return true;
    uint32_t count = 1;
    bool open = false;
    const bool bracketed = readCount(*this, true, count, type->typeSize, open);
    PData item = newDataItem(name, dmVar, type);
    item->dataPtrType = pointedTo;
    item->intMultiplier = count;
    item->dataIsArray = bracketed;
    uint16_t next = ExpectToken({tk::Comma, tk::Semicolon, tk::Assign});
    if (next == tk::Assign) {
      if (!storeGlobalValues(item, count, open)) return false;
      next = curToken.Token;
    } else {
      item->dataAddress = PEFile.dataMan.Reserve(static_cast<uint32_t>(type->typeSize) * count);
    }
    if (next == tk::Invalid) return false;
    if (next == tk::Semicolon) return true;
  }
}

// One value of a global at the end of the data image; the current token is the value.
void TCompiler::storeGlobalElement(PData item, uint32_t size) {
  TDataMan& image = PEFile.dataMan;
  const bool floatType = isFloatType(item->dataType);
  switch (curToken.Token) {
    case tk::String: image.AddFixedString(curToken.Str, size); return;
    case tk::Constant: {
      const PData c = curToken.Data;
      if (c->dataSubMode == smFloat) image.AddFloat(size, c->dataValExt);
      else if (c->dataSubMode == smString) image.AddFixedString(c->strVal, size);
      else Error("Unknown const type");
      return;
    }
    case tk::Minus:
      if (ExpectToken({tk::Number, tk::Float}) == tk::Invalid) RaiseError();
      if (curToken.Token == tk::Float || floatType) image.AddFloat(size, -curToken.Ext);
      else image.AddInt(size, -curToken.Int);
      return;
    case tk::Number: case tk::Hex: {
      // Hex digits are unsigned, also in a wider item.
      const int64_t n = curToken.Token == tk::Hex ? hexToInt64(curToken.Str) : curToken.Int;
      if (floatType) image.AddFloat(size, static_cast<long double>(n));
      else image.AddInt(size, n);
      return;
    }
    case tk::Float: image.AddFloat(size, curToken.Ext); return;
    default:
      strLastError = "Expected value but found " + curToken.Str;
      RaiseError();
  }
}

// After "=": a list, one value kept in the image, or a value that needs code. Leaves the
// token that ends the item ("," or ";") current.
bool TCompiler::storeGlobalValues(PData item, uint32_t count, bool open) {
  TDataMan& image = PEFile.dataMan;
  const uint32_t size = static_cast<uint32_t>(item->dataType->typeSize);
  const bool sized = item->dataIsArray && !open && count > 1;
  const TWideHex wide(*this, size == 8);
  const uint16_t first = GetToken();
  if (first == tk::LBracket) {
    item->dataAddress = image.F_DataLen;
    uint32_t n = 0;
    for (;;) {
      GetToken();
      if (sized && n >= count) Error("Array \"" + item->dataName + "\" contains too many elements");
      storeGlobalElement(item, size);
      ++n;
      if (ExpectToken({tk::Comma, tk::RBracket}) == tk::Invalid) return false;
      if (curToken.Token == tk::RBracket) break;
    }
    if (sized) image.Reserve(size * (count - n));
    else item->intMultiplier = n;
    return ExpectToken({tk::Semicolon, tk::Comma}) != tk::Invalid;
  }
  if (first == tk::DataAddress || first == tk::ProcAddress) {
    // Known when the image is laid out: the data image holds it, relocated with the image.
    if (size != 4) Error("Expected 32bit variable");
    item->dataAddress = image.AddAddress(static_cast<uint32_t>(curToken.Int), first == tk::ProcAddress);
    image.Reserve(size * (count - 1));
    return ExpectToken({tk::Semicolon, tk::Comma}) != tk::Invalid;
  }
  const bool stringVariable = sameText(item->dataType->typeName, "string");
  const bool literal = (first == tk::String && !stringVariable) || first == tk::Constant || first == tk::Number ||
                       first == tk::Hex || first == tk::Float ||
                       (first == tk::Minus && (PeekToken() == tk::Number || PeekToken() == tk::Float));
  if (!literal) {
    item->dataAddress = image.Reserve(size * count);
    compileGlobalInitCode(item);
    return ExpectToken({tk::Semicolon, tk::Comma}) != tk::Invalid;
  }
  if (first == tk::String && item->dataIsArray) {
    storeArrayText(item, count, open);
  } else if (first == tk::String && count > 1) {
    // Text fills the whole array rather than its first element.
    item->dataAddress = image.AddFixedString(curToken.Str, size * count);
  } else {
    item->dataAddress = image.F_DataLen;
    storeGlobalElement(item, size);
    image.Reserve(size * (count - 1));
  }
  return ExpectToken({tk::Semicolon, tk::Comma}) != tk::Invalid;
}

// Text for a whole array: an open array is sized by the text and its zero, a sized one keeps
// every character and a zero only where room is left.
void TCompiler::storeArrayText(PData item, uint32_t count, bool open) {
  const std::string& text = curToken.Str;
  const uint64_t size = std::max<uint64_t>(static_cast<uint64_t>(item->dataType->typeSize), 1);
  if (open) count = static_cast<uint32_t>((text.size() + size) / size);  // room for the zero
  else if (text.size() > size * count)
    Error("Text is longer than array \"" + item->dataName + "\"");
  std::string bytes(text);
  bytes.resize(static_cast<size_t>(size * count), '\0');
  item->dataAddress = PEFile.dataMan.AddRaw(bytes);
  item->intMultiplier = count;
}

// A global whose value is known only at run time: code at this point sets it.
void TCompiler::compileGlobalInitCode(PData item) {
  TAssembler& a = curFunc->recAssembler;
  const uint32_t ident = static_cast<uint32_t>(item->dataIdent);
  switch (curToken.Token) {
    case tk::Register:
      if (curToken.Size / 8 != item->dataType->typeSize)
        Error(SizeMessage(TSizeMessage::equalSize, curToken.Str));
      MovVarReg(a, ident, curToken.Reg, 0);
      break;
    case tk::String: {
      // A string variable owns a heap copy of its text.
      const PFunction set = FindProc("_internal_stringset");
      const PData text = AddAnonymousString(curToken.Str);
      PushImm(a, 4, text->strLength + 1, ftNone, 0);
      PushImm(a, 4, text->dataIdent, ftDataAddress, 0);
      PushVar(a, 4, ident, 0);
      set->Called = true;
      CallRel(a, static_cast<uint32_t>(set->FuncIndex));
      MovVarReg(a, ident, rdEAX, 0);
      break;
    }
    default: {
      // The data statement reads the value again, as an initialiser of the item.
      RewindToTokenStart();
      const PCurrentToken destination = SaveToken();
      destination->Token = tk::Variable;
      destination->Str = item->dataName;
      destination->Data = item;
      destination->DataType = item->dataType;
      destination->Size = item->dataType->typeSize;
      destination->Length = destination->Size * static_cast<int32_t>(item->intMultiplier);
      destination->DataOffset = 0;
      if (!CompileDataStatement(destination, true)) RaiseError();
    }
  }
  if (curFunc->FuncIndex != 0) return;
  if (PEFile.F_FileType == petDLL)
    Error("Initial value of \"" + item->dataName + "\" needs code at run time, which a DLL never runs");
  else if (!entryDeclared_)
    globalInits_.push_back(item->dataName);
}

// At "entry:": global code before it never runs, so neither do initialisers compiled there.
void TCompiler::warnSkippedInitialisers() {
  for (const std::string& name : globalInits_)
    Warning("Initial value of \"" + name + "\" is set by code before entry: and never runs");
  globalInits_.clear();
}

}  // namespace kelvo

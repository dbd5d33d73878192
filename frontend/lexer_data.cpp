// Lexer: names of data items, with indexing and member access.
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

static int32_t typeSizeOf(const TData& d) { return d.dataType ? d.dataType->typeSize : 0; }
static bool typeNamed(const TData& d, std::string_view name) {
  return d.dataType && sameText(d.dataType->typeName, name);
}

// Returns 0 with the token in `code`, or 1 when scanning must start over. The word was just read
// from the source: the token refers to it there.
int TCompiler::lexData(PData d, std::string_view word, uint16_t& code) {
  const int32_t size = typeSizeOf(*d);
  switch (d->dataMode) {
    case dmConst:
      if (d->dataSubMode == smLong) {
        SetToken(tk::Number, std::to_string(d->dataAddress));
      } else {
        setPlainSourceToken(tk::Constant, word);
        curToken.Size = size;
      }
      break;
    case dmVar: case dmLocalVar:
      setPlainSourceToken(d->dataMode == dmVar ? tk::Variable : tk::LocalVar, word);
      curToken.Size = size;
      curToken.Length = size * static_cast<int32_t>(d->intMultiplier);
      break;
    case dmLocalParam:
      setPlainSourceToken(tk::LocalParam, word);
      if (d->dataIsRegister) {
        curToken.Token = tk::Register;
        curToken.Size = regSize(d->dataRegister);
        curToken.Reg = d->dataRegister;
        curToken.RegID = static_cast<uint8_t>(regNumber(d->dataRegister));
        curToken.Length = curToken.Size / 8;
        break;
      }
      curToken.Size = size;
      // The whole parameter, so sizeof gives type size times count like for variables.
      curToken.Length = size * static_cast<int32_t>(d->intMultiplier ? d->intMultiplier : 1);
      break;
    default:
      // Pointers and blocks have no token of their own: they read as a plain name.
      setPlainSourceToken(tk::Identifier, word);
      break;
  }
  const uint16_t read = curToken.Token;
  curToken.DataType = d->dataType;  // a member read below gives its own type
  if (read == tk::Variable || read == tk::LocalVar || read == tk::LocalParam) {
    if (PeekChar(1) == '[') lexIndex(d);
    if (PeekChar(1) == '.' && lexMember(d) != 0) return 1;
  }
  curToken.Data = d;
  code = curToken.Token;
  return 0;
}

// name[n]: a decimal index; on a single item (not an array of one) it picks the n-th byte.
// Apart, like lexMember, so that a plain name's read carries neither's frame.
[[gnu::noinline]] void TCompiler::lexIndex(PData d) {
  TCurrentToken item = curToken;
  NextChar();  // "["
  expectOrRaise({tk::Number});
  const int64_t n = curToken.Int;
  const int32_t size = typeSizeOf(*d);
  if (d->intMultiplier == 1 && !d->dataIsArray) {
    item.DataOffset += static_cast<uint32_t>(n);
    item.Size = 1;
  } else {
    item.DataOffset += static_cast<uint32_t>(static_cast<uint64_t>(n) * static_cast<uint64_t>(size));
    item.Length = size;
  }
  expectOrRaise({tk::RBracket});
  RestoreToken(&item);
  curToken.DataType = item.DataType;
}

// name.member; returns 1 when the source was rewritten and scanning must start over.
[[gnu::noinline]] int TCompiler::lexMember(PData d) {
  const uint32_t base = curToken.DataOffset;
  const uint16_t itemCode = curToken.Token;
  const bool isPointer = typeNamed(*d, "pointer");
  if (d->dataMode == dmVar && typeNamed(*d, "string")) {
    NextChar();  // "."
    GetToken();
    const std::string member = lowerCase(curToken.Str);
    std::string text;
    if (member == "create") text = d->dataName + "=new 32;";
    else if (member == "del") text = "delete " + d->dataName + ";";
    else Error("Invalid string usage");
    if (Settings.peekToken) {  // a look-ahead compiles nothing
      SetToken(tk::Variable, d->dataName);
      return 0;
    }
    CompilePluginText(text);
    return 1;
  }
  TVarInfo info;
  ParseMemberAccess(d, isPointer ? d->dataUseRegister : 0, info);
  if (info.Func) {
    SetToken(tk::ProcCall, info.locStr);
    curToken.Proc = info.Func;
    curToken.DataOffset = info.offset;  // a method pointer's slot
    SetMethodObject(d, isPointer, info, base);
    return 0;
  }
  curToken.Size = info.offsetSize;
  curToken.Length = info.offsetSize;  // sizeof a member is the member's own size
  curToken.Str = info.locStr;
  curToken.DataOffset = base + info.offset;
  curToken.Token = itemCode;
  if (info.memberType) curToken.DataType = info.memberType;
  if (!info.origData) Error("Invalid variable \"" + curToken.Str + "\"");
  return 0;
}

}  // namespace kelvo

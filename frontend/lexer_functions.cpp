// Lexer: compile-time functions, which turn into the value they compute.
#include <filesystem>
#include <fstream>
#include <sstream>

#include <cerrno>
#include <cstring>

#include "frontend/compiler.h"
#include "frontend/token_codes.h"
#include "platform/system.h"

namespace kelvo {

uint16_t TCompiler::lexFunction(const TKeyword& kw) {
  switch (kw.kind) {
    case TWordKind::fnOrd: {
      expectOrRaise({tk::LParen});
      expectOrRaise({tk::String});
      const std::string text = curToken.Str;
      expectOrRaise({tk::RParen});
      if (text.empty() || text.size() > 4) Error("Ord can only be used on a string with length 1-4 characters");
      return SetToken(tk::Number, std::to_string(strToCharConst(text)));
    }
    case TWordKind::fnLow: case TWordKind::fnHigh: {
      expectOrRaise({tk::LParen});
      expectOrRaise({tk::TypeName});
      const PDataType t = curToken.DataType;
      expectOrRaise({tk::RParen});
      return SetToken(tk::Number, std::to_string(kw.kind == TWordKind::fnLow ? t->typeLower : t->typeUpper));
    }
    case TWordKind::fnPtr:
      GetToken();
      if (const uint16_t address = addressOfCurrent()) return address;
      Error("Invalid use of ptr");
    case TWordKind::fnLoadfs: return fnLoadfs();
    case TWordKind::fnOffset: return fnOffset();
    case TWordKind::fnSizeof: return fnSizeof();
    case TWordKind::fnDefined: {
      expectOrRaise({tk::LParen});
      expectOrRaise({tk::Identifier, tk::String});
      const std::string name = curToken.Str;
      expectOrRaise({tk::RParen});
      return SetToken(tk::Number, IsDefined(name) ? "1" : "0");
    }
    case TWordKind::fnDeftype: return fnTypeText(true);
    case TWordKind::fnVartype: return fnTypeText(false);
    case TWordKind::fnArrcount: {
      expectOrRaise({tk::LParen});
      expectOrRaise({tk::Variable, tk::LocalParam, tk::LocalVar});
      const uint32_t count = curToken.Data ? curToken.Data->intMultiplier : 0;
      expectOrRaise({tk::RParen});
      return SetToken(tk::Number, std::to_string(count));
    }
    default:
      return SetToken(kw.code, curToken.Str);
  }
}

uint16_t TCompiler::fnLoadfs() {
  expectOrRaise({tk::LParen});
  expectOrRaise({tk::String});
  const std::string name = curToken.Str;
  expectOrRaise({tk::RParen});
  const std::string path = platform::toHostPath(name);
  std::error_code ec;
  if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec))
    Error("Cannot read file \"" + name + "\": it is not a regular file");
  std::ifstream in(path, std::ios::binary);
  if (!in) Error("Cannot open file \"" + name + "\": " + std::strerror(errno));
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) Error("Cannot read file \"" + name + "\"");
  return SetToken(tk::String, content.str());
}

// A label's address is only known when the image is laid out, so "offset" hands the label
// itself to the statement, which records a fix-up for it. Outside a procedure there is
// nothing to hold that fix-up.
uint16_t TCompiler::fnOffset() {
  expectOrRaise({tk::Label});
  if (!curFunc) Error("Unable to resolve offset of label \"" + curToken.Str + "\"");
  OffsetLabels.emplace_back(curToken.Str, static_cast<int64_t>(curFunc->recAssembler.strCode.size()));
  return tk::Label;
}

uint16_t TCompiler::fnSizeof() {
  int64_t size = 0;
  switch (GetToken(false, true)) {
    case tk::String: size = curToken.Length; break;
    case tk::Constant:
      if (!curToken.Data || curToken.Data->dataSubMode != smString) Error("Invalid use of sizeof (13231)");
      size = static_cast<int64_t>(curToken.Data->strVal.size());
      break;
    case tk::LocalVar: case tk::LocalParam: case tk::Variable: size = curToken.Length; break;
    case tk::TypeName: size = curToken.DataType ? curToken.DataType->typeSize : 0; break;
    case tk::Register: size = curToken.Size; break;
    case tk::Number: case tk::Hex: size = 4; break;
    default: Error("Invalid use of sizeof (453)");
  }
  return SetToken(tk::Number, std::to_string(size));
}

// The kind of the operand as text: deftype reads it without statement forms and knows type
// names and register casts; vartype reads it plainly.
uint16_t TCompiler::fnTypeText(bool deftype) {
  expectOrRaise({tk::LParen});
  const uint16_t code = GetToken(false, deftype);
  std::string text = "string";
  switch (code) {
    case tk::Constant: case tk::LocalVar: case tk::LocalParam: case tk::Variable: {
      const PData d = curToken.Data;
      const bool pointer = d && d->dataType && d->dataType->typeName == "pointer";
      text = pointer ? "string" : "int";
      break;
    }
    case tk::Number: case tk::Hex: text = "int"; break;
    case tk::TypeName: text = deftype ? "type" : "string"; break;
    case tk::Register:
      text = deftype && rsReg32[curToken.RegID & 7].castKind == tk::String ? "string" : "register";
      break;
    case tk::Segment: text = "segment"; break;
    default: break;
  }
  expectOrRaise({tk::RParen});
  return SetToken(tk::String, text);
}

}  // namespace kelvo

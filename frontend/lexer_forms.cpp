// Lexer forms that start with "+", "-", "(", "[", "@", "#" and "$".
#include <algorithm>
#include <charconv>

#include "compiler/plain_operand.h"
#include "frontend/compiler.h"
#include "frontend/lexer_scan.h"
#include "frontend/token_codes.h"

namespace kelvo {
namespace {

bool isBlank(unsigned char c) { return c >= 1 && c <= 32; }

// Where the token after position `pos` starts, skipping blanks and comments as the lexer
// does; intSourceLen + 1 when none follows.
int32_t nextTokenStart(const TAFile& f, int32_t pos) {
  const int32_t len = f.intSourceLen;
  const char* s = f.strSource.data();
  int32_t p = pos + 1;
  while (p <= len) {
    const auto c = static_cast<unsigned char>(s[p - 1]);
    if (isBlank(c)) {
      ++p;
    } else if (c == '/' && p < len && s[p] == '*') {
      int32_t q = p + 2;
      while (q < len && !(s[q - 1] == '*' && s[q] == '/')) ++q;
      if (q >= len) return len + 1;
      p = q + 2;
    } else if (c == '/' && p < len && s[p] == '/') {
      int32_t q = p + 2;
      while (q <= len && s[q - 1] != '\r' && s[q - 1] != '\n') ++q;
      if (q > len) return len + 1;
      p = q;
    } else {
      return p;
    }
  }
  return len + 1;
}

bool isIdentStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool isIdentChar(char c) { return isIdentStart(c) || (c >= '0' && c <= '9'); }

}  // namespace

// "+" joins the next token when that is "=" or a "+" standing alone, so the meaning of a
// "+" depends on the whole run of them after it. The run is measured once and kept, so a
// long run costs linear time and no recursion.
uint16_t TCompiler::lexPlusMinus(char c) {
  const TAFile& f = *curFile;
  const int32_t here = f.intCurChar;
  TOperatorRun& run = operatorRun_;
  auto found = std::lower_bound(run.positions.begin(), run.positions.end(), here);
  if (run.file != &f || run.c != c || found == run.positions.end() || *found != here) {
    run.file = &f;
    run.c = c;
    run.positions.clear();
    int32_t p = here;
    do {
      run.positions.push_back(p);
      p = nextTokenStart(f, p);
    } while (p <= f.intSourceLen && f.strSource[static_cast<size_t>(p - 1)] == c);
    const char after = f.CharAt(p + 1);
    run.endsInAssign = f.CharAt(p) == '=' && after != '=' && after != '!' && after != '>';
    found = run.positions.begin();
  }
  const auto followers = run.positions.end() - found - 1;
  const bool plus = c == '+';
  if (followers == 0 && run.endsInAssign) {
    GetToken();
    return plus ? SetToken(tk::PlusAssign, "+=") : SetToken(tk::MinusAssign, "-=");
  }
  // Seen from the end of the run, single and double signs alternate.
  const bool doubled = run.endsInAssign ? (followers > 0 && followers % 2 == 0) : (followers % 2 == 1);
  if (doubled) {
    GetToken();
    return plus ? SetToken(tk::PlusPlus, "++") : SetToken(tk::MinusMinus, "--");
  }
  return SetToken(plus ? tk::Plus : tk::Minus, lastChars(1));
}

// "(" before a type name and a variable is a type cast that retypes the variable for good.
uint16_t TCompiler::lexParen(bool noStatementForms) {
  const uint16_t previous = curToken.Token;
  if (previous == tk::Identifier || previous == tk::ProcCall || noStatementForms || plainRegisterAhead() ||
      PeekToken() != tk::TypeName)
    return SetToken(tk::LParen, "(");
  GetToken();
  const PDataType castType = curToken.DataType;
  expectOrRaise({tk::RParen});
  expectOrRaise({tk::Variable, tk::LocalVar, tk::LocalParam});
  if (curToken.Data) curToken.Data->dataType = castType;
  return curToken.Token;
}

uint16_t TCompiler::lexBracket() {
  // Most operands are plain and read at once, without a look at the register ahead first.
  if (!macroNamedLikeKeyword_ && lexDepth_ < kMaxLexDepth && ReadPlainOperand(*this)) return tk::BaseExpr;
  if (!plainRegisterAhead() && PeekToken() != tk::Register) return SetToken(tk::LBracket, "[");
  ParseBaseExpression();
  return curToken.Token;
}

// True when the next token is certainly a plain register, so that reading it ahead can be
// spared: a register's name that no plug-in or macro may take and that no member, index or
// cast follows.
bool TCompiler::plainRegisterAhead() const {
  if ((pluginSys && pluginSys->HasEntries()) || macroNamedLikeKeyword_) return false;
  const TAFile& f = *curFile;
  if (f.intCurChar >= f.intSourceLen) return false;
  const char* word = lex::pastBlanks(f.strSource.data() + f.intCurChar);
  const char* end = word;
  while (lex::isWordChar(*end)) ++end;
  if (end == word || lex::isDigit(*word) || *end == '.' || *end == '[' || *end == ':') return false;
  const TKeyword* kw = findKeyword(std::string_view(word, static_cast<size_t>(end - word)));
  return kw && (kw->kind == TWordKind::register32 || kw->kind == TWordKind::register16or8);
}

// The address of the procedure, constant or global just read ("@" and "ptr" before it), or 0.
uint16_t TCompiler::addressOfCurrent() {
  switch (curToken.Token) {
    case tk::ProcCall:
      if (!curToken.Proc) return 0;
      UseProcedure(*curToken.Proc);
      return SetToken(tk::ProcAddress, std::to_string(curToken.Proc->FuncIndex));
    case tk::Constant:
      if (!curToken.Data) return 0;
      return SetToken(tk::DataAddress, std::to_string(curToken.Data->dataAddress));
    case tk::Variable:
      if (!curToken.Data) return 0;
      return SetToken(tk::DataAddress, std::to_string(curToken.Data->dataAddress + curToken.DataOffset));
    default:
      return 0;
  }
}

uint16_t TCompiler::lexAt() {
  const uint16_t code = GetToken();
  switch (code) {
    case tk::RegPointer:
      curToken.Token = tk::RegPointerAddress;
      return curToken.Token;
    case tk::LocalVar: case tk::LocalParam:
      curToken.Token = tk::LocalAddress;
      return curToken.Token;
    case tk::EndOfFile:
      return code;
    default:
      if (const uint16_t address = addressOfCurrent()) return address;
      break;
  }
  std::string name = curToken.Str;
  // Each expansion of a macro gets labels of its own.
  if (const PMacro m = macroSys.MacroAt(curFile->macID)) name += std::to_string(m->lblCounter);
  if (!Settings.peekToken)
    Warning("\"@" + name + ":\" is depreciated, please use \"" + name + ":\"");
  return SetToken(tk::Label, name);
}

uint16_t TCompiler::lexHash() {
  const char n = PeekChar(1);
  if (n == '\n' || n == '\r' || n == ' ' || PeekNonBlank() == ';') return SetToken(tk::Hash, "#");
  switch (PeekToken()) {
    case tk::Identifier: case tk::Repeat: case tk::If: case tk::ElseIf: case tk::Else:
      GetToken();
      return SetToken(tk::Directive, curToken.Str);
    default:
      return SetToken(tk::Hash, "#");
  }
}

// Macro variables: "$name" reads a value, "$name =" starts a statement, "$argc" and
// "$arg[n]" read the arguments of the macro being expanded.
uint16_t TCompiler::lexDollar(bool keepMacroVarName, bool noStatementForms) {
  if (!isIdentStart(PeekChar(1))) return SetToken(tk::Dollar, "$");
  const int32_t first = curFile->intCurChar + 1;
  while (isIdentChar(PeekChar(1))) NextChar();
  const std::string_view written = std::string_view(curFile->strSource)
                                       .substr(static_cast<size_t>(first - 1),
                                               static_cast<size_t>(curFile->intCurChar - first + 1));
  if (const PMacroVar var = macroSys.FindVariable(curFile->macID, written)) {
    const char next = PeekNonBlank();
    if (!noStatementForms && (next == '+' || next == '-' || next == '=')) {
      curToken.Str = lowerCase(written);
      curToken.MacroVar = var;
      curToken.Token = tk::MacroVarStmt;
      return curToken.Token;
    }
    if (keepMacroVarName) {
      curToken.Token = tk::Identifier;
      curToken.Str = written;
      return curToken.Token;
    }
    loadMacroValue(var);
    return curToken.Token;
  }
  if (sameText(written, "argc")) {
    const PMacro m = macroSys.MacroAt(curFile->macID);
    if (!m) Error("$argc can only be used inside a macro");
    return SetToken(tk::Number, std::to_string(m->passedArgs));
  }
  if (sameText(written, "arg") && PeekNonBlank() == '[') return lexMacroArgument();
  return SetToken(tk::Directive, lowerCase(written));
}

uint16_t TCompiler::lexMacroArgument() {
  expectOrRaise({tk::LBracket});
  expectOrRaise({tk::Number});
  const int64_t n = curToken.Int;
  expectOrRaise({tk::RBracket});
  const PMacroVar var =
      (n >= 0 && n <= INT32_MAX) ? macroSys.GetVariable(curFile->macID, static_cast<int32_t>(n)) : nullptr;
  if (!var) Error("Invalid variable offset");
  loadMacroValue(var);
  return curToken.Token;
}

// Numbers read back carry their text; a hexadecimal one keeps its digits so it keeps its value.
void TCompiler::loadMacroValue(PMacroVar var) {
  needMacroValue(var);
  var->LoadValue(curToken);
  if (curToken.Token == tk::Number) {
    curToken.Str = std::to_string(curToken.Int);
  } else if (curToken.Token == tk::Float) {
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, static_cast<double>(curToken.Ext));
    curToken.Str.assign(std::string_view(text, static_cast<size_t>((ec == std::errc() ? end : text) - text)));
  }
}

void TCompiler::needMacroValue(PMacroVar var) {
  if (!var->HasValue()) Error("Macro variable \"" + std::string(var->Name()) + "\" has no value");
}

void TCompiler::expectOrRaise(std::initializer_list<uint16_t> codes) {
  if (ExpectToken(codes) == tk::Invalid) RaiseError();
}

}  // namespace kelvo

// Replacement macros (declaration and invocation) and the statements on macro variables.
#include <algorithm>

#include "assembler/label_names.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

bool isBlankChar(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

// "inline [op] function|procedure name(params) { body }"
bool TCompiler::CompileInline() {
  const PMacro m = macroSys.NewMacro();
  m->ReqParen = true;
  if (PeekToken() == tk::Identifier) {
    GetToken();
    if (!sameText(curToken.Str, "op")) Error("Unknown inline directive");
    m->ReqParen = false;
  }
  if (ExpectToken({tk::Function, tk::Procedure}) == tk::Invalid) return false;
  m->isFunction = curToken.Token == tk::Function;
  if (ExpectToken({tk::Identifier}) == tk::Invalid) {
    if (!m->ReqParen) Error("Operator type not supported for replacement macros");
    return false;
  }
  m->Name = curToken.Str;
  if (ExpectToken({tk::LParen}) == tk::Invalid) return false;
  m->ArgCount = 0;
  for (;;) {
    const uint16_t code = ExpectToken({tk::RParen, tk::Identifier, tk::Directive, tk::Semicolon});
    if (code == tk::Invalid) return false;
    if (code == tk::RParen) break;
    if (code == tk::Semicolon) {
      m->ArgCount = -1;
      if (ExpectToken({tk::RParen}) == tk::Invalid) return false;
      break;
    }
    m->ArgNames.push_back(curToken.Str);
    ++m->ArgCount;
    const uint16_t next = ExpectToken({tk::Comma, tk::RParen});
    if (next == tk::Invalid) return false;
    if (next == tk::RParen) break;
  }
  DeclareIdent(lowerCase(m->Name), itMacro, m->ID);
  if (ExpectToken({tk::LBrace}) == tk::Invalid) return false;
  auto body = std::make_unique<TAFile>();
  const int32_t at = curFile->intCurChar;
  int32_t line = curFile->intCurLine, column = curFile->intCurLineChar;
  body->InitFromText("macro " + m->Name, captureMacroBody(m->Name), curFile->intID);
  int32_t first = at + 1;  // the body's first character, as captureMacroBody trims it
  while (first < curFile->intCurChar && isBlankChar(curFile->CharAt(first))) ++first;
  AdvancePosition(*curFile, at, first, line, column);
  body->CutFrom(*curFile, first, line, column);
  body->macID = m->ID;
  body->bPopMacroStack = 1;
  body->intID = static_cast<int32_t>(listFiles.size());
  m->virtualFileID = body->intID;
  listFiles.push_back(std::move(body));
  return true;
}

// The text up to the "}" that closes the body, trimmed; strings and comments are passed over.
std::string TCompiler::captureMacroBody(const std::string& name) {
  const int32_t start = curFile->intCurChar + 1;
  int depth = 1;
  for (;;) {
    const char c = NextChar();
    if (curFile->intCurChar > curFile->intSourceLen) {
      curFile->intCurChar = curFile->intSourceLen + 1;
      Error("Inline " + name + " missing end");
    }
    if (c == '{') ++depth;
    else if (c == '}' && --depth == 0) break;
    else if (c == '\'' || c == '"') scanQuoted(c);
    else if (c == '/') scanComment();
    else scanLineEnd(c);
  }
  int32_t first = start, last = curFile->intCurChar - 1;
  while (first <= last && isBlankChar(curFile->CharAt(first))) ++first;
  while (last >= first && isBlankChar(curFile->CharAt(last))) --last;
  if (last < first) return {};
  return curFile->strSource.substr(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1));
}

// No keyword reaches this statement: a macro with a name and nothing else.
bool TCompiler::CompileMacroDecl() {
  const PMacro m = macroSys.NewMacro();
  GetToken();
  m->Name = curToken.Str;
  return true;
}

// The arguments of a call, each one token ("-" and a number make one).
static bool readMacroArguments(TCompiler& c, PMacro m, std::vector<TCurrentToken>& args) {
  if (c.PeekToken() == (m->ReqParen ? tk::RParen : tk::Semicolon)) {
    if (m->ReqParen) c.GetToken();
    return true;
  }
  for (;;) {
    if (c.GetToken() == tk::EndOfFile) c.Error("Macro call of \"" + m->Name + "\" is missing its end");
    if (c.curToken.Token == tk::Minus) {
      if (c.ExpectToken({tk::Number}) == tk::Invalid) return false;
      c.curToken.Int = -c.curToken.Int;
      c.curToken.Ext = -c.curToken.Ext;
      c.curToken.Str = "-" + c.curToken.Str;
    }
    args.emplace_back();
    TCompiler::CopyToken(&args.back(), &c.curToken);
    args.back().DataType = c.curToken.DataType;
    const uint16_t next = c.PeekToken();
    if (next == tk::As || (!m->ReqParen && next == tk::Semicolon)) return true;
    const uint16_t code = c.ExpectToken({tk::Comma, tk::RParen});
    if (code == tk::Invalid) return false;
    if (code == tk::RParen) return true;
  }
}

bool TCompiler::InvokeMacro(PMacro m) {
  if (m->virtualFileID < 0) Error("Macro \"" + m->Name + "\" has no body");
  if (std::find(expandingMacros_.begin(), expandingMacros_.end(), m->ID) != expandingMacros_.end())
    Error("Macro \"" + m->Name + "\" invokes itself");
  macroSys.F_CurrentMacroID = m->ID;
  if (m->ReqParen && ExpectToken({tk::LParen}) == tk::Invalid) return false;
  std::vector<TCurrentToken> args;
  // Bound only once all are read: a call among the arguments must not see or drop them.
  if (!readMacroArguments(*this, m, args)) return false;
  const auto count = static_cast<int32_t>(args.size());
  m->passedArgs = count;
  if (m->ArgCount != -1 && m->ArgCount != count)
    Error("\"" + m->Name + "\" expected " + std::to_string(m->ArgCount) + " params, receieved " +
          std::to_string(count));
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view name = i < m->ArgNames.size() ? std::string_view(m->ArgNames[i]) : std::string_view();
    macroSys.AddVariable(m->ID, name, true, true)->SetValue(args[i]);
  }
  ++m->lblCounter;
  const int32_t caller = curFile->intID;
  TAFile* body = listFiles[static_cast<size_t>(m->virtualFileID)].get();
  body->intCurChar = 0;
  body->intCurLine = 1;
  body->intCurLineChar = 0;
  body->intParent = caller;
  body->boolAssembled = false;
  curFile = body;
  const std::string suffix = LocalLabelName("");
  const size_t firstJump = macroLabelJumps_.size();
  const int32_t passive = passiveEnds_;
  const bool pending = elsePending_;
  passiveEnds_ = 0;
  elsePending_ = false;
  expandingMacros_.push_back(m->ID);
  const bool ok = CompileBlock(-1, false, false, false);
  expandingMacros_.pop_back();
  passiveEnds_ = passive;
  elsePending_ = pending;
  resolveMacroLabelJumps(firstJump, suffix);
  macroSys.RemoveVariables(m->ID);
  body->boolAssembled = true;
  curFile = listFiles[static_cast<size_t>(caller)].get();
  return ok;
}

std::string TCompiler::LocalLabelName(const std::string& name) {
  const PMacro m = macroSys.MacroAt(curFile->macID);
  if (!m) return name;
  return name + "%" + std::to_string(m->ID) + "." + std::to_string(m->lblCounter);
}

std::string TCompiler::LabelJumpName() {
  if (curToken.Token != tk::Identifier) return curToken.Str;
  std::string name = LocalLabelName(curToken.Str);
  if (name.size() != curToken.Str.size())
    macroLabelJumps_.push_back({curFunc, curFunc->recAssembler.FixUps.size(), curToken.Str});
  return name;
}

// A jump in a macro body to a label the body did not declare goes to that label outside it.
void TCompiler::resolveMacroLabelJumps(size_t first, const std::string& suffix) {
  for (size_t i = first; i < macroLabelJumps_.size(); ++i) {
    const TMacroLabelJump& j = macroLabelJumps_[i];
    if (j.func != curFunc || j.fixup >= curFunc->recAssembler.FixUps.size()) continue;
    if (FindLabel(j.plainName + suffix) < 0)
      curFunc->recAssembler.FixUps[j.fixup].fixLabel = TLabelNames::Get().Intern(j.plainName);
  }
  macroLabelJumps_.resize(first);
}

// A value for a macro variable: a string, register or segment as it stands, else a constant
// expression (a float one for the float kind). `next` is the code of the token it starts with.
static void readMacroValue(TCompiler& c, uint16_t kind, uint16_t next) {
  if (next == tk::String || next == tk::Register || next == tk::Segment) {
    c.GetToken();
    return;
  }
  c.ConstExpression(kind == tk::Float);
}

// An optional kind word after "=": its code, or 0. `next` gets the code of the token after it.
static uint16_t readValueKind(TCompiler& c, uint16_t& next) {
  next = c.PeekToken();
  const TTokenText& word = c.curToken.Str;
  if (!word.empty() && word[0] >= '0' && word[0] <= '9') return 0;  // a number names no kind
  const uint16_t kind = strToVarKind(word);
  if (kind == tk::Invalid) return 0;
  c.GetToken();
  next = c.PeekToken();
  return kind;
}

// "#name = [kind] value;"
bool TCompiler::CompileMacroVarDefinition(std::string_view name) {
  GetToken();  // "="
  uint16_t next = 0;
  const uint16_t kind = readValueKind(*this, next);
  readMacroValue(*this, kind, next);
  const PMacroVar var = macroSys.AddVariable(curFile->macID, name, false, true);
  var->SetValue(curToken);
  if (kind) var->SetKind(kind);
  return ExpectToken({tk::Semicolon}) != tk::Invalid;
}

// "$name++", "$name--", "$name = [kind] value;"
bool TCompiler::CompileMacroVarStatement() {
  const PMacroVar var = curToken.MacroVar;
  const uint16_t op = ExpectToken({tk::PlusPlus, tk::MinusMinus, tk::Assign});
  if (op == tk::Invalid) return false;
  if (op != tk::Assign) {
    needMacroValue(var);
    TCurrentToken t;
    var->LoadValue(t);
    const int64_t step = op == tk::PlusPlus ? 1 : -1;
    t.Int = static_cast<int64_t>(static_cast<uint64_t>(t.Int) + static_cast<uint64_t>(step));
    t.Ext = t.Token == tk::Float ? t.Ext + static_cast<long double>(step) : static_cast<long double>(t.Int);
    if (t.Token == tk::Number) t.Str = std::to_string(t.Int);
    var->SetValue(t);
    return true;
  }
  uint16_t next = 0;
  uint16_t kind = readValueKind(*this, next);
  if (!kind) kind = var->HasValue() ? var->Kind() : static_cast<uint16_t>(tk::Number);
  readMacroValue(*this, kind, next);
  var->SetValue(curToken);
  var->SetKind(kind);
  return ExpectToken({tk::Semicolon}) != tk::Invalid;
}

// "recast $name as string;"
bool TCompiler::CompileRecast() {
  GetToken(true, false);
  const PMacroVar var = macroSys.FindVariable(curFile->macID, curToken.Str);
  if (!var || curToken.Token != tk::Identifier) Error("Expected macro variable identifier");
  if (ExpectToken({tk::As}) == tk::Invalid) return false;
  GetToken();
  const std::string kind = lowerCase(curToken.Str);
  if (ExpectToken({tk::Semicolon}) == tk::Invalid) return false;
  if (kind != "string") Error("Invalid recast");
  needMacroValue(var);
  var->SetKind(tk::String);
  return true;
}

}  // namespace kelvo

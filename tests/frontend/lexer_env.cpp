#include "tests/frontend/lexer_env.h"

#include <cstdio>

#include "frontend/token_codes.h"

namespace kelvo::testing {

namespace {

PData addData(TCompiler& c, const std::string& name, TDataMode mode, const std::string& type, uint32_t count) {
  auto d = std::make_unique<TData>();
  d->dataName = name;
  d->dataMode = mode;
  d->dataType = c.FindType(type);
  d->intMultiplier = count;
  d->dataIdent = static_cast<int32_t>(c.listData.size());
  c.listData.push_back(std::move(d));
  c.DeclareIdent(name, itData, c.listData.back()->dataIdent);
  return c.listData.back().get();
}

void setMacroValue(TCompiler& c, const std::string& name, uint16_t code, const std::string& text) {
  const PMacroVar var = c.macroSys.AddVariable(-1, name, false, false);
  c.SetToken(code, text);
  var->SetValue(c.curToken);
}

}  // namespace

void setUpLexerEnvironment(TCompiler& c) {
  c.Settings.writeLog = false;
  c.Init();
  c.RegisterBuiltInTypes();
  for (const char* name : {"", "proc1"}) {
    auto f = std::make_unique<TFunction>();
    f->Name = name;
    f->FuncIndex = static_cast<int32_t>(c.listProcedures.size());
    c.listProcedures.push_back(std::move(f));
  }
  c.DeclareIdent("proc1", itProcedure, 1);
  c.curFunc = c.listProcedures[0].get();
  addData(c, "v", dmVar, "dword", 1)->dataAddress = 0x100;
  addData(c, "arr", dmVar, "dword", 10)->dataAddress = 0x200;
  addData(c, "s", dmVar, "string", 1)->dataAddress = 0x300;
  addData(c, "obj", dmVar, "pointer", 1)->dataAddress = 0x304;
  addData(c, "loc", dmLocalVar, "word", 4)->dataAddress = static_cast<uint32_t>(-8);
  addData(c, "par", dmLocalParam, "dword", 2)->dataAddress = 8;
  const PData preg = addData(c, "preg", dmLocalParam, "dword", 1);
  preg->dataIsRegister = 1;
  preg->dataRegister = rdECX;
  c.AddNamedConst("answer", 42);
  const PData greeting = addData(c, "greeting", dmConst, "string", 1);
  greeting->dataSubMode = smString;
  greeting->strVal = "hi";
  const PData pi = addData(c, "pi", dmConst, "real8", 1);
  pi->dataSubMode = smFloat;
  pi->dataValExt = 3.14L;
  setMacroValue(c, "mv", tk::Number, "7");
  setMacroValue(c, "hx", tk::Hex, "1F");
  setMacroValue(c, "fl", tk::Float, "2.5");
  const PMacro mac = c.macroSys.NewMacro();
  mac->Name = "mac";
  c.DeclareIdent("mac", itMacro, mac->ID);
  c.listDefines.push_back("FOO");
  c.SetToken(tk::Invalid);
}

void useSource(TCompiler& c, const std::string& name, const std::string& text) {
  auto file = std::make_unique<TAFile>();
  file->InitFromText(name, text, -1);
  file->intID = static_cast<int32_t>(c.listFiles.size());
  c.listFiles.push_back(std::move(file));
  c.curFile = c.listFiles.back().get();
}

static std::string visible(const std::string& s) {
  std::string out;
  for (unsigned char ch : s) {
    if (ch == '\\') out += "\\\\";
    else if (ch >= 32 && ch < 127) out += static_cast<char>(ch);
    else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", ch);
      out += hex;
    }
  }
  return out;
}

bool dumpTokens(TCompiler& c) {
  try {
    for (;;) {
      const uint16_t code = c.GetToken();
      const TCurrentToken& t = c.curToken;
      std::printf("%u\t%s\t%lld\t%.10Lg\t%d:%d\n", code, visible(t.Str).c_str(), static_cast<long long>(t.Int),
                  t.Ext, c.curFile->intCurLine, c.curFile->intCurLineChar);
      if (code == tk::EndOfFile) break;
    }
    std::fflush(stdout);
    return true;
  } catch (const ECompileError& e) {
    if (std::string(e.what()) != kSilentAbort) std::printf("%s\n", e.what());
    std::printf("aborted\n");
    std::fflush(stdout);
    return false;
  }
}

}  // namespace kelvo::testing

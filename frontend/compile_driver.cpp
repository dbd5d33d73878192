#include "frontend/compiler.h"
#include "frontend/token_codes.h"
#include "platform/system.h"

namespace kelvo {

namespace {

struct TBuiltinType {
  const char* name;
  int32_t size;
  int64_t lower;
  int64_t upper;
};

// A type is signed exactly when its lower bound is below 0; boolean is 4 bytes.
constexpr TBuiltinType kBuiltinTypes[] = {
    {"pointer", 4, 0, 4294967295LL},  {"byte", 1, 0, 255},
    {"char", 1, 0, 255},              {"widechar", 2, 0, 65535},
    {"wchar", 2, 0, 65535},           {"word", 2, 0, 65535},
    {"dword", 4, 0, 4294967295LL},    {"qword", 8, 0, -1},
    {"boolean", 4, 0, 4294967295LL},  {"string", 4, 0, 0},
    {"int", 4, INT32_MIN, INT32_MAX}, {"int32", 4, INT32_MIN, INT32_MAX},
    {"sbyte", 1, -128, 127},          {"short", 2, -32768, 32767},
    {"int64", 8, INT64_MIN, INT64_MAX}, {"real4", 4, 0, 0},
    {"real8", 8, 0, 0},               {"real10", 10, 0, 0},
    {"single", 4, 0, 0},              {"double", 8, 0, 0},
    {"extended", 10, 0, 0},
};

// A plug-in named in the source is looked for only in the plug-ins folder: a project must not
// load native code from any path it names.
bool isPlainPluginName(const std::string& name) {
  if (name.empty() || name.find("..") != std::string::npos) return false;
  for (char c : name)
    if (platform::isSeparator(c) || c == ':') return false;
  return true;
}

}  // namespace

void TCompiler::RegisterBuiltInTypes() {
  for (const TBuiltinType& t : kBuiltinTypes) AddType(t.name, t.size, t.lower, t.upper);
  compilerPtrType = listTypes[0].get();
}

void TCompiler::createGlobalScope() {
  auto global = std::make_unique<TFunction>();
  global->recAssembler.cpuMode = 32;
  global->Called = true;
  global->FuncIndex = static_cast<int32_t>(listProcedures.size());
  curFunc = global.get();
  listProcedures.push_back(std::move(global));
}

// The optional "plugins" statements before the program head.
void TCompiler::readPluginStatements() {
  bool automatic = true, manual = false;
  while (PeekToken() == tk::Identifier) {
    GetToken();
    if (!sameText(curToken.Str, "plugins")) continue;
    GetToken();
    const std::string word = lowerCase(curToken.Str);
    if (word == "off" || word == "on") {
      if (manual)
        Error("\"plugins " + word + "\" can not be used along side manual loading of plugins");
      expectOrRaise({tk::Semicolon});
      automatic = word == "on";
      continue;
    }
    const std::string name = curToken.Str;
    if (!isPlainPluginName(name))
      Error("A plug-in is named without a folder: \"" + name + "\" is not a plain name");
    automatic = false;
    manual = true;
    long double version = 0;
    if (ExpectToken({tk::Number, tk::Hex, tk::Float, tk::Semicolon}) == tk::Invalid) RaiseError();
    if (curToken.Token != tk::Semicolon) {
      version = curToken.Ext;
      expectOrRaise({tk::Semicolon});
    }
    std::string why;
    if (!pluginSys->InitPlugin(platform::executableFolder() + "plugins/" + name + ".so", version, why))
      Error(why);
  }
  if (automatic) pluginSys->InitPlugins(platform::executableFolder() + "plugins");
}

bool TCompiler::ParseAppType() {
  if (ExpectToken({tk::SubSystem}) != tk::SubSystem) return false;
  const std::string word = curToken.Str;
  const std::string lower = lowerCase(word);
  if (lower == "win32dll") {
    PEFile.F_FileType = petDLL;
    appSubSystem = 2;
  } else if (lower == "mscoff" || lower == "bootloader") {
    PEFile.F_FileType = lower == "mscoff" ? petCOFF : petBOOTLOADER;
    appSubSystem = 0;
  } else {
    PEFile.F_FileType = petEXE;
    appSubSystem = strToSubSystem(word);
  }
  appTypeText = word;
  listDefines.push_back("APPTYPE_" + word);
  if (ExpectToken({tk::String}) != tk::String) Error(strLastError);
  PEFile.F_AppTitle = curToken.Str;
  return true;
}

// system.kel from the project folder first, then from "includes" beside the compiler.
void TCompiler::loadStandardInclude() {
  const std::string local = strProjectFolder + "system.kel";
  const std::string shipped = platform::executableFolder() + "includes/system.kel";
  std::string path;
  if (platform::fileExists(local)) path = local;
  else if (platform::fileExists(shipped)) path = shipped;
  else Error("Kelvo compiler \"system.kel\" file not found!");
  curFile = listFiles[AddFile(path, 0)].get();
}

bool TCompiler::Compile(const std::string& outputName) {
  Settings.localsReg = rdEBP;
  Settings.MMX_is = true;
  listDefines.push_back("assembler_MMX_ON");
  Settings.SSE_is = true;
  listDefines.push_back("assembler_SSE_ON");
  defaultCallMethod = cmStdcall;
  strOutFile = outputName.empty() ? "kelvoapplication" : outputName;
  intTotalLines = 0;
  bInProcedure = false;
  PEFile.F_entryFuncID = -1;
  PAFile project = listFiles[0].get();
  curFile = project;
  RegisterBuiltInTypes();
  createGlobalScope();
  readPluginStatements();
  pluginSys->ExecFileEntry(0, project->strSource.c_str());
  expectOrRaise({tk::Program});
  if (!ParseAppType()) RaiseError();
  listDefines.push_back(curToken.Str);
  loadStandardInclude();
  PFunction global = listProcedures[0].get();
  curFunc = global;
  readingStandardInclude_ = true;
  if (!CompileBlock(-1, false, false, true)) RaiseError();
  readingStandardInclude_ = false;
  firstProjectProcedure = listProcedures.size();
  pluginSys->ExecProgramEntry(appTypeText.c_str());
  curFile = project;
  curFunc = global;
  if (!CompileBlock(-1, false, false, false)) RaiseError();
  if (PEFile.F_FileType == petDLL && PEFile.F_entryFuncID == -1)
    Error("DLL projects require an entry function");
  if (!StateStack.empty()) Error("1 or more case switches are incorrect");
  return true;
}

}  // namespace kelvo

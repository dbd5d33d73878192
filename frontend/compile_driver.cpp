#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

struct TBuiltInType {
  const char* name;
  int32_t size;
  int64_t lower, upper;
};
constexpr TBuiltInType kBuiltInTypes[] = {
    {"pointer", 4, 0, 4294967295}, {"byte", 1, 0, 255}, {"char", 1, 0, 255},
    {"widechar", 2, 0, 65535}, {"wchar", 2, 0, 65535}, {"word", 2, 0, 65535},
    {"dword", 4, 0, 4294967295}, {"qword", 8, 0, -1}, {"boolean", 4, 0, 4294967295},
    {"string", 4, 0, 0}, {"int", 4, -2147483648LL, 2147483647}, {"int32", 4, -2147483648LL, 2147483647},
    {"sbyte", 1, -128, 127}, {"short", 2, -32768, 32767},
    {"int64", 8, INT64_MIN, INT64_MAX}, {"real4", 4, 0, 0}, {"real8", 8, 0, 0},
    {"real10", 10, 0, 0}, {"single", 4, 0, 0}, {"double", 8, 0, 0}, {"extended", 10, 0, 0},
};

}  // namespace

void TCompiler::RegisterBuiltInTypes() {
  for (const TBuiltInType& t : kBuiltInTypes) {
    const PDataType added = AddType(t.name, t.size, t.lower, t.upper);
    if (!compilerPtrType) compilerPtrType = added;
  }
}

void TCompiler::Compile(const std::string& outputName) {
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
  curFile = listFiles[0].get();
  RegisterBuiltInTypes();
  auto global = std::make_unique<TFunction>();
  global->Called = true;
  listProcedures.push_back(std::move(global));
  curFunc = listProcedures[0].get();
  // Words before the program head are plug-in statements; the plug-in host reads them.
  while (PeekToken() == tk::Identifier) GetToken();
  if (ExpectToken({tk::Program}) == tk::Invalid) RaiseError();
  if (!ParseAppType()) RaiseError();
  listDefines.push_back(curToken.Str);
  throw ECompileError("The compile step is not built yet");
}

bool TCompiler::ParseAppType() {
  if (ExpectToken({tk::SubSystem}) != tk::SubSystem) return false;
  const std::string kind = curToken.Str;
  const std::string lower = lowerCase(kind);
  if (lower == "win32dll") {
    PEFile.F_FileType = petDLL;
    appSubSystem = 2;
  } else if (lower == "mscoff" || lower == "bootloader") {
    PEFile.F_FileType = lower == "mscoff" ? petCOFF : petBOOTLOADER;
    appSubSystem = 0;
  } else {
    PEFile.F_FileType = petEXE;
    appSubSystem = strToSubSystem(kind);
  }
  appTypeText = kind;
  listDefines.push_back("APPTYPE_" + kind);
  if (ExpectToken({tk::String}) != tk::String) Error(strLastError);
  PEFile.F_AppTitle = curToken.Str;
  return true;
}

}  // namespace kelvo

// The one record that holds the whole state of a compile.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/definitions.h"
#include "compiler/base_expression.h"
#include "compiler/state_stack.h"
#include "frontend/function.h"
#include "frontend/ident_table.h"
#include "frontend/macro_tables.h"
#include "frontend/source_file.h"
#include "frontend/token.h"
#include "frontend/token_list.h"
#include "output/pe_file.h"
#include "plugins/plugin_manager.h"

namespace kelvo {

// Carries a report out of the build; the entry prints it unless it is the silent abort.
class ECompileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
inline constexpr const char* kSilentAbort = "Operation aborted";

// Console attributes.
enum TColour : int { clNormal = 7, clInfo = 10, clError = 12, clWarning = 14 };

struct TSettings {
  bool writeLog = true;
  TRegister localsReg = rdEBP;
  bool MMX_is = true;
  bool SSE_is = true;
  bool skipPluginKeywords = false;
  bool peekToken = false;
  bool setUnnamed = false;
  std::string include_path;  // ends in a separator when set
};

// What is known about one 32-bit general register.
struct TRegState {
  PDataType pointsTo = nullptr;
  PData loadedFrom = nullptr;
  uint16_t castKind = 0;
  bool interfaceLoaded = false;
};

// Set from the program kind: the PE subsystem and the kind word as written.
extern uint16_t appSubSystem;
extern std::string appTypeText;

struct TCompiler {
  // Diagnostics and output image
  std::string strLastError;
  TPEFile PEFile;
  // Components
  TMacroEngine macroSys;
  std::unique_ptr<TPluginManager> pluginSys;
  TSmartList SmartIdents;
  // Switches
  TSettings Settings;
  TCallMethod defaultCallMethod = cmStdcall;
  TCompilerMode CompilerMode = cmCLEAN;
  int32_t curCPUMode = 386;
  // Lists, each owning its items; indexes stay valid for the whole compile
  std::vector<std::unique_ptr<TAFile>> listFiles;
  std::vector<std::unique_ptr<TFunction>> listProcedures;
  std::vector<std::unique_ptr<TData>> listData;
  std::vector<std::unique_ptr<TDataType>> listTypes;
  std::vector<std::string> slistDLLs;
  std::vector<std::string> listDefines;
  std::vector<TRegister> listUses;
  std::vector<std::unique_ptr<TStateInfo>> StateStack;
  std::vector<std::unique_ptr<TCurrentToken>> NCTList;
  TTokenList tokenStack;
  // Token state
  TCurrentToken curToken;
  uint16_t prevTokenType = 13;
  TBaseExpression curBaseExpression;
  // Position
  PAFile curFile = nullptr;
  PFunction curFunc = nullptr;
  PFunction lastAddedProc = nullptr;
  PData lastDataRegistered = nullptr;
  bool bInProcedure = false;
  TRegister curClassReg = rdEAX;
  PDataType compilerPtrType = nullptr;
  int32_t intTotalLines = 0;
  std::string strProjectFolder;  // with its trailing separator
  std::string strOutFile;        // no folder, no extension
  // Register binding
  TRegState rsReg32[8];

  static TCompiler* Instance();

  // --- life cycle, console and log
  void Init();
  void Free();
  int32_t AddFile(const std::string& fileName, int32_t parent);
  void Print(const std::string& text, int colour);
  void Log(const std::string& text);

  // --- diagnostics
  [[noreturn]] void RaiseError();
  [[noreturn]] void Error(const std::string& message);
  void Warning(const std::string& message);

  // --- character access on curFile
  char NextChar();
  void PrevChar();
  char PeekChar(int32_t offset);
  char PeekNonBlank();
  char SkipToChars(const std::string& character);
  bool IsLineEndAhead();

  // --- compile driver and link step
  void Compile(const std::string& outputName);
  void BuildOutput(const std::string& outputPath);

 private:
  bool initialised_ = false;
  std::FILE* logFile_ = nullptr;
  bool logFailed_ = false;
  std::string errorPosition() const;
  std::string sourceLineAtCursor() const;
};

}  // namespace kelvo

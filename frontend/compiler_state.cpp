#include "frontend/compiler.h"

#include "platform/console.h"
#include "platform/system.h"

namespace kelvo {

uint16_t appSubSystem = 3;
std::string appTypeText;

static TCompiler* gInstance = nullptr;

TCompiler* TCompiler::Instance() { return gInstance; }

static void reportEncoderError(void* compiler, const char* message) {
  static_cast<TCompiler*>(compiler)->Error(message);
}

static const std::string kDashes(44, '-');

void TCompiler::Init() {
  gInstance = this;
  SetEncoderHost({reportEncoderError, this, &curCPUMode, &Settings.MMX_is, &Settings.SSE_is});
  initialised_ = true;
  Settings.skipPluginKeywords = false;
  Settings.peekToken = false;
  Settings.setUnnamed = false;
  Log(kDashes + "\r\n" + platform::localDateTime() + "\r\n" + kDashes + "\r\n");
  releaseState();
  tokenStart = {};
  for (TRegState& r : rsReg32) r = TRegState{};
  for (PData& bound : assumed_) bound = nullptr;
  globalInits_.clear();
  entryDeclared_ = false;
  macroSys.Init();
  SmartIdents.Init(&listData);
  bInProcedure = false;
  PEFile.dataMan.Init(0x2000);
  curCPUMode = 386;
  pluginSys = std::make_unique<TPluginManager>();
}

// Empties every list the compile fills, in the order that keeps pointers between them valid.
void TCompiler::releaseState() {
  StateStack.clear();
  curFile = nullptr;
  curFunc = nullptr;
  lastAddedProc = nullptr;
  lastDataRegistered = nullptr;
  listFiles.clear();
  listProcedures.clear();
  SmartIdents.Free();
  listData.clear();
  listTypes.clear();
  slistDLLs.clear();
  listDefines.clear();
  listUses.clear();
  tokenStack.Clear();
  NCTList.clear();
  OffsetLabels.clear();
  operatorRun_ = {};
  for (auto body = openBodies.rbegin(); body != openBodies.rend(); ++body) TLabelNames::Get().Release(body->labelOwner);
  openBodies.assign(1, TBodyState{});
}

// Safe on a half-initialised record and when called twice.
void TCompiler::Free() {
  if (!initialised_) return;
  FreeForExit();
  releaseState();
  macroSys.Free();
}

void TCompiler::FreeForExit() {
  if (!initialised_) return;
  initialised_ = false;
  pluginSys.reset();
  Log(kDashes + "\r\n\r\n");
  if (logFile_) std::fclose(logFile_);
  logFile_ = nullptr;
  if (gInstance == this) gInstance = nullptr;
  ClearEncoderHost(this);
}

int32_t TCompiler::AddFile(const std::string& fileName, int32_t parent) {
  if (parent == -1) {
    size_t cut = fileName.size();
    while (cut > 0 && !platform::isSeparator(fileName[cut - 1])) --cut;
    strProjectFolder = fileName.substr(0, cut);
  }
  auto file = std::make_unique<TAFile>();
  file->LoadFromFile(fileName, parent);
  const auto index = static_cast<int32_t>(listFiles.size());
  file->intID = index;
  TAFile* added = file.get();
  listFiles.push_back(std::move(file));
  if (added->macID == -1 && pluginSys) pluginSys->ExecFileEntry(index, added->strSource.c_str());
  return index;
}

void TCompiler::Print(const std::string& text, int colour) {
  platform::setTextColour(colour);
  platform::writeLine(text);
  Log(text);
}

// A log that can't be written never fails the build: the line has reached the console.
void TCompiler::Log(const std::string& text) {
  if (!Settings.writeLog || logFailed_) return;
  if (!logFile_) {
    logFile_ = std::fopen((platform::executableFolder() + "log.txt").c_str(), "ab");
    if (!logFile_) {
      logFailed_ = true;
      return;
    }
  }
  if (std::fwrite(text.data(), 1, text.size(), logFile_) != text.size() ||
      std::fputs("\r\n", logFile_) == EOF || std::fflush(logFile_) != 0)
    logFailed_ = true;
}

}  // namespace kelvo

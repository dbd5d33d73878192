#include "plugins/plugin_manager.h"

#include "frontend/compiler.h"
#include "platform/shared_library.h"
#include "platform/system.h"
#include "plugins/host_callbacks.h"

namespace kelvo {

namespace {

TPluginManager* gCurrent = nullptr;

void print(const std::string& text, int colour) {
  if (TCompiler* c = TCompiler::Instance()) c->Print(text, colour);
}

std::string fileNamePart(const std::string& path) {
  size_t cut = path.size();
  while (cut > 0 && !platform::isSeparator(path[cut - 1])) --cut;
  return path.substr(cut);
}

// The text of a loaded file; before the file is in the list, the text the caller has.
std::string fileText(int32_t fileIndex, const char* text) {
  const TCompiler* c = TCompiler::Instance();
  if (c && fileIndex >= 0 && static_cast<size_t>(fileIndex) < c->listFiles.size())
    return std::string(c->listFiles[static_cast<size_t>(fileIndex)]->strSource);
  return text ? text : "";
}

const char* const kEntryMissing = "plugin does not have entry function \"InitPlugin\"";

}  // namespace

TPluginManager::TPluginManager() {
  keywordList.Init();
  tokenList.Init();
  gCurrent = this;
}

TPluginManager::~TPluginManager() {
  for (TPlugin& p : plugins_) platform::freeLibrary(p.hDLL);
  if (gCurrent == this) gCurrent = nullptr;
}

TPluginManager* TPluginManager::Current() { return gCurrent; }

template <typename F>
void TPluginManager::timed(TPlugin& p, F&& call) {
  const uint64_t start = platform::tickCount();
  call();
  p.dwMS += static_cast<uint32_t>(platform::tickCount() - start);
  RaisePending();
}

// Looks up the optional exports of a library whose InitPlugin was found.
bool TPluginManager::loadInto(TPlugin& p, const char* programExport, std::string& why) {
  p.hDLL = platform::loadLibrary(p.sLoc, why);
  if (!p.hDLL) return false;
  p.DLLEntry = reinterpret_cast<kelvo_init_plugin>(platform::librarySymbol(p.hDLL, "InitPlugin"));
  if (!p.DLLEntry) return true;
  p.DLLExit = reinterpret_cast<kelvo_unload_plugin>(platform::librarySymbol(p.hDLL, "UnloadPlugin"));
  p.FileEntry = reinterpret_cast<kelvo_file_entry>(platform::librarySymbol(p.hDLL, "FileEntry"));
  p.ProgBegin = reinterpret_cast<kelvo_program_begin>(platform::librarySymbol(p.hDLL, programExport));
  return true;
}

// The record is in the list before its entry runs, so the library is freed whatever happens.
void TPluginManager::callInit(TPlugin& loaded) {
  plugins_.push_back(std::move(loaded));
  TPlugin& p = plugins_.back();
  timed(p, [&] { p.sDesc = p.DLLEntry(&pluginGetFunction); });
  p.sStatus = "Loaded";
  p.iStatus = 0;
  print("PlugSys: " + std::string(p.sDesc ? p.sDesc : p.sName.c_str()), clInfo);
}

void TPluginManager::InitPlugins(const std::string& folder) {
  for (const std::string& name : platform::filesEndingIn(folder, ".so")) {
    TPlugin p;
    p.sName = name;
    p.sLoc = folder + "/" + name;
    std::string why;
    if (!loadInto(p, "ProgramBegin", why)) {
      print("PlugSys: " + name + " skipped - not a valid plugin", clError);
      continue;
    }
    if (!p.DLLEntry) {
      print("PlugSys: " + name + " skipped - " + kEntryMissing, clError);
      platform::freeLibrary(p.hDLL);
      continue;
    }
    callInit(p);
  }
}

bool TPluginManager::InitPlugin(const std::string& path, long double /*version*/, std::string& why) {
  if (!platform::fileExists(path)) {
    why = path + " does not exist";
    return false;
  }
  TPlugin p;
  p.sName = fileNamePart(path);
  p.sLoc = path;
  std::string reason;
  if (!loadInto(p, "ProgramEntry", reason)) {
    why = "PlugSys: " + p.sName + " is not a valid plugin";
    return false;
  }
  if (!p.DLLEntry) {
    platform::freeLibrary(p.hDLL);
    why = "PlugSys: " + p.sName + " " + kEntryMissing;
    return false;
  }
  callInit(p);
  return true;
}

// Last loaded first: a plug-in loaded later sees the text before the ones it builds on. Each
// reads a copy of the file's text as it stands when it is called, so a rewrite by one never
// pulls the text from under the call that made it, and the next one sees the rewrite.
void TPluginManager::ExecFileEntry(int32_t fileIndex, const char* text) {
  std::string current;
  bool fresh = false;
  for (size_t i = plugins_.size(); i-- > 0;) {
    TPlugin& p = plugins_[i];
    if (p.iStatus != 0 || !p.FileEntry) continue;
    if (!fresh) {
      current = fileText(fileIndex, text);
      fresh = true;
    }
    fileRewritten_ = false;
    timed(p, [&] { p.FileEntry(static_cast<uintptr_t>(fileIndex), current.c_str()); });
    if (fileRewritten_) fresh = false;
  }
}

void TPluginManager::ExecProgramEntry(const char* appType) {
  for (size_t i = plugins_.size(); i-- > 0;) {
    TPlugin& p = plugins_[i];
    if (p.iStatus == 0 && p.ProgBegin) timed(p, [&] { p.ProgBegin(appType); });
  }
}

void TPluginManager::UnloadPlugins() {
  unloading = true;
  for (TPlugin& p : plugins_)
    if (p.iStatus == 0 && p.DLLExit) timed(p, [&] { p.DLLExit(); });
}

int32_t TPluginManager::AddEntry(bool token, const char* name, kelvo_handler handler) {
  const auto id = static_cast<int32_t>(token ? tokenIDs++ : keywordIDs++);
  TIdentifier* entry = (token ? tokenList : keywordList).Declare(name, itIdent, id);
  entry->identData = reinterpret_cast<void*>(handler);
  ++(token ? tokenCount_ : keywordCount_);
  return id;
}

bool TPluginManager::RemoveKeyword(const char* name) {
  if (!keywordList.Remove(name)) return false;
  --keywordCount_;
  return true;
}

bool TPluginManager::CallHandler(void* handler) {
  const int32_t handled = reinterpret_cast<kelvo_handler>(handler)();
  RaisePending();
  return handled != 0;
}

TAFile& TPluginManager::EnterBuffer() {
  if (buffersInUse_ == buffers_.size()) buffers_.push_back(std::make_unique<TAFile>());
  return *buffers_[buffersInUse_++];
}

void TPluginManager::SetPendingError(const std::string& report) {
  if (errorPending_) return;  // the first error is the one the build reports
  errorPending_ = true;
  pendingReport_ = report;
}

void TPluginManager::RaisePending() const {
  if (errorPending_) throw ECompileError(pendingReport_);
}

const char* TPluginManager::KeepText(std::string text) {
  returnedText_ = std::move(text);
  return returnedText_.c_str();
}

}  // namespace kelvo

// Loads plug-ins, calls their entry points at the moments of a build, times them, and keeps
// the keywords and tokens they register.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frontend/ident_table.h"
#include "frontend/source_file.h"
#include "plugins/kelvo_plugin.h"

namespace kelvo {

struct TPlugin {
  std::string sName;           // file name
  const char* sDesc = nullptr;  // as InitPlugin returned it
  std::string sLoc;            // full path
  std::string sStatus;         // "Loaded", "Plugin Error" or "Invalid Plugin"
  int32_t iStatus = 1;         // 0 loaded, 1 failed
  void* hDLL = nullptr;
  uint32_t dwMS = 0;  // milliseconds spent in the plug-in's entry points
  kelvo_init_plugin DLLEntry = nullptr;
  kelvo_unload_plugin DLLExit = nullptr;
  kelvo_file_entry FileEntry = nullptr;
  kelvo_program_begin ProgBegin = nullptr;
};

class TPluginManager {
 public:
  TPluginManager();
  ~TPluginManager();
  TPluginManager(const TPluginManager&) = delete;
  TPluginManager& operator=(const TPluginManager&) = delete;
  // The manager the host routines act on: the one created last, until it is destroyed.
  static TPluginManager* Current();

  // Loads one named plug-in; false with the report when it can't be loaded.
  bool InitPlugin(const std::string& path, long double version, std::string& why);
  // Loads every plug-in of the folder; bad ones are reported and skipped.
  void InitPlugins(const std::string& folder);
  void UnloadPlugins();
  void ExecFileEntry(int32_t fileIndex, const char* text);
  void ExecProgramEntry(const char* appType);
  const std::vector<TPlugin>& plugins() const { return plugins_; }

  // --- for the host routines and the lexer
  TSmartList keywordList;
  TSmartList tokenList;
  uint32_t keywordIDs = 0;
  uint32_t tokenIDs = KELVO_TOKEN_FIRST_PLUGIN;
  bool HasEntries() const { return keywordCount_ + tokenCount_ > 0; }
  int32_t AddEntry(bool token, const char* name, kelvo_handler handler);
  bool RemoveKeyword(const char* name);
  // Calls a keyword or token handler and raises, once it has returned, an error met inside.
  bool CallHandler(void* handler);
  // A buffer for one text compile; nested compiles each get their own.
  TAFile& EnterBuffer();
  void LeaveBuffer() { --buffersInUse_; }
  // An error met inside a host routine waits here until the plug-in has returned.
  bool ErrorPending() const { return errorPending_; }
  void SetPendingError(const std::string& report);
  // Raises the waiting error, if any, as the build's error.
  void RaisePending() const;
  // Texts returned to plug-ins live here until the next host routine.
  const char* KeepText(std::string text);
  // A file's text was replaced: the next plug-in's FileEntry reads it afresh.
  void NoteRewrite() { fileRewritten_ = true; }
  bool unloading = false;  // after the build: routines that drive the compiler do nothing

 private:
  std::vector<TPlugin> plugins_;
  std::vector<std::unique_ptr<TAFile>> buffers_;
  size_t buffersInUse_ = 0;
  uint32_t keywordCount_ = 0, tokenCount_ = 0;
  bool errorPending_ = false;
  bool fileRewritten_ = false;
  std::string pendingReport_;
  std::string returnedText_;
  bool loadInto(TPlugin& p, const char* programExport, std::string& why);
  void callInit(TPlugin& p);
  template <typename F>
  void timed(TPlugin& p, F&& call);
};

}  // namespace kelvo

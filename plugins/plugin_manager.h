// Loads plug-ins and keeps their handles and timings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvo {

struct TPlugin {
  std::string sName;
  uint32_t dwMS = 0;  // time spent inside the plug-in
};

class TPluginManager {
 public:
  // Loads one named plug-in; false with the reason when it can't be loaded.
  bool InitPlugin(const std::string& path, long double version, std::string& why);
  // Loads every plug-in of the folder.
  void InitPlugins(const std::string& folder);
  void UnloadPlugins() {}
  void ExecFileEntry(int32_t /*fileIndex*/, const char* /*text*/) {}
  void ExecProgramEntry(const char* /*appType*/) {}
  const std::vector<TPlugin>& plugins() const { return plugins_; }

 private:
  std::vector<TPlugin> plugins_;
};

}  // namespace kelvo

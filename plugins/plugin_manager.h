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
  void UnloadPlugins() {}
  void ExecFileEntry(int32_t /*fileIndex*/, const char* /*text*/) {}
  const std::vector<TPlugin>& plugins() const { return plugins_; }

 private:
  std::vector<TPlugin> plugins_;
};

}  // namespace kelvo

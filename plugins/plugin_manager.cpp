#include "plugins/plugin_manager.h"

namespace kelvo {

// The plug-in host is not part of this build yet: a named plug-in can't be honoured,
// and the folder scan finds nothing.
bool TPluginManager::InitPlugin(const std::string& path, long double /*version*/, std::string& why) {
  why = "Plugin \"" + path + "\" can not be loaded: plugins are not supported by this build";
  return false;
}

void TPluginManager::InitPlugins(const std::string& /*folder*/) {}

}  // namespace kelvo

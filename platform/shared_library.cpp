#include "platform/shared_library.h"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>

namespace kelvo::platform {

TLibrary loadLibrary(const std::string& path, std::string& why) {
  dlerror();
  TLibrary library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* reason = dlerror();
    why = reason ? reason : "unknown reason";
  }
  return library;
}

void* librarySymbol(TLibrary library, const char* name) {
  return library ? dlsym(library, name) : nullptr;
}

void freeLibrary(TLibrary library) {
  if (library) dlclose(library);
}

std::vector<std::string> filesEndingIn(const std::string& folder, const std::string& extension) {
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    std::string name = it->path().filename().string();
    if (name.size() > extension.size() && name.compare(name.size() - extension.size(), extension.size(), extension) == 0)
      names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace kelvo::platform

// Shared objects loaded at run time: the compiler's plug-ins.
#pragma once
#include <string>
#include <vector>

namespace kelvo::platform {

using TLibrary = void*;

// The loaded library, or nullptr with the loader's reason in `why`.
TLibrary loadLibrary(const std::string& path, std::string& why);
// The address of an exported name, or nullptr.
void* librarySymbol(TLibrary library, const char* name);
void freeLibrary(TLibrary library);
// The names of the regular files of a folder that end in `extension`, sorted, so plug-ins
// load in the same order on every machine. Empty when the folder can't be read.
std::vector<std::string> filesEndingIn(const std::string& folder, const std::string& extension);

}  // namespace kelvo::platform

// Arbitrary bytes as a project file: the whole compile must end with a report or success.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "frontend/compiler.h"

namespace {

// A folder with an empty standard include, made once per process.
const std::string& projectFolder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/kelvo-fuzz-XXXXXX";
    std::string made = mkdtemp(pattern) ? pattern : "/tmp";
    std::fclose(std::fopen((made + "/system.kel").c_str(), "w"));
    return made + "/";
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kelvo::TCompiler c;
  c.Settings.writeLog = false;
  c.Init();
  auto file = std::make_unique<kelvo::TAFile>();
  file->InitFromText("fuzz.kpr", std::string(reinterpret_cast<const char*>(data), size), -1);
  c.listFiles.push_back(std::move(file));
  c.strProjectFolder = projectFolder();
  try {
    c.Compile("fuzz");
  } catch (const kelvo::ECompileError&) {
  }
  c.Free();
  return 0;
}

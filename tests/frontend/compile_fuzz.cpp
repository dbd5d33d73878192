// Arbitrary bytes as a project file: the whole compile must end with a report or success.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "frontend/compiler.h"

namespace {

// A folder with an empty standard include, made once per process in $TMPDIR and removed
// when the process ends.
class TScratchFolder {
 public:
  TScratchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kelvo-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) return;
    folder_ = pattern + "/";
    if (std::FILE* f = std::fopen((folder_ + "system.kel").c_str(), "w")) std::fclose(f);
  }
  ~TScratchFolder() {
    if (folder_.empty()) return;
    std::remove((folder_ + "system.kel").c_str());
    rmdir(folder_.c_str());
  }
  const std::string& path() const { return folder_; }

 private:
  std::string folder_;
};

const std::string& projectFolder() {
  static const TScratchFolder folder;
  return folder.path();
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

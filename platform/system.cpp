#include "platform/system.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>

extern char** environ;

namespace kelvo::platform {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

std::string toHostPath(const std::string& path) {
  std::string out = path;
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

void raiseThreadPriority() {
  // Raising priority needs privileges here; the compile runs the same without it.
}

uint64_t tickCount() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::string executableFolder() {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "./";
  return self.parent_path().string() + "/";
}

bool fileExists(const std::string& path) {
  struct stat st {};
  return stat(toHostPath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isAbsolutePath(const std::string& path) {
  if (!path.empty() && isSeparator(path[0])) return true;
  return path.size() > 2 && path[1] == ':' && isSeparator(path[2]);  // c:\...
}

std::string fullPath(const std::string& path) {
  std::error_code ec;
  auto full = std::filesystem::absolute(toHostPath(path), ec);
  return ec ? path : full.lexically_normal().string();
}

bool changeDirectory(const std::string& folder) {
  return !folder.empty() && chdir(toHostPath(folder).c_str()) == 0;
}

std::string localDateTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local {};
  localtime_r(&now, &local);
  char text[64];
  std::strftime(text, sizeof text, "%d/%m/%Y %H:%M:%S", &local);
  return text;
}

static bool onPath(const char* tool) {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string dirs = path;
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    if (access((dirs.substr(start, end - start) + "/" + tool).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

bool openDetached(const std::string& program, std::string& why) {
  if (!onPath("wine")) {
    why = "wine is not installed: cannot run " + program;
    return false;
  }
  std::string host = toHostPath(program);
  char* argv[] = {const_cast<char*>("wine"), host.data(), nullptr};
  pid_t pid = 0;
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
  const int rc = posix_spawnp(&pid, "wine", nullptr, &attr, argv, environ);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) why = "could not start wine for " + program;
  return rc == 0;
}

}  // namespace kelvo::platform

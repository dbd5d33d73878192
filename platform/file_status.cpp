#include "platform/file_status.h"

#include <sys/stat.h>

namespace kelvo::platform {

bool fileStatus(const std::string& hostPath, TFileStatus& status) {
  struct stat st {};
  if (stat(hostPath.c_str(), &st) != 0) return false;
  status.isFolder = S_ISDIR(st.st_mode);
  status.isRegular = S_ISREG(st.st_mode);
  status.size = static_cast<uint64_t>(st.st_size);
  return true;
}

}  // namespace kelvo::platform

// What the host file system says about a path before it is read.
#pragma once
#include <cstdint>
#include <string>

namespace kelvo::platform {

struct TFileStatus {
  bool isFolder = false;
  bool isRegular = false;  // a plain file, which may be mapped rather than read
  uint64_t size = 0;
};

// False when the path cannot be examined; errno then says why.
bool fileStatus(const std::string& hostPath, TFileStatus& status);

}  // namespace kelvo::platform

// The description of the output image.
#pragma once

#include <cstdint>
#include <string>

#include "common/definitions.h"
#include "output/data_image.h"

namespace kelvo {

struct TPEFile {
  TPECOFFType F_FileType = petEXE;
  std::string F_AppTitle;
  int32_t F_entryFuncID = -1;
  TDataMan dataMan;
  std::string writtenFile;  // the file the link step wrote, for "-run"
};

}  // namespace kelvo

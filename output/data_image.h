// The data-section image.
#pragma once

#include <cstdint>
#include <string>

namespace kelvo {

struct TDataMan {
  uint32_t F_DataRVA = 0x2000;
  std::string F_Data;
  void Init(uint32_t dataRVA = 0x2000) {
    F_DataRVA = dataRVA;
    F_Data.clear();
  }
};

}  // namespace kelvo

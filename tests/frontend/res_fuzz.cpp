// Arbitrary bytes as a compiled resource file: the walk must accept or refuse each without
// reading outside it, and what it accepts must build a section of exactly the counted size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "output/res_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kelvo::TResMan store;
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  if (!kelvo::ReadResFile(file, store).empty()) {
    if (store.ttl != 0) std::abort();  // a refused file adds nothing
    return 0;
  }
  const size_t built = store.BuildSection(0x1000).size();
  if (store.ttl != 0 && built != size_t{store.arResSize} + store.dataSize) std::abort();
  return 0;
}

// The resource store. Resources are not collected yet: the store stays empty and the image
// gets no resource section.
#pragma once

#include <cstdint>
#include <string>

namespace kelvo {

struct TResMan {
  // The resource section for a section placed at sectionRVA; empty when there are no resources.
  std::string BuildSection(uint32_t /*sectionRVA*/) { return {}; }
};

}  // namespace kelvo

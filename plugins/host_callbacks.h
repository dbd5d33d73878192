// The lookup a plug-in receives in InitPlugin: the routine for an id, or for id 10 the CPU mode.
#pragma once

#include <cstdint>

namespace kelvo {

// Ids compare as 16-bit values; an id that names nothing gives 0.
uintptr_t pluginGetFunction(uint32_t id);

}  // namespace kelvo

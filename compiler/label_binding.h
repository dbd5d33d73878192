// Jump labels of the body being compiled by the numbers of their names: a label written in
// the source is looked for and then added with its name hashed once for both.
#pragma once

#include <cstdint>

#include "assembler/label_names.h"

namespace kelvo {

struct TCompiler;

// The label's index in the procedure's labels, -1 when the body has no label of that name.
int32_t FindLabelNamed(TCompiler& c, TLabelName name);
void AddLabelNamed(TCompiler& c, TLabelName name, uint32_t position);

}  // namespace kelvo

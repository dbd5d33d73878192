// Jump labels of the body being compiled by the numbers of their names: a label written in
// the source is looked for and added in one step.
#pragma once

#include <cstdint>

#include "assembler/label_names.h"

namespace kelvo {

struct TCompiler;

// A label written in the source, or a state of a case: false, with nothing added, when the body
// has a label of that name already.
bool AddNewLabel(TCompiler& c, TLabelName name, uint32_t position);
// A generated label ("=" or "~" first, which no source label has): new to the body, and never
// looked for before the layout.
void AddLabelNamed(TCompiler& c, TLabelName name, uint32_t position);

}  // namespace kelvo

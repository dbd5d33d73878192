#include "compiler/label_binding.h"
#include "frontend/compiler.h"

namespace kelvo {

TBraceLevel TFunction::PushBrace(TBraceType kind) {
  ++braceLabelID;
  ++braceCounter;
  braceLevel.push_back({braceLabelID, kind});
  return braceLevel.back();
}

TBraceLevel TFunction::PopBrace() {
  const TBraceLevel level = braceLevel.back();
  braceLevel.pop_back();
  --braceCounter;
  return level;
}

int32_t TFunction::FindLoopBrace(uint32_t n) const {
  for (size_t i = braceLevel.size(); i-- > 0;) {
    const TBraceType kind = braceLevel[i].bracetype;
    if (kind != btWhile && kind != btRepeat && kind != btCase) continue;
    if (n == 0) return static_cast<int32_t>(i);
    --n;
  }
  return -1;
}

int64_t TFunction::FindCaseBrace() const {
  for (size_t i = braceLevel.size(); i-- > 0;)
    if (braceLevel[i].bracetype == btCase) return braceLevel[i].id;
  return -1;
}

constexpr size_t kFirstLabelRoom = 16;

void AddLabelNamed(TCompiler& c, TLabelName name, uint32_t position) {
  TLabelNames& names = TLabelNames::Get();
  std::vector<TJumpLabel>& labels = c.curFunc->jmpLabels;
  names.Bind(c.CurBody().labelOwner, names.Key(name), static_cast<int32_t>(labels.size()));
  // Room for the labels of a usual procedure at once, rather than growing from one: the
  // layout gives the room back once the procedure is done.
  if (labels.empty()) labels.reserve(kFirstLabelRoom);
  labels.push_back({name, position});
}

int32_t FindLabelNamed(TCompiler& c, TLabelName name) {
  const TLabelNames& names = TLabelNames::Get();
  return names.Find(c.CurBody().labelOwner, names.Key(name));
}

int32_t TCompiler::FindLabel(const std::string& name) {
  const TLabelNames& names = TLabelNames::Get();
  return names.Find(CurBody().labelOwner, names.Key(names.Lookup(name)));
}

}  // namespace kelvo

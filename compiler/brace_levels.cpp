#include <algorithm>
#include <vector>

#include "compiler/label_binding.h"
#include "frontend/compiler.h"

namespace kelvo {

namespace {

constexpr size_t kFirstLabelRoom = 16;

// Growing is rare and apart from the pushes below: inline, its call would make every push save
// and restore registers it never needs.
template <typename T>
[[gnu::noinline]] void growFor(std::vector<T>& items, size_t firstRoom) {
  items.reserve(std::max(firstRoom, items.size() * 2));
}

// A push with no growth of its own: the room is made first when there is none.
template <typename T>
void pushWithRoom(std::vector<T>& items, const T& item, size_t firstRoom) {
  if (items.size() == items.capacity()) [[unlikely]] growFor(items, firstRoom);
  if (items.size() == items.capacity()) __builtin_unreachable();
  items.push_back(item);
}

}  // namespace

TBraceLevel TFunction::PushBrace(TBraceType kind) {
  ++braceLabelID;
  ++braceCounter;
  const TBraceLevel level{braceLabelID, kind};
  pushWithRoom(braceLevel, level, 4);
  return level;
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

// Generated names are never looked up while the body is compiled: the layout finds every label
// itself, so only the procedure's list takes them.
void AddLabelNamed(TCompiler& c, TLabelName name, uint32_t position) {
  // Room for the labels of a usual procedure at once, rather than growing from one: the
  // layout gives the room back once the procedure is done.
  pushWithRoom(c.curFunc->jmpLabels, {name, position}, kFirstLabelRoom);
}

bool AddNewLabel(TCompiler& c, TLabelName name, uint32_t position) {
  TLabelNames& names = TLabelNames::Get();
  const uint32_t owner = c.CurBody().labelOwner, key = names.Key(name);
  if (names.Find(owner, key) >= 0) return false;
  std::vector<TJumpLabel>& labels = c.curFunc->jmpLabels;
  names.Bind(owner, key, static_cast<int32_t>(labels.size()));
  pushWithRoom(labels, {name, position}, kFirstLabelRoom);
  return true;
}

int32_t TCompiler::FindLabel(const std::string& name) {
  const TLabelNames& names = TLabelNames::Get();
  return names.Find(CurBody().labelOwner, names.Key(names.Lookup(name)));
}

}  // namespace kelvo

#include <algorithm>
#include <cassert>
#include <vector>

#include "compiler/label_binding.h"
#include "frontend/compiler.h"

namespace kelvo {

namespace {

constexpr size_t kFirstLabelRoom = 16;
constexpr size_t kFirstBraceRoom = 4;

// Growing is rare and apart from the pushes below, which then save no registers for it: each
// push that finds no room makes it here and starts again.
template <typename T>
[[gnu::noinline]] void growFor(std::vector<T>& items, size_t firstRoom) {
  items.reserve(std::max(firstRoom, items.size() * 2));
}

// A push into the room there is: the vector's own growth is never reached.
template <typename T>
void pushInRoom(std::vector<T>& items, const T& item) {
  assert(items.size() < items.capacity());
  if (items.size() == items.capacity()) __builtin_unreachable();
  items.push_back(item);
}

[[gnu::noinline]] TBraceLevel pushBraceGrowing(TBodyState& body, TBraceType kind) {
  growFor(body.braceLevel, kFirstBraceRoom);
  return body.PushBrace(kind);
}

[[gnu::noinline]] void addLabelGrowing(TCompiler& c, TLabelName name, uint32_t position) {
  // Room for the labels of a usual procedure at once, rather than growing from one: the room
  // goes on from one body to the next.
  growFor(c.curFunc->jmpLabels, kFirstLabelRoom);
  AddLabelNamed(c, name, position);
}

}  // namespace

TBraceLevel TBodyState::PushBrace(TBraceType kind) {
  if (braceLevel.size() == braceLevel.capacity()) [[unlikely]] return pushBraceGrowing(*this, kind);
  ++braceLabelID;
  const TBraceLevel level{braceLabelID, kind};
  pushInRoom(braceLevel, level);
  return level;
}

TBraceLevel TBodyState::PopBrace() {
  const TBraceLevel level = braceLevel.back();
  braceLevel.pop_back();
  return level;
}

int32_t TBodyState::FindLoopBrace(uint32_t n) const {
  for (size_t i = braceLevel.size(); i-- > 0;) {
    const TBraceType kind = braceLevel[i].bracetype;
    if (kind != btWhile && kind != btRepeat && kind != btCase) continue;
    if (n == 0) return static_cast<int32_t>(i);
    --n;
  }
  return -1;
}

int64_t TBodyState::FindCaseBrace() const {
  for (size_t i = braceLevel.size(); i-- > 0;)
    if (braceLevel[i].bracetype == btCase) return braceLevel[i].id;
  return -1;
}

// Generated names are never looked up while the body is compiled: the layout finds every label
// itself, so only the procedure's list takes them.
void AddLabelNamed(TCompiler& c, TLabelName name, uint32_t position) {
  std::vector<TJumpLabel>& labels = c.curFunc->jmpLabels;
  if (labels.size() == labels.capacity()) [[unlikely]] return addLabelGrowing(c, name, position);
  pushInRoom(labels, {name, position});
}

bool AddNewLabel(TCompiler& c, TLabelName name, uint32_t position) {
  TLabelNames& names = TLabelNames::Get();
  const uint32_t owner = c.CurBody().labelOwner, key = names.Key(name);
  if (names.Find(owner, key) >= 0) return false;
  names.Bind(owner, key, static_cast<int32_t>(c.curFunc->jmpLabels.size()));
  AddLabelNamed(c, name, position);
  return true;
}

int32_t TCompiler::FindLabel(const std::string& name) {
  const TLabelNames& names = TLabelNames::Get();
  return names.Find(CurBody().labelOwner, names.Key(names.Lookup(name)));
}

}  // namespace kelvo

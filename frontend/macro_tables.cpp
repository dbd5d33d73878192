#include "frontend/macro_tables.h"

#include <cstring>

namespace kelvo {

char* TShortText::heap() const {
  char* p;
  std::memcpy(&p, bytes_ + 4, sizeof p);
  return p;
}

uint32_t TShortText::capacity() const {
  uint32_t n;
  std::memcpy(&n, bytes_, sizeof n);
  return n;
}

void TShortText::release() {
  if (size_ > kInPlace) delete[] heap();
  size_ = 0;
}

// An allocated text is written over while the new one fits, so changing a value seldom
// allocates.
void TShortText::assign(std::string_view text) {
  const auto n = static_cast<uint32_t>(text.size());
  if (n <= kInPlace) {
    release();
    if (n != 0) std::memcpy(bytes_, text.data(), n);  // an empty view may carry no pointer at all
  } else if (size_ > kInPlace && capacity() >= n) {
    std::memcpy(heap(), text.data(), n);
  } else {
    release();
    char* p = new char[n];
    std::memcpy(p, text.data(), n);
    std::memcpy(bytes_, &n, sizeof n);
    std::memcpy(bytes_ + 4, &p, sizeof p);
  }
  size_ = n;
}

// The fields a saved token keeps (its data type is not restored, so it is not kept).
void TMacroVariable::SetValue(const TCurrentToken& value) {
  token_ = value.Token;
  text_.assign(value.Str.view());
  reg_ = value.Reg;
  seg_ = value.Seg;
  regID_ = value.RegID;
  int_ = value.Int;
  std::memcpy(ext_, &value.Ext, kExtBytes);
  length_ = value.Length;
  size_ = value.Size;
  data_ = value.Data;
  dataOffset_ = value.DataOffset;
  proc_ = value.Proc;
  macro_ = value.Macro;
  hasValue_ = true;
}

void TMacroVariable::LoadValue(TCurrentToken& t) const {
  t.Token = token_;
  t.Str = text_.view();
  t.Reg = reg_;
  t.Seg = seg_;
  t.RegID = regID_;
  t.Int = int_;
  t.Ext = 0;
  std::memcpy(&t.Ext, ext_, kExtBytes);
  t.Length = length_;
  t.Size = size_;
  t.Data = data_;
  t.DataOffset = dataOffset_;
  t.Proc = proc_;
  t.Macro = macro_;
}

void TMacroEngine::Init() {
  Free();
  F_CurrentMacroID = -1;
}

void TMacroEngine::Free() {
  F_Macros.clear();
  blocks_.clear();
  slotsMade_ = 0;
  freeSlots_.clear();
  newest_.clear();
  live_ = 0;
  byMacro_.clear();
}

PMacro TMacroEngine::NewMacro() {
  auto m = std::make_unique<TMacro>();
  m->ID = static_cast<int32_t>(F_Macros.size());
  F_Macros.push_back(std::move(m));
  return F_Macros.back().get();
}

PMacro TMacroEngine::MacroAt(int32_t id) const {
  if (id < 0 || static_cast<size_t>(id) >= F_Macros.size()) return nullptr;
  return F_Macros[static_cast<size_t>(id)].get();
}

uint32_t TMacroEngine::takeSlot() {
  if (!freeSlots_.empty()) {
    const uint32_t n = freeSlots_.back();
    freeSlots_.pop_back();
    return n;
  }
  if ((slotsMade_ >> kBlockBits) == blocks_.size())
    blocks_.push_back(std::make_unique<TMacroVariable[]>(size_t{1} << kBlockBits));
  return slotsMade_++;
}

uint32_t TMacroEngine::newestOf(uint32_t hash, std::string_view name) const {
  return newest_.find(hash, name, [this](uint32_t n) { return slot(n).Name(); });
}

PMacroVar TMacroEngine::AddVariable(int32_t macroID, std::string_view name, bool isparam, bool islocal) {
  const uint32_t n = takeSlot();
  TMacroVariable& v = slot(n);
  v.name_.assign(name);
  v.isparam = isparam;
  v.islocal = islocal;
  v.parentmacroid = macroID;
  const uint32_t hash = foldedHash(name);
  v.older_ = newestOf(hash, name);
  if (v.older_ == kNone) newest_.add(hash, n);
  else newest_.move(hash, v.older_, n);
  ++live_;
  byMacro_[macroID].push_back(n);
  return &v;
}

PMacroVar TMacroEngine::FindVariable(int32_t macroID, std::string_view name) const {
  for (uint32_t n = newestOf(foldedHash(name), name); n != kNone;) {
    TMacroVariable& v = slot(n);
    if (!v.islocal || v.parentmacroid == macroID) return &v;
    n = v.older_;
  }
  return nullptr;
}

PMacroVar TMacroEngine::GetVariable(int32_t macroID, int32_t n) const {
  const auto found = byMacro_.find(macroID);
  if (n < 0 || found == byMacro_.end() || static_cast<size_t>(n) >= found->second.size()) return nullptr;
  return &slot(found->second[static_cast<size_t>(n)]);
}

// A macro's variables are mostly the newest of their names.
void TMacroEngine::unlink(uint32_t n) {
  const TMacroVariable& v = slot(n);
  const uint32_t hash = foldedHash(v.Name());
  const uint32_t newest = newestOf(hash, v.Name());
  if (newest == n) {
    if (v.older_ == kNone) newest_.remove(hash, n);
    else newest_.move(hash, n, v.older_);
    return;
  }
  uint32_t at = newest;
  while (slot(at).older_ != n) at = slot(at).older_;
  slot(at).older_ = v.older_;
}

void TMacroEngine::RemoveVariables(int32_t macroID) {
  const auto found = byMacro_.find(macroID);
  if (found == byMacro_.end()) return;
  for (const uint32_t n : found->second) {
    unlink(n);
    TMacroVariable& v = slot(n);
    v.name_.release();
    v.text_.release();
    v.hasValue_ = false;
    freeSlots_.push_back(n);
    --live_;
  }
  byMacro_.erase(found);
}

}  // namespace kelvo

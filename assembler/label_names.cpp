#include "assembler/label_names.h"

#include "common/definitions.h"

namespace kelvo {

TLabelNames& TLabelNames::Get() {
  // Never destroyed: procedures freed during program exit may still look up their labels.
  static TLabelNames* table = new TLabelNames;
  return *table;
}

TLabelNames::TLabelNames() {
  const auto empty = names_.emplace(std::string(), 0).first;
  entries_.push_back({&empty->first, 0});
  slots_.emplace_back();
}

TLabelName TLabelNames::Intern(std::string_view name) {
  const auto found = names_.find(name);
  if (found != names_.end()) return found->second;
  // The lower-cased spelling comes first so that it is the key of every spelling.
  const std::string lower = lowerCase(name);
  const uint32_t key = lower == name ? static_cast<uint32_t>(entries_.size()) : Key(Intern(lower));
  const auto id = static_cast<TLabelName>(entries_.size());
  const auto added = names_.emplace(std::string(name), id).first;
  entries_.push_back({&added->first, key});
  slots_.emplace_back();
  return id;
}

TLabelName TLabelNames::Lookup(std::string_view name) const {
  const auto found = names_.find(name);
  if (found != names_.end()) return found->second;
  // A spelling never seen may still match a label written in another letter case.
  const std::string lower = lowerCase(name);
  if (lower == name) return 0;
  const auto folded = names_.find(std::string_view(lower));
  return folded == names_.end() ? 0 : folded->second;
}

void TLabelNames::Bind(uint32_t owner, uint32_t key, int32_t index) {
  TSlot& slot = slots_[key];
  if (slot.owner == owner) return;
  if (slot.owner != 0) shadowed_.push_back({owner, key, slot});
  slot.owner = owner;
  slot.index = index;
}

void TLabelNames::Release(uint32_t owner) {
  while (!shadowed_.empty() && shadowed_.back().owner == owner) {
    slots_[shadowed_.back().key] = shadowed_.back().slot;
    shadowed_.pop_back();
  }
}

int32_t TLabelNames::Find(uint32_t owner, uint32_t key) const {
  const TSlot& slot = slots_[key];
  return slot.owner == owner ? slot.index : -1;
}

}  // namespace kelvo

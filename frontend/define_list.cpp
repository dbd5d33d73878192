#include "frontend/define_list.h"

#include <utility>

namespace kelvo {

uint32_t TDefineList::find(std::string_view name) const {
  return first_.find(name, [this](uint32_t i) { return std::string_view(entries_[i].name); });
}

void TDefineList::push_back(std::string name) {
  const auto position = static_cast<uint32_t>(entries_.size());
  const uint32_t first = find(name);
  if (first == TNameIndex::kNone) {
    first_.add(name, position);
  } else {
    entries_[entries_[first].lastSame].nextSame = position;
    entries_[first].lastSame = position;
  }
  entries_.push_back({std::move(name), TNameIndex::kNone, position, false});
  ++live_;
}

bool TDefineList::contains(std::string_view name) const { return find(name) != TNameIndex::kNone; }

void TDefineList::erase(std::string_view name) {
  const uint32_t first = find(name);
  if (first == TNameIndex::kNone) return;
  first_.remove(foldedHash(name), first);
  for (uint32_t i = first; i != TNameIndex::kNone; i = entries_[i].nextSame) {
    entries_[i].removed = true;
    std::string().swap(entries_[i].name);
    --live_;
    ++removed_;
  }
  if (removed_ > live_ && removed_ >= 64) compact();
}

// Drops the gaps: each entry is added again, so the chains and the index are made anew.
void TDefineList::compact() {
  std::vector<TEntry> kept;
  kept.swap(entries_);
  first_.clear();
  live_ = removed_ = 0;
  for (TEntry& e : kept)
    if (!e.removed) push_back(std::move(e.name));
}

std::vector<std::string> TDefineList::names() const {
  std::vector<std::string> live;
  live.reserve(live_);
  for (const TEntry& e : entries_)
    if (!e.removed) live.push_back(e.name);
  return live;
}

void TDefineList::clear() {
  entries_.clear();
  first_.clear();
  live_ = removed_ = 0;
}

}  // namespace kelvo

#include "common/name_index.h"

#include "common/definitions.h"

namespace kelvo {

// FNV-1a
uint32_t foldedHash(std::string_view name) {
  uint32_t h = 2166136261u;
  for (const char c : name) h = (h ^ static_cast<unsigned char>(lowerChar(c))) * 16777619u;
  return h;
}

uint32_t TNameIndex::findWith(uint32_t hash, std::string_view name, const void* list,
                              std::string_view (*nameAt)(const void* list, uint32_t position)) const {
  if (slots_.empty()) return kNone;
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask; slots_[i].position != kNone; i = (i + 1) & mask)
    if (slots_[i].hash == hash && sameText(nameAt(list, slots_[i].position), name)) return slots_[i].position;
  return kNone;
}

size_t TNameIndex::slotOf(uint32_t hash, uint32_t position) const {
  const size_t mask = slots_.size() - 1;
  size_t i = hash & mask;
  while (slots_[i].position != position) i = (i + 1) & mask;
  return i;
}

void TNameIndex::place(TSlot slot) {
  const size_t mask = slots_.size() - 1;
  size_t i = slot.hash & mask;
  while (slots_[i].position != kNone) i = (i + 1) & mask;
  slots_[i] = slot;
}

void TNameIndex::add(uint32_t hash, uint32_t position) {
  if (2 * (count_ + 1) > slots_.size()) {
    std::vector<TSlot> old = std::move(slots_);
    slots_.assign(old.empty() ? 16 : old.size() * 2, TSlot{0, kNone});
    for (const TSlot& s : old)
      if (s.position != kNone) place(s);
  }
  place({hash, position});
  ++count_;
}

// The entries after the freed slot move back into it where their probe passes it, so that
// no search stops short at the gap.
void TNameIndex::remove(uint32_t hash, uint32_t position) {
  const size_t mask = slots_.size() - 1;
  size_t gap = slotOf(hash, position);
  slots_[gap].position = kNone;
  for (size_t j = (gap + 1) & mask; slots_[j].position != kNone; j = (j + 1) & mask) {
    const size_t home = slots_[j].hash & mask;
    if (((j - home) & mask) < ((j - gap) & mask)) continue;  // its probe starts after the gap
    slots_[gap] = slots_[j];
    slots_[j].position = kNone;
    gap = j;
  }
  --count_;
}

void TNameIndex::clear() {
  slots_.clear();
  count_ = 0;
}

}  // namespace kelvo

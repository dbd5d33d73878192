#include "common/name_index.h"

#include "common/definitions.h"

namespace kelvo {

// FNV-1a
uint32_t foldedHash(std::string_view name) {
  uint32_t h = 2166136261u;
  for (const char c : name) h = (h ^ static_cast<unsigned char>(lowerChar(c))) * 16777619u;
  return h;
}

uint32_t TNameIndex::findWith(std::string_view name, const void* list,
                              std::string_view (*nameAt)(const void* list, uint32_t position)) const {
  if (slots_.empty()) return kNone;
  const uint32_t hash = foldedHash(name);
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask; slots_[i].position != kNone; i = (i + 1) & mask)
    if (slots_[i].hash == hash && sameText(nameAt(list, slots_[i].position), name)) return slots_[i].position;
  return kNone;
}

void TNameIndex::place(TSlot slot) {
  const size_t mask = slots_.size() - 1;
  size_t i = slot.hash & mask;
  while (slots_[i].position != kNone) i = (i + 1) & mask;
  slots_[i] = slot;
}

void TNameIndex::add(std::string_view name, uint32_t position) {
  if (2 * (count_ + 1) > slots_.size()) {
    std::vector<TSlot> old = std::move(slots_);
    slots_.assign(old.empty() ? 16 : old.size() * 2, TSlot{0, kNone});
    for (const TSlot& s : old)
      if (s.position != kNone) place(s);
  }
  place({foldedHash(name), position});
  ++count_;
}

void TNameIndex::clear() {
  slots_.clear();
  count_ = 0;
}

}  // namespace kelvo

// Positions in a list of names, found by name ignoring letter case. The index keeps only a hash
// and a position for each name, in one array: the names stay in the owner's list, and a lookup
// reads the text of a name only when its hash matches.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kelvo {

// A hash of the name with its letter case folded: names that differ only in case meet.
uint32_t foldedHash(std::string_view name);

class TNameIndex {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  // The position of the name, or kNone; `nameAt(position)` gives the name at a position.
  template <class NameAt>
  uint32_t find(std::string_view name, const NameAt& nameAt) const {
    return find(foldedHash(name), name, nameAt);
  }
  template <class NameAt>
  uint32_t find(uint32_t hash, std::string_view name, const NameAt& nameAt) const {
    return findWith(hash, name, &nameAt,
                    [](const void* f, uint32_t p) { return (*static_cast<const NameAt*>(f))(p); });
  }
  // Records the position of a name not yet in the index.
  void add(std::string_view name, uint32_t position) { add(foldedHash(name), position); }
  void add(uint32_t hash, uint32_t position);
  // The name at position `from` is found at `to` from now on.
  void move(uint32_t hash, uint32_t from, uint32_t to) { slots_[slotOf(hash, from)].position = to; }
  void remove(uint32_t hash, uint32_t position);
  void clear();
  size_t size() const { return count_; }

 private:
  struct TSlot {
    uint32_t hash;
    uint32_t position;  // kNone: free
  };
  std::vector<TSlot> slots_;  // a power of two of them, at most half used
  uint32_t count_ = 0;

  void place(TSlot slot);
  size_t slotOf(uint32_t hash, uint32_t position) const;
  uint32_t findWith(uint32_t hash, std::string_view name, const void* list,
                    std::string_view (*nameAt)(const void* list, uint32_t position)) const;
};

}  // namespace kelvo

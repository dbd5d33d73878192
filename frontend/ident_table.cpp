#include "frontend/ident_table.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace kelvo {

namespace {

constexpr uint32_t kNone = TSmartBucket::kNone;

// Names are short: a byte at a time costs less than a general hash's setup.
constexpr uint64_t kHashStart = 14695981039346656037ull;
uint64_t hashStep(uint64_t h, char c) { return (h ^ static_cast<uint8_t>(c)) * 1099511628211ull; }
uint32_t hashEnd(uint64_t h) { return static_cast<uint32_t>(h ^ (h >> 29)); }
// Lower case by table: a load a character instead of a compare and a branch.
constexpr std::array<char, 256> kLower = [] {
  std::array<char, 256> t{};
  for (int c = 0; c < 256; ++c) t[static_cast<size_t>(c)] = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return t;
}();

// The hash of a name in any letter case.
uint32_t hashOf(std::string_view name) {
  uint64_t h = kHashStart;
  for (char c : name) h = hashStep(h, kLower[static_cast<uint8_t>(c)]);
  return hashEnd(h);
}

int bucketOfLower(char c) { return (c >= 'a' && c <= 'z') ? c - 'a' : TSmartList::kBucketCount - 1; }
// The bucket of a name in any letter case.
int bucketOfName(std::string_view name) {
  return name.empty() ? TSmartList::kBucketCount - 1 : bucketOfLower(kLower[static_cast<uint8_t>(name[0])]);
}

// A stored (lower-case) name against `b` in any letter case. Names are short: a loop costs less
// than a call to compare them.
bool sameLowered(std::string_view lower, std::string_view b) {
  if (lower.size() != b.size()) return false;
  for (size_t i = 0; i < b.size(); ++i)
    if (lower[i] != kLower[static_cast<uint8_t>(b[i])]) return false;
  return true;
}

// Writes the name lower-cased to `out` and gives its hash, taken in the same pass.
uint32_t lowerInto(char* out, std::string_view name) {
  uint64_t h = kHashStart;
  for (size_t i = 0; i < name.size(); ++i) h = hashStep(h, out[i] = kLower[static_cast<uint8_t>(name[i])]);
  return hashEnd(h);
}

}  // namespace

void TSmartEntries::addBlock() { blocks_.push_back(std::make_unique<TSmartEntry[]>(kBlock)); }

void TSmartEntries::erase(size_t i) {
  for (; i + 1 < count_; ++i) (*this)[i] = std::move((*this)[i + 1]);
  pop_back();
}

void TSmartList::Init(const std::vector<std::unique_ptr<TData>>* dataList) {
  Free();
  data_ = dataList;
}

void TSmartList::Free() {
  F_CurScope = 0;
  innerBuckets_ = 0;
  for (TSmartBucket& b : F_List) b = TSmartBucket{};
  longNames_ = {};
}

// A long name's entry holds its offset and length in the bucket's text, and the bucket.
std::string_view TSmartList::nameOf(const TSmartEntry& e) const {
  if (!e.isLong()) [[likely]] return {e.name, e.nameLength};
  uint32_t at, size;
  std::memcpy(&at, e.name, 4);
  std::memcpy(&size, e.name + 4, 4);
  return {longNames_[static_cast<uint8_t>(e.name[8])].data() + at, size};
}

uint32_t TSmartList::putLongName(int index, TSmartEntry& e, std::string_view name) {
  std::vector<char>& text = longNames_[static_cast<size_t>(index)];
  const auto at = static_cast<uint32_t>(text.size());
  const auto size = static_cast<uint32_t>(name.size());
  text.resize(at + size);
  const uint32_t hash = lowerInto(text.data() + at, name);
  e.nameLength = TSmartEntry::kLong;
  std::memcpy(e.name, &at, 4);
  std::memcpy(e.name + 4, &size, 4);
  e.name[8] = static_cast<char>(index);
  return hash;
}

// The length of the name in any letter case tells where the entry's name lies.
[[gnu::always_inline]] inline bool TSmartList::sameName(const TSmartEntry& e, std::string_view name) const {
  if (name.size() <= TSmartEntry::kInline) [[likely]]
    return e.nameLength == name.size() && sameLowered({e.name, name.size()}, name);
  return e.isLong() && sameLowered(nameOf(e), name);
}

std::string_view TSmartList::NameOf(const TIdentifier& entry) const {
  return nameOf(static_cast<const TSmartEntry&>(entry));
}

// The slot that holds the name's newest entry, or the free slot where it would go. A quarter
// of the slots at least are free, so the walk ends soon; only a slot with the name's hash
// leads to its entry.
size_t TSmartList::slotOf(const TSmartBucket& b, std::string_view name) const {
  return slotOf(b, name, hashOf(name));
}

[[gnu::always_inline]] inline size_t TSmartList::slotOf(const TSmartBucket& b, std::string_view name,
                                                         uint32_t hash) const {
  const size_t mask = b.newest.size() - 1;
  size_t slot = hash & mask;
  for (;; slot = (slot + 1) & mask) {
    const TSmartSlot s = b.newest[slot];
    if (s.at == kNone || (s.hash == hash && sameName(b.entries[s.at], name))) return slot;
  }
}

// Names are distinct in the index, so each goes to the first free slot from its home.
void TSmartList::growIndex(TSmartBucket& b) {
  const std::vector<TSmartSlot> old = std::move(b.newest);
  b.newest.assign(old.empty() ? 8 : 2 * old.size(), {kNone, 0});
  const size_t mask = b.newest.size() - 1;
  for (const TSmartSlot s : old) {
    if (s.at == kNone) continue;
    size_t slot = s.hash & mask;
    while (b.newest[slot].at != kNone) slot = (slot + 1) & mask;
    b.newest[slot] = s;
  }
}

// Empties a slot and moves the later slots of its run back where they may go, so that no
// lookup stops early at the gap.
void TSmartList::freeSlot(TSmartBucket& b, size_t slot) {
  const size_t mask = b.newest.size() - 1;
  b.newest[slot].at = kNone;
  --b.names;
  for (size_t next = (slot + 1) & mask; b.newest[next].at != kNone; next = (next + 1) & mask) {
    const size_t home = b.newest[next].hash & mask;
    if (((next - home) & mask) < ((next - slot) & mask)) continue;  // its home lies past the gap
    b.newest[slot] = b.newest[next];
    b.newest[next].at = kNone;
    slot = next;
  }
}

[[gnu::always_inline]] inline void TSmartList::noteLast(int index) {
  TSmartBucket& b = F_List[static_cast<size_t>(index)];
  b.lastScope = b.entries.empty() ? TSmartBucket::kNoScope : b.entries.back().identScope;
  const uint32_t bit = 1u << index;
  const bool inner = b.lastScope != 0 && b.lastScope != TSmartBucket::kNoScope;
  innerBuckets_ = inner ? innerBuckets_ | bit : innerBuckets_ & ~bit;
}

TIdentifier* TSmartList::Declare(std::string_view name, TIdentType type, int32_t position) {
  const int bucket = bucketOfName(name);
  TSmartBucket& b = F_List[static_cast<size_t>(bucket)];
  TSmartEntry& added = b.entries.emplace_back();
  uint32_t hash;
  if (name.size() <= TSmartEntry::kInline) [[likely]] {
    added.nameLength = static_cast<uint8_t>(name.size());
    hash = lowerInto(added.name, name);
  } else {
    hash = putLongName(bucket, added, name);
  }
  added.identData = nullptr;
  added.identPos = position;
  added.identType = type;
  return index(bucket, added, hash);
}

// The bucket's newly added last entry, in the current scope, becomes the newest of its name.
TIdentifier* TSmartList::index(int bucket, TSmartEntry& added, uint32_t hash) {
  TSmartBucket& b = F_List[static_cast<size_t>(bucket)];
  added.identScope = F_CurScope;
  if (4 * (b.names + 1) > 3 * b.newest.size()) growIndex(b);
  const size_t slot = slotOf(b, nameOf(added), hash);  // the new entry is not in the index yet
  if (b.newest[slot].at == kNone) ++b.names;
  added.older = b.newest[slot].at;
  noteLast(bucket);
  b.newest[slot] = {static_cast<uint32_t>(b.entries.size() - 1), hash};
  return &added;
}

int32_t TSmartList::NextScope() { return ++F_CurScope; }

void TSmartList::PopScope(int32_t scope) {
  for (uint32_t m = scope == 0 ? ~0u >> (32 - kBucketCount) : innerBuckets_; m != 0; m &= m - 1) {
    const int index = std::countr_zero(m);
    TSmartBucket& b = F_List[static_cast<size_t>(index)];
    if (b.lastScope != scope) continue;
    while (!b.entries.empty() && b.entries.back().identScope == scope) {
      // The last entry is the newest of its name.
      const TSmartEntry& last = b.entries.back();
      const std::string_view name = nameOf(last);
      const size_t slot = slotOf(b, name);
      if (last.older == kNone) freeSlot(b, slot);
      else b.newest[slot].at = last.older;
      std::vector<char>& text = longNames_[static_cast<size_t>(index)];
      if (last.isLong()) text.resize(static_cast<size_t>(name.data() - text.data()));
      b.entries.pop_back();
    }
    noteLast(index);
  }
  --F_CurScope;
}

// A removal never adds names, so the index keeps its size.
void TSmartList::reindex(TSmartBucket& b) {
  std::fill(b.newest.begin(), b.newest.end(), TSmartSlot{kNone, 0});
  b.names = 0;
  for (size_t i = 0; i < b.entries.size(); ++i) {
    const std::string_view name = nameOf(b.entries[i]);
    const uint32_t hash = hashOf(name);
    const size_t slot = slotOf(b, name, hash);
    if (b.newest[slot].at == kNone) ++b.names;
    b.entries[i].older = b.newest[slot].at;
    b.newest[slot] = {static_cast<uint32_t>(i), hash};
  }
}

// Rare (undefining a name), so the bucket's index is simply rebuilt.
bool TSmartList::Remove(std::string_view name) {
  const int index = bucketOfName(name);
  TSmartBucket& b = F_List[static_cast<size_t>(index)];
  if (b.names == 0) return false;
  const uint32_t at = b.newest[slotOf(b, name)].at;
  if (at == kNone) return false;
  b.entries.erase(at);
  noteLast(index);
  reindex(b);
  return true;
}

bool TSmartList::visibleOutsideScope(const TIdentifier& entry) const {
  switch (entry.identType) {
    case itProcedure: case itFunction: case itType: case itMacro: return true;
    case itData: {
      if (!data_ || entry.identPos < 0 || static_cast<size_t>(entry.identPos) >= data_->size())
        return false;
      const TDataMode m = (*data_)[static_cast<size_t>(entry.identPos)]->dataMode;
      return m == dmConst || m == dmVar || m == dmLocalVar || m == dmLocalParam;
    }
    default: return false;
  }
}

// Lower-cases and hashes the name as it probes, without writing the key out: a look-up is made
// for nearly every word of a program, and most find a name of one or two slots' probing.
const TIdentifier* TSmartList::Find(int32_t start, std::string_view name) const {
  const TSmartBucket& b = F_List[static_cast<size_t>(bucketOfName(name))];
  if (b.names == 0) return nullptr;  // also a bucket whose every name went with its scope
  uint64_t h = kHashStart;
  for (char c : name) h = hashStep(h, kLower[static_cast<uint8_t>(c)]);
  const uint32_t hash = hashEnd(h);
  const size_t mask = b.newest.size() - 1;
  for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const TSmartSlot s = b.newest[slot];
    if (s.at == kNone) return nullptr;
    if (s.hash != hash) continue;
    const TSmartEntry* entry = &b.entries[s.at];
    if (!sameName(*entry, name)) continue;
    // The newest entry of the name; from `start` down only one visible outside its scope.
    for (uint32_t at = s.at; static_cast<int64_t>(at) < start && !visibleOutsideScope(*entry);) {
      at = entry->older;
      if (at == kNone) return nullptr;
      entry = &b.entries[at];
    }
    return entry;
  }
}

size_t TSmartList::Count() const {
  size_t n = 0;
  for (const TSmartBucket& b : F_List) n += b.entries.size();
  return n;
}

}  // namespace kelvo

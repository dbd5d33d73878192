// The scoped identifier table: names of procedures, types, macros and data items.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/definitions.h"

namespace kelvo {

// An entry: what is told of the name, the name, and the position of the previous entry of the
// name in the bucket. Half a cache line, so that a look-up that finds a name touches one line:
// a name of up to ten characters lies in the entry, a longer one in its bucket's text.
struct alignas(32) TSmartEntry : TIdentifier {
  static constexpr uint32_t kNone = 0xFFFFFFFFu;
  static constexpr uint8_t kInline = 10;     // the longest name kept in the entry
  static constexpr uint8_t kLong = 0xFF;     // nameLength of a name in the bucket's text
  uint8_t nameLength = 0;                    // up to kInline, or kLong
  // The lower-cased name; of a longer one its offset and length in its bucket's text, and the
  // bucket.
  char name[kInline];
  uint32_t older = kNone;
  bool isLong() const { return nameLength == kLong; }
};
static_assert(sizeof(TSmartEntry) == 32, "an entry is half a cache line");

// A bucket's entries in the order they were added, in blocks of a fixed count: an entry stays
// where it is while the bucket grows, and is reached with a shift and a mask. Blocks emptied by
// leaving a scope are kept for the names of the next one.
class TSmartEntries {
 public:
  static constexpr uint32_t kBlockBits = 6;
  static constexpr uint32_t kBlock = 1u << kBlockBits;
  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  TSmartEntry& operator[](size_t i) { return blocks_[i >> kBlockBits][i & (kBlock - 1)]; }
  const TSmartEntry& operator[](size_t i) const { return blocks_[i >> kBlockBits][i & (kBlock - 1)]; }
  TSmartEntry& back() { return (*this)[count_ - 1]; }
  const TSmartEntry& back() const { return (*this)[count_ - 1]; }
  // The new last entry, for the caller to fill in whole.
  TSmartEntry& emplace_back() {
    if (count_ == blocks_.size() * kBlock) [[unlikely]] addBlock();
    return (*this)[count_++];
  }
  // The slot keeps what it held until emplace_back hands it out again and it is overwritten.
  void pop_back() { --count_; }
  // Later entries move down a place.
  void erase(size_t i);

 private:
  std::vector<std::unique_ptr<TSmartEntry[]>> blocks_;
  size_t count_ = 0;
  [[gnu::noinline]] void addBlock();
};

// A slot of a bucket's index: the position of a name's newest entry, and the name's hash, so
// that a probe past other names compares in the index and never reaches their entries.
struct TSmartSlot {
  uint32_t at;
  uint32_t hash;
};

// One bucket: the entries in the order they were added, and for each name the newest entry
// of it, so a lookup never walks the bucket. A large program holds one entry per procedure
// until the end, so entries are kept by value, and the index is open addressing over entry
// positions: eight bytes a slot, at most three quarters of them used, instead of a node per
// name. The hash in the slot keeps a probe inside the index, so a fuller table costs little.
struct TSmartBucket {
  static constexpr uint32_t kNone = TSmartEntry::kNone;
  TSmartEntries entries;
  std::vector<TSmartSlot> newest;   // slots: the newest entry of a name, or at == kNone when free
  uint32_t names = 0;               // slots in use
  // The scope of the last entry, so that leaving a scope passes the other buckets at a glance.
  int32_t lastScope = kNoScope;
  static constexpr int32_t kNoScope = INT32_MIN;
};

struct TSmartList {
  static constexpr int kBucketCount = 27;  // "a" to "z", then everything else
  static_assert(kBucketCount <= 32, "a bucket mask has a bit per bucket");
  int32_t F_CurScope = 0;
  std::array<TSmartBucket, kBucketCount> F_List;

  // The data list tells which data entries stay visible below the start position of Find.
  void Init(const std::vector<std::unique_ptr<TData>>* dataList = nullptr);
  void Free();
  // A new entry in the current scope for a name in any letter case, kept lower-cased.
  TIdentifier* Declare(std::string_view name, TIdentType type, int32_t position);
  int32_t NextScope();
  void PopScope(int32_t scope);
  bool Remove(std::string_view name);
  // The newest entry of the name (any letter case); from bucket position `start` down,
  // only entries that stay visible outside their scope count.
  const TIdentifier* Find(int32_t start, std::string_view name) const;
  size_t Count() const;
  // The lower-cased name of an entry of this table.
  std::string_view NameOf(const TIdentifier& entry) const;

 private:
  const std::vector<std::unique_ptr<TData>>* data_ = nullptr;
  // A bit per bucket whose last entry lies in an inner scope: leaving a scope looks at these
  // buckets only.
  uint32_t innerBuckets_ = 0;
  void noteLast(int bucket);
  TIdentifier* index(int bucket, TSmartEntry& added, uint32_t hash);
  // Per bucket, the names too long for their entries, in the entries' order: leaving a scope
  // cuts it back. Apart from the buckets, whose size stays a power of two.
  std::array<std::vector<char>, kBucketCount> longNames_;
  std::string_view nameOf(const TSmartEntry& entry) const;
  // The entry's name against a name in any letter case.
  bool sameName(const TSmartEntry& entry, std::string_view name) const;
  // Gives the name's hash.
  uint32_t putLongName(int bucket, TSmartEntry& entry, std::string_view name);
  bool visibleOutsideScope(const TIdentifier& entry) const;
  // The name may be in any letter case.
  size_t slotOf(const TSmartBucket& bucket, std::string_view name) const;
  size_t slotOf(const TSmartBucket& bucket, std::string_view name, uint32_t hash) const;
  static void freeSlot(TSmartBucket& bucket, size_t slot);
  [[gnu::noinline]] static void growIndex(TSmartBucket& bucket);  // rare: apart from Declare
  void reindex(TSmartBucket& bucket);
};

}  // namespace kelvo

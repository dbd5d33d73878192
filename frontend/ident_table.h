// The scoped identifier table: names of procedures, types, macros and data items.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/definitions.h"

namespace kelvo {

struct TNameHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

// One bucket: the entries in the order they were added, and for each name the newest entry
// of it, so a lookup never walks the bucket. Each entry links to the previous entry of its
// name; an index key views the name inside the oldest entry of it, which outlives the rest.
struct TSmartBucket {
  static constexpr uint32_t kNone = 0xFFFFFFFFu;
  std::vector<std::unique_ptr<TIdentifier>> entries;
  std::vector<uint32_t> older;  // beside entries: the previous entry of the same name, or kNone
  std::unordered_map<std::string_view, uint32_t, TNameHash> newest;
};

struct TSmartList {
  static constexpr int kBucketCount = 27;  // "a" to "z", then everything else
  int32_t F_CurScope = 0;
  std::array<TSmartBucket, kBucketCount> F_List;

  // The data list tells which data entries stay visible below the start position of Find.
  void Init(const std::vector<std::unique_ptr<TData>>* dataList = nullptr);
  void Free();
  TIdentifier* Add(std::unique_ptr<TIdentifier> entry);
  int32_t NextScope();
  void PopScope(int32_t scope);
  bool Remove(std::string_view name);
  // The newest entry of the name (any letter case); from bucket position `start` down,
  // only entries that stay visible outside their scope count.
  TIdentifier* Find(int32_t start, std::string_view name) const;
  size_t Count() const;
  static int BucketOf(std::string_view lowerName);

 private:
  const std::vector<std::unique_ptr<TData>>* data_ = nullptr;
  mutable std::string scratch_;  // lower-cased key, reused so lookups do not allocate
  std::string_view lowered(std::string_view name) const;
  bool visibleOutsideScope(const TIdentifier& entry) const;
  static void reindex(TSmartBucket& bucket);
};

}  // namespace kelvo

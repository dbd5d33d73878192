#include "frontend/ident_table.h"

namespace kelvo {

void TSmartList::Init(const std::vector<std::unique_ptr<TData>>* dataList) {
  Free();
  data_ = dataList;
}

void TSmartList::Free() {
  F_CurScope = 0;
  for (TSmartBucket& b : F_List) {
    b.entries.clear();
    b.older.clear();
    b.newest.clear();
  }
}

int TSmartList::BucketOf(std::string_view lowerName) {
  if (lowerName.empty()) return kBucketCount - 1;
  const char c = lowerName[0];
  return (c >= 'a' && c <= 'z') ? c - 'a' : kBucketCount - 1;
}

std::string_view TSmartList::lowered(std::string_view name) const {
  scratch_.assign(name);
  for (char& c : scratch_)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return scratch_;
}

TIdentifier* TSmartList::Add(std::unique_ptr<TIdentifier> entry) {
  entry->identScope = F_CurScope;
  TSmartBucket& b = F_List[BucketOf(entry->identName)];
  const uint32_t at = static_cast<uint32_t>(b.entries.size());
  auto [it, added] = b.newest.try_emplace(std::string_view(entry->identName), at);
  b.older.push_back(added ? TSmartBucket::kNone : it->second);
  it->second = at;
  b.entries.push_back(std::move(entry));
  return b.entries.back().get();
}

int32_t TSmartList::NextScope() { return ++F_CurScope; }

void TSmartList::PopScope(int32_t scope) {
  for (TSmartBucket& b : F_List) {
    while (!b.entries.empty() && b.entries.back()->identScope == scope) {
      auto it = b.newest.find(std::string_view(b.entries.back()->identName));
      // The last entry is the newest of its name; the oldest one owns the key's text.
      if (b.older.back() == TSmartBucket::kNone) b.newest.erase(it);
      else it->second = b.older.back();
      b.older.pop_back();
      b.entries.pop_back();
    }
  }
  --F_CurScope;
}

void TSmartList::reindex(TSmartBucket& bucket) {
  bucket.newest.clear();
  bucket.older.clear();
  for (size_t i = 0; i < bucket.entries.size(); ++i) {
    auto [it, added] = bucket.newest.try_emplace(std::string_view(bucket.entries[i]->identName), 0);
    bucket.older.push_back(added ? TSmartBucket::kNone : it->second);
    it->second = static_cast<uint32_t>(i);
  }
}

// Rare (undefining a name), so the bucket's index is simply rebuilt.
bool TSmartList::Remove(std::string_view name) {
  const std::string_view key = lowered(name);
  TSmartBucket& b = F_List[BucketOf(key)];
  auto it = b.newest.find(key);
  if (it == b.newest.end()) return false;
  b.entries.erase(b.entries.begin() + it->second);
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

TIdentifier* TSmartList::Find(int32_t start, std::string_view name) const {
  const std::string_view key = lowered(name);
  const TSmartBucket& b = F_List[BucketOf(key)];
  auto it = b.newest.find(key);
  if (it == b.newest.end()) return nullptr;
  for (uint32_t at = it->second; at != TSmartBucket::kNone; at = b.older[at]) {
    const TIdentifier& entry = *b.entries[at];
    if (static_cast<int64_t>(at) >= start || visibleOutsideScope(entry)) return b.entries[at].get();
  }
  return nullptr;
}

size_t TSmartList::Count() const {
  size_t n = 0;
  for (const TSmartBucket& b : F_List) n += b.entries.size();
  return n;
}

}  // namespace kelvo

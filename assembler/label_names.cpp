#include "assembler/label_names.h"

#include <cstring>

#include "common/definitions.h"

namespace kelvo {

TLabelNames::TLabelNames() : buckets_(64, 0) {
  texts_.emplace_back();
  entries_.push_back({&texts_.back(), 0, 0});
  slots_.emplace_back();
  roundSlots_.emplace_back();
}

void TLabelNames::create() { table_ = new TLabelNames; }

namespace {

template <typename T>
T loadAt(const char* p) {
  T w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// The first and the last sizeof(T) bytes, which overlap where n is under twice that.
template <typename T>
bool sameEnds(const char* a, const char* b, size_t n) {
  return loadAt<T>(a) == loadAt<T>(b) && loadAt<T>(a + n - sizeof(T)) == loadAt<T>(b + n - sizeof(T));
}

// Names are mostly up to sixteen bytes long: compared by two loads a side, without a call;
// under four bytes, the first, middle and last byte are all of them.
bool sameBytes(const char* a, const char* b, size_t n) {
  if (n >= 8 && n <= 16) return sameEnds<uint64_t>(a, b, n);
  if (n >= 4 && n < 8) return sameEnds<uint32_t>(a, b, n);
  if (n < 4) return n == 0 || (a[0] == b[0] && a[n / 2] == b[n / 2] && a[n - 1] == b[n - 1]);
  return std::memcmp(a, b, n) == 0;
}

}  // namespace

// Names are short: eight bytes at a time, a multiplication each; the last bytes are read by
// overlapping loads rather than one at a time.
inline uint32_t TLabelNames::hash(std::string_view name) {
  constexpr uint64_t kMix = 0xff51afd7ed558ccdull;
  const char* p = name.data();
  const size_t n = name.size();
  uint64_t h = n * 0x9E3779B97F4A7C15ull;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) h = (h ^ loadAt<uint64_t>(p + i)) * kMix;
  if (i != n) {
    uint64_t w;
    // The last eight bytes again where there are eight, else the first and last four, or the
    // first, middle and last byte.
    if (n >= 8) {
      w = loadAt<uint64_t>(p + n - 8);
    } else if (n >= 4) {
      w = loadAt<uint32_t>(p) | uint64_t{loadAt<uint32_t>(p + n - 4)} << 32;
    } else {
      w = uint8_t(p[0]) | uint8_t(p[n / 2]) << 8 | uint8_t(p[n - 1]) << 16;
    }
    h = (h ^ w) * kMix;
  }
  return static_cast<uint32_t>(h ^ (h >> 29));
}

inline TLabelName TLabelNames::find(std::string_view name, uint32_t hash) const {
  const size_t mask = buckets_.size() - 1;
  for (size_t b = hash & mask;; b = (b + 1) & mask) {
    const TLabelName id = buckets_[b];
    if (id == 0) return 0;
    if (entries_[id].hash != hash) continue;
    const std::string& text = *entries_[id].text;
    if (text.size() == name.size() && sameBytes(text.data(), name.data(), name.size())) return id;
  }
}

void TLabelNames::place(TLabelName id) {
  const size_t mask = buckets_.size() - 1;
  size_t b = entries_[id].hash & mask;
  while (buckets_[b] != 0) b = (b + 1) & mask;
  buckets_[b] = id;
}

TLabelName TLabelNames::add(std::string_view name, uint32_t hash, uint32_t key) {
  const auto id = static_cast<TLabelName>(entries_.size());
  texts_.emplace_back(name);
  entries_.push_back({&texts_.back(), key == 0 ? id : key, hash});
  slots_.emplace_back();
  roundSlots_.emplace_back();
  if (entries_.size() * 2 <= buckets_.size()) {
    place(id);
  } else {
    buckets_.assign(buckets_.size() * 2, 0);
    for (TLabelName other = 1; other <= id; ++other) place(other);
  }
  return id;
}

TLabelName TLabelNames::Intern(std::string_view name) {
  if (name.empty()) return 0;
  const uint32_t h = hash(name);
  if (const TLabelName found = find(name, h)) return found;
  return internNew(name, h);
}

// Out of line: names recur from procedure to procedure, so a new one is rare.
TLabelName TLabelNames::internNew(std::string_view name, uint32_t hash) {
  // The lower-cased spelling comes first so that it is the key of every spelling.
  const std::string lower = lowerCase(name);
  return add(name, hash, lower == name ? 0 : Key(Intern(lower)));
}

TLabelName TLabelNames::Lookup(std::string_view name) const {
  if (name.empty()) return 0;
  if (const TLabelName found = find(name, hash(name))) return found;
  // A spelling never seen may still match a label written in another letter case.
  const std::string lower = lowerCase(name);
  if (lower == name) return 0;
  return find(lower, hash(lower));
}

void TLabelNames::Release(uint32_t owner) {
  while (!shadowed_.empty() && shadowed_.back().owner == owner) {
    slots_[shadowed_.back().key] = shadowed_.back().slot;
    shadowed_.pop_back();
  }
  released_[owner] = 1;
}

void TLabelNames::shadow(uint32_t owner, uint32_t key) { shadowed_.push_back({owner, key, slots_[key]}); }

}  // namespace kelvo

// Label names, kept once for the whole compiler. A fix-up holds a label's number instead of a
// copy of its text, and the labels of every procedure are found through one index rather than
// a hash table per procedure.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kelvo {

// Number of a label name as written; 0 stands for no name.
using TLabelName = uint32_t;

class TLabelNames {
 public:
  // One table for the process: the compiler runs on one thread, and names are few and short.
  static TLabelNames& Get();

  TLabelName Intern(std::string_view name);
  TLabelName Lookup(std::string_view name) const;  // 0 when the name was never interned
  const std::string& Text(TLabelName id) const { return *entries_[id].text; }
  // Labels compare without regard to letter case: every spelling of a name has the same key.
  uint32_t Key(TLabelName id) const { return entries_[id].key; }

  // The index of labels by key, shared by every owner (a procedure being compiled or laid out).
  // Each owner has a number of its own, so nothing needs clearing between procedures.
  uint32_t NewOwner() { return ++lastOwner_; }
  // Records index for the owner's key unless the owner has that key already: the first wins.
  void Bind(uint32_t owner, uint32_t key, int32_t index);
  int32_t Find(uint32_t owner, uint32_t key) const;  // -1 when the owner has no such label
  // Ends the owner's bindings and gives back the slots it took from others: owners nest (a
  // procedure's body inside the global code), and the enclosing one must find its labels
  // again once the inner one is done.
  void Release(uint32_t owner);

 private:
  struct THash {
    using is_transparent = void;
    // Names are short: eight bytes at a time, a multiplication each, beats the general hash.
    size_t operator()(std::string_view s) const {
      constexpr uint64_t kMix = 0xff51afd7ed558ccdull;
      uint64_t h = s.size() * 0x9E3779B97F4A7C15ull;
      size_t i = 0;
      for (; i + 8 <= s.size(); i += 8) {
        uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        h = (h ^ w) * kMix;
      }
      uint64_t rest = 0;
      for (; i < s.size(); ++i) rest = (rest << 8) | static_cast<unsigned char>(s[i]);
      h = (h ^ rest) * kMix;
      return static_cast<size_t>(h ^ (h >> 29));
    }
  };
  struct TEntry {
    const std::string* text;  // the key of names_, which never moves
    uint32_t key;
  };
  struct TSlot {
    uint32_t owner = 0;
    int32_t index = -1;
  };
  TLabelNames();

  std::unordered_map<std::string, TLabelName, THash, std::equal_to<>> names_;
  std::vector<TEntry> entries_;  // by name number
  std::vector<TSlot> slots_;     // by name number; only keys are used
  struct TShadow {
    uint32_t owner, key;
    TSlot slot;  // what the slot held before owner took it
  };
  std::vector<TShadow> shadowed_;  // innermost owner last
  uint32_t lastOwner_ = 0;
};

}  // namespace kelvo

// Label names, kept once for the whole compiler. A fix-up holds a label's number instead of a
// copy of its text, and the labels of every procedure are found through one index rather than
// a hash table per procedure.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

// Number of a label name as written; 0 stands for no name.
using TLabelName = uint32_t;

class TLabelNames {
 public:
  // One table for the process: the compiler runs on one thread, and names are few and short.
  // Never destroyed: procedures freed during program exit may still look up their labels.
  // Made on first use by a plain pointer test, which costs less than a guarded static.
  static TLabelNames& Get() {
    if (!table_) [[unlikely]] create();
    return *table_;
  }

  TLabelName Intern(std::string_view name);
  TLabelName Lookup(std::string_view name) const;  // 0 when the name was never interned
  const std::string& Text(TLabelName id) const { return *entries_[id].text; }
  // Labels compare without regard to letter case: every spelling of a name has the same key.
  uint32_t Key(TLabelName id) const { return entries_[id].key; }

  // The index of labels by key, shared by every owner (a procedure being compiled or laid out).
  // Each owner has a number of its own, so nothing needs clearing between procedures.
  uint32_t NewOwner() {
    released_.push_back(0);
    return ++lastOwner_;
  }
  // Records index for the owner's key unless the owner has that key already: the first wins.
  // The slot of an owner still open is kept to give back; one of a released owner is not, as
  // no one asks for it again (procedures reuse the same generated names one after another).
  void Bind(uint32_t owner, uint32_t key, int32_t index) {
    TSlot& slot = slots_[key];
    if (slot.owner == owner) return;
    if (!released_[slot.owner]) shadow(owner, key);
    slot.owner = owner;
    slot.index = index;
  }
  int32_t Find(uint32_t owner, uint32_t key) const {  // -1 when the owner has no such label
    const TSlot& slot = slots_[key];
    return slot.owner == owner ? slot.index : -1;
  }
  // Ends the owner's bindings and gives back the slots it took from others: owners nest (a
  // procedure's body inside the global code), and the enclosing one must find its labels
  // again once the inner one is done. A released owner is never asked again.
  void Release(uint32_t owner);

  // A second index, for the layout of one procedure at a time: layouts never nest, so each
  // takes a new round, which leaves every earlier binding stale without anything to give back.
  uint32_t NewRound() { return ++lastRound_; }
  void BindInRound(uint32_t round, uint32_t key, int32_t index) {  // the first of a key wins
    TSlot& slot = roundSlots_[key];
    if (slot.owner == round) return;
    slot.owner = round;
    slot.index = index;
  }
  int32_t FindInRound(uint32_t round, uint32_t key) const {  // -1 when the round has no such label
    const TSlot& slot = roundSlots_[key];
    return slot.owner == round ? slot.index : -1;
  }

 private:
  struct TEntry {
    const std::string* text;  // in texts_, which never moves a name
    uint32_t key;
    uint32_t hash;  // compared before the text
  };
  struct TSlot {
    uint32_t owner = 0;
    int32_t index = -1;
  };
  TLabelNames();
  [[gnu::noinline]] static void create();
  static inline TLabelNames* table_ = nullptr;
  void shadow(uint32_t owner, uint32_t key);  // keeps the slot to give back when owner is released
  static uint32_t hash(std::string_view name);
  [[gnu::always_inline]] TLabelName find(std::string_view name, uint32_t hash) const;  // 0: not interned
  TLabelName add(std::string_view name, uint32_t hash, uint32_t key);
  [[gnu::noinline]] TLabelName internNew(std::string_view name, uint32_t hash);
  void place(TLabelName id);  // into the first free bucket of its hash

  std::deque<std::string> texts_;  // by name number
  std::vector<TEntry> entries_;    // by name number
  // Open addressing by hash, a power of two in size and at most half full; 0 marks a free
  // bucket (the empty name is never looked up here).
  std::vector<TLabelName> buckets_;
  std::vector<TSlot> slots_;  // by name number; only keys are used
  std::vector<TSlot> roundSlots_;  // likewise, for the layout's rounds (owner: the round)
  struct TShadow {
    uint32_t owner, key;
    TSlot slot;  // what the slot held before owner took it
  };
  std::vector<TShadow> shadowed_;  // innermost owner last
  // By owner; 0, no owner, counts as released. One byte each: owners are procedures.
  std::vector<uint8_t> released_{1};
  uint32_t lastOwner_ = 0;
  uint32_t lastRound_ = 0;
};

}  // namespace kelvo

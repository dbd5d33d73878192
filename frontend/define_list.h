// The names set by #define, the command line and the compiler's own switches. Names compare
// without regard to letter case; a lookup, an addition and a removal cost the same however
// many names there are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/name_index.h"

namespace kelvo {

class TDefineList {
 public:
  void push_back(std::string name);
  bool contains(std::string_view name) const;
  // Removes every entry of the name.
  void erase(std::string_view name);
  void clear();
  bool empty() const { return live_ == 0; }
  size_t size() const { return live_; }
  // The entries in the order they were added.
  std::vector<std::string> names() const;

 private:
  // A removed entry stays as a gap until gaps outnumber entries, so that removing names one
  // after another never moves the whole list each time.
  struct TEntry {
    std::string name;
    uint32_t nextSame;  // the next entry of the same name, or TNameIndex::kNone
    uint32_t lastSame;  // on the first entry of a name: the last one
    bool removed;
  };
  std::vector<TEntry> entries_;
  TNameIndex first_;  // the first entry of each name
  size_t live_ = 0;
  size_t removed_ = 0;

  uint32_t find(std::string_view name) const;
  void compact();
};

}  // namespace kelvo

// The names set by #define, the command line and the compiler's own switches. Names compare
// without regard to letter case; a lookup costs the same however many names there are.
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
  bool empty() const { return names_.empty(); }
  size_t size() const { return names_.size(); }
  // In the order they were added.
  std::vector<std::string>::const_iterator begin() const { return names_.begin(); }
  std::vector<std::string>::const_iterator end() const { return names_.end(); }

 private:
  std::vector<std::string> names_;
  TNameIndex first_;  // the first entry of each name

  uint32_t find(std::string_view name) const;
};

}  // namespace kelvo

// The names set by #define, the command line and the compiler's own switches. Names compare
// without regard to letter case; a lookup costs the same however many names there are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

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
  std::unordered_map<std::string, uint32_t> counts_;  // lower-cased name: entries of it
  mutable std::string key_;                           // reused, so a lookup does not allocate
  const std::string& keyOf(std::string_view name) const;
};

}  // namespace kelvo

#include "frontend/define_list.h"

#include <algorithm>

#include "common/definitions.h"

namespace kelvo {

const std::string& TDefineList::keyOf(std::string_view name) const {
  key_.assign(name);
  for (char& c : key_) c = lowerChar(c);
  return key_;
}

void TDefineList::push_back(std::string name) {
  ++counts_[keyOf(name)];
  names_.push_back(std::move(name));
}

bool TDefineList::contains(std::string_view name) const { return counts_.count(keyOf(name)) != 0; }

// Rare (an #undef or a switch turned off): the list itself is walked.
void TDefineList::erase(std::string_view name) {
  if (counts_.erase(keyOf(name)) == 0) return;
  std::erase_if(names_, [name](const std::string& d) { return sameText(d, name); });
}

void TDefineList::clear() {
  names_.clear();
  counts_.clear();
}

}  // namespace kelvo

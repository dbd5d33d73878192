#include "frontend/define_list.h"

#include <algorithm>

#include "common/definitions.h"

namespace kelvo {

uint32_t TDefineList::find(std::string_view name) const {
  return first_.find(name, [this](uint32_t i) { return std::string_view(names_[i]); });
}

void TDefineList::push_back(std::string name) {
  if (find(name) == TNameIndex::kNone) first_.add(name, static_cast<uint32_t>(names_.size()));
  names_.push_back(std::move(name));
}

bool TDefineList::contains(std::string_view name) const { return find(name) != TNameIndex::kNone; }

// Rare (an #undef or a switch turned off): the list itself is walked and indexed anew.
void TDefineList::erase(std::string_view name) {
  if (find(name) == TNameIndex::kNone) return;
  std::erase_if(names_, [name](const std::string& d) { return sameText(d, name); });
  first_.clear();
  for (uint32_t i = 0; i < names_.size(); ++i)
    if (find(names_[i]) == TNameIndex::kNone) first_.add(names_[i], i);
}

void TDefineList::clear() {
  names_.clear();
  first_.clear();
}

}  // namespace kelvo

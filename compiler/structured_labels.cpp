#include "compiler/structured_labels.h"

#include <charconv>
#include <string_view>

namespace kelvo {

namespace {

constexpr std::string_view kPrefixes[llKindCount] = {
    "~exitif",   "~endif",    "~doif",   "=dowhile", "=endwhile", "=whilebody", "=repstart",
    "=repnext",  "=repend",   "=chkcase", "=exitcase", "~stay",   "=EXCEPT_",  "=EXCEPTEND_",
};

// Ids beyond this (a procedure with a million braces) are interned each time instead.
constexpr uint32_t kKeptIds = 1u << 20;

}  // namespace

TLabelName TLevelLabels::intern(TLevelLabel kind, uint32_t id) {
  char text[32];
  const std::string_view prefix = kPrefixes[kind];
  prefix.copy(text, prefix.size());
  const char* end = std::to_chars(text + prefix.size(), text + sizeof text, id).ptr;
  const TLabelName name = TLabelNames::Get().Intern({text, static_cast<size_t>(end - text)});
  if (id >= kKeptIds) return name;
  std::vector<TLabelName>& known = names_[kind];
  if (id >= known.size()) known.resize(id + 1, 0);
  known[id] = name;
  return name;
}

}  // namespace kelvo

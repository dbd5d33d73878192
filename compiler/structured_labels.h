// Generated jump labels of the structured statements and the jump codes they use.
#pragma once

#include <cstdint>
#include <vector>

#include "assembler/label_names.h"

namespace kelvo {

// The jump taken exactly when the given one is not: 4/5, 2/3, 6/7, 12/13, 14/15, and
// "always" with "never".
uint16_t InvertJump(uint16_t code);

// The kinds of generated label; each is a prefix ("=" or "~" first, which no identifier can
// start with) followed by a brace level's id in decimal, "~endif12" say.
enum TLevelLabel : uint8_t {
  llExitIf, llEndIf, llDoIf,
  llDoWhile, llEndWhile, llWhileBody,
  llRepStart, llRepNext, llRepEnd,
  llCheckCase, llExitCase,
  llStay, llExcept, llExceptEnd,
  llKindCount
};

// Brace level ids start again in every procedure, so the same few names come back in each:
// a name is built and interned the first time, and found by kind and id from then on.
class TLevelLabels {
 public:
  static TLabelName Name(TLevelLabel kind, uint32_t id) {
    const std::vector<TLabelName>& known = names_[kind];
    return id < known.size() && known[id] != 0 ? known[id] : intern(kind, id);
  }

 private:
  static TLabelName intern(TLevelLabel kind, uint32_t id);
  static inline std::vector<TLabelName> names_[llKindCount];  // by kind, then id; 0: not yet
};

inline TLabelName LevelLabel(TLevelLabel kind, uint32_t id) { return TLevelLabels::Name(kind, id); }

}  // namespace kelvo

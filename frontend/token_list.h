// The queue of call-sequence steps, replayed after the arguments of a call are read.
#pragma once

#include <deque>

#include "frontend/token.h"

namespace kelvo {

class TTokenList {
 public:
  void Clear() { items_.clear(); }
  size_t Count() const { return items_.size(); }

 private:
  std::deque<PCurrentToken> items_;  // not owned: saved tokens belong to the compiler
};

}  // namespace kelvo

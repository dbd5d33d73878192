// The queue of call-sequence steps, replayed after the arguments of a call are read.
#pragma once

#include <cstddef>
#include <vector>

#include "frontend/token.h"

namespace kelvo {

class TTokenList {
 public:
  void Clear() { items_.clear(); }
  size_t Count() const { return items_.size(); }
  size_t Push(TCommand command, PCurrentToken token);
  // Throws std::out_of_range for an index outside the list.
  PCurrentToken Pop(size_t index);
  // Lets each register move climb over the pushes directly before it.
  void Optimise();

 private:
  std::vector<PCurrentToken> items_;  // not owned: saved tokens belong to the compiler
};

}  // namespace kelvo

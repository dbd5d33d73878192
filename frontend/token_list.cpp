#include "frontend/token_list.h"

#include <stdexcept>
#include <utility>

namespace kelvo {

size_t TTokenList::Push(TCommand command, PCurrentToken token) {
  token->Command = command;
  items_.push_back(token);
  return items_.size() - 1;
}

PCurrentToken TTokenList::Pop(size_t index) {
  PCurrentToken token = items_.at(index);
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
  return token;
}

static bool isRegisterMove(TCommand c) {
  return c == ctMOVecx || c == ctMOVedx || c == ctMOVedi || c == ctMOVesi || c == ctMOVebx;
}

void TTokenList::Optimise() {
  for (size_t i = items_.size(); i-- > 1;)
    if (isRegisterMove(items_[i]->Command) && items_[i - 1]->Command == ctPush)
      std::swap(items_[i], items_[i - 1]);
}

}  // namespace kelvo

#include "frontend/source_text.h"

namespace kelvo {

void TSourceText::assign(std::string text) {
  mapped_.close();
  owned_ = std::move(text);
  if (owned_.capacity() > owned_.size() + 64) owned_.shrink_to_fit();
  data_ = owned_.c_str();
  size_ = owned_.size();
  nextForget_ = UINT32_MAX;
}

bool TSourceText::map(const std::string& hostPath, size_t size) {
  assign({});
  if (!mapped_.open(hostPath, size)) return false;
  data_ = mapped_.data();
  size_ = size;
  nextForget_ = 2 * kKeepBehind;
  return true;
}

void TSourceText::forgetBehind(uint32_t position) {
  mapped_.forgetBefore(position - kKeepBehind);
  nextForget_ = position + kKeepBehind;
}

}  // namespace kelvo

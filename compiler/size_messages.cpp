#include "compiler/size_messages.h"

namespace kelvo {

namespace {

struct TSizeText {
  std::string_view text;
  std::string_view beforeOperand;
};

// Indexed by TSizeMessage.
constexpr TSizeText kSizeTexts[] = {
    {"Operands must be the same size", " - "},
    {"Operands must be equal size", " "},
    {"Registers must be equal size", " "},
    {"Registers must be equal size.", " "},
};

}  // namespace

std::string SizeMessage(TSizeMessage which) {
  return std::string(kSizeTexts[static_cast<size_t>(which)].text);
}

std::string SizeMessage(TSizeMessage which, std::string_view operand) {
  const TSizeText& t = kSizeTexts[static_cast<size_t>(which)];
  std::string message(t.text);
  message += t.beforeOperand;
  message += '"';
  message += operand;
  message += '"';
  return message;
}

}  // namespace kelvo

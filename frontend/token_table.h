// The fixed words of the language and the display names of token codes.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "common/definitions.h"

namespace kelvo {

// How the lexer treats a fixed word beyond giving it its code.
enum class TWordKind : uint8_t {
  plain,      // the code is the token
  register16or8, register32, fpuStack, segment, mmxRegister, sseRegister,
  fnOrd, fnLow, fnHigh, fnPtr, fnLoadfs, fnOffset, fnSizeof, fnDefined, fnDeftype, fnVartype,
  fnArrcount,
};

struct TKeyword {
  std::string_view word;  // lower case
  uint16_t code;
  TWordKind kind;
};

// Words are 2 to 11 characters; anything else is never a keyword.
constexpr size_t kShortestKeyword = 2, kLongestKeyword = 11;

// The entry of a word of letters, digits and '_' written in any letter case, or nullptr.
const TKeyword* findKeyword(std::string_view word);
// The register that a register32 or register16or8 word names.
TRegister keywordRegister(const TKeyword& kw);
// Every fixed word, in table order.
std::span<const TKeyword> keywordTable();

}  // namespace kelvo

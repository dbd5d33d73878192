// The fixed words of the language and the display names of token codes.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
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

// The index of the fixed words, open to the lexer so that its word loop looks a word up where it
// stands, without a call. Open addressing over a power of two: one probe for nearly every word.
// A word is at most 11 characters, so folded to one case and padded with zeros it is two 64-bit
// numbers: hashed by two multiplications and compared in two steps. A slot carries what the
// lexer needs of its word, so a hit costs no further load.
struct TKeywordSlot {
  uint64_t low = 0, high = 0;  // the folded word; low is 0 in a free slot
  const TKeyword* keyword = nullptr;
  uint16_t code = 0;
  TWordKind kind = TWordKind::plain;
  uint8_t reg = 0;  // the register of a register32 or register16or8 word
};

namespace keyword_index {

inline constexpr size_t kSize = 2048, kMask = kSize - 1;
extern const std::array<TKeywordSlot, kSize> kSlots;

inline constexpr uint64_t kOnes = 0x0101010101010101ull;
// Setting bit 5 of each byte makes capitals small, leaves digits as they are and turns '_' into
// 0x7F, which no other word character becomes. One OR, where lowering would take a range test.
inline constexpr uint64_t kCaseBits = kOnes * 0x20;
// The bytes of a word of n characters within its first and its second eight.
inline constexpr auto kLowMask = [] {
  std::array<uint64_t, kLongestKeyword + 1> m{};
  for (size_t n = 0; n <= kLongestKeyword; ++n) m[n] = n >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * n)) - 1;
  return m;
}();
inline constexpr auto kHighMask = [] {
  std::array<uint64_t, kLongestKeyword + 1> m{};
  for (size_t n = 9; n <= kLongestKeyword; ++n) m[n] = (uint64_t{1} << (8 * (n - 8))) - 1;
  return m;
}();

constexpr size_t hash(uint64_t low, uint64_t high) {
  return static_cast<size_t>((low * 0x9E3779B97F4A7C15ull ^ high * 0xC2B2AE3D27D4EB4Full) >> 40) & kMask;
}

inline const TKeywordSlot* find(uint64_t low, uint64_t high) {
  for (size_t s = hash(low, high);; s = (s + 1) & kMask) {
    const TKeywordSlot& slot = kSlots[s];
    if (slot.low == low && slot.high == high) return &slot;
    if (slot.low == 0) return nullptr;  // a free slot: every key has a first byte
  }
}

}  // namespace keyword_index

// The slot of a word of letters, digits and '_' in any letter case, or nullptr.
const TKeywordSlot* findKeywordSlot(std::string_view word);

// The slot of the word of `n` letters, digits and '_' at `p`, or nullptr. At least 16 bytes must
// be readable from `p` on: the bytes past the word are masked off, not compared.
inline const TKeywordSlot* findKeywordInPlace(const char* p, size_t n) {
  using namespace keyword_index;
  if (n < kShortestKeyword || n > kLongestKeyword) return nullptr;
  uint64_t low, high;
  std::memcpy(&low, p, 8);
  std::memcpy(&high, p + 8, 8);
  return find((low | kCaseBits) & kLowMask[n], (high | kCaseBits) & kHighMask[n]);
}
// The register that a register32 or register16or8 word names.
TRegister keywordRegister(const TKeyword& kw);
// Every fixed word, in table order.
std::span<const TKeyword> keywordTable();

}  // namespace kelvo

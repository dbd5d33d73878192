#include "output/data_image.h"

#include <cmath>
#include <cstring>

namespace kelvo {

namespace {

void putLE(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string encodeSingle(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  std::string out;
  putLE(out, bits, 4);
  return out;
}

std::string encodeDouble(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, 8);
  std::string out;
  putLE(out, bits, 8);
  return out;
}

// The key under which a string literal is shared: its bytes, cut or zero-filled to its length.
std::string literalBytes(std::string_view text, uint32_t length) {
  std::string bytes(text.substr(0, length));
  bytes.resize(length, '\0');
  return bytes;
}

uint32_t literalLength(std::string_view text, uint32_t length) {
  return length == 0 ? static_cast<uint32_t>(text.size()) : length;
}

}  // namespace

// Sign and 15-bit exponent, then the 64-bit mantissa with its integer bit written out.
//   byte 9        byte 8      bytes 7..0
//   S eeeeeee     eeeeeeee    1mmm...m (64 bits)
std::string encodeExtended(long double value) {
  uint16_t signExp = std::signbit(value) ? 0x8000 : 0;
  uint64_t mantissa = 0;
  if (std::isnan(value)) {
    signExp |= 0x7FFF;
    mantissa = 0xC000000000000000ull;
  } else if (std::isinf(value)) {
    signExp |= 0x7FFF;
    mantissa = 0x8000000000000000ull;
  } else if (value != 0) {
    int exp = 0;
    const long double m = std::frexp(std::fabs(value), &exp);  // m in [0.5, 1)
    int biased = exp - 1 + 16383;
    int shift = 64;
    if (biased <= 0) {  // too small for a normal number: a denormal with exponent field 0
      shift += biased - 1;
      biased = 0;
    }
    mantissa = shift > 0 ? static_cast<uint64_t>(std::ldexp(m, shift)) : 0;
    signExp |= static_cast<uint16_t>(biased);
  }
  std::string out;
  putLE(out, mantissa, 8);
  putLE(out, signExp, 2);
  return out;
}

long double decodeExtended(std::string_view b) {
  uint64_t mantissa = 0;
  for (int i = 7; i >= 0; --i) mantissa = (mantissa << 8) | static_cast<uint8_t>(b[i]);
  const uint16_t signExp = static_cast<uint16_t>(static_cast<uint8_t>(b[8]) | (static_cast<uint8_t>(b[9]) << 8));
  const bool negative = signExp & 0x8000;
  const int exp = signExp & 0x7FFF;
  long double v;
  if (exp == 0x7FFF)
    v = (mantissa << 1) ? NAN : INFINITY;
  else
    v = std::ldexp(static_cast<long double>(mantissa), (exp == 0 ? 1 : exp) - 16383 - 63);
  return negative ? -v : v;
}

void TDataMan::Init(uint32_t dataRVA) {
  F_DataRVA = dataRVA;
  F_DataLen = 0;
  F_DataString.clear();
  F_StrIndex.clear();
  F_StrLen.clear();
  F_StrCount = 0;
  F_ValueIndex.clear();
  F_ValueLen.clear();
  F_ValueCount = 0;
  strings_.clear();
  values_.clear();
  addressSlots.clear();
}

uint32_t TDataMan::AddAddress(uint32_t target, bool isProcedure) {
  const uint32_t at = Reserve(4);
  addressSlots.push_back({at, target, isProcedure});
  return at;
}

uint32_t TDataMan::append(std::string_view bytes) {
  const uint32_t offset = F_DataLen;
  F_DataString.append(bytes);
  F_DataLen = static_cast<uint32_t>(F_DataString.size());
  return offset;
}

uint32_t TDataMan::Reserve(uint32_t n) { return append(std::string(n, '\0')); }

uint32_t TDataMan::AddInt(uint32_t size, int64_t value) {
  std::string bytes;
  putLE(bytes, static_cast<uint64_t>(value), size < 8 ? static_cast<int>(size) : 8);
  bytes.resize(size, '\0');
  return append(bytes);
}

uint32_t TDataMan::AddFloat(uint32_t size, long double value) {
  std::string bytes;
  if (size == 8)
    bytes = encodeDouble(static_cast<double>(value));
  else if (size >= 10)
    bytes = encodeExtended(value);
  else
    bytes = encodeSingle(static_cast<float>(value));  // sizes 1 to 3 take its first bytes
  bytes.resize(size, '\0');
  return append(bytes);
}

uint32_t TDataMan::AddFixedString(std::string_view text, uint32_t size) {
  std::string bytes(text.substr(0, size > 0 ? size - 1 : 0));
  bytes.resize(size, '\0');
  return append(bytes);
}

uint32_t TDataMan::AddString(std::string_view text, uint32_t length) {
  length = literalLength(text, length);
  std::string bytes = literalBytes(text, length);
  const auto found = strings_.find(bytes);
  if (found != strings_.end()) return found->second;
  const uint32_t offset = F_DataLen;
  F_StrIndex.push_back(static_cast<int32_t>(offset + 1));
  F_StrLen.push_back(static_cast<int32_t>(length));
  ++F_StrCount;
  append(bytes);
  append(std::string_view("\0", 1));
  strings_.emplace(std::move(bytes), offset);
  return offset;
}

// Constants are shared by their exact bytes, so 0.0 and -0.0 stay apart.
uint32_t TDataMan::AddExtConst(long double value) {
  std::string bytes = encodeExtended(value);
  const auto found = values_.find(bytes);
  if (found != values_.end()) return found->second;
  const uint32_t offset = append(bytes);
  F_ValueIndex.push_back(static_cast<int32_t>(offset + 1));
  F_ValueLen.push_back(10);
  ++F_ValueCount;
  values_.emplace(std::move(bytes), offset);
  return offset;
}

uint32_t TDataMan::AddRaw(std::string_view bytes) { return append(bytes); }

}  // namespace kelvo

// The data-section image: initialised globals, constants, string literals and float constants.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kelvo {

// The 10-byte x87 extended encoding of a value, little-endian.
std::string encodeExtended(long double value);
long double decodeExtended(std::string_view tenBytes);

// A dword of the image that holds an address known only when the image is laid out: of a byte
// of the data image (`target` its offset) or of a procedure (`target` its index).
struct TDataAddressSlot {
  uint32_t offset = 0;
  uint32_t target = 0;
  bool isProcedure = false;
};

// One growing byte string; every adder returns the 0-based offset where its bytes start.
// Only AddString and AddExtConst share bytes with an earlier equal item.
struct TDataMan {
  uint32_t F_DataRVA = 0x2000;
  uint32_t F_DataLen = 0;  // always F_DataString.size()
  std::string F_DataString;
  std::vector<int32_t> F_StrIndex;  // per string literal: offset + 1
  std::vector<int32_t> F_StrLen;    // per string literal: length without its zero
  int32_t F_StrCount = 0;
  std::vector<int32_t> F_ValueIndex;  // per float constant: offset + 1
  std::vector<int32_t> F_ValueLen;    // per float constant: always 10
  int32_t F_ValueCount = 0;
  std::vector<TDataAddressSlot> addressSlots;  // patched, and relocated, by the writer

  void Init(uint32_t dataRVA = 0x2000);
  uint32_t Reserve(uint32_t n);
  uint32_t AddInt(uint32_t size, int64_t value);
  uint32_t AddFloat(uint32_t size, long double value);
  uint32_t AddFixedString(std::string_view text, uint32_t size);
  uint32_t AddString(std::string_view text, uint32_t length = 0);
  uint32_t AddExtConst(long double value);
  uint32_t AddRaw(std::string_view bytes);
  uint32_t AddAddress(uint32_t target, bool isProcedure);  // a zero dword, filled in at link time

 private:
  // Lookups by content, so that de-duplication costs the same however much data there is.
  std::unordered_map<std::string, uint32_t> strings_;
  std::unordered_map<std::string, uint32_t> values_;
  uint32_t append(std::string_view bytes);
};

}  // namespace kelvo

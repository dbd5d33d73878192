#include "output/res_file.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kelvo {

const char* const kResTypeNotSupported =
    "This type of resource id is not supported yet, please ask a developer for details.";
const char* const kResNameNotSupported =
    "This type of resource name is not supported yet, please ask a developer for details.";

const char* const kResDuplicate = "Duplicate resource";

namespace {

// An entry's header, each field a little-endian number at a fixed offset:
//   0 DataSize  4 HeaderSize  8 FFFF type  12 FFFF name  16 DataVersion  20 MemoryFlags
//   22 LanguageId  24 Version  28 Characteristics; the data follows the header.
constexpr size_t kHeaderSize = 32;
constexpr uint16_t kOrdinal = 0xFFFF;

uint32_t word(std::string_view s, size_t at) {
  return static_cast<uint8_t>(s[at]) | static_cast<uint32_t>(static_cast<uint8_t>(s[at + 1])) << 8;
}
uint32_t dword(std::string_view s, size_t at) { return word(s, at) | word(s, at + 2) << 16; }

struct TResEntry {
  int32_t type, id, language;
  size_t data, size;
};

std::string damage(size_t offset, const std::string& what) {
  return "the entry at offset " + std::to_string(offset) + " " + what;
}

// One entry at `offset`: its end in `next`, and in `entry` when it holds data.
std::string readEntry(std::string_view file, size_t offset, size_t& next, TResEntry& entry, bool& hasData) {
  if (file.size() - offset < kHeaderSize) return damage(offset, "is cut short: its header needs 32 bytes");
  const uint64_t dataSize = dword(file, offset), headerSize = dword(file, offset + 4);
  if (headerSize < kHeaderSize) return damage(offset, "has a header of " + std::to_string(headerSize) + " bytes, fewer than 32");
  if (headerSize % 4 != 0) return damage(offset, "has a header size that is not a multiple of 4");
  if (offset + headerSize + dataSize > file.size()) return damage(offset, "runs past the end of the file");
  next = static_cast<size_t>((offset + headerSize + dataSize + 3) & ~uint64_t{3});
  hasData = dataSize != 0;
  if (!hasData) return {};  // the empty entry every .res file starts with
  if (word(file, offset + 8) != kOrdinal) return kResTypeNotSupported;
  if (word(file, offset + 12) != kOrdinal) return kResNameNotSupported;
  entry = {static_cast<int32_t>(word(file, offset + 10)), static_cast<int32_t>(word(file, offset + 14)),
           static_cast<int32_t>(word(file, offset + 22)), static_cast<size_t>(offset + headerSize),
           static_cast<size_t>(dataSize)};
  return {};
}

// A resource the image already holds or this file gave before: the directory would name it
// twice, and which one the loader finds would be chance.
bool isDuplicate(const TResEntry& e, const TResMan& store, const std::vector<TResEntry>& earlier) {
  for (const TResource& r : store.res[static_cast<size_t>(e.type)])
    if (r.id == e.id && r.langID == e.language) return true;
  for (const TResEntry& x : earlier)
    if (x.type == e.type && x.id == e.id && x.language == e.language) return true;
  return false;
}

std::string hex4(int32_t v) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s = "0x";
  for (int shift = 12; shift >= 0; shift -= 4) s += digits[(v >> shift) & 0xF];
  return s;
}

}  // namespace

std::string ReadResFile(std::string_view file, TResMan& store) {
  std::vector<TResEntry> entries;
  std::array<int32_t, TResMan::kTypes> added{};
  for (size_t offset = 0, next = 0; offset < file.size(); offset = next) {
    TResEntry e{};
    bool hasData = false;
    const std::string why = readEntry(file, offset, next, e, hasData);
    if (!why.empty()) return why;
    if (!hasData) continue;
    if (!TResMan::typeInRange(e.type))
      return damage(offset, "has the resource type " + std::to_string(e.type) + "; types above 31 are not supported");
    const size_t t = static_cast<size_t>(e.type);
    if (store.cnt[t] + ++added[t] > TResMan::kPerType)
      return damage(offset, "is more than 51 resources of type " + std::to_string(e.type));
    if (isDuplicate(e, store, entries))
      return std::string(kResDuplicate) + ": type " + std::to_string(e.type) + ", id " + std::to_string(e.id) +
             ", language " + hex4(e.language);
    entries.push_back(e);
  }
  for (const TResEntry& e : entries)
    store.AddResource(e.type, e.id, static_cast<uint32_t>(e.size), file.data() + e.data, std::string(), e.language);
  return {};
}

}  // namespace kelvo

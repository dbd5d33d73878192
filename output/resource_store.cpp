#include "output/resource_store.h"

#include <algorithm>

namespace kelvo {

namespace {
constexpr uint32_t kSubdirectory = 0x80000000u;
constexpr uint32_t kDirectorySize = 16, kEntrySize = 8, kDataEntrySize = 16;

void putDword(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void patchDword(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
}  // namespace

uint32_t TResMan::AddData(bool toDirectory, const void* bytes, uint32_t length) {
  std::string& part = toDirectory ? resStr : dataStr;
  const uint32_t before = static_cast<uint32_t>(part.size());
  if (length) part.append(static_cast<const char*>(bytes), length);
  if (toDirectory) return resSize = static_cast<uint32_t>(part.size());
  dataSize = static_cast<uint32_t>(part.size());
  return before;
}

bool TResMan::idSeen(int32_t type, int32_t id, size_t before) const {
  const std::vector<TResource>& list = res[static_cast<size_t>(type)];
  for (size_t j = 0; j < before; ++j)
    if (list[j].id == id) return true;
  return false;
}

// The directory holds, per type, its root entry and type directory (24 bytes), per distinct id
// its id entry and language directory (24), and per resource its language entry and data
// entry (24): 72 for a type's first resource and 48 for each further one with a new id.
uint32_t TResMan::AddResource(int32_t type, int32_t id, uint32_t length, const void* data, const std::string& name,
                              int32_t language) {
  TResource r;
  r.rtType = type;
  r.id = id;
  r.langID = language;
  r.rtName = name;
  r.dataAddr = AddData(false, data, length);
  r.dataSize = length;
  const size_t t = static_cast<size_t>(type);
  if (ttl == 0) arResSize = kDirectorySize;
  if (cnt[t] == 0) {
    arResSize += 24;
    ++ttl;
  }
  arResSize += idSeen(type, id, res[t].size()) ? 24 : 48;
  res[t].push_back(r);
  ++cnt[t];
  return r.dataAddr;
}

void TResMan::appendDirectory(uint32_t idEntries) {
  for (int i = 0; i < 3; ++i) putDword(resStr, 0);  // characteristics, time, version
  putDword(resStr, idEntries << 16);                // no named entries, then the id entries
}

void TResMan::appendEntry(uint32_t id, uint32_t offset) {
  putDword(resStr, id);
  putDword(resStr, offset);
}

std::string TResMan::BuildSection(uint32_t sectionRVA) {
  if (ttl == 0) return {};
  resStr.clear();
  appendDirectory(static_cast<uint32_t>(ttl));
  for (int32_t t = 0; t < kTypes; ++t) {
    if (cnt[static_cast<size_t>(t)] == 0) continue;
    dirof[static_cast<size_t>(t)] = static_cast<uint32_t>(resStr.size());
    appendEntry(static_cast<uint32_t>(t), 0);
  }
  for (int32_t t = 0; t < kTypes; ++t)
    if (cnt[static_cast<size_t>(t)] != 0) buildType(t, sectionRVA);
  resSize = mainOffset = static_cast<uint32_t>(resStr.size());
  return resStr + dataStr;
}

// Windows finds an id and a language by bisecting the entries, so both levels are written in
// ascending order; a type whose ids were added ascending with one language each comes out in
// the order of adding.
void TResMan::buildType(int32_t type, uint32_t sectionRVA) {
  std::vector<TResource>& list = res[static_cast<size_t>(type)];
  patchDword(resStr, dirof[static_cast<size_t>(type)] + 4, static_cast<uint32_t>(resStr.size()) | kSubdirectory);
  std::vector<size_t> order(list.size());
  for (size_t j = 0; j < order.size(); ++j) order[j] = j;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const TResource &x = list[a], &y = list[b];
    if (x.id != y.id) return static_cast<uint32_t>(x.id) < static_cast<uint32_t>(y.id);
    return static_cast<uint32_t>(x.langID) < static_cast<uint32_t>(y.langID);
  });
  std::vector<std::pair<size_t, size_t>> groups;  // [first, end) in `order` per distinct id
  for (size_t k = 0; k < order.size(); ++k)
    if (groups.empty() || list[order[k]].id != list[order[groups.back().first]].id)
      groups.push_back({k, k + 1});
    else
      groups.back().second = k + 1;
  appendDirectory(static_cast<uint32_t>(groups.size()));
  uint32_t next = static_cast<uint32_t>(resStr.size() + kEntrySize * groups.size());
  for (const auto& g : groups) {
    list[order[g.first]].entOffset = static_cast<uint32_t>(resStr.size());
    appendEntry(static_cast<uint32_t>(list[order[g.first]].id), next | kSubdirectory);
    const uint32_t langs = static_cast<uint32_t>(g.second - g.first);
    next += kDirectorySize + langs * (kEntrySize + kDataEntrySize);
  }
  for (const auto& g : groups) {
    const uint32_t langs = static_cast<uint32_t>(g.second - g.first);
    appendDirectory(langs);
    const uint32_t dataEntries = static_cast<uint32_t>(resStr.size()) + kEntrySize * langs;
    for (uint32_t k = 0; k < langs; ++k)
      appendEntry(static_cast<uint32_t>(list[order[g.first + k]].langID), dataEntries + kDataEntrySize * k);
    for (uint32_t k = 0; k < langs; ++k) {
      const TResource& r = list[order[g.first + k]];
      putDword(resStr, arResSize + sectionRVA + r.dataAddr);
      putDword(resStr, r.dataSize);
      putDword(resStr, 0);  // code page
      putDword(resStr, 0);  // reserved
    }
  }
}

}  // namespace kelvo

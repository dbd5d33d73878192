// The resource store: the resources read from compiled resource files, and the PE resource
// section built from them at link time (a type / id / language directory, then the data).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvo {

struct TResource {
  int32_t rtType = 0, id = 0, langID = 0;
  std::string rtName;  // kept, not written to the image
  uint32_t dataAddr = 0;  // offset of the data in the data part
  uint32_t dataSize = 0;
  uint32_t entOffset = 0;  // offset of the resource's id entry in the directory part
};

struct TResMan {
  static constexpr int kTypes = 32;          // type ids 0 to 31
  static constexpr int kPerType = 51;        // resources of one type
  std::array<std::vector<TResource>, kTypes> res;  // per type, in the order of adding
  std::array<int32_t, kTypes> cnt{};
  std::array<uint32_t, kTypes> dirof{};      // each type's entry in the root directory
  int32_t ttl = 0;                           // types that hold a resource
  uint32_t mainOffset = 0;
  std::string resStr, dataStr;               // the directory part and the data part
  uint32_t arResSize = 0;                    // the length the directory part will have
  uint32_t resSize = 0, dataSize = 0;

  // Whether the store has a table for this resource type.
  static bool typeInRange(int32_t type) { return type >= 0 && type < kTypes; }
  // Appends to the directory part (result: its new length) or to the data part (result: the
  // offset the bytes were placed at).
  uint32_t AddData(bool toDirectory, const void* bytes, uint32_t length);
  // Registers one resource; the caller keeps to typeInRange and kPerType. Result: its data offset.
  uint32_t AddResource(int32_t type, int32_t id, uint32_t length, const void* data, const std::string& name,
                       int32_t language);
  // The resource section for a section placed at sectionRVA; empty when there are no resources.
  std::string BuildSection(uint32_t sectionRVA);

 private:
  bool idSeen(int32_t type, int32_t id, size_t before) const;
  void buildType(int32_t type, uint32_t sectionRVA);
  void appendDirectory(uint32_t idEntries);
  void appendEntry(uint32_t id, uint32_t offset);
};

}  // namespace kelvo

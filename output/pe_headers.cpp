#include "output/pe_headers.h"

#include <cassert>

#include "common/little_endian.h"

namespace kelvo {

void putLE(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void patchLE(std::string& out, size_t offset, uint32_t value, int bytes) {
  assert(offset + bytes <= out.size());
  patchLE(out.data() + offset, value, bytes);
}

uint32_t readLE32(const std::string& in, size_t offset) {
  assert(offset + 4 <= in.size());
  return readLE(in.data() + offset, 4);
}

void appendFileHeader(std::string& out, const TCOFFFileHeader& h) {
  const size_t start = out.size();
  putLE(out, h.Machine, 2);
  putLE(out, h.NumberOfSections, 2);
  putLE(out, h.TimeDateStamp, 4);
  putLE(out, h.PointerToSymbolTable, 4);
  putLE(out, h.NumberOfSymbols, 4);
  putLE(out, h.SizeOfOptionalHeader, 2);
  putLE(out, h.Characteristics, 2);
  assert(out.size() - start == kFileHeaderSize);
  (void)start;
}

void appendOptionalHeader(std::string& out, const TPEOptionalHeader& h) {
  const size_t start = out.size();
  putLE(out, h.Magic, 2);
  putLE(out, h.MajorLinkerVersion, 1);
  putLE(out, h.MinorLinkerVersion, 1);
  for (uint32_t v : {h.SizeOfCode, h.SizeOfInitializedData, h.SizeOfUninitializedData,
                     h.AddressOfEntryPoint, h.BaseOfCode, h.BaseOfData, h.ImageBase,
                     h.SectionAlignment, h.FileAlignment})
    putLE(out, v, 4);
  for (uint16_t v : {h.MajorOperatingSystemVersion, h.MinorOperatingSystemVersion, h.MajorImageVersion,
                     h.MinorImageVersion, h.MajorSubsystemVersion, h.MinorSubsystemVersion})
    putLE(out, v, 2);
  for (uint32_t v : {h.Win32VersionValue, h.SizeOfImage, h.SizeOfHeaders, h.CheckSum}) putLE(out, v, 4);
  putLE(out, h.Subsystem, 2);
  putLE(out, h.DllCharacteristics, 2);
  for (uint32_t v : {h.SizeOfStackReserve, h.SizeOfStackCommit, h.SizeOfHeapReserve, h.SizeOfHeapCommit,
                     h.LoaderFlags, h.NumberOfRvaAndSizes})
    putLE(out, v, 4);
  for (const TDataDirectory& d : h.DataDirectory) {
    putLE(out, d.VirtualAddress, 4);
    putLE(out, d.Size, 4);
  }
  assert(out.size() - start == kOptionalHeaderSize);
  (void)start;
}

void appendSectionHeader(std::string& out, const TSectionHeader& h) {
  out.append(h.Name, 8);
  for (uint32_t v : {h.VirtualSize, h.VirtualAddress, h.SizeOfRawData, h.PointerToRawData,
                     h.PointerToRelocations, h.PointerToLinenumbers})
    putLE(out, v, 4);
  putLE(out, h.NumberOfRelocations, 2);
  putLE(out, h.NumberOfLinenumbers, 2);
  putLE(out, h.Characteristics, 4);
}

}  // namespace kelvo

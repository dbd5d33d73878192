// The fixed records of PE and COFF files, and how each is laid out in bytes (little-endian).
#pragma once

#include <cstdint>
#include <string>

namespace kelvo {

// Appends a value of 1, 2 or 4 bytes, low byte first; patches one in place at a 0-based offset.
void putLE(std::string& out, uint32_t value, int bytes);
void patchLE(std::string& out, size_t offset, uint32_t value, int bytes);
uint32_t readLE32(const std::string& in, size_t offset);

// The COFF file header, also the PE file header (20 bytes).
struct TCOFFFileHeader {
  uint16_t Machine = 0;
  uint16_t NumberOfSections = 0;
  uint32_t TimeDateStamp = 0;
  uint32_t PointerToSymbolTable = 0;
  uint32_t NumberOfSymbols = 0;
  uint16_t SizeOfOptionalHeader = 0;
  uint16_t Characteristics = 0;
};
using TPEFileHeader = TCOFFFileHeader;

struct TDataDirectory {
  uint32_t VirtualAddress = 0;
  uint32_t Size = 0;
};
enum : int { kDirExport = 0, kDirImport = 1, kDirResource = 2, kDirBaseReloc = 5, kDirCount = 16 };

// The PE32 optional header (224 bytes with its 16 directories).
struct TPEOptionalHeader {
  uint16_t Magic = 0;
  uint8_t MajorLinkerVersion = 0, MinorLinkerVersion = 0;
  uint32_t SizeOfCode = 0, SizeOfInitializedData = 0, SizeOfUninitializedData = 0;
  uint32_t AddressOfEntryPoint = 0, BaseOfCode = 0, BaseOfData = 0;
  uint32_t ImageBase = 0, SectionAlignment = 0, FileAlignment = 0;
  uint16_t MajorOperatingSystemVersion = 0, MinorOperatingSystemVersion = 0;
  uint16_t MajorImageVersion = 0, MinorImageVersion = 0;
  uint16_t MajorSubsystemVersion = 0, MinorSubsystemVersion = 0;
  uint32_t Win32VersionValue = 0, SizeOfImage = 0, SizeOfHeaders = 0, CheckSum = 0;
  uint16_t Subsystem = 0, DllCharacteristics = 0;
  uint32_t SizeOfStackReserve = 0, SizeOfStackCommit = 0, SizeOfHeapReserve = 0, SizeOfHeapCommit = 0;
  uint32_t LoaderFlags = 0, NumberOfRvaAndSizes = 0;
  TDataDirectory DataDirectory[kDirCount];
};

// A section header (40 bytes).
struct TSectionHeader {
  char Name[8] = {};
  uint32_t VirtualSize = 0, VirtualAddress = 0, SizeOfRawData = 0, PointerToRawData = 0;
  uint32_t PointerToRelocations = 0, PointerToLinenumbers = 0;
  uint16_t NumberOfRelocations = 0, NumberOfLinenumbers = 0;
  uint32_t Characteristics = 0;
};

// The header of one block of base relocations.
struct TImageBaseRelocation {
  uint32_t VirtualAddress = 0;
  uint32_t SizeOfBlock = 0;
};

// One COFF relocation entry (10 bytes in the file).
struct TCOFFRelocation {
  uint32_t VirtualAddress = 0;
  uint32_t SymbolTableIndex = 0;
  uint16_t RelType = 0;
};

constexpr uint32_t kFileHeaderSize = 20;
constexpr uint32_t kOptionalHeaderSize = 224;
constexpr uint32_t kSectionHeaderSize = 40;

void appendFileHeader(std::string& out, const TCOFFFileHeader& h);
void appendOptionalHeader(std::string& out, const TPEOptionalHeader& h);
void appendSectionHeader(std::string& out, const TSectionHeader& h);

}  // namespace kelvo

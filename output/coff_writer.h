// The COFF object writer: an i386 ".obj" with the sections ".text" (the laid-out code) and
// ".data" (the data image), the relocations of ".text", a symbol table and a string table.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "output/code_layout.h"
#include "output/file_writer.h"
#include "output/link_input.h"

namespace kelvo {

// One symbol table record before it is written.
struct TSmartSymbol {
  std::string name;
  uint16_t sectNo = 0;      // 0 undefined, 1 .text, 2 .data
  uint16_t _Type = 0;       // 0x20 function, 0 none
  uint8_t StorageClass = 2;  // 2 external, 3 static
  uint32_t value = 0;
};

// One relocation of ".text" (10 bytes in the file).
struct TObjectBaseRelocation {
  uint32_t VirtualAddress = 0;
  uint32_t SymbolTableIndex = 0;
  uint16_t _Type = 0;  // 6 absolute 32-bit address, 20 relative 32-bit
};

// The name another object knows a procedure by, decorated as its calling convention says.
std::string DecoratedName(const TFunction& f);

class TCOFFWriter : public TFileWriter {
 public:
  explicit TCOFFWriter(const TLinkInput& input) : in_(input), layout_(input) {}
  void build() override { buildObject(); }
  bool buildObject();

  uint32_t f_codesize = 0, f_datasize = 0;

 private:
  const TLinkInput& in_;
  TCodeLayout layout_;
  std::vector<TSmartSymbol> f_symbols;
  std::vector<TObjectBaseRelocation> f_relocs;
  std::vector<TObjectBaseRelocation> dataRelocs_;  // of ".data": globals initialised with addresses
  std::unordered_map<std::string, uint32_t> undefined_;  // external names already in f_symbols
  uint32_t textSymbol_ = 0, dataSymbol_ = 0;

  uint32_t addSymbol(std::string symName, uint16_t symSec, uint16_t symType, uint8_t symSC, uint32_t val);
  void addReloc(uint32_t va, uint32_t sti, uint16_t type);
  uint32_t externalSymbol(const std::string& name, uint16_t type);
  void addDefinedSymbols();
  void COFFfinalCodeFixups();
  void dataAddressRelocs();
  void patch(TFunction& f, const TFixUp& x);
  void absolute(TFunction& f, const TFixUp& x, uint32_t symbol, uint32_t addend);
  void writeImage();
  std::string writeSymbolTable(std::string& strings) const;
};

}  // namespace kelvo

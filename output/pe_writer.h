// The PE32 writer: executables and DLLs for the i386 machine, with the sections
// ".root" (resources, imports, exports, base relocations), ".data" and ".code".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/definitions.h"
#include "output/code_layout.h"
#include "output/file_writer.h"
#include "output/link_input.h"

namespace kelvo {

class TPECOFF : public TFileWriter {
 public:
  TPECOFF(const TLinkInput& input, std::string strFile, uint32_t subSystem, TPECOFFType fileType, uint32_t mach);
  void build() override;

  std::string file_name;
  uint32_t sub_system = 3;
  TPECOFFType file_type = petEXE;
  uint32_t machine = 0x14C;
  int32_t entry_funcid = -1;
  uint32_t entry_offset = 0;
  uint32_t file_alignment = 512;
  // Byte sizes of the four parts of ".root", and of the code and data images.
  uint32_t f_resourcesize = 0, f_importsize = 0, f_exportsize = 0, f_relocsize = 0;
  uint32_t f_codesize = 0, f_datasize = 0;

 private:
  const TLinkInput& in_;
  TCodeLayout layout_;
  std::string root_;  // the content of ".root"
  uint32_t rootRVA_ = 0x1000, dataRVA_ = 0, codeRVA_ = 0;
  uint32_t exportTableAt_ = 0, exportCount_ = 0;  // export address table, as offset in root_
  std::vector<uint32_t> relocBlocksAt_;            // relocation block headers, as offsets in root_
  uint32_t relocTableAt_ = 0;                      // the first block, on a dword boundary of root_
  std::vector<uint32_t> relocDataBlocksAt_;        // the same for blocks of data-image pages

  // The stages, in the order build runs them.
  void writeResourceFile();
  void writeImportDLLSect();
  void codeFixups();
  void writeExportDLLSect();
  void appendRelocBlocks(const std::vector<std::vector<uint16_t>>& pages, std::vector<uint32_t>& at);
  void writeRelocDLLSect();
  void assignAddresses();
  void finalFixup();
  void writeImage();

  uint32_t entryPointRVA();
  TPEOptionalHeader buildPEOptHeader();
  TCOFFFileHeader buildPEHeader() const;
  bool wantsRelocations() const;
};

}  // namespace kelvo

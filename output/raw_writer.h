// The raw boot image: the code loaded at 0x7C00 with the data right behind it, the boot
// signature at offset 510, zero fill to the size of a 1.44 MB floppy disk. No headers.
#pragma once

#include <cstdint>
#include <string>

#include "output/code_layout.h"
#include "output/file_writer.h"
#include "output/link_input.h"

namespace kelvo {

// The report for an imported procedure that a boot image would call or hold the address of.
std::string NoImportsInBootImage(const std::string& procedure, const std::string& dll);

enum TFileImageType : uint8_t { fttFloppy };

class TRawBinary : public TFileWriter {
 public:
  TRawBinary(const TLinkInput& input, TFileImageType ftt) : in_(input), layout_(input), ftt_(ftt) {}
  void build() override;

  uint32_t f_codesize = 0;
  uint32_t f_codeoffset = 0;  // 0-based file offsets
  uint32_t f_dataoffset = 0;

 private:
  const TLinkInput& in_;
  TCodeLayout layout_;
  TFileImageType ftt_;

  void codeFixups();
  void traceFixups(uint32_t dofs) const;
  void finalFixup(uint32_t dofs);
  void writeImage();
};

}  // namespace kelvo

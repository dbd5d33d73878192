#include "output/raw_writer.h"

#include <string>

namespace kelvo {

namespace {

constexpr uint32_t kLoadAddress = 0x7C00;     // where the BIOS puts the boot sector
constexpr uint32_t kSignatureAt = 510;        // the boot sector ends in 55 AA
constexpr uint32_t kFloppySize = 1474560;     // 80 tracks, 2 heads, 18 sectors of 512 bytes

}  // namespace

std::string NoImportsInBootImage(const std::string& procedure, const std::string& dll) {
  return "A boot image has no imports: \"" + procedure + "\" of " + dll + " can not be used";
}

// lay out → patch for 0x7C00 with the data behind the code → code, data, signature, fill.
void TRawBinary::build() {
  layout_.markReachable(-1);
  codeFixups();
  finalFixup(f_codesize);
  writeImage();
}

void TRawBinary::codeFixups() {
  // Nothing resolves imports before a boot sector runs: a call would land below 0x7C00. The
  // compiler refuses them where the program names them; this catches those reached through
  // the standard include.
  for (const TFunction* import : layout_.imports()) {
    const TFunction& f = *import;
    if (f.DLLIndex < 0 || static_cast<size_t>(f.DLLIndex) >= in_.dlls->size())
      TLinkInput::InternalError(f.Name + " names no imported DLL");
    in_.Error(NoImportsInBootImage(f.Name, (*in_.dlls)[static_cast<size_t>(f.DLLIndex)]));
  }
  uint32_t entryOffset = in_.entryOffset;
  layout_.codeFixups(&entryOffset);
  f_codesize = layout_.f_codesize;
  // The BIOS jumps to the first byte of the image: that must be the global code.
  const auto& laid = layout_.laidOut();
  if (laid.empty() || laid.front()->FuncIndex != 0) in_.Error("The program has no code to start with");
  // Code in front of "entry:" never runs in a program; in a boot sector it would run first.
  if (in_.hasEntry && in_.entryFuncId < 0 && entryOffset != 0)
    in_.Error("A boot image starts at its first byte: \"entry:\" must come before any code");
}

// The numbers the data and base fix-ups resolve to, before the load address is added.
void TRawBinary::traceFixups(uint32_t dofs) const {
  for (const TFunction* f : layout_.laidOut())
    for (const TFixUp& x : f->recAssembler.FixUps) {
      if (x.fixType == ftDataAddress && x.fixIndex < in_.data->size())
        in_.Print("ftDataAddress: " + std::to_string((*in_.data)[x.fixIndex]->dataAddress + dofs + x.fixOffset));
      else if (x.fixType == ftAppendDataAddr)
        in_.Print("ftAppendDataAddr: " + std::to_string(FieldValue(f->recAssembler.strCode, x) + dofs));
      else if (x.fixType == ftAppendBase)
        in_.Print(std::to_string(FieldValue(f->recAssembler.strCode, x)));
    }
}

void TRawBinary::finalFixup(uint32_t dofs) {
  traceFixups(dofs);
  TImageBases bases;
  bases.imageBase = kLoadAddress;
  bases.code = kLoadAddress;
  bases.data = kLoadAddress + dofs;
  layout_.finalFixup(bases);
  layout_.patchDataAddresses(bases);
}

void TRawBinary::writeImage() {
  const uint32_t dataSize = static_cast<uint32_t>(in_.dataImage->F_DataString.size());
  // The signature must close the first sector: what does not fit before it would push it
  // out of place and the sector would not boot.
  if (uint64_t{f_codesize} + dataSize > kSignatureAt)
    in_.Error("Code and data of a boot image take " + std::to_string(uint64_t{f_codesize} + dataSize) +
              " bytes; the boot sector holds " + std::to_string(kSignatureAt) + " before its signature");
  f_codeoffset = 0;
  addFileView(layout_.laidOut(), f_codesize);
  f_dataoffset = f_codesize;
  addFileView(in_.dataImage->F_DataString);
  alignFileToSize(kSignatureAt);
  addFileBytes(std::string("\x55\xAA", 2));
  if (ftt_ == fttFloppy && !alignFileToSize(kFloppySize)) in_.Error("Size of file exceeds the size of a floppy");
}

}  // namespace kelvo

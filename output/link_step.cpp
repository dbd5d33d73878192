// Picks the writer by program kind, builds the image in memory and writes the file once.
#include "output/link_input.h"
#include "output/pe_writer.h"

namespace kelvo {

std::string WriteOutputFile(const TLinkInput& input) {
  switch (input.kind) {
    case petEXE:
    case petDLL: {
      TPECOFF writer(input, input.outFileName, input.subSystem, petEXE, 0x14C);
      writer.file_type = input.kind;
      writer.entry_funcid = input.entryFuncId;
      writer.entry_offset = input.entryOffset;
      writer.build();
      writer.writeFile(input.outFileName);
      return input.outFileName;
    }
    case petCOFF:
      throw ECompileError("Link error: COFF objects (mscoff) cannot be written yet");
    case petBOOTLOADER:
      throw ECompileError("Link error: boot images (bootloader) cannot be written yet");
  }
  TLinkInput::InternalError("unknown program kind");
}

}  // namespace kelvo

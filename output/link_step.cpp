// Picks the writer by program kind, builds the image in memory and writes the file once.
#include "output/coff_writer.h"
#include "output/link_input.h"
#include "output/pe_writer.h"
#include "output/raw_writer.h"

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
    case petCOFF: {
      TCOFFWriter writer(input);
      writer.build();
      writer.writeFile(input.outFileName);
      return input.outFileName;
    }
    case petBOOTLOADER: {
      TRawBinary writer(input, fttFloppy);
      writer.build();
      writer.writeFile(input.outFileName);
      return input.outFileName;
    }
  }
  TLinkInput::InternalError("unknown program kind");
}

}  // namespace kelvo

// The link step: picks the writer by program kind and writes the output file.
#include "frontend/compiler.h"
#include "output/pe_writer.h"

namespace kelvo {

namespace {

// A name that already carries the extension keeps it as it is.
std::string withExtension(const std::string& baseName, const std::string& ext) {
  if (baseName.size() >= ext.size() && sameText(baseName.substr(baseName.size() - ext.size()), ext))
    return baseName;
  return baseName + ext;
}

}  // namespace

void TPEFile::Build(TCompiler& c) {
  TPECOFF writer(c, F_outFileName, appSubSystem, petEXE, 0x14C);
  writer.file_type = F_FileType;
  writer.entry_funcid = F_entryFuncID;
  writer.entry_offset = static_cast<uint32_t>(entryOffset);
  writer.build();
  writer.writeFile(F_outFileName);
  writtenFile = F_outFileName;
}

void TCompiler::BuildOutput(const std::string& baseName) {
  // The source text is read to its end: the image needs the memory more.
  for (auto& file : listFiles) file->ReleaseText();
  PEFile.writtenFile.clear();
  switch (PEFile.F_FileType) {
    case petEXE:
      PEFile.F_outFileName = withExtension(baseName, ".exe");
      break;
    case petDLL:
      PEFile.F_outFileName = withExtension(baseName, ".dll");
      break;
    case petCOFF:
      throw ECompileError("Link error: COFF objects (mscoff) cannot be written yet");
    case petBOOTLOADER:
      throw ECompileError("Link error: boot images (bootloader) cannot be written yet");
  }
  PEFile.Build(*this);
}

}  // namespace kelvo

// The link step: hands the compiled program to the writer of its kind and writes the file.
#include "frontend/compiler.h"

namespace kelvo {

namespace {

// A name that already carries the extension keeps it as it is.
std::string withExtension(const std::string& baseName, const std::string& ext) {
  if (baseName.size() >= ext.size() && sameText(baseName.substr(baseName.size() - ext.size()), ext))
    return baseName;
  return baseName + ext;
}

const char* extensionOf(TPECOFFType kind) {
  switch (kind) {
    case petDLL: return ".dll";
    case petCOFF: return ".obj";
    case petBOOTLOADER: return ".img";
    case petEXE: break;
  }
  return ".exe";
}

}  // namespace

TLinkInput TCompiler::MakeLinkInput() {
  TLinkInput in;
  in.kind = PEFile.F_FileType;
  in.subSystem = appSubSystem;
  in.outFileName = PEFile.F_outFileName;
  in.entryFuncId = PEFile.F_entryFuncID;
  in.entryOffset = static_cast<uint32_t>(PEFile.entryOffset);
  in.hasEntry = entryDeclared_ || PEFile.F_entryFuncID >= 0;
  in.addReloc = IsDefined("addreloc");
  in.procedures = &listProcedures;
  in.data = &listData;
  in.dlls = &slistDLLs;
  in.dataImage = &PEFile.dataMan;
  in.resources = &PEFile.resMan;
  in.reportError = [this](const std::string& message) { Error(message); };
  in.printLine = [](const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
  };
  return in;
}

void TCompiler::BuildOutput(const std::string& baseName) {
  // The source text is read to its end: the image needs the memory more.
  curToken.Str.own();
  for (auto& file : listFiles) file->ReleaseText();
  PEFile.writtenFile.clear();
  PEFile.F_outFileName = withExtension(baseName, extensionOf(PEFile.F_FileType));
  const TLinkInput input = MakeLinkInput();
  PEFile.writtenFile = WriteOutputFile(input);
}

}  // namespace kelvo

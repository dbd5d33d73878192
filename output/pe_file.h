// The description of the output image, kept in the compiler state.
#pragma once

#include <cstdint>
#include <string>

#include "common/definitions.h"
#include "output/data_image.h"
#include "output/pe_headers.h"
#include "output/resource_store.h"

namespace kelvo {

class TCOFFSectionHeader;

// The writers read only the program kind, the output name, the entry, the data image and the
// resources; they keep their own copies of headers, sizes and addresses.
struct TPEFile {
  TPECOFFType F_FileType = petEXE;
  std::string F_AppTitle;
  std::string F_outFileName;  // set by the link step
  int32_t F_entryFuncID = -1;  // index in listProcedures; -1 when the program has none
  uint32_t F_RootRVA = 0, F_DataRVA = 0, F_CodeRVA = 0;
  TCOFFFileHeader COFFHeader;
  TPEFileHeader PEHeader;
  TPEOptionalHeader PEOptHeader;
  TCOFFSectionHeader* secRoot = nullptr;
  TCOFFSectionHeader* secData = nullptr;
  TCOFFSectionHeader* secCode = nullptr;
  uint32_t LookupTblRVA = 0, AddressTblRVA = 0, NameTblRVA = 0, offsetCode = 0;
  std::string tempCode;
  uint32_t tempCodeSize = 0;
  uint32_t intImportsSize = 0, intExportSize = 0, intRelocSize = 0, intResourceSize = 0;
  uint32_t ExportsAtAddr = 0, ExportsAddrCount = 0, offsetDataRelocations = 0;
  TImageBaseRelocation DataRelocations;
  TCOFFRelocation COFFRelocations;
  TDataMan dataMan;
  TResMan resMan;
  std::string F_FileData;
  uint32_t F_FileAlignment = 512;
  // Where the program starts inside the global code, when there is no entry procedure.
  int32_t entryOffset = 0;
  std::string writtenFile;  // the file the link step wrote, for "-run"
};

}  // namespace kelvo

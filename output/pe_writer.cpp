#include "output/pe_writer.h"

#include <algorithm>
#include <utility>

#include "output/pe_headers.h"
#include "assembler/encoders.h"

namespace kelvo {

namespace {

constexpr uint32_t kImageBase = 0x400000;
constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kHeadersSize = 512;
constexpr uint32_t kImportDescriptorSize = 20;
constexpr uint32_t kExportDirectorySize = 40;

constexpr uint32_t kRootFlags = 0x40000040;  // initialised data, readable
constexpr uint32_t kDataFlags = 0xC0000040;  // initialised data, readable, writable
constexpr uint32_t kCodeFlags = 0x60000020;  // code, executable, readable

// The MS-DOS header and stub in front of every image (128 bytes; "PE" follows at 0x80).
std::string dosHeader() {
  std::string h;
  putLE(h, 0x5A4D, 2);  // e_magic: "MZ"
  putLE(h, 0x90, 2);    // e_cblp: bytes on the last page
  putLE(h, 3, 2);       // e_cp: pages in the file
  putLE(h, 0, 2);       // e_crlc: relocations
  putLE(h, 4, 2);       // e_cparhdr: header size in paragraphs
  putLE(h, 0, 2);       // e_minalloc
  putLE(h, 0xFFFF, 2);  // e_maxalloc
  putLE(h, 0, 2);       // e_ss
  putLE(h, 0xB8, 2);    // e_sp
  putLE(h, 0, 2);       // e_csum
  putLE(h, 0, 2);       // e_ip
  putLE(h, 0, 2);       // e_cs
  putLE(h, 0x40, 2);    // e_lfarlc: the stub follows the header
  h.resize(0x38, '\0');  // e_ovno, reserved words, OEM fields: 0
  h += "KEL1";          // the writer's mark in the last reserved words
  putLE(h, 0x80, 4);    // e_lfanew: where the PE signature is
  // The stub prints the message through DOS and exits: push cs / pop ds / mov dx,0E /
  // mov ah,9 / int 21h / mov ax,4C01h / int 21h.
  h += std::string("\x0E\x1F\xBA\x0E\x00\xB4\x09\xCD\x21\xB8\x01\x4C\xCD\x21", 14);
  h += "This program cannot be run in DOS mode.\r\r\n$";
  h.resize(0x80, '\0');
  h += std::string("PE\0\0", 4);
  return h;
}

void putLE16(std::string& out, uint32_t v) { putLE(out, v, 2); }
void putLE32(std::string& out, uint32_t v) { putLE(out, v, 4); }

}  // namespace

TPECOFF::TPECOFF(const TLinkInput& input, std::string strFile, uint32_t subSystem, TPECOFFType fileType, uint32_t mach)
    : file_name(std::move(strFile)), sub_system(subSystem), file_type(fileType), machine(mach), in_(input),
      layout_(input) {}

// assign what is reachable → resources → imports → code layout → exports → relocations →
// section addresses → patches → headers and sections into the file.
void TPECOFF::build() {
  layout_.markReachable(entry_funcid);
  writeResourceFile();
  writeImportDLLSect();
  codeFixups();
  writeExportDLLSect();
  writeRelocDLLSect();
  assignAddresses();
  finalFixup();
  writeImage();
}

// --- ".root": resources, imports, exports, relocations

void TPECOFF::writeResourceFile() {
  root_ = in_.resources->BuildSection(rootRVA_);
  f_resourcesize = static_cast<uint32_t>(root_.size());
}

// Import descriptors (the last all zero), the lookup table, the address table with the same
// entries, then the names. Every reachable import gets its code here: JMP [its slot].
void TPECOFF::writeImportDLLSect() {
  std::vector<std::vector<TFunction*>> byDll((*in_.dlls).size());
  uint32_t used = 0, slots = 0;
  for (TFunction* import : layout_.imports()) {
    TFunction& f = *import;
    if (f.DLLIndex < 0 || static_cast<size_t>(f.DLLIndex) >= byDll.size())
      TLinkInput::InternalError(f.Name + " names no imported DLL");
    auto& list = byDll[f.DLLIndex];
    if (list.empty()) ++used, ++slots;  // the DLL's terminating slot
    list.push_back(&f);
    ++slots;
  }
  const uint32_t importRVA = rootRVA_ + f_resourcesize;
  const uint32_t lookupRVA = importRVA + kImportDescriptorSize * (used + 1);
  const uint32_t addressRVA = lookupRVA + 4 * slots;
  const uint32_t namesRVA = addressRVA + 4 * slots;
  std::string descriptors, lookup, names;
  uint32_t j = 0;
  for (size_t d = 0; d < byDll.size(); ++d) {
    if (byDll[d].empty()) continue;
    putLE32(descriptors, lookupRVA + 4 * j);    // OriginalFirstThunk
    putLE32(descriptors, 0);                    // TimeDateStamp
    putLE32(descriptors, 0);                    // ForwarderChain
    putLE32(descriptors, namesRVA + static_cast<uint32_t>(names.size()));  // Name
    putLE32(descriptors, addressRVA + 4 * j);   // FirstThunk
    names += (*in_.dlls)[d];
    names.append(2, '\0');
    for (TFunction* f : byDll[d]) {
      putLE32(lookup, namesRVA + static_cast<uint32_t>(names.size()));
      names.append(2, '\0');  // hint
      names += f->ImportName;
      names.append(2, '\0');
      TAssembler& a = f->recAssembler;
      a.strCode.clear();
      a.FixUps.clear();
      a.fixUpsPlaced = 0;
      EmitImportJump(a, addressRVA + 4 * j);  // made absolute by the image base
      ++j;
    }
    putLE32(lookup, 0);
    ++j;
  }
  descriptors.append(kImportDescriptorSize, '\0');
  root_ += descriptors + lookup + lookup + names;
  f_importsize = static_cast<uint32_t>(descriptors.size() + 2 * lookup.size() + names.size());
}

void TPECOFF::codeFixups() {
  layout_.codeFixups(&entry_offset);
  f_codesize = layout_.f_codesize;
}

// The export directory, then the address, name pointer and ordinal tables, the names and the
// DLL's own name. Names are sorted by their bytes, as the loader's binary search expects.
void TPECOFF::writeExportDLLSect() {
  std::vector<const TFunction*> exported = layout_.exported();
  if (exported.empty()) return;
  std::stable_sort(exported.begin(), exported.end(),
                   [](const TFunction* a, const TFunction* b) { return a->Name < b->Name; });
  const uint32_t n = static_cast<uint32_t>(exported.size());
  const uint32_t exportRVA = rootRVA_ + f_resourcesize + f_importsize;
  const uint32_t functionsRVA = exportRVA + kExportDirectorySize;
  const uint32_t namePtrRVA = functionsRVA + 4 * n;
  const uint32_t ordinalsRVA = namePtrRVA + 4 * n;
  const uint32_t namesRVA = ordinalsRVA + 2 * n;
  std::string addresses, namePointers, ordinals, names;
  for (uint32_t i = 0; i < n; ++i) {
    putLE32(addresses, exported[i]->Address);  // the code RVA is added once it is known
    putLE32(namePointers, namesRVA + static_cast<uint32_t>(names.size()));
    putLE16(ordinals, i);
    names += exported[i]->Name;
    names += '\0';
  }
  const uint32_t dllNameRVA = namesRVA + static_cast<uint32_t>(names.size());
  const size_t slash = file_name.find_last_of("/\\");
  names += slash == std::string::npos ? file_name : file_name.substr(slash + 1);
  names += '\0';
  std::string dir;
  putLE32(dir, 0);            // Characteristics
  putLE32(dir, 0);            // TimeDateStamp
  putLE16(dir, 0);            // MajorVersion
  putLE16(dir, 0);            // MinorVersion
  putLE32(dir, dllNameRVA);   // Name
  putLE32(dir, 1);            // Base: ordinals count from 1
  putLE32(dir, n);            // NumberOfFunctions
  putLE32(dir, n);            // NumberOfNames
  putLE32(dir, functionsRVA); // AddressOfFunctions
  putLE32(dir, namePtrRVA);   // AddressOfNames
  putLE32(dir, ordinalsRVA);  // AddressOfNameOrdinals
  exportTableAt_ = static_cast<uint32_t>(root_.size() + dir.size());
  exportCount_ = n;
  const std::string section = dir + addresses + namePointers + ordinals + names;
  root_ += section;
  f_exportsize = static_cast<uint32_t>(section.size());
}

bool TPECOFF::wantsRelocations() const {
  return file_type == petDLL || in_.addReloc;
}

// One HIGHLOW relocation per absolute address in the code, grouped in blocks per 4 KB page.
void TPECOFF::writeRelocDLLSect() {
  if (!wantsRelocations()) return;
  std::vector<std::vector<uint16_t>> pages(f_codesize / kSectionAlignment + 1);
  for (const TFunction* f : layout_.laidOut())
    for (const TFixUp& x : f->recAssembler.FixUps)
      if (x.fixType >= ftProcAddress && x.fixType <= ftOffsetLabelAddress) {
        const uint32_t offset = f->Address + x.fixAddr;
        pages[offset / kSectionAlignment].push_back(static_cast<uint16_t>(0x3000 | (offset & 0xFFF)));
      }
  // Globals that hold addresses: their dwords in the data image (which comes before the code),
  // relocated the same way.
  const TDataMan& data = *in_.dataImage;
  std::vector<std::vector<uint16_t>> dataPages(data.addressSlots.empty() ? 0 : data.F_DataLen / kSectionAlignment + 1);
  for (const TDataAddressSlot& s : data.addressSlots)
    dataPages[s.offset / kSectionAlignment].push_back(static_cast<uint16_t>(0x3000 | (s.offset & 0xFFF)));
  const auto hasEntries = [](const std::vector<std::vector<uint16_t>>& v) {
    return std::any_of(v.begin(), v.end(), [](const std::vector<uint16_t>& p) { return !p.empty(); });
  };
  if (!hasEntries(pages) && !hasEntries(dataPages)) return;
  // Every block starts on a dword boundary; the export names before it may end anywhere.
  root_.append((4 - root_.size() % 4) % 4, '\0');
  const size_t start = root_.size();
  relocTableAt_ = static_cast<uint32_t>(start);
  appendRelocBlocks(dataPages, relocDataBlocksAt_);
  appendRelocBlocks(pages, relocBlocksAt_);
  f_relocsize = static_cast<uint32_t>(root_.size() - start);
}

// One block per page that has entries; `at` collects where each block's page address lies,
// for the section's address to be added once it is known.
void TPECOFF::appendRelocBlocks(const std::vector<std::vector<uint16_t>>& pages, std::vector<uint32_t>& at) {
  for (size_t page = 0; page < pages.size(); ++page) {
    const auto& entries = pages[page];
    if (entries.empty()) continue;
    // Padded to whole dwords with one entry of type 0: more than one such entry would put
    // several entries at the same offset, which checkers report as overlapping.
    const uint32_t blockSize = (2 * static_cast<uint32_t>(entries.size()) + 8 + 3) & ~3u;
    at.push_back(static_cast<uint32_t>(root_.size()));
    putLE32(root_, static_cast<uint32_t>(page) * kSectionAlignment);  // the section's RVA is added later
    putLE32(root_, blockSize);
    for (uint16_t e : entries) putLE16(root_, e);
    root_.append(blockSize - 8 - 2 * entries.size(), '\0');  // padding entries of type 0
  }
}

// --- addresses and patches

// The data follows ".root" on the next page, the code the data; each section has a page of
// its own, also when the data image is empty.
void TPECOFF::assignAddresses() {
  TDataMan& data = *in_.dataImage;
  f_datasize = data.F_DataLen;
  dataRVA_ = alignValue(rootRVA_ + static_cast<uint32_t>(root_.size()), kSectionAlignment);
  codeRVA_ = dataRVA_ + alignValue(f_datasize, kSectionAlignment);
  data.F_DataRVA = dataRVA_;
  for (uint32_t i = 0; i < exportCount_; ++i) {
    const size_t at = exportTableAt_ + 4 * i;
    patchLE(root_, at, readLE32(root_, at) + codeRVA_, 4);
  }
  for (uint32_t at : relocBlocksAt_) patchLE(root_, at, readLE32(root_, at) + codeRVA_, 4);
  for (uint32_t at : relocDataBlocksAt_) patchLE(root_, at, readLE32(root_, at) + dataRVA_, 4);
}

void TPECOFF::finalFixup() {
  TImageBases bases;
  bases.imageBase = kImageBase;
  bases.code = kImageBase + codeRVA_;
  bases.data = kImageBase + dataRVA_;
  layout_.finalFixup(bases);
  layout_.patchDataAddresses(bases);
}

// --- headers and the file

uint32_t TPECOFF::entryPointRVA() {
  if (entry_funcid >= 0) return codeRVA_ + in_.procs()[entry_funcid]->Address;
  const auto& laid = layout_.laidOut();
  if (!laid.empty() && laid.front()->FuncIndex == 0) return codeRVA_ + entry_offset;
  if (file_type == petDLL) return 0;  // a DLL may do without an entry
  in_.Error("The program has no code to start with");
}

TCOFFFileHeader TPECOFF::buildPEHeader() const {
  TCOFFFileHeader h;
  h.Machine = static_cast<uint16_t>(machine);     // i386
  h.NumberOfSections = 3;                         // .root, .data, .code
  h.TimeDateStamp = 0;                            // images are reproducible
  h.PointerToSymbolTable = 0;
  h.NumberOfSymbols = 0;
  h.SizeOfOptionalHeader = kOptionalHeaderSize;
  // EXE: relocs stripped, executable, no line numbers, no local symbols, bytes reversed
  // (low and high), 32-bit machine. DLL: executable, no line numbers or local symbols,
  // 32-bit machine, DLL.
  h.Characteristics = file_type == petDLL ? 0x210E : 0x818F;
  return h;
}

// The optional header, every field from this one template.
TPEOptionalHeader TPECOFF::buildPEOptHeader() {
  TPEOptionalHeader h;
  h.Magic = 0x10B;                                       // PE32
  h.MajorLinkerVersion = 0;
  h.MinorLinkerVersion = 1;
  h.SizeOfCode = alignValue(f_codesize, file_alignment);
  h.SizeOfInitializedData = 512;
  h.SizeOfUninitializedData = 0;                         // no uninitialised section
  h.AddressOfEntryPoint = entryPointRVA();
  h.BaseOfCode = codeRVA_;
  h.BaseOfData = dataRVA_;
  h.ImageBase = kImageBase;
  h.SectionAlignment = kSectionAlignment;
  h.FileAlignment = file_alignment;
  h.MajorOperatingSystemVersion = 4;                     // Windows 4.0 and later
  h.MinorOperatingSystemVersion = 0;
  h.MajorImageVersion = 0;
  h.MinorImageVersion = 0;
  h.MajorSubsystemVersion = 4;
  h.MinorSubsystemVersion = 0;
  h.Win32VersionValue = 0;
  h.SizeOfImage = codeRVA_ + alignValue(f_codesize, kSectionAlignment);  // code is the last section
  h.SizeOfHeaders = kHeadersSize;
  h.CheckSum = 0;                                        // not checked for programs and DLLs
  h.Subsystem = static_cast<uint16_t>(sub_system);       // 2 windows, 3 console
  h.DllCharacteristics = 0;
  h.SizeOfStackReserve = 0x100000;
  h.SizeOfStackCommit = 0x4000;
  h.SizeOfHeapReserve = 0x100000;
  h.SizeOfHeapCommit = 0x1000;
  h.LoaderFlags = 0;
  h.NumberOfRvaAndSizes = kDirCount;
  // Directories inside ".root", each only when its part is there.
  const uint32_t importRVA = rootRVA_ + f_resourcesize;
  const uint32_t exportRVA = importRVA + f_importsize;
  const uint32_t relocRVA = rootRVA_ + relocTableAt_;
  if (f_exportsize) h.DataDirectory[kDirExport] = {exportRVA, f_exportsize};
  if (f_importsize) h.DataDirectory[kDirImport] = {importRVA, f_importsize};
  if (f_resourcesize) h.DataDirectory[kDirResource] = {rootRVA_, f_resourcesize};
  if (f_relocsize) h.DataDirectory[kDirBaseReloc] = {relocRVA, f_relocsize};
  return h;
}

// Headers, then each section from a 512-byte boundary, each followed by at least one zero.
// The code section is the laid-out procedures' own code, one after the other.
void TPECOFF::writeImage() {
  struct TPart {
    const char* name;
    uint32_t flags, rva, size;
  };
  const TPart parts[] = {{".root", kRootFlags, rootRVA_, static_cast<uint32_t>(root_.size())},
                         {".data", kDataFlags, dataRVA_, static_cast<uint32_t>(in_.dataImage->F_DataString.size())},
                         {".code", kCodeFlags, codeRVA_, f_codesize}};
  std::string sectionHeaders;
  uint32_t filePos = kHeadersSize;
  uint32_t rawEnds[3] = {};
  for (const TPart& p : parts) {
    TCOFFSectionHeader s(p.name, p.flags, 0);
    s.RVA = p.rva;
    s.Header.VirtualSize = p.size;
    s.Header.VirtualAddress = p.rva;
    // At least one zero after the content, but never past the section's own pages.
    s.Header.SizeOfRawData = std::min(alignValue(s.Header.VirtualSize + 1, file_alignment),
                                      alignValue(s.Header.VirtualSize, kSectionAlignment));
    s.Header.PointerToRawData = filePos;
    filePos += s.Header.SizeOfRawData;
    rawEnds[&p - parts] = filePos;
    appendSectionHeader(sectionHeaders, s.Header);
  }
  file_data = dosHeader();
  appendFileHeader(file_data, buildPEHeader());
  appendOptionalHeader(file_data, buildPEOptHeader());
  file_data += sectionHeaders;
  padTo(file_alignment);
  addFileView(root_);
  alignFileToSize(rawEnds[0]);
  addFileView(in_.dataImage->F_DataString);
  alignFileToSize(rawEnds[1]);
  addFileView(layout_.laidOut(), f_codesize);
  alignFileToSize(rawEnds[2]);
}

}  // namespace kelvo

#include "output/coff_writer.h"

#include <cctype>
#include <limits>

#include "output/pe_headers.h"

namespace kelvo {

namespace {

constexpr uint16_t kMachineI386 = 0x14C;
constexpr uint32_t kTextFlags = 0x60000020;  // code, executable, readable
constexpr uint32_t kDataFlags = 0xC0000040;  // initialised data, readable, writable
constexpr uint16_t kSectText = 1, kSectData = 2;
constexpr uint16_t kTypeFunction = 0x20;
constexpr uint8_t kExternal = 2, kStatic = 3;
constexpr uint16_t kRelDir32 = 6;    // the symbol's address plus the field
constexpr uint16_t kRelRel32 = 20;   // the symbol's address plus the field, minus the field's end
constexpr uint32_t kSymbolSize = 18;
constexpr uint32_t kRelocSize = 10;

// A global variable other objects can name: letters, digits and "_" only.
bool isSharedData(const TData& d) {
  if (d.dataMode != dmVar || d.dataName.empty()) return false;
  for (char ch : d.dataName)
    if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '_') return false;
  return true;
}

}  // namespace

// cdecl _name, stdcall _name@bytes, fastcall @name@bytes, kelcall _@name@bytes. A stdcall
// name counts the bytes the procedure takes off the stack, as C compilers and the Windows
// import libraries do, so a wide argument counts for its whole size.
std::string DecoratedName(const TFunction& f) {
  const std::string& name = f.ImportName.empty() ? f.Name : f.ImportName;
  // Every declared parameter counts, those passed in registers too.
  const std::string bytes = std::to_string(4 * (f.intParamCount + f.intRegParamCount));
  switch (f.CallMethod) {
    case cmCdecl: return "_" + name;
    case cmStdcall: return "_" + name + "@" + std::to_string(f.dwTotalParamSize);
    case cmFastcall: return "@" + name + "@" + bytes;
    case cmKelCall: return "_@" + name + "@" + bytes;
    case cmUnknown: break;
  }
  return name;
}

uint32_t TCOFFWriter::addSymbol(std::string symName, uint16_t symSec, uint16_t symType, uint8_t symSC, uint32_t val) {
  f_symbols.push_back({std::move(symName), symSec, symType, symSC, val});
  return static_cast<uint32_t>(f_symbols.size() - 1);
}

void TCOFFWriter::addReloc(uint32_t va, uint32_t sti, uint16_t type) { f_relocs.push_back({va, sti, type}); }

// One undefined symbol per name, however often the code refers to it.
uint32_t TCOFFWriter::externalSymbol(const std::string& name, uint16_t type) {
  auto [it, added] = undefined_.try_emplace(name, static_cast<uint32_t>(f_symbols.size()));
  if (added) addSymbol(name, 0, type, kExternal, 0);
  return it->second;
}

// lay out → symbols of what this object defines → patches and relocations → the file.
bool TCOFFWriter::buildObject() {
  f_datasize = static_cast<uint32_t>(in_.dataImage->F_DataString.size());
  layout_.markReachable(in_.entryFuncId);
  uint32_t entryOffset = in_.entryOffset;
  layout_.codeFixups(&entryOffset);
  f_codesize = layout_.f_codesize;
  if (in_.hasEntry) {
    const auto& procs = in_.procs();
    const auto& laid = layout_.laidOut();
    if (in_.entryFuncId < 0 && (laid.empty() || laid.front()->FuncIndex != 0))
      in_.Error("The program has no code to start with");
    const uint32_t at = in_.entryFuncId >= 0 ? procs[in_.entryFuncId]->Address : procs[0]->Address + entryOffset;
    addSymbol("_entry", kSectText, kTypeFunction, kExternal, at);
  }
  addDefinedSymbols();
  COFFfinalCodeFixups();
  dataAddressRelocs();
  writeImage();
  return true;
}

// The two section symbols, which the relocations of addresses inside this object refer to;
// each laid-out procedure at its offset (external when exported, so other objects can call
// it); each global variable at its offset.
void TCOFFWriter::addDefinedSymbols() {
  textSymbol_ = addSymbol(".text", kSectText, 0, kStatic, 0);
  dataSymbol_ = addSymbol(".data", kSectData, 0, kStatic, 0);
  for (const TFunction* f : layout_.laidOut())
    if (f->FuncIndex != 0)
      addSymbol(DecoratedName(*f), kSectText, kTypeFunction, f->isExported ? kExternal : kStatic, f->Address);
  for (const auto& d : *in_.data)
    if (isSharedData(*d)) addSymbol("_" + d->dataName, kSectData, 0, kExternal, d->dataAddress);
}

void TCOFFWriter::COFFfinalCodeFixups() {
  for (TFunction* f : layout_.laidOut())
    for (const TFixUp& x : f->recAssembler.FixUps) patch(*f, x);
}

// A global initialised with an address holds the offset inside its section, or 0 for a
// procedure of another object; the linker adds the symbol's address.
void TCOFFWriter::dataAddressRelocs() {
  TDataMan& data = *in_.dataImage;
  for (const TDataAddressSlot& s : data.addressSlots) {
    uint32_t symbol = dataSymbol_, addend = s.target;
    if (s.isProcedure) {
      if (s.target >= in_.procs().size()) TLinkInput::InternalError("a global holds a procedure that does not exist");
      const TFunction& t = *in_.procs()[s.target];
      const bool here = t.Address != 0xFFFFFFFFu && t.DLLIndex == -1;
      symbol = here ? textSymbol_ : externalSymbol(DecoratedName(t), kTypeFunction);
      addend = here ? t.Address : 0;
    }
    patchLE(data.F_DataString, s.offset, addend, 4);
    dataRelocs_.push_back({s.offset, symbol, kRelDir32});
  }
}

// A 32-bit absolute address: the symbol's address plus what the field holds.
void TCOFFWriter::absolute(TFunction& f, const TFixUp& x, uint32_t symbol, uint32_t addend) {
  if (x.fixSize == 16) in_.Error("A 16-bit address can not be relocated in an object file");
  f.recAssembler.strCode.patchLE(x.fixAddr, addend, 4);
  addReloc(f.Address + x.fixAddr, symbol, kRelDir32);
}

// Calls inside this object are final; calls out of it, and every address, are left to the
// linker. Label jumps were written when the procedure was laid out.
void TCOFFWriter::patch(TFunction& f, const TFixUp& x) {
  TCodeBytes& code = f.recAssembler.strCode;
  const uint32_t at = f.Address + x.fixAddr;
  auto target = [&]() -> TFunction& {
    if (x.fixIndex >= in_.procs().size()) TLinkInput::InternalError("call of a procedure that does not exist");
    return *in_.procs()[x.fixIndex];
  };
  switch (x.fixType) {
    case ftNone:
    case ftJmp:
      break;
    case ftCall: {
      const TFunction& t = target();
      if (t.Address != 0xFFFFFFFFu && t.DLLIndex == -1) {
        const uint32_t width = x.fixSize == 16 ? 2 : 4;
        code.patchLE(x.fixAddr, t.Address - (at + width), static_cast<int>(width));
      } else {
        if (x.fixSize == 16) in_.Error("A 16-bit call can not leave an object file");
        code.patchLE(x.fixAddr, 0, 4);  // the linker adds the target minus the field's end
        addReloc(at, externalSymbol(DecoratedName(t), kTypeFunction), kRelRel32);
      }
      break;
    }
    case ftProcAddress: {
      const TFunction& t = target();
      if (t.Address != 0xFFFFFFFFu && t.DLLIndex == -1)
        absolute(f, x, textSymbol_, t.Address);
      else
        absolute(f, x, externalSymbol(DecoratedName(t), kTypeFunction), 0);
      break;
    }
    case ftDataAddress:
      if (x.fixIndex >= in_.data->size()) TLinkInput::InternalError("data item out of range");
      absolute(f, x, dataSymbol_, (*in_.data)[x.fixIndex]->dataAddress + x.fixOffset);
      break;
    case ftAppendDataAddr:  // the field holds the offset in the data image
      absolute(f, x, dataSymbol_, FieldValue(code, x));
      break;
    case ftAppendBase:  // the field holds an offset from the image base
      absolute(f, x, externalSymbol("___ImageBase", 0), FieldValue(code, x));
      break;
    case ftAppendCodeBase:
      in_.Error("acb error, please report this as soon as possible");
    case ftLabelAddress:
      absolute(f, x, textSymbol_, f.Address + f.jmpLabels[x.fixIndex].position);
      break;
    case ftOffsetLabelAddress:
      absolute(f, x, textSymbol_, f.Address + f.jmpLabels[x.fixLabelID].position);
      break;
  }
}

namespace {

std::string relocationTable(const std::vector<TObjectBaseRelocation>& relocs) {
  std::string table;
  for (const TObjectBaseRelocation& r : relocs) {
    putLE(table, r.VirtualAddress, 4);
    putLE(table, r.SymbolTableIndex, 4);
    putLE(table, r._Type, 2);
  }
  return table;
}

}  // namespace

// header, section headers, code, its relocations, data, its relocations, symbols, strings.
void TCOFFWriter::writeImage() {
  for (const auto* relocs : {&f_relocs, &dataRelocs_})
    if (relocs->size() > std::numeric_limits<uint16_t>::max())
      in_.Error("Too many relocations for an object file (" + std::to_string(relocs->size()) + ", at most 65535)");
  const uint32_t codeAt = kFileHeaderSize + 2 * kSectionHeaderSize;
  const uint32_t relocsAt = codeAt + f_codesize;
  const uint32_t relocCount = static_cast<uint32_t>(f_relocs.size());
  const uint32_t dataAt = relocsAt + kRelocSize * relocCount;
  const uint32_t dataRelocsAt = dataAt + f_datasize;
  const uint32_t dataRelocCount = static_cast<uint32_t>(dataRelocs_.size());
  const uint32_t symbolsAt = dataRelocsAt + kRelocSize * dataRelocCount;
  TCOFFFileHeader h;
  h.Machine = kMachineI386;
  h.NumberOfSections = 2;
  h.TimeDateStamp = 0;  // objects are reproducible
  h.PointerToSymbolTable = symbolsAt;
  h.NumberOfSymbols = static_cast<uint32_t>(f_symbols.size());
  h.SizeOfOptionalHeader = 0;
  h.Characteristics = 0;
  TCOFFSectionHeader text(".text", kTextFlags, 0), data(".data", kDataFlags, 0);
  for (TCOFFSectionHeader* s : {&text, &data}) s->Header.VirtualSize = 0;
  text.Header.SizeOfRawData = f_codesize;
  text.Header.PointerToRawData = f_codesize ? codeAt : 0;
  text.Header.PointerToRelocations = relocCount ? relocsAt : 0;  // 0: no relocations
  text.Header.NumberOfRelocations = static_cast<uint16_t>(relocCount);
  data.Header.SizeOfRawData = f_datasize;
  data.Header.PointerToRawData = f_datasize ? dataAt : 0;
  data.Header.PointerToRelocations = dataRelocCount ? dataRelocsAt : 0;
  data.Header.NumberOfRelocations = static_cast<uint16_t>(dataRelocCount);
  appendFileHeader(file_data, h);
  appendSectionHeader(file_data, text.Header);
  appendSectionHeader(file_data, data.Header);
  addFileView(layout_.laidOut(), f_codesize);
  addFileBytes(relocationTable(f_relocs));
  addFileView(in_.dataImage->F_DataString);
  addFileBytes(relocationTable(dataRelocs_));
  std::string strings;
  addFileBytes(writeSymbolTable(strings));
  addFileBytes(strings);
}

// 18 bytes a symbol; a name of more than 8 characters goes to the string table, whose
// size (its first four bytes) counts itself and the four zero bytes that close it.
std::string TCOFFWriter::writeSymbolTable(std::string& strings) const {
  std::string out;
  std::string names;
  for (size_t i = 0; i < f_symbols.size(); ++i) {
    const TSmartSymbol& s = f_symbols[i];
    const std::string name = s.name.empty() ? "$" + std::to_string(i) : s.name;
    if (name.size() <= 8) {
      out += name;
      out.append(8 - name.size(), '\0');
    } else {
      if (names.size() + name.size() + 5 > std::numeric_limits<uint32_t>::max())
        in_.Error("The symbol names of this object do not fit its string table");
      putLE(out, 0, 4);
      putLE(out, static_cast<uint32_t>(4 + names.size()), 4);
      names += name;
      names += '\0';
    }
    putLE(out, s.value, 4);
    putLE(out, s.sectNo, 2);
    putLE(out, s._Type, 2);
    out += static_cast<char>(s.StorageClass);
    out += '\0';  // no auxiliary records
  }
  putLE(strings, static_cast<uint32_t>(4 + names.size() + 4), 4);
  strings += names;
  strings.append(4, '\0');
  return out;
}

}  // namespace kelvo

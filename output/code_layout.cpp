#include "output/code_layout.h"

#include <algorithm>

#include "output/pe_headers.h"

namespace kelvo {

namespace {

std::string procName(const TFunction& f) {
  return f.Name.empty() ? "procedure " + std::to_string(f.FuncIndex) : "procedure " + f.Name;
}

// The faults of a malformed program, each built out of line: the loops they guard run for
// every procedure and fix-up.
[[noreturn, gnu::cold, gnu::noinline]] void noSuchProcedure(const TFunction& from, uint32_t index) {
  TLinkInput::InternalError(procName(from) + " refers to procedure " + std::to_string(index) + ", which does not exist");
}

[[noreturn, gnu::cold, gnu::noinline]] void listedElsewhere(const TFunction& f, size_t index) {
  TLinkInput::InternalError(procName(f) + " is listed at index " + std::to_string(index));
}

[[noreturn, gnu::cold, gnu::noinline]] void noSuchData(const TFunction& f) {
  TLinkInput::InternalError("data item out of range in " + procName(f));
}

// A field is 16 bits wide only in 16-bit code; a sum that does not fit loses its high bits
// rather than spilling into the next instruction.
int width(const TFixUp& x) { return x.fixSize == 16 ? 2 : 4; }

void put(TCodeBytes& code, const TFixUp& x, uint32_t value) { code.patchLE(x.fixAddr, value, width(x)); }

void add(TCodeBytes& code, const TFixUp& x, uint32_t value) { put(code, x, FieldValue(code, x) + value); }

}  // namespace

uint32_t FieldValue(const TCodeBytes& code, const TFixUp& x) { return code.readLE(x.fixAddr, width(x)); }

// --- what goes into the image

uint32_t TCodeLayout::targetIndex(const TFunction& from, uint32_t index) const {
  if (index >= in_.procs().size()) noSuchProcedure(from, index);
  return index;
}

void TCodeLayout::markReachable(int32_t entryFuncId) {
  const auto& procs = in_.procs();
  reachable_.assign(procs.size(), 0);
  // Indices of 32 bits: at a great many procedures the list stays half as large. Taken in the
  // order reached, which for a program calling its procedures one after another is the
  // order of their records in memory.
  std::vector<uint32_t> pending;
  pending.reserve(procs.size());  // each is reached once at most
  auto reach = [&](size_t i) {
    if (!reachable_[i]) {
      reachable_[i] = 1;
      pending.push_back(static_cast<uint32_t>(i));
    }
  };
  if (!procs.empty() && procs[0]->Called) reach(0);
  // A procedure's index is its place in the list (the layout checks this of every one), so
  // what a fix-up reaches is found without a visit to its record.
  if (entryFuncId >= 0) reach(targetIndex(*procs[0], static_cast<uint32_t>(entryFuncId)));
  std::vector<uint32_t> imported;
  for (size_t i = 0; i < procs.size(); ++i) {
    if (procs[i]->isExported) reach(i);
    if (procs[i]->DLLIndex != -1) imported.push_back(static_cast<uint32_t>(i));
  }
  for (const TDataAddressSlot& s : in_.dataImage->addressSlots)  // globals holding procedures
    if (s.isProcedure) reach(targetIndex(*procs[0], s.target));
  for (size_t next = 0; next < pending.size(); ++next) {
    const TFunction& f = *procs[pending[next]];
    for (const TFixUp& x : f.recAssembler.FixUps)
      if (x.fixType == ftCall || x.fixType == ftProcAddress) reach(targetIndex(f, x.fixIndex));
  }
  imports_.clear();
  for (uint32_t i : imported)
    if (reachable_[i]) imports_.push_back(procs[i].get());
}

void TCodeLayout::codeFixups(uint32_t* entryOffset) {
  f_codesize = 0;
  laidOut_.clear();
  exported_.clear();
  farJecxz_.clear();
  auto& procs = in_.procs();
  laidOut_.reserve(procs.size());
  addresses_.resize(procs.size());
  for (size_t i = 0; i < procs.size(); ++i) {
    TFunction& f = *procs[i];
    if (static_cast<size_t>(f.FuncIndex) != i) listedElsewhere(f, i);
    if (isReachable(i)) place(f, i == 0 ? entryOffset : nullptr);
    addresses_[i] = f.Address;
  }
}

// A reachable procedure gets its Address and joins the image, laid out first if its body
// could not be.
void TCodeLayout::place(TFunction& f, uint32_t* entryOffset) {
  if (f.recAssembler.strCode.empty()) {
    // The global code may be empty; a procedure that is called or exported may not.
    if (f.FuncIndex == 0 || f.DLLIndex != -1) return;
    in_.Error("Procedure " + f.Name + " is used but has no code");
  }
  if (!f.isLaidOut) {
    procedure_.layOut(&in_, f, entryOffset, true);
    if (farJecxz_.empty()) farJecxz_ = procedure_.farJecxz();
  }
  f.Address = f_codesize;
  f_codesize += static_cast<uint32_t>(f.recAssembler.strCode.size());
  laidOut_.push_back(&f);
  if (f.isExported) exported_.push_back(&f);
}

// --- patching

void TCodeLayout::finalFixup(const TImageBases& bases) {
  if (!farJecxz_.empty()) in_.Error(farJecxz_);
  // The procedures lie end to end from 0, so each one's Address is the sum of the code before it.
  uint32_t address = 0;
  for (TFunction* f : laidOut_) {
    for (const TFixUp& x : f->recAssembler.FixUps) patch(*f, address, x, bases);
    address += static_cast<uint32_t>(f->recAssembler.strCode.size());
  }
}

void TCodeLayout::patchDataAddresses(const TImageBases& bases) {
  TDataMan& data = *in_.dataImage;
  for (const TDataAddressSlot& s : data.addressSlots) {
    const uint32_t value = s.isProcedure ? bases.code + addresses_[s.target] : bases.data + s.target;
    patchLE(data.F_DataString, s.offset, value, 4);
  }
}

// One fix-up, in the procedure's own code; `at` is where its field lies in the image.
void TCodeLayout::patch(TFunction& f, uint32_t address, const TFixUp& x, const TImageBases& bases) {
  TCodeBytes& code = f.recAssembler.strCode;
  const uint32_t at = address + x.fixAddr;
  switch (x.fixType) {
    case ftNone:
    case ftJmp:  // written when the procedure was laid out
      break;
    case ftCall:  // relative to the end of the field
      put(code, x, targetAddress(f, x.fixIndex) - (at + width(x)));
      break;
    case ftProcAddress:
      put(code, x, bases.code + targetAddress(f, x.fixIndex));
      break;
    case ftDataAddress:
      if (x.fixIndex >= in_.data->size()) noSuchData(f);
      put(code, x, (*in_.data)[x.fixIndex]->dataAddress + bases.data + x.fixOffset);
      break;
    case ftAppendDataAddr:
      add(code, x, bases.data);
      break;
    case ftAppendBase:
      add(code, x, bases.imageBase);
      break;
    case ftAppendCodeBase:
      add(code, x, bases.code);
      break;
    case ftLabelAddress:
      put(code, x, bases.code + address + f.jmpLabels[x.fixIndex].position);
      break;
    case ftOffsetLabelAddress:
      put(code, x, bases.code + address + f.jmpLabels[x.fixLabelID].position);
      break;
  }
}

}  // namespace kelvo

#include "output/code_layout.h"

#include <algorithm>

#include "frontend/compiler.h"
#include "output/pe_headers.h"

namespace kelvo {

namespace {

// State that only a broken compiler can produce; never a fault in the user's program.
[[noreturn]] void internalError(const std::string& what) {
  throw ECompileError("Internal error in the link step: " + what);
}

std::string procName(const TFunction& f) {
  return f.Name.empty() ? "procedure " + std::to_string(f.FuncIndex) : "procedure " + f.Name;
}

void put32(std::string& code, uint32_t pos, uint32_t value) { patchLE(code, pos, value, 4); }

void add32(std::string& code, uint32_t pos, uint32_t value) { put32(code, pos, readLE32(code, pos) + value); }

}  // namespace

// --- what goes into the image

TFunction& TCodeLayout::target(const TFunction& from, uint32_t index) const {
  if (index >= c_.listProcedures.size())
    internalError(procName(from) + " refers to procedure " + std::to_string(index) + ", which does not exist");
  return *c_.listProcedures[index];
}

void TCodeLayout::markReachable(int32_t entryFuncId) {
  const auto& procs = c_.listProcedures;
  reachable_.assign(procs.size(), 0);
  std::vector<size_t> pending;
  auto reach = [&](size_t i) {
    if (!reachable_[i]) {
      reachable_[i] = 1;
      pending.push_back(i);
    }
  };
  if (!procs.empty() && procs[0]->Called) reach(0);
  if (entryFuncId >= 0) reach(target(*procs[0], static_cast<uint32_t>(entryFuncId)).FuncIndex);
  for (size_t i = 0; i < procs.size(); ++i)
    if (procs[i]->isExported) reach(i);
  for (const TDataAddressSlot& s : c_.PEFile.dataMan.addressSlots)  // globals holding procedures
    if (s.isProcedure) reach(target(*procs[0], s.target).FuncIndex);
  while (!pending.empty()) {
    const TFunction& f = *procs[pending.back()];
    pending.pop_back();
    for (const TFixUp& x : f.recAssembler.FixUps)
      if (x.fixType == ftCall || x.fixType == ftProcAddress) reach(target(f, x.fixIndex).FuncIndex);
  }
}

void TCodeLayout::codeFixups(uint32_t* entryOffset) {
  f_codesize = 0;
  laidOut_.clear();
  farJecxz_.clear();
  auto& procs = c_.listProcedures;
  laidOut_.reserve(procs.size());
  for (size_t i = 0; i < procs.size(); ++i) {
    TFunction& f = *procs[i];
    if (static_cast<size_t>(f.FuncIndex) != i) internalError(procName(f) + " is listed at index " + std::to_string(i));
    if (!isReachable(i)) continue;
    if (f.recAssembler.strCode.empty()) {
      // The global code may be empty; a procedure that is called or exported may not.
      if (i == 0 || f.DLLIndex != -1) continue;
      c_.Error("Procedure " + f.Name + " is used but has no code");
    }
    if (!f.isLaidOut) {
      procedure_.layOut(c_, f, i == 0 ? entryOffset : nullptr, true);
      if (farJecxz_.empty()) farJecxz_ = procedure_.farJecxz();
    }
    f.Address = f_codesize;
    f_codesize += static_cast<uint32_t>(f.recAssembler.strCode.size());
    laidOut_.push_back(&f);
  }
}

// --- patching

void TCodeLayout::finalFixup(const TImageBases& bases) {
  if (!farJecxz_.empty()) c_.Error(farJecxz_);
  for (TFunction* f : laidOut_)
    for (const TFixUp& x : f->recAssembler.FixUps) patch(*f, x, bases);
}

// One fix-up, in the procedure's own code; `at` is where its field lies in the image.
void TCodeLayout::patch(TFunction& f, const TFixUp& x, const TImageBases& bases) {
  std::string& code = f.recAssembler.strCode;
  const uint32_t pos = x.fixAddr;
  const uint32_t at = f.Address + pos;
  switch (x.fixType) {
    case ftNone:
    case ftJmp:  // written when the procedure was laid out
      break;
    case ftCall:
      put32(code, pos, target(f, x.fixIndex).Address - (at + 4));
      break;
    case ftProcAddress:
      put32(code, pos, bases.code + target(f, x.fixIndex).Address);
      break;
    case ftDataAddress:
      if (x.fixIndex >= c_.listData.size()) internalError("data item out of range in " + procName(f));
      put32(code, pos, c_.listData[x.fixIndex]->dataAddress + bases.data + x.fixOffset);
      break;
    case ftAppendDataAddr:
      add32(code, pos, bases.data);
      break;
    case ftAppendBase:
      add32(code, pos, bases.imageBase);
      break;
    case ftAppendCodeBase:
      add32(code, pos, bases.code);
      break;
    case ftLabelAddress:
      put32(code, pos, bases.code + f.Address + f.jmpLabels[x.fixIndex].position);
      break;
    case ftOffsetLabelAddress:
      put32(code, pos, bases.code + f.Address + f.jmpLabels[x.fixLabelID].position);
      break;
  }
}

}  // namespace kelvo

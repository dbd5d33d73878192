#include "output/code_layout.h"

#include <algorithm>

#include "frontend/compiler.h"
#include "output/pe_headers.h"

namespace kelvo {

namespace {

constexpr uint32_t kPrologueSize = 9;  // 55 / 8B EC / six bytes for the locals' reservation
constexpr uint32_t kJumpArea = 6;      // what the encoder leaves for a label jump
constexpr uint16_t kJmpAlways = 16;
constexpr uint16_t kJmpJecxz = 115;

// State that only a broken compiler can produce; never a fault in the user's program.
[[noreturn]] void internalError(const std::string& what) {
  throw ECompileError("Internal error in the link step: " + what);
}

std::string procName(const TFunction& f) {
  return f.Name.empty() ? "procedure " + std::to_string(f.FuncIndex) : "procedure " + f.Name;
}

bool fitsShort(int64_t d) { return d >= -126 && d <= 125; }

}  // namespace

// --- removed bytes

void TRemovals::clear() {
  spans_.clear();
  total_ = 0;
}

void TRemovals::add(uint32_t pos, uint32_t count) {
  spans_.push_back({pos, count, total_});
  total_ += count;
}

uint32_t TRemovals::map(uint32_t pos) const {
  auto it = std::upper_bound(spans_.begin(), spans_.end(), pos,
                             [](uint32_t p, const TSpan& s) { return p < s.pos; });
  if (it == spans_.begin()) return pos;
  const TSpan& s = *(it - 1);
  if (pos >= s.pos + s.count) return pos - s.before - s.count;
  return s.pos - s.before;
}

void TRemovals::appendTo(const std::string& code, std::string& out) const {
  size_t from = 0;
  for (const TSpan& s : spans_) {
    out.append(code, from, s.pos - from);
    from = s.pos + s.count;
  }
  out.append(code, from, std::string::npos);
}

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
  while (!pending.empty()) {
    const TFunction& f = *procs[pending.back()];
    pending.pop_back();
    for (const TFixUp& x : f.recAssembler.FixUps)
      if (x.fixType == ftCall || x.fixType == ftProcAddress) reach(target(f, x.fixIndex).FuncIndex);
  }
}

void TCodeLayout::codeFixups(uint32_t* entryOffset) {
  f_code.clear();
  f_codesize = 0;
  laidOut_.clear();
  shortened_.clear();
  auto& procs = c_.listProcedures;
  // The image is never larger than the code it comes from: one allocation, no growth.
  size_t largest = 0;
  for (size_t i = 0; i < procs.size(); ++i)
    if (isReachable(i)) largest += procs[i]->recAssembler.strCode.size();
  f_code.reserve(largest);
  for (size_t i = 0; i < procs.size(); ++i) {
    TFunction& f = *procs[i];
    if (static_cast<size_t>(f.FuncIndex) != i) internalError(procName(f) + " is listed at index " + std::to_string(i));
    if (!isReachable(i)) continue;
    if (f.recAssembler.strCode.empty()) {
      // The global code may be empty; a procedure that is called or exported may not.
      if (i == 0 || f.DLLIndex != -1) continue;
      c_.Error("Procedure " + f.Name + " is used but has no code");
    }
    layOut(f, i == 0 ? entryOffset : nullptr);
  }
}

// --- one procedure

void TCodeLayout::layOut(TFunction& f, uint32_t* entryOffset) {
  checkFixUps(f);
  resolveLabels(f);
  removals_.clear();
  if (f.FuncIndex > 0 && f.DLLIndex == -1) shrinkPrologue(f);
  const size_t first = shortened_.size();
  shortened_.resize(first + f.recAssembler.FixUps.size(), 0);
  shortenJumps(f, shortened_.data() + first);

  for (TFixUp& x : f.recAssembler.FixUps) x.fixAddr = removals_.map(x.fixAddr);
  for (TJumpLabel& label : f.jmpLabels) label.position = removals_.map(label.position);
  if (entryOffset) *entryOffset = removals_.map(*entryOffset);

  f.Address = f_codesize;
  removals_.appendTo(f.recAssembler.strCode, f_code);
  std::string().swap(f.recAssembler.strCode);  // its bytes now live in the image
  f_codesize = static_cast<uint32_t>(f_code.size());
  laidOut_.push_back(&f);
}

// Every patched field must lie inside the procedure's code.
void TCodeLayout::checkFixUps(const TFunction& f) {
  const size_t size = f.recAssembler.strCode.size();
  for (const TFixUp& x : f.recAssembler.FixUps) {
    const size_t width = x.fixType == ftNone ? 0 : x.fixType == ftJmp ? kJumpArea : 4;
    if (x.fixType > ftOffsetLabelAddress || x.fixAddr + width > size)
      internalError("a fix-up of " + procName(f) + " lies outside its code");
  }
  for (const TJumpLabel& label : f.jmpLabels)
    if (label.position > size)
      internalError("label " + TLabelNames::Get().Text(label.name) + " lies outside the code of " + procName(f));
}

// Looks up every label that a jump or a label address names (the first of a name counts,
// letter case ignored) and keeps its index in fixLabelID.
void TCodeLayout::resolveLabels(TFunction& f) {
  TLabelNames& names = TLabelNames::Get();
  const uint32_t owner = names.NewOwner();
  for (size_t i = 0; i < f.jmpLabels.size(); ++i)
    names.Bind(owner, names.Key(f.jmpLabels[i].name), static_cast<int32_t>(i));
  for (TFixUp& x : f.recAssembler.FixUps) {
    if (x.fixType == ftJmp) {
      x.fixLabelID = names.Find(owner, names.Key(x.fixLabel));
      if (x.fixLabelID < 0) c_.Error("Label, If or while block mismatch (" + names.Text(x.fixLabel) + ")");
    } else if (x.fixType == ftOffsetLabelAddress) {
      if (x.fixIndex >= f.ofsLabels.size()) internalError("offset label out of range in " + procName(f));
      const std::string& name = f.ofsLabels[x.fixIndex].first;
      x.fixLabelID = names.Find(owner, names.Key(names.Lookup(name)));
      if (x.fixLabelID < 0) c_.Error("label " + name + " does not exist!");
    } else if (x.fixType == ftLabelAddress) {
      if (x.fixIndex >= f.jmpLabels.size()) internalError("label index out of range in " + procName(f));
    }
  }
}

// The prologue 55 / 8B EC / six 90 bytes becomes the reservation for the locals, in its
// shortest form, or goes away where nothing needs a frame.
void TCodeLayout::shrinkPrologue(TFunction& f) {
  std::string& code = f.recAssembler.strCode;
  const uint32_t at = f.localFixupOffset - 1;  // 0-based start of the six bytes
  if (code.size() < kPrologueSize || f.localFixupOffset == 0 || at + 6 > code.size())
    internalError(procName(f) + " has no prologue");
  if (!f.HasFrame()) {
    removals_.add(0, kPrologueSize);
    return;
  }
  if (f.dwTotalLocalSize == 0) {
    removals_.add(at, 6);
    return;
  }
  const uint32_t reserve = 0u - alignValue(f.dwTotalLocalSize, 4);  // ADD ESP, -size
  if (f.dwTotalLocalSize <= 127) {
    code[at] = '\x83';
    code[at + 1] = '\xC4';
    code[at + 2] = static_cast<char>(reserve & 0xFF);
    removals_.add(at + 3, 3);
  } else {
    code[at] = '\x81';
    code[at + 1] = '\xC4';
    patchLE(code, at + 2, reserve, 4);
  }
}

// A label jump becomes the two-byte form when its label lies close enough with the bytes
// removed so far; jumps are taken in address order so that the distance to a label behind
// them is final. A jump that only comes in range later keeps its six bytes.
void TCodeLayout::shortenJumps(TFunction& f, uint8_t* shortened) {
  const auto& fixups = f.recAssembler.FixUps;
  std::vector<uint32_t>& order = jumpOrder_;
  order.clear();
  for (uint32_t i = 0; i < fixups.size(); ++i)
    if (fixups[i].fixType == ftJmp) order.push_back(i);
  auto byAddress = [&](uint32_t a, uint32_t b) { return fixups[a].fixAddr < fixups[b].fixAddr; };
  if (!std::is_sorted(order.begin(), order.end(), byAddress))
    std::stable_sort(order.begin(), order.end(), byAddress);
  for (uint32_t i : order) {
    const TFixUp& x = fixups[i];
    if (x.fixAddr < removals_.endOfLast()) internalError("overlapping jumps in " + procName(f));
    const uint32_t label = f.jmpLabels[x.fixLabelID].position;
    const int64_t d = int64_t{removals_.map(label)} - (int64_t{removals_.map(x.fixAddr)} + 1);
    if (!fitsShort(d)) continue;
    removals_.add(x.fixAddr + 2, 4);
    shortened[i] = 1;
  }
}

// --- patching

void TCodeLayout::put32(uint32_t pos, uint32_t value) { patchLE(f_code, pos, value, 4); }

void TCodeLayout::add32(uint32_t pos, uint32_t value) { put32(pos, readLE32(f_code, pos) + value); }

void TCodeLayout::finalFixup(const TImageBases& bases) {
  const uint8_t* shortened = shortened_.data();
  for (size_t p = 0; p < laidOut_.size(); ++p) {
    TFunction& f = *laidOut_[p];
    const uint32_t base = f.Address;
    const auto& fixups = f.recAssembler.FixUps;
    for (size_t i = 0; i < fixups.size(); ++i) {
      const TFixUp& x = fixups[i];
      const uint32_t pos = base + x.fixAddr;
      switch (x.fixType) {
        case ftNone:
          break;
        case ftJmp:
          patchJump(f, x, pos, shortened[i]);
          break;
        case ftCall:
          put32(pos, target(f, x.fixIndex).Address - (pos + 4));
          break;
        case ftProcAddress:
          put32(pos, bases.code + target(f, x.fixIndex).Address);
          break;
        case ftDataAddress:
          if (x.fixIndex >= c_.listData.size()) internalError("data item out of range in " + procName(f));
          put32(pos, c_.listData[x.fixIndex]->dataAddress + bases.data + x.fixOffset);
          break;
        case ftAppendDataAddr:
          add32(pos, bases.data);
          break;
        case ftAppendBase:
          add32(pos, bases.imageBase);
          break;
        case ftAppendCodeBase:
          add32(pos, bases.code);
          break;
        case ftLabelAddress:
          put32(pos, bases.code + base + f.jmpLabels[x.fixIndex].position);
          break;
        case ftOffsetLabelAddress:
          put32(pos, bases.code + base + f.jmpLabels[x.fixLabelID].position);
          break;
      }
    }
    shortened += fixups.size();
    std::vector<TFixUp>().swap(f.recAssembler.FixUps);  // applied; the image holds the result
  }
}

// Writes the jump into its area: the short form wherever the label is close enough, else
//   JMP:  E9 rel32          Jcc: 0F 80+cc rel32          (JECXZ has no long form)
void TCodeLayout::patchJump(const TFunction& f, const TFixUp& x, uint32_t pos, bool shortArea) {
  const int64_t d = int64_t{f.jmpLabels[x.fixLabelID].position} - (int64_t{x.fixAddr} + 1);
  const uint16_t kind = x.fixJmp;
  if (kind > 15 && kind != kJmpAlways && kind != kJmpJecxz)
    internalError("jump kind " + std::to_string(kind) + " in " + procName(f));
  if (fitsShort(d)) {
    f_code[pos] = static_cast<char>(kind == kJmpAlways ? 0xEB : kind == kJmpJecxz ? 0xE3 : 0x70 + kind);
    f_code[pos + 1] = static_cast<char>(d - 1);
    return;
  }
  if (shortArea) internalError("a shortened jump of " + procName(f) + " no longer reaches its label");
  if (kind == kJmpJecxz) c_.Error("JECXZ jump too far (" + std::to_string(d - 5) + " bytes)");
  if (kind == kJmpAlways) {
    f_code[pos] = '\xE9';
    put32(pos + 1, static_cast<uint32_t>(d - 4));
  } else {
    f_code[pos] = '\x0F';
    f_code[pos + 1] = static_cast<char>(0x80 + kind);
    put32(pos + 2, static_cast<uint32_t>(d - 5));
  }
}

}  // namespace kelvo

#include "output/procedure_layout.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "output/link_input.h"
#include "assembler/encoders.h"
#include "assembler/form_encoders.h"
#include "output/pe_headers.h"

namespace kelvo {

namespace {

constexpr uint32_t kJumpArea = 6;      // what the encoder leaves for a label jump

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

uint32_t TRemovals::search(uint32_t pos) const {
  auto it = std::upper_bound(spans_.begin(), spans_.end(), pos,
                             [](uint32_t p, const TSpan& s) { return p < s.pos; });
  return it == spans_.begin() ? pos : mapAfter(*(it - 1), pos);
}

// Moves each stretch of kept bytes down over the removed ones before it.
void TRemovals::compact(TCodeBytes& code) const {
  if (spans_.empty()) return;
  char* bytes = code.data();
  size_t to = spans_.front().pos;
  for (size_t i = 0; i < spans_.size(); ++i) {
    const size_t from = spans_[i].pos + spans_[i].count;
    const size_t end = i + 1 < spans_.size() ? spans_[i + 1].pos : code.size();
    std::memmove(bytes + to, bytes + from, end - from);
    to += end - from;
  }
  code.truncate(to);
}

// --- one procedure

void TProcedureLayout::internalError(const std::string& what) const {
  if (!strict_) throw TNotNow{};
  TLinkInput::InternalError(what);
}

void TProcedureLayout::compileError(const std::string& message) const {
  if (!strict_ || !in_) throw TNotNow{};
  in_->Error(message);
}

bool TProcedureLayout::layOut(const TLinkInput* input, TFunction& f, uint32_t* entryOffset, bool strict) {
  in_ = input;
  strict_ = strict;
  removals_.clear();
  farJecxz_.clear();
  try {
    checkFixUps(f);
    resolveLabels(f);
    if (f.FuncIndex > 0 && f.DLLIndex == -1) shrinkPrologue(f);
    shortenJumps(f);
    mapLabels(f);
    checkJumps(f);
  } catch (const TNotNow&) {
    return false;
  }
  // From here on nothing fails: positions move, the code closes up, the jumps are written.
  moveFixUps(f, entryOffset);
  removals_.compact(f.recAssembler.strCode);
  writeJumps(f);
  f.isLaidOut = true;
  return true;
}

// Every patched field must lie inside the procedure's code.
void TProcedureLayout::checkFixUps(const TFunction& f) const {
  const size_t size = f.recAssembler.strCode.size();
  for (const TFixUp& x : f.recAssembler.FixUps) {
    const size_t width = x.fixType == ftNone ? 0 : x.fixType == ftJmp ? kJumpArea : x.fixSize == 16 ? 2 : 4;
    if (x.fixType > ftOffsetLabelAddress || x.fixAddr + width > size)
      internalError("a fix-up of " + procName(f) + " lies outside its code");
  }
  for (const TJumpLabel& label : f.jmpLabels)
    if (label.position > size)
      internalError("label " + TLabelNames::Get().Text(label.name) + " lies outside the code of " + procName(f));
}

// Looks up every label that a jump or a label address names (the first of a name counts,
// letter case ignored) and keeps its index in fixLabelID.
void TProcedureLayout::resolveLabels(TFunction& f) const {
  TLabelNames& names = TLabelNames::Get();
  const uint32_t owner = names.NewOwner();
  for (size_t i = 0; i < f.jmpLabels.size(); ++i)
    names.Bind(owner, names.Key(f.jmpLabels[i].name), static_cast<int32_t>(i));
  std::string missing;  // the first report; the owner's slots go back before it is made
  for (TFixUp& x : f.recAssembler.FixUps) {
    if (x.fixType == ftJmp) {
      x.fixLabelID = names.Find(owner, names.Key(x.fixLabel));
      if (x.fixLabelID < 0 && missing.empty()) missing = "Label, If or while block mismatch (" + names.Text(x.fixLabel) + ")";
    } else if (x.fixType == ftOffsetLabelAddress && x.fixIndex < f.ofsLabels.size()) {
      const std::string& name = f.ofsLabels[x.fixIndex].first;
      x.fixLabelID = names.Find(owner, names.Key(names.Lookup(name)));
      if (x.fixLabelID < 0 && missing.empty()) missing = "label " + name + " does not exist!";
    }
  }
  names.Release(owner);
  for (const TFixUp& x : f.recAssembler.FixUps) {
    if (x.fixType == ftOffsetLabelAddress && x.fixIndex >= f.ofsLabels.size())
      internalError("offset label out of range in " + procName(f));
    if (x.fixType == ftLabelAddress && x.fixIndex >= f.jmpLabels.size())
      internalError("label index out of range in " + procName(f));
  }
  if (!missing.empty()) compileError(missing);
}

// The prologue 55 / 8B EC / six 90 bytes (66 55 / 66 8B EC / six 90 in 16-bit code) becomes
// the reservation for the locals, in its shortest form, or goes away where nothing needs a
// frame. Writing the reservation twice gives the same bytes, so a layout given up after it
// can be done again.
void TProcedureLayout::shrinkPrologue(TFunction& f) {
  TCodeBytes& code = f.recAssembler.strCode;
  const uint32_t at = f.localFixupOffset - 1;  // 0-based start of the six bytes
  const uint32_t prologueSize = at + 6;
  if (f.localFixupOffset == 0 || prologueSize > code.size()) internalError(procName(f) + " has no prologue");
  if (!f.HasFrame()) {
    removals_.add(0, prologueSize);
    return;
  }
  if (f.dwTotalLocalSize == 0) {
    removals_.add(at, 6);
    return;
  }
  // ADD ESP, -size; the full form from 128 bytes of locals on, even where -128 would fit a byte.
  // 16-bit code takes ADD SP, which fits the area in either form: its stack moves SP only.
  const uint32_t reserve = 0u - alignValue(f.dwTotalLocalSize, 4);
  const bool shortForm = f.dwTotalLocalSize <= 127;
  const TForm& add = kForms[shortForm ? fmAddRmImm8 : fmAddRmImm];
  TInstr in;
  in.mode = prologueMode(at);
  if (in.mode == 16 && alignValue(f.dwTotalLocalSize, 4) > 0x7FFC)
    internalError("the locals of " + procName(f) + " do not fit a 16-bit reservation");
  PutModRMReg(in, add, in.mode / 8, 0, RegNum(rdESP));
  PutImmediate(in, add, in.mode / 8, reserve);
  std::memcpy(code.data() + at, in.b, in.n);
  if (in.n < 6) removals_.add(at + in.n, 6 - in.n);
}

// A label jump becomes the two-byte form when its label lies close enough with the bytes
// removed so far; jumps are taken in address order so that the distance to a label behind
// them is final. A jump that only comes in range later keeps its six bytes.
void TProcedureLayout::shortenJumps(const TFunction& f) {
  const auto& fixups = f.recAssembler.FixUps;
  jumps_.clear();
  for (uint32_t i = 0; i < fixups.size(); ++i)
    if (fixups[i].fixType == ftJmp) jumps_.push_back(i);
  auto byAddress = [&](uint32_t a, uint32_t b) { return fixups[a].fixAddr < fixups[b].fixAddr; };
  if (!std::is_sorted(jumps_.begin(), jumps_.end(), byAddress))
    std::stable_sort(jumps_.begin(), jumps_.end(), byAddress);
  shortened_.assign(jumps_.size(), 0);
  for (size_t j = 0; j < jumps_.size(); ++j) {
    const TFixUp& x = fixups[jumps_[j]];
    if (x.fixAddr < removals_.endOfLast()) internalError("overlapping jumps in " + procName(f));
    if (fitsShort(distance(f, x))) {
      const uint32_t size = LabelJumpSize(x.fixJmp, true, jumpMode(x));
      removals_.add(x.fixAddr + size, kJumpArea - size);
      shortened_[j] = 1;
    } else if (x.fixSize == 16 && x.fixJmp != kJumpEcxZero) {
      // 16-bit code reads a 16-bit displacement: E9 rw, 0F 80+cc rw.
      const uint32_t size = longJumpSize(x);
      removals_.add(x.fixAddr + size, kJumpArea - size);
    }
  }
}

// Fix-ups, labels and the entry take their places in the closed-up code.
void TProcedureLayout::moveFixUps(TFunction& f, uint32_t* entryOffset) const {
  TRemovals::TWalk walk(removals_);
  for (TFixUp& x : f.recAssembler.FixUps) x.fixAddr = walk.map(x.fixAddr);
  for (size_t i = 0; i < f.jmpLabels.size(); ++i) f.jmpLabels[i].position = labelsAt_[i];
  if (entryOffset) *entryOffset = removals_.map(*entryOffset);
}

// Writes every label jump into its area and drops its fix-up; the labels stay only where a
// label's address is still to be patched in.
void TProcedureLayout::writeJumps(TFunction& f) const {
  auto& fixups = f.recAssembler.FixUps;
  for (size_t j = 0; j < jumps_.size(); ++j)
    writeJump(fixups[jumps_[j]], distances_[j], f.recAssembler.strCode);
  fixups.erase(std::remove_if(fixups.begin(), fixups.end(), [](const TFixUp& x) { return x.fixType == ftJmp; }),
               fixups.end());
  const bool addressesLeft = std::any_of(fixups.begin(), fixups.end(), [](const TFixUp& x) {
    return x.fixType == ftLabelAddress || x.fixType == ftOffsetLabelAddress;
  });
  if (!addressesLeft) std::vector<TJumpLabel>().swap(f.jmpLabels);
}

// Once every removal is known, each label's final position; labels come mostly in address
// order, so they are walked to rather than searched for.
void TProcedureLayout::mapLabels(const TFunction& f) {
  TRemovals::TWalk walk(removals_);
  labelsAt_.resize(f.jmpLabels.size());
  for (size_t i = 0; i < f.jmpLabels.size(); ++i) labelsAt_[i] = walk.map(f.jmpLabels[i].position);
}

// Each jump must reach its label in the form its area was given; JECXZ has no long form.
// Of the JECXZ jumps out of reach, the first recorded is the one reported. The distances are
// kept for writing the jumps.
void TProcedureLayout::checkJumps(const TFunction& f) {
  uint32_t farIndex = UINT32_MAX;
  TRemovals::TWalk walk(removals_);
  distances_.resize(jumps_.size());
  for (size_t j = 0; j < jumps_.size(); ++j) {
    const TFixUp& x = f.recAssembler.FixUps[jumps_[j]];
    const int64_t d = int64_t{labelsAt_[x.fixLabelID]} - (int64_t{walk.map(x.fixAddr)} + 1);
    distances_[j] = d;
    if (x.fixJmp > 15 && x.fixJmp != kJumpAlways && x.fixJmp != kJumpEcxZero)
      internalError("jump kind " + std::to_string(x.fixJmp) + " in " + procName(f));
    if (fitsShort(d)) continue;
    if (shortened_[j]) internalError("a shortened jump of " + procName(f) + " no longer reaches its label");
    const int64_t rel16 = d + 1 - longJumpSize(x);
    if (x.fixSize == 16 && x.fixJmp != kJumpEcxZero && (rel16 < -32768 || rel16 > 32767))
      compileError("Jump too far for 16-bit code (" + std::to_string(d) + " bytes)");
    if (x.fixJmp != kJumpEcxZero || jumps_[j] > farIndex) continue;
    if (!strict_) throw TNotNow{};
    farIndex = jumps_[j];
    farJecxz_ = "JECXZ jump too far (" + std::to_string(d - 5) + " bytes)";
  }
}

// The long form of a label jump in 16-bit code: E9 rw or 0F 80+cc rw.
uint32_t TProcedureLayout::longJumpSize(const TFixUp& x) { return LabelJumpSize(x.fixJmp, false, 16); }

// The frame moves in front of the six bytes: three in 32-bit code, five with the 66 prefixes
// of 16-bit code.
uint16_t TProcedureLayout::prologueMode(uint32_t areaStart) { return areaStart == 5 ? 16 : 32; }

// A label jump recorded in 16-bit code carries fixSize 16.
uint16_t TProcedureLayout::jumpMode(const TFixUp& x) { return x.fixSize == 16 ? 16 : 32; }

// From the byte after the jump's first one to its label, once the removed bytes are gone.
int64_t TProcedureLayout::distance(const TFunction& f, const TFixUp& x) const {
  const uint32_t label = f.jmpLabels[x.fixLabelID].position;
  return int64_t{removals_.map(label)} - (int64_t{removals_.map(x.fixAddr)} + 1);
}

// The short form wherever the label is close enough (d, from the byte after the jump's first
// one), else the near one; in 32-bit code the near JMP leaves the sixth byte of its area as a
// NOP. The position is already that of the closed-up code, and the area holds either form.
void TProcedureLayout::writeJump(const TFixUp& x, int64_t d, TCodeBytes& code) {
  const bool shortForm = fitsShort(d);
  const uint32_t size = LabelJumpSize(x.fixJmp, shortForm, jumpMode(x));
  const TInstr jump = LabelJump(x.fixJmp, shortForm, jumpMode(x), static_cast<int32_t>(d + 1 - size));
  assert(x.fixAddr + jump.n <= code.size());
  std::memcpy(code.data() + x.fixAddr, jump.b, jump.n);
}

}  // namespace kelvo

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

constexpr uint32_t kJumpArea = kLabelJumpArea;  // what the encoder leaves for a label jump

std::string procName(const TFunction& f) {
  return f.Name.empty() ? "procedure " + std::to_string(f.FuncIndex) : "procedure " + f.Name;
}

bool fitsShort(int64_t d) { return d >= -126 && d <= 125; }

// Out of line: the lists a layout fills grow only for the largest procedure so far.
template <typename T>
[[gnu::noinline]] void growTo(std::vector<T>& list, size_t size) {
  list.resize(size);
}

constexpr size_t kJumpRoomAtOnce = 4096;  // fix-ups of a procedure, far more than usual

[[gnu::noinline]] size_t countJumps(const std::vector<TFixUp>& fixups) {
  return static_cast<size_t>(std::count_if(fixups.begin(), fixups.end(), [](const TFixUp& x) { return x.fixType == ftJmp; }));
}

}  // namespace

// --- removed bytes

void TRemovals::clear() {
  used_ = 0;
  total_ = 0;
  endOfLast_ = 0;
}

uint32_t TRemovals::search(uint32_t pos) const {
  const TSpan* spans = spans_.data();
  const TSpan* it = std::upper_bound(spans, spans + used_, pos, [](uint32_t p, const TSpan& s) { return p < s.pos; });
  return it == spans ? pos : mapAfter(*(it - 1), pos);
}

void TRemovals::grow(size_t spans) {
  spans_.resize(std::max(spans, 2 * spans_.size()));
  room_ = spans_.size();
}

namespace {

// The first and the last sizeof(T) bytes, which overlap where n is under twice that, both
// loaded before either is stored.
template <typename T>
void moveEnds(char* to, const char* from, size_t n) {
  T head, tail;
  std::memcpy(&head, from, sizeof head);
  std::memcpy(&tail, from + n - sizeof tail, sizeof tail);
  std::memcpy(to, &head, sizeof head);
  std::memcpy(to + n - sizeof tail, &tail, sizeof tail);
}

// Moves n bytes down (to lies before from); the stretches between label jumps are mostly
// a few instructions long, so those take two loads and two stores, without a call.
void moveDown(char* to, const char* from, size_t n) {
  if (n > 16) {
    std::memmove(to, from, n);
  } else if (n >= 8) {
    moveEnds<uint64_t>(to, from, n);
  } else if (n >= 4) {
    moveEnds<uint32_t>(to, from, n);
  } else if (n >= 2) {
    moveEnds<uint16_t>(to, from, n);
  } else if (n == 1) {
    to[0] = from[0];
  }
}

}  // namespace

// Moves each stretch of kept bytes down over the removed ones before it.
void TRemovals::compact(TCodeBytes& code) const {
  if (used_ == 0) return;
  char* bytes = code.data();
  const TSpan* spans = spans_.data();
  size_t to = spans[0].pos;
  for (size_t i = 0; i < used_; ++i) {
    const size_t from = spans[i].pos + spans[i].count;
    const size_t end = i + 1 < used_ ? spans[i + 1].pos : code.size();
    moveDown(bytes + to, bytes + from, end - from);
    to += end - from;
  }
  code.truncate(to);
}

// --- one procedure

bool TProcedureLayout::layOut(const TLinkInput* input, TFunction& f, uint32_t* entryOffset, bool strict) {
  in_ = input;
  strict_ = strict;
  removals_.clear();
  jumpCount_ = 0;
  runCount_ = 0;
  farJecxz_.clear();
  try {
    resolveLabels(f);
    removals_.reserve(jumpCount_ + 1);  // a span for each jump and the prologue
    if (f.FuncIndex > 0 && f.DLLIndex == -1) shrinkPrologue(f);
    shortenJumps(f);
    checkJumps();
  } catch (const TNotNow&) {
    return false;
  }
  // From here on nothing fails: the jumps are written into their areas, positions move, and
  // the code closes up over the bytes the jumps do not need.
  writeJumps(f);
  moveFixUps(f, entryOffset);
  removals_.compact(f.recAssembler.strCode);
  f.isLaidOut = true;
  return true;
}

// Looks up every label that a jump or a label address names (the first of a name counts,
// letter case ignored) and keeps its index in fixLabelID; gathers the label jumps by address.
// Every patched field and label must lie inside the procedure's code; a malformed procedure
// is reported before a missing label.
void TProcedureLayout::resolveLabels(TFunction& f) {
  const uint32_t round = TLabelNames::Get().NewRound();
  uint32_t missing = kNoFixUp;  // the fix-up of the first label that does not exist
  TFaultAt fault = bindLabels(f, round);
  if (fault.fault == TFault::none) fault = scanFixUps(f, round, missing);
  if (fault.fault != TFault::none) fail(f, fault);
  if (missing != kNoFixUp) missingLabel(f, missing);
  sortJumps();
}

TProcedureLayout::TFaultAt TProcedureLayout::bindLabels(const TFunction& f, uint32_t round) const {
  TLabelNames& names = TLabelNames::Get();
  const size_t size = f.recAssembler.strCode.size();
  const auto count = static_cast<uint32_t>(f.jmpLabels.size());
  const TJumpLabel* const labels = f.jmpLabels.data();  // in a register: binding cannot move it
  for (uint32_t i = 0; i < count; ++i) {
    const TJumpLabel& label = labels[i];
    if (label.position > size) return {TFault::labelOutside, i};
    names.BindInRound(round, names.Key(label.name), static_cast<int32_t>(i));
  }
  return {};
}

// One pass over the fix-ups; returns the first fault found, and keeps the first missing label.
TProcedureLayout::TFaultAt TProcedureLayout::scanFixUps(TFunction& f, uint32_t round, uint32_t& missing) {
  const TLabelNames& names = TLabelNames::Get();
  const size_t size = f.recAssembler.strCode.size();
  auto& fixups = f.recAssembler.FixUps;
  const auto count = static_cast<uint32_t>(fixups.size());
  uint32_t lastJump = 0;  // the address of the last label jump met
  // Room for every jump at once, so that the loop takes no checks; a procedure with a great
  // many fix-ups (the global code's calls) counts its jumps rather than take room for all.
  const size_t room = count <= kJumpRoomAtOnce ? count : countJumps(fixups);
  if (jumps_.size() < room) growTo(jumps_, room);
  if (kept_.size() < room + 1) growTo(kept_, room + 1);  // a run ahead of each jump and one after all
  TJump* jumps = jumps_.data();
  size_t jumpCount = 0;
  TRun* runs = kept_.data();
  size_t runCount = 0;
  TRun run = {0, 0};  // the run being gathered, listed once a jump or the end closes it
  bool outOfOrder = false;
  bool toCheck = false;
  TFixUp* const list = fixups.data();  // in a register: the stores below cannot move it
  for (uint32_t i = 0; i < count; ++i) {
    TFixUp& x = list[i];
    const TFixType type = x.fixType;
    if (type == ftJmp) {
      // Every field is read before fixLabelID is written, so none is read twice.
      const uint32_t addr = x.fixAddr;
      const uint16_t kind = x.fixJmp;
      const bool mode16 = x.fixSize == 16;  // a label jump recorded in 16-bit code
      if (size_t{addr} + kJumpArea > size) return {TFault::fixUpOutside, i};
      if (kind > 15 && kind != kJumpAlways && kind != kJumpEcxZero) return {TFault::jumpKind, i};
      const int32_t label = names.FindInRound(round, names.Key(x.fixLabel));
      x.fixLabelID = label;
      if (label < 0 && missing == kNoFixUp) missing = i;
      outOfOrder |= addr < lastJump;
      lastJump = addr;
      const bool ecxZero = kind == kJumpEcxZero;
      const auto nearForm = static_cast<uint8_t>(LabelJumpForm(kind, false, mode16 ? 16 : 32));
      jumps[jumpCount++] = {addr, 0, i, label, nearForm, ecxZero, mode16, false};  // at: once shortened
      toCheck |= ecxZero || mode16;
      continue;
    }
    const size_t width = type == ftNone ? 0 : x.fixSize == 16 ? 2 : 4;
    if (type > ftOffsetLabelAddress || x.fixAddr + width > size) return {TFault::fixUpOutside, i};
    if (i != run.end) {
      if (run.end != run.begin) runs[runCount++] = run;
      run.begin = i;
    }
    run.end = i + 1;
    if (type == ftOffsetLabelAddress) {
      if (x.fixIndex >= f.ofsLabels.size()) return {TFault::offsetLabelRange, i};
      x.fixLabelID = names.FindInRound(round, names.Key(names.Lookup(f.ofsLabels[x.fixIndex].first)));
      if (x.fixLabelID < 0 && missing == kNoFixUp) missing = i;
    } else if (type == ftLabelAddress && x.fixIndex >= f.jmpLabels.size()) {
      return {TFault::labelIndexRange, i};
    }
  }
  jumpCount_ = jumpCount;
  if (run.end != run.begin) runs[runCount++] = run;
  runCount_ = runCount;
  jumpsOutOfOrder_ = outOfOrder;
  jumpsToCheck_ = toCheck;
  return {};
}

// --- reports, kept apart from the layout: a fault is rare, and its text costs more than the
// layout of a procedure

void TProcedureLayout::fail(const TFunction& f, TFaultAt fault) const {
  if (!strict_) throw TNotNow{};
  const std::string proc = procName(f);
  switch (fault.fault) {
    case TFault::labelOutside:
      TLinkInput::InternalError("label " + TLabelNames::Get().Text(f.jmpLabels[fault.at].name) +
                                " lies outside the code of " + proc);
    case TFault::fixUpOutside:
      TLinkInput::InternalError("a fix-up of " + proc + " lies outside its code");
    case TFault::jumpKind:
      TLinkInput::InternalError("jump kind " + std::to_string(f.recAssembler.FixUps[fault.at].fixJmp) + " in " + proc);
    case TFault::offsetLabelRange:
      TLinkInput::InternalError("offset label out of range in " + proc);
    case TFault::labelIndexRange:
      TLinkInput::InternalError("label index out of range in " + proc);
    case TFault::noPrologue:
      TLinkInput::InternalError(proc + " has no prologue");
    case TFault::localsTooLarge:
      TLinkInput::InternalError("the locals of " + proc + " do not fit a 16-bit reservation");
    case TFault::overlappingJumps:
    case TFault::none:  // never reported
      break;
  }
  TLinkInput::InternalError("overlapping jumps in " + proc);
}

void TProcedureLayout::missingLabel(const TFunction& f, uint32_t fixUp) const {
  if (!strict_ || !in_) throw TNotNow{};
  const TFixUp& x = f.recAssembler.FixUps[fixUp];
  if (x.fixType == ftJmp)
    in_->Error("Label, If or while block mismatch (" + TLabelNames::Get().Text(x.fixLabel) + ")");
  in_->Error("label " + f.ofsLabels[x.fixIndex].first + " does not exist!");
}

void TProcedureLayout::tooFarFor16Bit(int64_t distance) const {
  if (!strict_ || !in_) throw TNotNow{};
  in_->Error("Jump too far for 16-bit code (" + std::to_string(distance) + " bytes)");
}

void TProcedureLayout::keepFarJecxz(int64_t distance) {
  if (!strict_) throw TNotNow{};
  farJecxz_ = "JECXZ jump too far (" + std::to_string(distance - 5) + " bytes)";
}

// Jumps recorded out of address order (rare) are sorted, those at one address kept in the
// order recorded.
void TProcedureLayout::sortJumps() {
  auto byAddress = [](const TJump& a, const TJump& b) { return a.addr < b.addr; };
  if (jumpsOutOfOrder_) std::stable_sort(jumps().begin(), jumps().end(), byAddress);
}

// The prologue 55 / 8B EC / six 90 bytes (66 55 / 66 8B EC / six 90 in 16-bit code) becomes
// the reservation for the locals, in its shortest form, or goes away where nothing needs a
// frame. Writing the reservation twice gives the same bytes, so a layout given up after it
// can be done again.
void TProcedureLayout::shrinkPrologue(TFunction& f) {
  TCodeBytes& code = f.recAssembler.strCode;
  const uint32_t at = f.localFixupOffset - 1;  // 0-based start of the six bytes
  const uint32_t prologueSize = at + 6;
  if (f.localFixupOffset == 0 || prologueSize > code.size()) fail(f, {TFault::noPrologue});
  if (!f.HasFrame()) {
    removals_.add(0, prologueSize);
    return;
  }
  if (f.dwTotalLocalSize == 0) {
    removals_.add(at, 6);
    return;
  }
  reserveLocals(f, at);
}

// Out of line, as the encoder it takes is a good part of the layout's code and many
// procedures have no locals.
void TProcedureLayout::reserveLocals(TFunction& f, uint32_t at) {
  TCodeBytes& code = f.recAssembler.strCode;
  // ADD ESP, -size; the full form from 128 bytes of locals on, even where -128 would fit a byte.
  // 16-bit code takes ADD SP, which fits the area in either form: its stack moves SP only.
  const uint32_t reserve = 0u - alignValue(f.dwTotalLocalSize, 4);
  const bool shortForm = f.dwTotalLocalSize <= 127;
  const TForm& add = kForms[shortForm ? fmAddRmImm8 : fmAddRmImm];
  TInstr in;
  in.mode = prologueMode(at);
  if (in.mode == 16 && alignValue(f.dwTotalLocalSize, 4) > 0x7FFC)
    fail(f, {TFault::localsTooLarge});
  PutModRMReg(in, add, in.mode / 8, 0, RegNum(rdESP));
  PutImmediate(in, add, in.mode / 8, reserve);
  std::memcpy(code.data() + at, in.b, in.n);
  if (in.n < 6) removals_.add(at + in.n, 6 - in.n);
}

// A label jump becomes the two-byte form when its label lies close enough with the bytes
// removed so far; a jump that only comes in range later keeps its six bytes. Jumps are taken
// in address order, so a label at or behind a jump is already final: every later removal lies
// ahead of it. Labels are therefore placed as the jumps pass them (mostly behind the last
// removal, so found at once); one listed out of address order is looked up, and the rest are
// placed at the end.
void TProcedureLayout::shortenJumps(const TFunction& f) {
  const size_t labelCount = f.jmpLabels.size();
  if (labelsAt_.size() < labelCount) growTo(labelsAt_, labelCount);
  // Both lists in registers: the stores below cannot move them.
  const TJumpLabel* const labels = f.jmpLabels.data();
  uint32_t* const labelsAt = labelsAt_.data();
  size_t placed = 0;  // labels before this one have their final positions
  for (TJump& jump : jumps()) {
    const uint32_t addr = jump.addr;
    if (addr < removals_.endOfLast()) fail(f, {TFault::overlappingJumps});
    for (; placed < labelCount && labels[placed].position <= addr; ++placed)
      labelsAt[placed] = removals_.map(labels[placed].position);
    const auto label = static_cast<size_t>(jump.label);
    const uint32_t labelPos = labels[label].position;
    // Ahead of the jump, the label moves by what was removed before the jump, as the jump does.
    const uint32_t labelAt = label < placed    ? labelsAt[label]
                             : labelPos > addr ? labelPos - removals_.total()
                                               : removals_.map(labelPos);
    const uint32_t at = addr - removals_.total();
    jump.at = at;
    if (fitsShort(int64_t{labelAt} - (int64_t{at} + 1))) {
      const uint32_t size = kLabelJumpSizes[jump.nearForm + 1];
      removals_.add(addr + size, kJumpArea - size);
      jump.shortened = true;
    } else if (jump.mode16 && !jump.ecxZero) {
      // 16-bit code reads a 16-bit displacement: E9 rw, 0F 80+cc rw.
      const uint32_t size = kLabelJumpSizes[jump.nearForm];
      removals_.add(addr + size, kJumpArea - size);
    }
  }
  TRemovals::TWalk walk(removals_);
  for (; placed < labelCount; ++placed) labelsAt[placed] = walk.map(labels[placed].position);
}

// Each jump must reach its label in the form its area was given: JECXZ has no long form, and
// 16-bit code's near form reaches 32 KiB. Of the JECXZ jumps out of reach, the first recorded
// is the one reported. Other jumps always reach: their near form spans the whole code.
void TProcedureLayout::checkJumps() {
  if (!jumpsToCheck_) return;
  uint32_t farIndex = UINT32_MAX;
  for (const TJump& jump : jumps()) {
    const int64_t d = distance(jump);
    if (fitsShort(d)) continue;
    if (jump.ecxZero) {
      if (jump.fixUp > farIndex) continue;
      farIndex = jump.fixUp;
      keepFarJecxz(d);
    } else if (jump.mode16) {
      const int64_t rel16 = d + 1 - kLabelJumpSizes[jump.nearForm];
      if (rel16 < -32768 || rel16 > 32767) tooFarFor16Bit(d);
    }
  }
}

// The frame moves in front of the six bytes: three in 32-bit code, five with the 66 prefixes
// of 16-bit code.
uint16_t TProcedureLayout::prologueMode(uint32_t areaStart) { return areaStart == 5 ? 16 : 32; }

// Fix-ups, labels and the entry take their places in the closed-up code. The label jumps'
// fix-ups go, as the jumps are written now; the labels stay only where a label's address is
// still to be patched in.
void TProcedureLayout::moveFixUps(TFunction& f, uint32_t* entryOffset) const {
  auto& fixups = f.recAssembler.FixUps;
  TRemovals::TWalk walk(removals_);
  bool addressesLeft = false;
  // Only the fix-ups that stay are visited: most of a procedure's are label jumps. Each moves
  // down to its place in the shorter list, never past one still to be read.
  size_t k = 0;
  for (size_t r = 0; r < runCount_; ++r)
    for (uint32_t i = kept_[r].begin, end = kept_[r].end; i < end; ++i, ++k) {
      TFixUp x = fixups[i];
      x.fixAddr = walk.map(x.fixAddr);
      addressesLeft |= x.fixType == ftLabelAddress || x.fixType == ftOffsetLabelAddress;
      fixups[k] = x;
    }
  fixups.erase(fixups.begin() + static_cast<ptrdiff_t>(k), fixups.end());
  if (addressesLeft) {
    for (size_t i = 0; i < f.jmpLabels.size(); ++i) f.jmpLabels[i].position = labelsAt_[i];
  } else {
    f.jmpLabels.clear();  // its room goes on to the next body
  }
  if (entryOffset) *entryOffset = removals_.map(*entryOffset);
}

void TProcedureLayout::writeJumps(TFunction& f) const {
  auto* code = reinterpret_cast<uint8_t*>(f.recAssembler.strCode.data());
  // In a register: the bytes written below could be anything to the compiler, this list too.
  const uint32_t* const labelsAt = labelsAt_.data();
  for (const TJump& jump : jumps()) {
    // The short form wherever the label is close enough, else the near one; in 32-bit code
    // the near JMP leaves the sixth byte of its area as a NOP.
    const auto d = static_cast<int32_t>(distance(jump, labelsAt));
    // A jump shrank only with its label in reach, and later removals bring a label ahead of
    // it closer, never past it.
    assert(!jump.shortened || fitsShort(d));
    const int form = jump.nearForm + (fitsShort(d) ? 1 : 0);
    WriteLabelJump(code + jump.addr, form, d + 1 - kLabelJumpSizes[form]);
  }
}

}  // namespace kelvo

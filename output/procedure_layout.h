// Lays out one procedure on its own: finds its labels, shrinks its prologue and its label
// jumps, and writes the jumps, all inside the procedure's own code. What is left for the
// image are the fix-ups that need addresses: calls, procedure, data and label addresses.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "frontend/function.h"

namespace kelvo {

struct TLinkInput;

// Bytes taken out of one procedure's code, in ascending order of their original position.
// Every position of the procedure (fix-ups, labels, the entry) is mapped through the whole
// list, so the result does not depend on the order in which fix-ups were recorded.
class TRemovals {
 public:
  void clear();
  // Room for this many spans in all, so that adding them does not grow the list.
  void reserve(size_t spans) {
    if (room_ < spans) grow(spans);
  }
  // pos must not lie before the end of the last one. Inline: every shortened jump adds one.
  [[gnu::always_inline]] void add(uint32_t pos, uint32_t count) {
    if (used_ == room_) grow(used_ + 1);
    spans_[used_++] = {pos, count, total_};
    total_ += count;
    endOfLast_ = pos + count;
  }
  // A position inside removed bytes maps to their start. One behind every span is the common
  // case while the jumps are shortened (each jump's own address, and every label ahead of it).
  uint32_t map(uint32_t pos) const { return pos >= endOfLast_ ? pos - total_ : search(pos); }
  uint32_t endOfLast() const { return endOfLast_; }
  // Takes the removed bytes out of the code.
  void compact(TCodeBytes& code) const;
  uint32_t total() const { return total_; }

 private:
  struct TSpan;

 public:
  // Maps positions met in ascending order (fix-ups and labels by address) by walking
  // the spans once instead of searching them for each; one met out of order is searched for.
  class TWalk {
   public:
    explicit TWalk(const TRemovals& removals)
        : r_(removals), first_(removals.spans_.data()), next_(first_), end_(first_ + removals.used_) {}
    uint32_t map(uint32_t pos) {
      if (pos < last_) return r_.map(pos);
      last_ = pos;
      while (next_ != end_ && next_->pos <= pos) ++next_;
      return next_ == first_ ? pos : mapAfter(next_[-1], pos);
    }

   private:
    const TRemovals& r_;
    const TSpan* first_;
    const TSpan* next_;  // the first span that starts after the last position walked to
    const TSpan* end_;
    uint32_t last_ = 0;
  };

 private:
  struct TSpan {
    uint32_t pos, count, before;  // before: bytes removed ahead of this span
  };
  uint32_t search(uint32_t pos) const;
  [[gnu::noinline]] void grow(size_t spans);
  // pos mapped through s, the last span that starts at or before it.
  static uint32_t mapAfter(const TSpan& s, uint32_t pos) {
    return pos >= s.pos + s.count ? pos - s.before - s.count : s.pos - s.before;
  }
  // Kept at its largest size: a procedure's spans are the first used_ of them, and adding one
  // rarely needs more room.
  std::vector<TSpan> spans_;
  size_t room_ = 0;  // spans_.size(), kept apart as the size of a vector of spans takes a division
  size_t used_ = 0;
  uint32_t total_ = 0;
  uint32_t endOfLast_ = 0;  // where the last span ends; 0 while there is none
};

class TProcedureLayout {
 public:
  // Lays the procedure out and marks it isLaidOut. The link step passes strict: a missing
  // label is the user's compile error, a JECXZ out of reach is kept in farJecxz() and a
  // malformed procedure is an internal error. The end of a body does not: then any such
  // fault leaves the procedure as it was (true is not returned), for the link step to lay
  // out and report only if the procedure is part of the program.
  // entryOffset, a position in the global code, moves with the bytes removed from it.
  bool layOut(const TLinkInput* input, TFunction& f, uint32_t* entryOffset, bool strict);
  // After a strict layout: the report of the procedure's first JECXZ whose label is out of
  // reach, or empty. The link step gives it only once every procedure's labels are found, so
  // a missing label anywhere in the program is reported first.
  const std::string& farJecxz() const { return farJecxz_; }

 private:
  struct TNotNow {};  // a fault met when not strict
  // What can be wrong with a procedure's record; the text is built only where it is reported,
  // out of the way of the layout itself.
  enum class TFault : uint8_t {
    none,
    labelOutside,      // at: the label
    fixUpOutside,      // at: the fix-up
    jumpKind,          // at: the fix-up
    offsetLabelRange,  // at: the fix-up
    labelIndexRange,   // at: the fix-up
    noPrologue,
    localsTooLarge,
    overlappingJumps,
  };
  struct TFaultAt {
    TFault fault = TFault::none;
    uint32_t at = 0;
  };
  static constexpr uint32_t kNoFixUp = UINT32_MAX;
  // A label jump, in the order of the addresses of the areas.
  struct TJump {
    uint32_t addr;       // where its six-byte area starts in the code as recorded
    uint32_t at;         // where it starts once the removed bytes are gone
    uint32_t fixUp;      // its fix-up's index: the JECXZ first recorded is the one reported
    int32_t label;       // in the procedure's jmpLabels
    uint8_t nearForm;    // as LabelJumpForm numbers them; the short form is the next one
    bool ecxZero;        // JECXZ, which has no near form
    bool mode16;         // recorded in 16-bit code
    bool shortened;      // its area shrank to the short form
  };
  const TLinkInput* in_ = nullptr;  // where a strict layout reports
  bool strict_ = true;
  TRemovals removals_;
  // Both kept at their largest size, so that filling them in takes no checks for room: the
  // procedure's jumps are the first jumpCount_.
  std::vector<TJump> jumps_;
  size_t jumpCount_ = 0;
  // The fix-ups that stay once the jumps are written (calls, addresses), as runs of indices
  // in the procedure's list between the jumps: the first runCount_, kept at its largest size
  // like jumps_. Runs keep the list short where nearly all stay (the global code's calls).
  struct TRun {
    uint32_t begin, end;
  };
  std::vector<TRun> kept_;
  size_t runCount_ = 0;
  bool jumpsOutOfOrder_ = false;  // recorded out of address order: to be sorted
  bool jumpsToCheck_ = false;     // some JECXZ or 16-bit jump, which may not reach its label
  std::vector<uint32_t> labelsAt_;  // per label: its position once the removed bytes are gone
  std::string farJecxz_;

  std::span<TJump> jumps() { return {jumps_.data(), jumpCount_}; }
  std::span<const TJump> jumps() const { return {jumps_.data(), jumpCount_}; }
  [[noreturn, gnu::cold, gnu::noinline]] void fail(const TFunction& f, TFaultAt fault) const;
  [[noreturn, gnu::cold, gnu::noinline]] void missingLabel(const TFunction& f, uint32_t fixUp) const;
  [[noreturn, gnu::cold, gnu::noinline]] void tooFarFor16Bit(int64_t distance) const;
  [[gnu::cold, gnu::noinline]] void keepFarJecxz(int64_t distance);
  void resolveLabels(TFunction& f);
  TFaultAt bindLabels(const TFunction& f, uint32_t round) const;
  TFaultAt scanFixUps(TFunction& f, uint32_t round, uint32_t& missing);
  void sortJumps();
  void shrinkPrologue(TFunction& f);
  [[gnu::noinline]] void reserveLocals(TFunction& f, uint32_t at);
  [[gnu::noinline]] void shortenJumps(const TFunction& f);
  void checkJumps();
  // From the byte after the jump's first one to its label, once all is removed.
  int64_t distance(const TJump& jump) const { return distance(jump, labelsAt_.data()); }
  static int64_t distance(const TJump& jump, const uint32_t* labelsAt) {
    return int64_t{labelsAt[static_cast<size_t>(jump.label)]} - (int64_t{jump.at} + 1);
  }
  static uint16_t prologueMode(uint32_t areaStart);
  void moveFixUps(TFunction& f, uint32_t* entryOffset) const;
  void writeJumps(TFunction& f) const;
};

}  // namespace kelvo

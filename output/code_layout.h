// Lays the procedures of the program end to end into one code image, shrinks prologues and
// label jumps, and patches every fix-up once the image's addresses are known. Shared by the
// writers; each one adds the parts that are its own (import thunks, relocations, symbols).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/function.h"

namespace kelvo {

struct TCompiler;

// The absolute addresses that the patch pass adds to code.
struct TImageBases {
  uint32_t imageBase = 0;  // what ftAppendBase adds
  uint32_t code = 0;       // address of the first byte of the code image
  uint32_t data = 0;       // address of the first byte of the data image
};

// Bytes taken out of one procedure's code, in ascending order of their original position.
// Every position of the procedure (fix-ups, labels, the entry) is mapped through the whole
// list, so the result does not depend on the order in which fix-ups were recorded.
class TRemovals {
 public:
  void clear();
  void add(uint32_t pos, uint32_t count);  // pos must not lie before the end of the last one
  uint32_t map(uint32_t pos) const;         // a position inside removed bytes maps to their start
  uint32_t endOfLast() const { return spans_.empty() ? 0 : spans_.back().pos + spans_.back().count; }
  // Appends the code without the removed bytes.
  void appendTo(const std::string& code, std::string& out) const;
  uint32_t total() const { return total_; }

 private:
  struct TSpan {
    uint32_t pos, count, before;  // before: bytes removed ahead of this span
  };
  std::vector<TSpan> spans_;
  uint32_t total_ = 0;
};

class TCodeLayout {
 public:
  explicit TCodeLayout(TCompiler& c) : c_(c) {}

  // Marks what the program can reach from its global code, its entry procedure and its
  // exports, following calls and procedure addresses. Nothing else goes into the image.
  void markReachable(int32_t entryFuncId);
  bool isReachable(size_t index) const { return index < reachable_.size() && reachable_[index]; }

  // Lays out every reachable procedure that has code and sets its Address. entryOffset, a
  // position in the global code, moves with the bytes removed from it. Each procedure's code
  // moves into f_code: the procedure keeps no copy of its own.
  void codeFixups(uint32_t* entryOffset);
  // Patches every fix-up of the laid-out procedures, then lets go of them.
  void finalFixup(const TImageBases& bases);

  const std::vector<TFunction*>& laidOut() const { return laidOut_; }
  std::string f_code;
  uint32_t f_codesize = 0;

 private:
  TCompiler& c_;
  std::vector<uint8_t> reachable_;
  std::vector<TFunction*> laidOut_;
  // Per fix-up of the laid-out procedures, in layout order: 1 where a jump area was shortened.
  std::vector<uint8_t> shortened_;
  std::vector<uint32_t> jumpOrder_;  // scratch: the jumps of one procedure by address
  TRemovals removals_;

  TFunction& target(const TFunction& from, uint32_t index) const;
  void layOut(TFunction& f, uint32_t* entryOffset);
  void checkFixUps(const TFunction& f);
  void resolveLabels(TFunction& f);
  void shrinkPrologue(TFunction& f);
  void shortenJumps(TFunction& f, uint8_t* shortened);
  void patchJump(const TFunction& f, const TFixUp& x, uint32_t pos, bool shortArea);
  void put32(uint32_t pos, uint32_t value);
  void add32(uint32_t pos, uint32_t value);
};

}  // namespace kelvo

// Lays the procedures of the program end to end into one code image and patches every
// fix-up once the image's addresses are known. Shared by the writers; each one adds the parts
// that are its own (import thunks, relocations, symbols).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frontend/function.h"
#include "output/link_input.h"
#include "output/procedure_layout.h"

namespace kelvo {

// The absolute addresses that the patch pass adds to code.
struct TImageBases {
  uint32_t imageBase = 0;  // what ftAppendBase adds
  uint32_t code = 0;       // address of the first byte of the code image
  uint32_t data = 0;       // address of the first byte of the data image
};

// The value a fix-up's field holds now: 16 bits wide when fixSize is 16, else 32.
uint32_t FieldValue(const TCodeBytes& code, const TFixUp& x);

class TCodeLayout {
 public:
  explicit TCodeLayout(const TLinkInput& input) : in_(input) {}

  // Marks what the program can reach from its global code, its entry procedure and its
  // exports, following calls and procedure addresses. Nothing else goes into the image.
  void markReachable(int32_t entryFuncId);
  bool isReachable(size_t index) const { return index < reachable_.size() && reachable_[index]; }
  // The reachable imported procedures, in index order: found while their records are read for
  // the marking, so that no other pass reads every record.
  const std::vector<TFunction*>& imports() const { return imports_; }

  // Lays out every reachable procedure that has code and was not laid out when its body
  // ended, and gives each its Address. entryOffset, a position in the global code, moves
  // with the bytes removed from it. The image is the procedures' own code, one after the
  // other in laidOut() order: nothing is copied.
  void codeFixups(uint32_t* entryOffset);
  // Patches every fix-up of the laid-out procedures, in their own code. A JECXZ out of reach
  // is reported here, as the jumps are patched: after every label of the program was found.
  void finalFixup(const TImageBases& bases);
  // Writes the addresses that globals are initialised with into the data image.
  void patchDataAddresses(const TImageBases& bases);

  const std::vector<TFunction*>& laidOut() const { return laidOut_; }
  // The laid-out procedures that are exported, in laidOut() order: found as they are placed.
  const std::vector<const TFunction*>& exported() const { return exported_; }
  uint32_t f_codesize = 0;

 private:
  const TLinkInput& in_;
  std::vector<uint8_t> reachable_;
  std::vector<TFunction*> imports_;
  std::vector<TFunction*> laidOut_;
  std::vector<const TFunction*> exported_;
  // Every procedure's Address by index: a call is patched from here, without a visit to the
  // record of the procedure it calls.
  std::vector<uint32_t> addresses_;
  TProcedureLayout procedure_;
  std::string farJecxz_;  // the first laid-out procedure's report of a JECXZ out of reach

  void place(TFunction& f, uint32_t* entryOffset);
  // A procedure's index, checked, where its record is not needed.
  uint32_t targetIndex(const TFunction& from, uint32_t index) const;
  uint32_t targetAddress(const TFunction& from, uint32_t index) const { return addresses_[targetIndex(from, index)]; }
  // address: the procedure's Address, passed along so that its record is read no further
  // than its code and fix-ups.
  void patch(TFunction& f, uint32_t address, const TFixUp& x, const TImageBases& bases);
};

}  // namespace kelvo

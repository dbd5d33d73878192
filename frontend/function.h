// One procedure of the program being compiled.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "assembler/code_buffer.h"
#include "assembler/label_names.h"
#include "common/definitions.h"
#include "common/rare_fields.h"

namespace kelvo {

// A name with a number beside it: labels with their code positions.
using TNamedEntry = std::pair<std::string, int64_t>;

// Kinds of open block: the if statement and try/except use btIf; repeat and for use btRepeat.
enum TBraceType : uint8_t { btWhile, btIf, btElse, btRepeat, btCase };

// A jump label: its name's number in TLabelNames and its offset in the procedure's code. The
// name is kept once for the whole compiler, not once per label.
struct TJumpLabel {
  TLabelName name = 0;
  uint32_t position = 0;
};

struct TBraceLevel {
  uint32_t id = 0;
  TBraceType bracetype = btWhile;
};

// One declared parameter: its data item (procedures with a body, imports; a header without body
// has none) and the type it was declared with, which a cast in the body does not change.
struct TParam {
  PData data = nullptr;
  PDataType type = nullptr;
};

struct TFunction {
  // First, so that a procedure's record is its assembler's: the body's every instruction goes
  // there.
  TAssembler recAssembler;
  // What the link step reads of every procedure follows the code and fix-ups, so that its
  // passes over a large program touch one stretch of each record, not three.
  int32_t FuncIndex = 0;
  uint32_t Address = 0xFFFFFFFFu;
  int32_t DLLIndex = -1;
  TCallMethod CallMethod = cmStdcall;
  TRegister ptrReg = rdEAX;
  // A bit each: so the record stays small.
  bool isFunction : 1 = false;
  bool isExported : 1 = false;
  bool isPointer : 1 = false;
  bool Called : 1 = false;
  bool isClassFunc : 1 = false;
  bool bMinParams : 1 = false;
  bool isDeclaration : 1 = false;
  // A method slot of an interface lives in the table the object's first dword points to; a
  // class's slot lives in the object itself.
  bool slotInTable : 1 = false;
  // The code is final but for the fix-ups that need addresses: labels found, prologue and
  // label jumps shrunk and written. Done when the body ends, or else by the link step.
  bool isLaidOut : 1 = false;
  std::vector<TJumpLabel> jmpLabels;
  std::string Name;
  TRareList<TNamedEntry> ofsLabels;
  TRareText ImportName;
  // The declared parameters in order, the hidden "this" not among them; AddParam fills it
  // and the record owns it.
  TParam* paramList = nullptr;
  // Read through linkedData() and resultType().
  struct TLinks {
    PData data = nullptr;
    PDataType result = nullptr;
  };
  std::unique_ptr<TLinks> links_;
  int32_t intLocalCount = 0;
  uint32_t dwTotalLocalSize = 0;
  uint32_t dwTotalParamSize = 0;
  int32_t intParamCount = 0;
  uint32_t paramTotal = 0;  // entries in paramList
  // Small by nature, so a byte each: the prologue comes first in the code, only a method has
  // the hidden parameter, and a convention passes at most six in registers.
  uint8_t localFixupOffset = 0;  // 1-based position of the locals' reservation
  uint8_t intParamOffset = 0;
  uint8_t intRegParamCount = 0;

  // A procedure pointer's data slot and a function's result type: few procedures have either,
  // so both sit behind one pointer.
  PData linkedData() const { return links_ ? links_->data : nullptr; }
  PDataType resultType() const { return links_ ? links_->result : nullptr; }
  void setLinkedData(PData data) { links().data = data; }
  void setResultType(PDataType type) { links().result = type; }

  TFunction() = default;
  TFunction(const TFunction&) = delete;
  TFunction& operator=(const TFunction&) = delete;
  ~TFunction() { ClearParams(); }

  // From a pool: a large program makes one per procedure and keeps it until the link step.
  static void* operator new(size_t size);
  static void operator delete(void* record) noexcept;

  // Whether the procedure keeps its stack frame: the prologue's PUSH/MOV of the frame register
  // stay, and every return undoes them. The link step and the return statement both ask this.
  bool HasFrame() const { return intParamCount > 0 || intLocalCount > 0; }
  // Appends a declared parameter and counts it in intParamCount.
  void AddParam(PData data, PDataType type);
  // Forgets the declared parameters (not intParamCount).
  void ClearParams();
  // The type the n-th declared parameter was declared with; nullptr past the last one.
  PDataType paramType(size_t n) const { return n < paramTotal ? paramList[n].type : nullptr; }

 private:
  TLinks& links() {
    if (!links_) links_ = std::make_unique<TLinks>();
    return *links_;
  }
};

// The room a body is compiled in, handed on from one body to the next, so that a procedure's
// code, fix-ups, labels and open levels do not each take and give back room of their own. A
// finished procedure keeps copies that fit: a large program holds every one until the link step.
// The open levels are lent to the body's TBodyState, for as long as the body compiles.
struct TBodyRoom {
  TCodeBytes code;
  std::vector<TFixUp> fixUps;
  std::vector<TJumpLabel> labels;
  std::vector<TBraceLevel> braceLevels;

  // Hands the room to a procedure whose body starts; it has no code yet.
  void lend(TFunction& f);
  // Once the body is laid out: the procedure keeps fitted copies, the room comes back empty.
  void takeBack(TFunction& f);
};

// What matters only while a body is being compiled. The compiler holds one for every body
// open, the global code's first, so a finished procedure does not carry it.
struct TBodyState {
  uint32_t dwLocalSet = 0;
  uint32_t tryExceptCounter = 0;
  // Owner of the body's labels in the compiler-wide label index (TLabelNames).
  uint32_t labelOwner = TLabelNames::Get().NewOwner();
  // Line of the first return compiled while the procedure had no frame to undo (0: none).
  // A local declared after it would leave that return with the frame still on the stack.
  int32_t framelessRetLine = 0;
  // Whether the last ret statement stood at the procedure's own level, not in a branch: only
  // then does it stand for the return at the closing brace.
  bool retAtOwnLevel = false;
  // Brace levels of the try bodies open in this body: leaving one removes its handler.
  std::vector<uint32_t> tryBodies;
  // Open blocks, innermost last: every level gets a number unique within the body.
  std::vector<TBraceLevel> braceLevel;
  uint32_t braceLabelID = 0;

  TBraceLevel PushBrace(TBraceType kind);
  TBraceLevel PopBrace();
  uint32_t openBraces() const { return static_cast<uint32_t>(braceLevel.size()); }
  // Index into braceLevel of the n-th enclosing while, repeat or case (0 = innermost), or -1.
  int32_t FindLoopBrace(uint32_t n) const;
  // Id of the innermost case level, or -1.
  int64_t FindCaseBrace() const;
};

}  // namespace kelvo

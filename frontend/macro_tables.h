// Macros and macro variables.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/definitions.h"
#include "common/name_index.h"
#include "frontend/token.h"

namespace kelvo {

struct TMacro {
  int32_t ID = 0;  // index in F_Macros
  std::string Name;
  bool isFunction = false;
  std::string depreciated;  // replacement named in the warning; empty when none
  bool ReqParen = false;
  int32_t virtualFileID = -1;  // listFiles index of the text that holds the body
  int32_t passedArgs = 0;
  int32_t ArgCount = 0;
  std::vector<std::string> ArgNames;  // grows with the declaration: no fixed limit
  PCurrentToken Result = nullptr;     // the token a function-like macro returns
  TCurrentToken resultToken;          // where Result points while the macro is expanded
  uint32_t lblCounter = 0;
};

// A text kept in the record itself while it is short (a name, a number), so most variables
// need no allocation for their texts.
class TShortText {
 public:
  TShortText() = default;
  TShortText(const TShortText&) = delete;
  TShortText& operator=(const TShortText&) = delete;
  ~TShortText() { release(); }

  void assign(std::string_view text);  // not this text's own
  std::string_view view() const { return {size_ <= kInPlace ? bytes_ : heap(), size_}; }
  void release();

 private:
  static constexpr uint32_t kInPlace = 12;
  uint32_t size_ = 0;
  // Up to 12 characters in place; a longer text is allocated, and these bytes hold its
  // capacity and its address (unaligned, so the record stays small).
  char bytes_[kInPlace] = {};

  char* heap() const;
  uint32_t capacity() const;
};

// A macro variable. Its value is a copy of a token, kept field by field: the fields a token
// copy carries, and its text.
class TMacroVariable {
 public:
  std::string_view Name() const { return name_.view(); }
  bool HasValue() const { return hasValue_; }
  void SetValue(const TCurrentToken& value);
  // Puts the value into `token` as a saved token is restored; the variable must have one.
  void LoadValue(TCurrentToken& token) const;
  uint16_t Kind() const { return token_; }
  void SetKind(uint16_t code) { token_ = code; }

  int32_t parentmacroid = -1;
  bool isparam = false;
  bool islocal = false;

 private:
  friend struct TMacroEngine;
  // An x87 extended value needs 10 of the 16 bytes it takes: only those are kept.
  static constexpr size_t kExtBytes = std::numeric_limits<long double>::digits == 64 ? 10 : sizeof(long double);

  int64_t int_ = 0;
  PData data_ = nullptr;
  PFunction proc_ = nullptr;
  PMacro macro_ = nullptr;
  TShortText text_;
  TShortText name_;
  char ext_[kExtBytes] = {};
  uint16_t token_ = 0;
  int32_t length_ = 0;
  int32_t size_ = 0;
  uint32_t dataOffset_ = 0;
  uint32_t older_ = 0;  // the slot of the next older variable of the same name, or none
  TRegister reg_ = rdEAX;
  TSegment seg_ = segCS;
  uint8_t regID_ = 0;
  bool hasValue_ = false;
};

struct TMacroEngine {
  int32_t F_CurrentMacroID = -1;
  std::vector<std::unique_ptr<TMacro>> F_Macros;  // indexed by macro ID

  void Init();
  void Free();
  PMacro NewMacro();
  PMacro MacroAt(int32_t id) const;  // nullptr outside the list
  PMacroVar AddVariable(int32_t macroID, std::string_view name, bool isparam, bool islocal);
  // Names compare ignoring letter case, like every other name of the language. The newest
  // variable of the name that is global or belongs to the macro wins.
  PMacroVar FindVariable(int32_t macroID, std::string_view name) const;
  PMacroVar GetVariable(int32_t macroID, int32_t n) const;
  void RemoveVariables(int32_t macroID);
  size_t VariableCount() const { return live_; }

 private:
  static constexpr uint32_t kNone = TNameIndex::kNone;
  static constexpr uint32_t kBlockBits = 10;  // variables per block: 1024

  // Variables live in blocks that never move, so a variable keeps its address; the slots of
  // removed ones are used again. The index finds the newest variable of a name, each variable
  // links to the next older one of its name, and each macro lists its own in the order they
  // were made: no lookup walks all the variables.
  std::vector<std::unique_ptr<TMacroVariable[]>> blocks_;
  uint32_t slotsMade_ = 0;
  std::vector<uint32_t> freeSlots_;
  TNameIndex newest_;
  uint32_t live_ = 0;
  std::unordered_map<int32_t, std::vector<uint32_t>> byMacro_;

  TMacroVariable& slot(uint32_t n) const { return blocks_[n >> kBlockBits][n & ((1u << kBlockBits) - 1)]; }
  uint32_t takeSlot();
  uint32_t newestOf(uint32_t hash, std::string_view name) const;
  void unlink(uint32_t n);
};

}  // namespace kelvo

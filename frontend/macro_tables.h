// Macros and macro variables.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/definitions.h"
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

struct TMacroVariable {
  PCurrentToken myToken = nullptr;  // its value; nil until one is set
  TCurrentToken ownValue;           // where myToken points once a value is set
  std::string name;
  bool isparam = false;
  bool islocal = false;
  int32_t parentmacroid = -1;
};

struct TMacroEngine {
  int32_t F_CurrentMacroID = -1;
  std::vector<std::unique_ptr<TMacroVariable>> F_Variables;  // in creation order
  std::vector<std::unique_ptr<TMacro>> F_Macros;             // indexed by macro ID

  void Init();
  void Free();
  PMacro NewMacro();
  PMacro MacroAt(int32_t id) const;  // nullptr outside the list
  PMacroVar AddVariable(int32_t macroID, std::string_view name, bool isparam, bool islocal);
  // Names compare ignoring letter case, like every other name of the language.
  PMacroVar FindVariable(int32_t macroID, std::string_view name) const;
  PMacroVar GetVariable(int32_t macroID, int32_t n) const;
  void RemoveVariables(int32_t macroID);

 private:
  // Every variable of a lower-cased name, oldest first, and every variable of a macro in the
  // order they were made: no lookup walks all the variables.
  std::unordered_map<std::string, std::vector<PMacroVar>> byName_;
  std::unordered_map<int32_t, std::vector<PMacroVar>> byMacro_;
  mutable std::string key_;  // reused, so a lookup does not allocate
  const std::string& keyOf(std::string_view name) const;
};

}  // namespace kelvo

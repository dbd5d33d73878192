#include "frontend/macro_tables.h"

#include <algorithm>

namespace kelvo {

void TMacroEngine::Init() {
  F_CurrentMacroID = -1;
  F_Variables.clear();
  F_Macros.clear();
}

void TMacroEngine::Free() {
  F_Macros.clear();
  while (!F_Variables.empty()) F_Variables.pop_back();  // last first
}

PMacro TMacroEngine::NewMacro() {
  auto m = std::make_unique<TMacro>();
  m->ID = static_cast<int32_t>(F_Macros.size());
  F_Macros.push_back(std::move(m));
  return F_Macros.back().get();
}

PMacro TMacroEngine::MacroAt(int32_t id) const {
  if (id < 0 || static_cast<size_t>(id) >= F_Macros.size()) return nullptr;
  return F_Macros[static_cast<size_t>(id)].get();
}

PMacroVar TMacroEngine::AddVariable(int32_t macroID, std::string_view name, bool isparam, bool islocal) {
  auto v = std::make_unique<TMacroVariable>();
  v->name = name;
  v->isparam = isparam;
  v->islocal = islocal;
  v->parentmacroid = macroID;
  F_Variables.push_back(std::move(v));
  return F_Variables.back().get();
}

PMacroVar TMacroEngine::FindVariable(int32_t macroID, std::string_view name) const {
  for (size_t i = F_Variables.size(); i-- > 0;) {
    TMacroVariable& v = *F_Variables[i];
    if ((!v.islocal || v.parentmacroid == macroID) && sameText(v.name, name)) return &v;
  }
  return nullptr;
}

PMacroVar TMacroEngine::GetVariable(int32_t macroID, int32_t n) const {
  if (n < 0) return nullptr;
  for (const auto& v : F_Variables)
    if (v->parentmacroid == macroID && n-- == 0) return v.get();
  return nullptr;
}

void TMacroEngine::RemoveVariables(int32_t macroID) {
  std::erase_if(F_Variables, [macroID](const auto& v) { return v->parentmacroid == macroID; });
}

}  // namespace kelvo

#include "frontend/macro_tables.h"

#include <algorithm>

namespace kelvo {

void TMacroEngine::Init() {
  F_CurrentMacroID = -1;
  F_Variables.clear();
  F_Macros.clear();
  byName_.clear();
  byMacro_.clear();
}

void TMacroEngine::Free() {
  F_Macros.clear();
  byName_.clear();
  byMacro_.clear();
  while (!F_Variables.empty()) F_Variables.pop_back();  // last first
}

const std::string& TMacroEngine::keyOf(std::string_view name) const {
  key_.assign(name);
  for (char& c : key_) c = lowerChar(c);
  return key_;
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
  const PMacroVar added = F_Variables.back().get();
  byName_[keyOf(name)].push_back(added);
  byMacro_[macroID].push_back(added);
  return added;
}

PMacroVar TMacroEngine::FindVariable(int32_t macroID, std::string_view name) const {
  const auto found = byName_.find(keyOf(name));
  if (found == byName_.end()) return nullptr;
  const std::vector<PMacroVar>& vars = found->second;
  for (size_t i = vars.size(); i-- > 0;)
    if (!vars[i]->islocal || vars[i]->parentmacroid == macroID) return vars[i];
  return nullptr;
}

PMacroVar TMacroEngine::GetVariable(int32_t macroID, int32_t n) const {
  const auto found = byMacro_.find(macroID);
  if (n < 0 || found == byMacro_.end() || static_cast<size_t>(n) >= found->second.size()) return nullptr;
  return found->second[static_cast<size_t>(n)];
}

// A macro's variables are made while it is expanded, so they lie at the end of the list but
// for those of the macros and texts it opened: the walk from the end stops once all are gone.
void TMacroEngine::RemoveVariables(int32_t macroID) {
  const auto found = byMacro_.find(macroID);
  if (found == byMacro_.end()) return;
  for (const PMacroVar v : found->second) {
    std::vector<PMacroVar>& same = byName_[keyOf(v->name)];
    same.erase(std::find(same.rbegin(), same.rend(), v).base() - 1);
    if (same.empty()) byName_.erase(key_);
  }
  size_t left = found->second.size();
  byMacro_.erase(found);
  for (size_t i = F_Variables.size(); left > 0 && i-- > 0;) {
    if (F_Variables[i]->parentmacroid != macroID) continue;
    F_Variables.erase(F_Variables.begin() + static_cast<std::ptrdiff_t>(i));
    --left;
  }
}

}  // namespace kelvo

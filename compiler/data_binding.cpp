// Statements around data declarations: the signed/unsigned/global/inherit prefixes, "@name:"
// labels, and binding a pointer item to a register with assume and drop.
#include "assembler/encoders.h"
#include "compiler/label_binding.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

// Any run of prefixes, then the type and the declaration.
bool TCompiler::CompileDataPrefix(uint16_t prefix) {
  bool global = false, inherit = false;
  int sign = -1;
  for (uint16_t code = prefix;; code = GetToken()) {
    if (code == tk::Signed) sign = 1;
    else if (code == tk::Unsigned) sign = 0;
    else if (code == tk::Global) global = true;
    else if (code == tk::Inherit) inherit = true;
    else break;
    if (PeekToken() == tk::TypeName) {
      GetToken();
      break;
    }
  }
  if (curToken.Token != tk::TypeName) {
    strLastError = "Expected type but found " + curToken.Str;
    return false;
  }
  const size_t first = listData.size();
  const PDataType type = curToken.DataType;
  const bool ok = (global || !bInProcedure) ? DeclareGlobalData(type, inherit) : DeclareLocalData(type, inherit);
  if (!ok || sign < 0) return ok;
  // Every name of the statement takes the prefix; an inherited item takes it too.
  if (listData.size() == first && lastDataRegistered) lastDataRegistered->dataSigned = sign == 1;
  for (size_t i = first; i < listData.size(); ++i)
    if (listData[i]->dataMode == dmVar || listData[i]->dataMode == dmLocalVar) listData[i]->dataSigned = sign == 1;
  return true;
}

// "name:" a label of the whole program
bool TCompiler::CompileLabel() {
  const std::string name = curToken.Str;
  if (ExpectToken({tk::Colon}) == tk::Invalid) return false;
  const TLabelName id = TLabelNames::Get().Intern(name);
  if (!AddNewLabel(*this, id, static_cast<uint32_t>(curFunc->recAssembler.strCode.size())))
    Error("Label Identifier Redeclared " + name);
  return true;
}

// "assume reg as item;" loads the item's value into the register and addresses through it
// from then on; "assume reg as nothing;" ends that.
// "assume reg as item;" | "assume reg as nothing;"
bool TCompiler::CompileAssume() {
  if (ExpectToken({tk::Register}) == tk::Invalid) return false;
  if (curToken.Size != 32) Error("Expected 32bit register but received " + curToken.Str);
  const TRegister reg = curToken.Reg;
  if (ExpectToken({tk::As}) == tk::Invalid) return false;
  const uint16_t code = ExpectToken({tk::Variable, tk::LocalVar, tk::LocalParam, tk::Nothing});
  if (code == tk::Invalid) return false;
  PData& bound = assumed_[regNumber(reg)];
  if (code == tk::Nothing) {
    if (bound) bound->dataUseRegister = 0;
    bound = nullptr;
    return ExpectToken({tk::Semicolon}) != tk::Invalid;
  }
  const PData item = curToken.Data;
  if (!item || !item->dataPtrType) Error("Invalid use of assume for " + curToken.Str);
  if (bound && bound != item) bound->dataUseRegister = 0;
  for (PData& other : assumed_)
    if (other == item) other = nullptr;  // an item is bound to one register at a time
  item->dataUseRegister = 1;
  item->dataRegister = reg;
  bound = item;
  TAssembler& a = curFunc->recAssembler;
  if (item->dataMode == dmVar)
    MovRegVar(a, static_cast<uint32_t>(item->dataIdent), reg, 0);
  else
    MovRegMem(a, 1, reg, Settings.localsReg, rdEAX, static_cast<int32_t>(item->dataAddress), 0);
  return ExpectToken({tk::Semicolon}) != tk::Invalid;
}

// "drop item;" ends what an assume bound to the item
bool TCompiler::CompileDrop() {
  if (ExpectToken({tk::Variable, tk::LocalVar, tk::LocalParam}) == tk::Invalid) return false;
  const PData item = curToken.Data;
  if (!item || !item->dataUseRegister) Error("Invalid use of drop for " + curToken.Str);
  item->dataUseRegister = 0;
  for (PData& other : assumed_)
    if (other == item) other = nullptr;
  return ExpectToken({tk::Semicolon}) != tk::Invalid;
}

}  // namespace kelvo

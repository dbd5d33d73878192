// The object of a method call reached through a data item: the call pushes curClassReg as
// the hidden "this", so this only puts the object's address into a register and names it.
#include "assembler/encoders.h"
#include "frontend/compiler.h"

namespace kelvo {

void TCompiler::EmitLoadObjectAddress(PData data) {
  TAssembler& a = curFunc->recAssembler;
  if (data->dataMode == dmVar)
    LeaRegVar(a, rdEAX, static_cast<uint32_t>(data->dataIdent), ftDataAddress, 0);
  else
    LeaRegMem(a, 1, rdEAX, Settings.localsReg, rdEAX, static_cast<int32_t>(data->dataAddress), 0);
}

void TCompiler::EmitPushRegister(TRegister reg) { PushReg(curFunc->recAssembler, reg); }

// A record held in the item itself gives its address in EAX; a pointer must be assumed into
// a register, which then is the object register.
void TCompiler::SetMethodObject(PData data, bool isPointer, const TVarInfo& info, uint32_t itemOffset) {
  if (isPointer) {
    if (!info.origData || !info.origData->dataUseRegister) Error("Classes require that you have used assume");
    curClassReg = info.origData->dataRegister;
    return;
  }
  if (info.Func->isDeclaration) Error("Method \"" + info.Func->Name + "\" has not yet been created");
  if (!Settings.peekToken) {
    TAssembler& a = curFunc->recAssembler;
    // An element of an array of records lies past the item's start.
    if (data->dataMode == dmVar)
      LeaRegVar(a, rdEAX, static_cast<uint32_t>(data->dataIdent), ftDataAddress, itemOffset);
    else
      LeaRegMem(a, 1, rdEAX, Settings.localsReg, rdEAX, static_cast<int32_t>(data->dataAddress + itemOffset), 0);
  }
  curClassReg = rdEAX;
}

}  // namespace kelvo

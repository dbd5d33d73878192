// The object of a method call reached through a data item: the call pushes curClassReg as
// the hidden "this", so this only puts the object's address into a register and names it.
#include "assembler/encoders.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

// A record held in the item itself is pushed by its address when the call is made, after its
// arguments, so nothing they compute can take its place; a pointer must be assumed into a
// register, which then is the object register.
void TCompiler::SetMethodObject(PData data, bool isPointer, const TVarInfo& info, uint32_t itemOffset) {
  if (Settings.peekToken) return;  // a look-ahead decides nothing
  methodObject = nullptr;
  if (isPointer) {
    if (!info.origData || !info.origData->dataUseRegister) Error("Classes require that you have used assume");
    curClassReg = info.origData->dataRegister;
    return;
  }
  if (info.Func->isDeclaration) Error("Method \"" + info.Func->Name + "\" has not yet been created");
  if (info.Func->isPointer) {
    // A slot is called through a register that holds the object.
    TAssembler& a = curFunc->recAssembler;
    if (data->dataMode == dmVar)
      LeaRegVar(a, rdEAX, static_cast<uint32_t>(data->dataIdent), ftDataAddress, itemOffset);
    else
      LeaRegMem(a, 1, rdEAX, Settings.localsReg, rdEAX, static_cast<int32_t>(data->dataAddress + itemOffset), 0);
    curClassReg = rdEAX;
    return;
  }
  const PCurrentToken object = RegisterToken(rdEAX);  // a kept token, given the address below
  object->Data = data;
  object->Size = 4;
  if (data->dataMode == dmVar) {
    object->Token = tk::DataAddress;  // an element of an array of records lies past the start
    object->Int = static_cast<int64_t>(data->dataAddress) + itemOffset;
  } else {
    object->Token = tk::LocalAddress;
    object->DataOffset = itemOffset;
  }
  methodObject = object;
}

}  // namespace kelvo

// Procedure heads without a body: method headers of record and class types, and
// procedure pointers.
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

void TCompiler::ReadResultType(PFunction proc) {
  if (ExpectToken({tk::TypeName}) == tk::Invalid) RaiseError();
  proc->setResultType(curToken.DataType);
}

// "(type name; type name)" then ": type" for a function, ";" and an optional convention.
void TCompiler::ReadHeaderSignature(PFunction proc) {
  const bool isFunction = proc->isFunction;
  if (ExpectToken({tk::LParen, isFunction ? tk::Colon : tk::Semicolon}) == tk::Invalid) RaiseError();
  if (curToken.Token == tk::LParen) {
    if (ExpectToken({tk::RParen, tk::TypeName}) == tk::Invalid) RaiseError();
    while (curToken.Token == tk::TypeName) {
      const PDataType type = curToken.DataType;
      if (ExpectToken(tk::kParameterNameCodes) ==
          tk::Invalid)
        RaiseError();
      proc->AddParam(nullptr, type);
      proc->dwTotalParamSize += static_cast<uint32_t>(type->typeSize);
      if (ExpectToken({tk::Semicolon, tk::RParen}) == tk::Invalid) RaiseError();
      if (curToken.Token == tk::Semicolon && ExpectToken({tk::TypeName}) == tk::Invalid) RaiseError();
    }
    if (isFunction && ExpectToken({tk::Colon}) == tk::Invalid) RaiseError();
  }
  if (isFunction) ReadResultType(proc);
  if (curToken.Token != tk::Semicolon && ExpectToken({tk::Semicolon}) == tk::Invalid) RaiseError();
  proc->CallMethod = defaultCallMethod;
  const uint16_t next = PeekToken();
  if (next == tk::CallMethod || next == tk::Identifier) {
    GetToken();
    proc->CallMethod = strToCallMethod(curToken.Str);
    if (proc->CallMethod == cmUnknown) Error("Unknown calling method");
    if (ExpectToken({tk::Semicolon}) == tk::Invalid) RaiseError();
  }
}

PFunction TCompiler::ParseProcHeader(bool addIdentifier) {
  const bool isFunction = curToken.Token == tk::Function;
  if (ExpectToken({tk::Identifier}) == tk::Invalid) RaiseError();
  PFunction proc = NewProcedure(curToken.Str, isFunction);
  proc->ImportName = proc->Name;
  proc->isDeclaration = true;
  proc->dwTotalParamSize = 4;
  if (addIdentifier) {
    DeclareIdent(lowerCase(proc->Name), isFunction ? itFunction : itProcedure, proc->FuncIndex);
    SmartIdents.PopScope(SmartIdents.NextScope());
  }
  ReadHeaderSignature(proc);
  lastAddedProc = proc;
  return proc;
}

// "function|procedure *name(params)[: type];" a pointer to a procedure
bool TCompiler::CompileProcPointerDecl(bool isMethod, TRegister objectReg, PDataType classType) {
  const bool isFunction = curToken.Token == tk::Function;
  // Every method of an interface is a slot: its "*" may be left out.
  const bool starOptional = classType && classType->typeInterface && PeekChar(1) != '*';
  if (!starOptional && ExpectToken({tk::Star}) == tk::Invalid) return false;
  if (ExpectToken({tk::Identifier}) == tk::Invalid) return false;
  PFunction proc = NewProcedure(curToken.Str, isFunction);
  proc->ImportName = proc->Name;
  proc->isPointer = true;
  proc->isClassFunc = isMethod;
  proc->slotInTable = classType && classType->typeInterface;
  proc->ptrReg = classType ? classType->typeClassUseReg : objectReg;
  const std::string prefix = classType ? lowerCase(classType->typeName) + "$" : std::string();
  DeclareIdent(prefix + lowerCase(proc->Name), isFunction ? itFunction : itProcedure, proc->FuncIndex);
  const int32_t scope = SmartIdents.NextScope();
  ReadHeaderSignature(proc);
  auto slot = std::make_unique<TData>();
  slot->dataName = proc->Name + "$";
  slot->dataType = compilerPtrType;
  slot->dataMode = dmVar;
  slot->intMultiplier = 1;
  slot->dataAddress = PEFile.dataMan.Reserve(4);
  slot->dataIdent = static_cast<int32_t>(listData.size());
  slot->defaultValue.ttype = tk::Invalid;
  SmartIdents.PopScope(scope);  // the slot's name outlives the parameter scope
  DeclareIdent(prefix + lowerCase(proc->Name) + "$", itData, slot->dataIdent);
  proc->setLinkedData(slot.get());
  listData.push_back(std::move(slot));
  lastAddedProc = proc;
  return true;
}

}  // namespace kelvo

// Record types ("block", with nested records, unions and arrays) and class and interface
// types with their inheritance, data members and methods.
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

PDataType TCompiler::NewRecordType(const std::string& name) {
  // Made first, so members may point to the type being declared.
  PDataType type = AddType(name, 0, 0, 4294967295LL);
  type->typeClassUseReg = rdEBX;
  return type;
}

void TCompiler::AddTypeMember(PDataType type, const std::string& name, PDataType fieldType, int32_t funcIndex,
                              uint32_t offset) {
  const int32_t earlier = memberPosition(*type, name);
  if (earlier >= 0) {
    const auto i = static_cast<uint32_t>(earlier);
    // A method of the base type is overridden by a method of the same name.
    if (i < type->typeInheritedCount && funcIndex >= 0 && type->typeFunc[i] >= 0) {
      type->typeFunc[i] = funcIndex;
      type->typeOffset[i] = offset;
      return;
    }
    Error("Member \"" + name + "\" is already declared in \"" + type->typeName + "\"");
  }
  addMemberName(*type, name);
  type->typeFields.push_back(fieldType);
  type->typeFunc.push_back(funcIndex);
  type->typeOffset.push_back(offset);
  ++type->typeFieldCount;
  if (fieldType) type->typeLargestSize = std::max(type->typeLargestSize, fieldType->typeSize);
}

// "type [*] name [ "[" count "]" ] ;" with the type read: the member's bytes (size x count).
static uint32_t readDataMember(TCompiler& c, PDataType owner, uint32_t offset) {
  PDataType type = c.curToken.DataType;
  if (c.PeekToken() == tk::Star) {
    c.GetToken();
    type = c.compilerPtrType;
  }
  if (type == owner) c.Error("\"" + owner->typeName + "\" can not contain itself");
  // A member may share its name with a variable or procedure declared elsewhere.
  if (c.ExpectToken(tk::kParameterNameCodes) == tk::Invalid) c.RaiseError();
  const std::string name = c.curToken.Str;
  uint32_t count = 1;
  if (c.PeekToken() == tk::LBracket) {
    c.GetToken();
    if (c.ExpectToken({tk::Number}) == tk::Invalid) c.RaiseError();
    if (c.curToken.Int <= 0 || c.curToken.Int > 0xFFFFFF) c.Error("Array size is too small");
    count = static_cast<uint32_t>(c.curToken.Int);
    if (c.ExpectToken({tk::RBracket}) == tk::Invalid) c.RaiseError();
  }
  if (c.ExpectToken({tk::Semicolon}) == tk::Invalid) c.RaiseError();
  c.AddTypeMember(owner, name, type, -1, offset);
  return static_cast<uint32_t>(type->typeSize) * count;
}

// "union { type name [count]; ... }": every member at one offset; the largest one counts.
static uint32_t readUnion(TCompiler& c, PDataType owner, uint32_t offset) {
  if (c.ExpectToken({tk::LBrace}) == tk::Invalid) c.RaiseError();
  uint32_t largest = 0;
  for (;;) {
    if (c.ExpectToken({tk::TypeName, tk::RBrace}) == tk::Invalid) c.RaiseError();
    if (c.curToken.Token == tk::RBrace) break;
    largest = std::max(largest, readDataMember(c, owner, offset));
  }
  if (c.PeekToken() == tk::Semicolon) c.GetToken();
  return largest;
}

// A method header of a record: its body is written later as "function TYPE.name".
static void readMethodHeader(TCompiler& c, PDataType owner) {
  const PFunction proc = c.ParseProcHeader(false);
  if (!proc) c.Error("Unknown error occured whilst validating method declaration");
  const std::string method = proc->Name;
  proc->Name = owner->typeName + ":" + method;
  proc->ImportName = proc->Name;
  proc->isClassFunc = true;
  proc->ptrReg = owner->typeClassUseReg;
  c.AddTypeMember(owner, method, nullptr, proc->FuncIndex, 0);
}

// A method of a class or interface: a pointer slot inside the object's table, or a body.
static void readClassMethod(TCompiler& c, PDataType owner, uint32_t& size) {
  const bool slot = owner->typeInterface || c.PeekChar(1) == '*';
  const size_t first = c.listProcedures.size();
  const bool ok = slot ? c.CompileProcPointerDecl(true, owner->typeClassUseReg, owner)
                       : c.CompileProcDecl(true, owner->typeClassUseReg, owner);
  if (!ok) c.RaiseError();
  if (c.listProcedures.size() <= first) c.Error("Unknown error occured whilst validating method declaration");
  const PFunction proc = c.listProcedures[first].get();
  int32_t index = -1, slotOffset = 0;
  c.FindMember(owner, proc->Name, index, slotOffset);
  // An overriding slot keeps the base's place in the table.
  const bool inheritedSlot = slot && index >= 0 && c.listProcedures[static_cast<size_t>(index)]->isPointer;
  c.AddTypeMember(owner, proc->Name, nullptr, proc->FuncIndex, inheritedSlot ? slotOffset : (slot ? size : 0));
  if (slot && !inheritedSlot) size += 4;
}

void TCompiler::ReadTypeMembers(PDataType type, uint32_t& size, bool inClass) {
  for (;;) {
    switch (GetToken()) {
      case tk::RBrace: return;
      case tk::TypeName: size += readDataMember(*this, type, size); break;
      case tk::Union: size += readUnion(*this, type, size); break;
      case tk::Block: {
        if (inClass) Error("Declare the record before the class");
        const PDataType nested = CompileBlockDecl();
        if (ExpectToken({tk::Identifier}) == tk::Invalid) RaiseError();
        const std::string name = curToken.Str;
        if (ExpectToken({tk::Semicolon}) == tk::Invalid) RaiseError();
        AddTypeMember(type, name, nested, -1, size);
        size += static_cast<uint32_t>(nested->typeSize);
        break;
      }
      case tk::Function: case tk::Procedure:
        if (inClass) readClassMethod(*this, type, size);
        else readMethodHeader(*this, type);
        break;
      default:
        if (ExpectToken({tk::RBrace}) == tk::Invalid) RaiseError();
        return;
    }
  }
}

PDataType TCompiler::CompileBlockDecl() {
  if (ExpectToken({tk::Identifier}) == tk::Invalid) RaiseError();
  const PDataType type = NewRecordType(curToken.Str);
  if (ExpectToken({tk::LBrace}) == tk::Invalid) RaiseError();
  uint32_t size = 0;
  ReadTypeMembers(type, size, false);
  type->typeSize = static_cast<int32_t>(size);
  return type;
}

// "(base)": the new type starts with the base's members and size.
static uint32_t inheritFrom(TCompiler& c, PDataType type) {
  c.GetToken();  // "("
  if (c.ExpectToken({tk::TypeName}) == tk::Invalid) c.Error("Unknown base type \"" + c.curToken.Str + "\"");
  const PDataType base = c.curToken.DataType;
  if (base == type) c.Error("\"" + type->typeName + "\" can not derive from itself");
  if (!base->typeClass) c.Error("Expected class type for hierarchy.");
  if (type->typeInterface && !base->typeInterface) c.Error("Expected interface type for hierarchy.");
  type->typeVars = base->typeVars;
  type->typeMemberIndex = base->typeMemberIndex;
  type->typeFields = base->typeFields;
  type->typeFunc = base->typeFunc;
  type->typeOffset = base->typeOffset;
  type->typeFieldCount = base->typeFieldCount;
  type->typeInheritedCount = base->typeFieldCount;
  type->typeLargestSize = base->typeLargestSize;
  type->typeClassUseReg = base->typeClassUseReg;
  if (c.ExpectToken({tk::RParen}) == tk::Invalid) c.RaiseError();
  return static_cast<uint32_t>(base->typeSize);
}

bool TCompiler::CompileClassDecl(bool isInterface) {
  if (ExpectToken({tk::Identifier}) == tk::Invalid) return false;
  const PDataType type = NewRecordType(curToken.Str);
  type->typeClass = true;
  type->typeInterface = isInterface;
  uint32_t size = 0;
  if (PeekToken() == tk::LParen) size = inheritFrom(*this, type);
  if (PeekToken() == tk::Uses) {
    GetToken();
    if (ExpectToken({tk::Register}) == tk::Invalid) return false;
    if (regSize(curToken.Reg) != 32) Error("Expected 32bit register but received " + curToken.Str);
    type->typeClassUseReg = curToken.Reg;
  }
  if (ExpectToken({tk::LBrace}) == tk::Invalid) return false;
  ReadTypeMembers(type, size, true);
  type->typeSize = static_cast<int32_t>(size);
  return true;
}

}  // namespace kelvo

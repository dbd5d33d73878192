// Member names: lookups in a type, "." chains after data items and after registers that
// point to a type.
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

static bool isNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The reader stands on the "."; it is left on the last character of the name.
std::string TCompiler::ReadMemberName() {
  std::string name;
  while (isNameChar(PeekChar(1))) name += NextChar();
  if (name.empty()) Error("Expected variable");
  return name;
}

int32_t TCompiler::FindMember(PDataType type, std::string_view name, int32_t& index, int32_t& size) {
  index = -1;
  size = 0;
  if (!type) return -1;
  const int32_t found = memberPosition(*type, name);
  if (found >= 0 && static_cast<uint32_t>(found) < type->typeFieldCount) {
    const auto i = static_cast<uint32_t>(found);
    if (type->typeFunc[i] >= 0) {
      index = type->typeFunc[i];
      // The slot's offset was fixed when the member was declared.
      size = listProcedures[static_cast<size_t>(index)]->isPointer ? static_cast<int32_t>(type->typeOffset[i]) : 0;
      return -1;
    }
    index = static_cast<int32_t>(i);
    size = type->typeFields[i]->typeSize;
    return static_cast<int32_t>(type->typeOffset[i]);
  }
  return -1;
}

// "[n]" right after a member: the n-th element of an array member.
static uint32_t readElementIndex(TCompiler& c, int32_t elementSize) {
  c.NextChar();  // "["
  std::string digits;
  while (c.PeekChar(1) >= '0' && c.PeekChar(1) <= '9') digits += c.NextChar();
  if (digits.empty() || digits.size() > 9 || c.PeekChar(1) != ']') c.Error("Expected a decimal index and \"]\"");
  c.NextChar();  // "]"
  return static_cast<uint32_t>(std::stoul(digits)) * static_cast<uint32_t>(elementSize);
}

// Follows ".name" steps from `type`, adding the data members' offsets to info.offset. A
// method ends the chain. info.offsetSize keeps its value when no member is read.
void TCompiler::FollowMembers(PDataType type, TVarInfo& info) {
  while (PeekChar(1) == '.') {
    NextChar();
    const std::string name = ReadMemberName();
    info.locStr += "." + name;
    int32_t index = -1, size = 0;
    const int32_t offset = FindMember(type, name, index, size);
    if (index < 0) Error("Invalid use of \".\"");
    if (offset < 0) {
      info.Func = listProcedures[static_cast<size_t>(index)].get();
      info.offsetSize = info.Func->isPointer ? 4 : 0;
      info.offset = info.Func->isPointer ? static_cast<uint32_t>(size) : 0;
      return;
    }
    info.offset += static_cast<uint32_t>(offset);
    info.offsetSize = size;
    type = type->typeFields[static_cast<size_t>(index)];
    info.memberType = type;
    if (PeekChar(1) == '[') info.offset += readElementIndex(*this, size);
  }
}

void TCompiler::ParseMemberAccess(PData data, int32_t useRegister, TVarInfo& info) {
  if (!data || (data->dataMode != dmVar && data->dataMode != dmLocalVar && data->dataMode != dmLocalParam))
    Error("Expected variable");
  // A pointer to a record is only followed through the register it is assumed into: read
  // from memory it would address the pointer's own bytes.
  if (!useRegister && data->dataPtrType && data->dataType == compilerPtrType)
    Error("Classes require that you have used assume");
  const PDataType type = useRegister ? data->dataPtrType : data->dataType;
  info = TVarInfo{};
  info.origData = data;
  info.locStr = data->dataName;
  info.offsetSize = type ? type->typeSize : 0;
  FollowMembers(type, info);
}

void TCompiler::ParseRegPointer(TRegister reg) {
  const PDataType type = rsReg32[regNumber(reg)].pointsTo;
  if (!type) Error("Register has not been set to reference a containing pointer");
  TVarInfo info;
  info.locStr = curToken.Str;
  info.offsetSize = 4;
  FollowMembers(type, info);
  curClassReg = reg;
  if (!Settings.peekToken) methodObject = nullptr;  // the register holds the object
  if (info.Func) {
    // The call pushes the object register itself: nothing is pushed here, so the stack is
    // the same after the call as before it.
    SetToken(tk::ProcCall, info.locStr);
    curToken.Proc = info.Func;
    curToken.DataOffset = info.offset;
  } else {
    SetToken(tk::RegPointer, info.locStr);
    curToken.DataOffset = info.offset;
    curToken.Size = info.offsetSize;
    curToken.Length = info.offsetSize;
  }
  curToken.Reg = reg;
  curToken.RegID = static_cast<uint8_t>(regNumber(reg));
}

}  // namespace kelvo

// Procedure declarations: bodies, headers and procedure pointers, with their conventions.
#include <cassert>
#include <cstdint>

#include "assembler/code_buffer.h"
#include "assembler/encoders.h"
#include "frontend/compiler.h"
#include "frontend/lexer_scan.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

constexpr TRegister kFastcallRegs[] = {rdEAX, rdEDX, rdECX};
constexpr TRegister kKelcallRegs[] = {rdEAX, rdECX, rdEDX, rdEBX, rdESI, rdEDI};

// How many leading parameters a convention passes in registers.
int32_t registerParamLimit(TCallMethod method) {
  return method == cmFastcall ? 3 : (method == cmKelCall ? 6 : 0);
}

TRegister registerParam(TCallMethod method, int32_t position) {
  return method == cmFastcall ? kFastcallRegs[position] : kKelcallRegs[position];
}

}  // namespace

PFunction TCompiler::NewProcedure(const std::string& name, bool isFunction) {
  auto proc = std::make_unique<TFunction>();
  // A procedure declared in 16-bit code is 16-bit code from its prologue on: a "bits"
  // directive in its body would come too late for the frame and the parameters.
  proc->recAssembler.cpuMode = curFunc ? curFunc->recAssembler.cpuMode : 32;
  proc->Name = name;
  proc->isFunction = isFunction;
  proc->CallMethod = defaultCallMethod;
  proc->FuncIndex = static_cast<int32_t>(listProcedures.size());
  listProcedures.push_back(std::move(proc));
  return listProcedures.back().get();
}

// One parameter of a procedure with a body: a data item on the frame or in a register.
PData TCompiler::DeclareParameter(PFunction proc, const std::string& name, PDataType type,
                                  PDataType pointedTo, int32_t& offset) {
  auto param = std::make_unique<TData>();
  param->dataName = name;
  param->dataType = pointedTo ? compilerPtrType : type;
  param->dataPtrType = pointedTo;
  param->dataMode = dmLocalParam;
  param->dataSigned = type->typeSigned;
  param->defaultValue.ttype = tk::Invalid;
  const int32_t position = proc->intParamCount;
  if (position < registerParamLimit(proc->CallMethod)) {
    param->dataIsRegister = 1;
    param->dataRegister = registerParam(proc->CallMethod, position);
  } else {
    // The first byte of the argument: wide arguments occupy several stack slots from here up.
    param->dataAddress = static_cast<uint32_t>(offset + 4);
    offset += static_cast<int32_t>(alignValue(static_cast<uint32_t>(param->dataType->typeSize), 4));
  }
  param->dataIdent = static_cast<int32_t>(listData.size());
  DeclareIdent(name, itData, param->dataIdent);
  proc->AddParam(param.get(), param->dataType);
  PData result = param.get();
  listData.push_back(std::move(param));
  return result;
}

// "= value" after a parameter name: a number, float, constant, string, register or "-" number.
void TCompiler::ReadParameterDefault(PData param) {
  if (ExpectToken({tk::Float, tk::Constant, tk::Number, tk::Hex, tk::String, tk::Register, tk::Minus}) ==
      tk::Invalid)
    RaiseError();
  uint16_t code = curToken.Token;
  if (code == tk::Minus) {
    if (ExpectToken({tk::Number, tk::Float}) == tk::Invalid) RaiseError();
    code = curToken.Token;
    curToken.Int = -curToken.Int;
    curToken.Ext = -curToken.Ext;
    curToken.Str = "-" + curToken.Str;
  }
  PCurrentToken saved = SaveToken();
  saved->Size = param->dataType->typeSize;
  param->defaultValue.ttype = code;
  param->defaultValue.ct = saved;
}

// Whether the token just peeked is a word read as it stands in the source, at the outer level
// and with no plug-in about: no choice of a read touches such a word, so a read now would find
// the same token.
static bool wordReadInPlace(const TCompiler& c, const TCompiler::TPeeked& peeked, bool plain, const char* source) {
  const std::string_view word = c.curToken.Str;
  return plain && word.data() == source + peeked.start.charPos &&
         peeked.charPos == peeked.start.charPos + static_cast<int32_t>(word.size());
}

// The token after a parameter's name, when it is "," ";" or ")" in place; else 0.
static uint16_t takeSeparator(TCompiler& c) {
  const TAFile& f = *c.curFile;
  if (f.intCurChar >= f.intSourceLen) return 0;
  const char next = *lex::pastBlanks(f.strSource.data() + f.intCurChar);
  const uint16_t code = next == ',' ? tk::Comma : next == ';' ? tk::Semicolon : next == ')' ? tk::RParen : 0;
  return code != 0 && c.TakePunctuation(next, code) ? code : 0;
}

// The parameter list after "(": type names, optional "*", names, defaults, "[]".
void TCompiler::ReadParameterList(PFunction proc, int32_t& offset) {
  bool defaultsStarted = false;
  for (;;) {
    const PDataType type = curToken.DataType;
    // "type*" arrives as the pointer type under the written name.
    PDataType pointedTo = type == compilerPtrType && !sameText(curToken.Str, type->typeName) ? FindType(curToken.Str)
                                                                                              : nullptr;
    // The look for "*" mostly reads the name: a new name is taken from it, not read again.
    const bool plain = CanTakeInPlace();
    const char* const source = curFile->strSource.data();
    TPeeked ahead;
    const uint16_t afterType = PeekToken(ahead);
    bool named = afterType == tk::Identifier && wordReadInPlace(*this, ahead, plain, source);
    if (named) TakePeeked(ahead);
    if (afterType == tk::Star) [[unlikely]] {
      GetToken();
      pointedTo = type;
    }
    for (;;) {
      if (!named && ExpectToken(tk::kParameterNameCodes) == tk::Invalid)
        RaiseError();
      named = false;
      PData param = DeclareParameter(proc, curToken.Str, type, pointedTo, offset);
      uint16_t next = defaultsStarted ? 0 : takeSeparator(*this);
      if (next == 0) {
        if (PeekToken() == tk::Assign || defaultsStarted) [[unlikely]] {
          if (ExpectToken({tk::Assign}) == tk::Invalid) RaiseError();
          defaultsStarted = true;
          ReadParameterDefault(param);
        }
        next = ExpectToken({tk::Comma, tk::Semicolon, tk::RParen, tk::LBracket});
      }
      if (next == tk::Invalid) RaiseError();
      if (next == tk::Comma) continue;
      if (next == tk::RParen) return;
      if (next == tk::LBracket) [[unlikely]] {
        if (ExpectToken({tk::RBracket}) == tk::Invalid || ExpectToken({tk::RParen}) == tk::Invalid) RaiseError();
        proc->bMinParams = true;
        return;
      }
      break;  // ";": the next type name follows
    }
    if (ExpectToken({tk::TypeName}) == tk::Invalid) RaiseError();
  }
}

// PUSH frame; MOV frame, ESP; six NOPs that the link step turns into the locals' reservation.
void TCompiler::EmitPrologue(PFunction proc) {
  TAssembler& a = proc->recAssembler;
  PushReg(a, Settings.localsReg);
  MovRegReg(a, Settings.localsReg, rdESP);
  assert(a.strCode.size() < UINT8_MAX);
  proc->localFixupOffset = static_cast<uint8_t>(a.strCode.size() + 1);
  EmitPatchArea(a);
}

// "function|procedure name(params)[: type] [uses regs] { ... }"
bool TCompiler::CompileProcDecl(bool isMethod, TRegister objectReg, PDataType classType) {
  const TRegister savedLocalsReg = Settings.localsReg;
  const bool isFunction = curToken.Token == tk::Function;
  TCallMethod method = defaultCallMethod;
  if (ExpectToken({tk::Identifier, tk::CallMethod, tk::TypeName}) == tk::Invalid) return false;
  const bool conventionWritten = curToken.Token == tk::CallMethod;
  if (conventionWritten) [[unlikely]] {
    method = strToCallMethod(curToken.Str);
    if (ExpectToken({tk::Identifier, tk::TypeName}) == tk::Invalid) return false;
  }
  PFunction proc = nullptr;
  int32_t headerCount = -1;
  if (curToken.Token == tk::TypeName) [[unlikely]] {
    // The body of a method declared in its type: that procedure, with the type's register.
    classType = curToken.DataType;
    proc = FindDeclaredMethod(classType, headerCount);
    if (!conventionWritten) method = proc->CallMethod;
    isMethod = true;
    objectReg = classType->typeClassUseReg;
    Settings.localsReg = rdEBP;
  } else {
    proc = NewProcedure(curToken.Str, isFunction);
  }
  proc->CallMethod = method;
  if (method == cmUnknown) Error("Unknown calling convension");
  bInProcedure = true;
  if (!Settings.setUnnamed && headerCount < 0) {
    // The table lower-cases the name itself.
    const TIdentType kind = isFunction ? itFunction : itProcedure;
    if (classType) [[unlikely]] DeclareIdent(classType->typeName + "$" + proc->Name, kind, proc->FuncIndex);
    else DeclareIdent(proc->Name, kind, proc->FuncIndex);
  }
  const int32_t firstOffset = proc->recAssembler.cpuMode == 16 ? 2 : 4;  // the return address
  int32_t offset = firstOffset;
  SmartIdents.NextScope();
  PData self = nullptr;
  if (isMethod) [[unlikely]] self = DeclareThis(proc, objectReg, classType, offset);
  if (!TakePunctuation('(', tk::LParen) && ExpectToken({tk::LParen, tk::LBrace}) == tk::Invalid) RaiseError();
  if (curToken.Token == tk::LParen) {
    if (ExpectToken({tk::RParen, tk::TypeName}) == tk::Invalid) RaiseError();
    if (curToken.Token == tk::TypeName) ReadParameterList(proc, offset);
    ExpectOrRaise('{', tk::LBrace);
  }
  if (proc->bMinParams && method != cmCdecl) [[unlikely]]
    Error("Only cdecl calling convension support uncounted arguments[]");
  if (headerCount >= 0 && proc->intParamCount - proc->intParamOffset != headerCount) [[unlikely]]
    Error("\"" + proc->Name + "\" was declared with " + std::to_string(headerCount) + " parameters");
  const int32_t inRegisters = std::min(proc->intParamCount, registerParamLimit(method));
  proc->intRegParamCount = static_cast<uint8_t>(inRegisters);
  proc->intParamCount -= inRegisters;
  proc->dwTotalParamSize = static_cast<uint32_t>(offset - firstOffset);
  bodyRoom_.lend(*proc);
  EmitPrologue(proc);
  lastAddedProc = proc;
  if (isMethod) [[unlikely]] {
    proc->isClassFunc = true;
    listUses.push_back(objectReg);
    PushReg(proc->recAssembler, objectReg);
    MovRegMem(proc->recAssembler, 1, objectReg, Settings.localsReg, rdEAX, static_cast<int32_t>(self->dataAddress), 1);
  }
  // A usual body records fix-ups: room for them from the start (the first body takes it, the
  // rest inherit it), so its first jump or address operand takes no longer way than the rest.
  if (proc->recAssembler.FixUps.capacity() == 0) GrowFixUps(proc->recAssembler);
  if (!CompileBlock(proc->FuncIndex, false, false, false)) RaiseError();
  FinishProcedure(proc);
  bInProcedure = false;
  Settings.localsReg = savedLocalsReg;
  return true;
}

PFunction TCompiler::FindDeclaredMethod(PDataType type, int32_t& headerCount) {
  const char separator = PeekChar(1);
  if (separator != '.' && separator != ':') {
    if (ExpectToken({tk::Dot, tk::Colon}) == tk::Invalid) RaiseError();
  }
  NextChar();
  const std::string name = ReadMemberName();
  int32_t index = -1, slot = 0;
  if (FindMember(type, name, index, slot) >= 0 || index < 0) Error(name + " does not seem to be a method");
  const PFunction proc = listProcedures[static_cast<size_t>(index)].get();
  if (!proc->isDeclaration) Error("Method \"" + proc->Name + "\" already has a body");
  // The body lays the parameters out again, "this" first.
  headerCount = proc->intParamCount;
  proc->isDeclaration = false;
  proc->ClearParams();
  proc->intParamCount = 0;
  proc->intParamOffset = 0;
  proc->dwTotalParamSize = 0;
  proc->ImportName.clear();
  return proc;
}

// The hidden first parameter of a method: the object, kept in the class's register.
PData TCompiler::DeclareThis(PFunction proc, TRegister objectReg, PDataType classType, int32_t& offset) {
  if (proc->CallMethod == cmFastcall) Error("Class procedures do not support fastcall");
  if (proc->CallMethod == cmKelCall) Error("Class procedures do not support kelcall");
  offset += 4;
  auto self = std::make_unique<TData>();
  self->dataName = "this";
  self->dataType = compilerPtrType;
  self->dataAddress = static_cast<uint32_t>(offset);
  self->dataMode = dmLocalParam;
  self->dataUseRegister = 1;
  self->dataRegister = objectReg;
  self->dataPtrType = classType;
  self->defaultValue.ttype = tk::Invalid;
  self->dataIdent = static_cast<int32_t>(listData.size());
  DeclareIdent("this", itData, self->dataIdent);
  PData result = self.get();
  listData.push_back(std::move(self));
  ++proc->intParamOffset;
  ++proc->intParamCount;
  return result;
}

// A large program holds every finished procedure until the link step: laid out now, it no
// longer needs its label jumps' fix-ups, its labels or the room the jumps would have taken.
// Anything wrong with it is left for the link step, which reports it only if the procedure
// is part of the program.
void TCompiler::FinishProcedure(PFunction proc) {
  // 16-bit code reserves its locals with ADD SP, imm16.
  if (proc->recAssembler.cpuMode == 16 && alignValue(proc->dwTotalLocalSize, 4) > 0x7FFC) [[unlikely]]
    Error("The locals of \"" + proc->Name + "\" take more than the 32 KB that 16-bit code can reserve");
  procedureLayout_.layOut(nullptr, *proc, nullptr, false);
  bodyRoom_.takeBack(*proc);
}

}  // namespace kelvo

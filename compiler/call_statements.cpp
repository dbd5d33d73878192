// Calls through a register, and assignments to procedure pointers.
#include "assembler/encoders.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

// reg(arguments) [as convention];  The arguments are pushed last first; a cdecl call removes
// the bytes it pushed afterwards.
bool TCompiler::CompileRegisterCall(TRegister reg) {
  static constexpr uint16_t kArgumentCodes[] = {
      tk::Float, tk::Segment, tk::SegOffset, tk::BaseExpr, tk::Number, tk::Hex, tk::Register, tk::ProcAddress,
      tk::DataAddress, tk::RegPointer, tk::String, tk::Constant, tk::LocalVar, tk::LocalParam, tk::LocalAddress,
      tk::Variable, tk::Minus};
  TCallMethod method = defaultCallMethod;
  const size_t first = tokenStack.Count();
  int32_t total = 0;
  if (PeekToken() == tk::RParen) GetToken();
  else
    for (;;) {
      uint16_t code = ExpectToken(kArgumentCodes, static_cast<int32_t>(std::size(kArgumentCodes)) - 1);
      if (code == tk::Invalid) return false;
      if (code == tk::Minus) {
        if (ExpectToken({tk::Number, tk::Float}) == tk::Invalid) return false;
        curToken.Int = -curToken.Int;
        curToken.Ext = -curToken.Ext;
        curToken.Str = "-" + curToken.Str;
        code = curToken.Token;
      }
      if (code == tk::BaseExpr) {
        queuedBaseExpressions.push_back(curBaseExpression);
        curToken.Int = static_cast<int64_t>(queuedBaseExpressions.size());
      }
      PCurrentToken arg = SaveToken();
      if (code == tk::Float || (code == tk::Constant && arg->Data && arg->Data->dataSubMode == smFloat))
        arg->Size = 4;
      if (code == tk::Register && regSize(arg->Reg) == 16) arg = RegisterToken(static_cast<TRegister>(regNumber(arg->Reg)));
      tokenStack.Push(ctPush, arg);
      const bool item = code == tk::LocalVar || code == tk::LocalParam || code == tk::Variable || code == tk::RegPointer;
      total += item ? (arg->Size + 3) / 4 * 4 : 4;
      const uint16_t next = ExpectToken({tk::Comma, tk::RParen});
      if (next == tk::Invalid) return false;
      if (next == tk::RParen) break;
    }
  if (ExpectToken({tk::Semicolon, tk::As}) == tk::Invalid) return false;
  if (curToken.Token == tk::As) {
    GetToken();
    method = strToCallMethod(curToken.Str);
    if (method == cmUnknown) Error("Unknown calling convension");
    if (ExpectToken({tk::Semicolon}) == tk::Invalid) return false;
  }
  ReplayCallQueue(first);
  TAssembler& a = curFunc->recAssembler;
  CallReg(a, reg);
  if (method == cmCdecl && total > 0) AddRegImm(a, rdESP, total, ftNone);
  if (first == 0) {
    tokenStack.Clear();
    queuedBaseExpressions.clear();
  }
  return true;
}

// pointer = function() | @procedure | variable
bool TCompiler::CompileProcStatement(PCurrentToken target) {
  const PFunction pointer = target->Proc;
  if (!pointer || !pointer->isPointer) Error(target->Str + " can not be assigned to");
  if (!pointer->linkedData()) Error("321423: An unkown error occured, please contact the developers");
  TAssembler& a = curFunc->recAssembler;
  const auto slot = static_cast<uint32_t>(pointer->linkedData()->dataIdent);
  if (ExpectToken({tk::Assign}) == tk::Invalid) return false;
  const uint16_t code = ExpectToken({tk::ProcCall, tk::Variable, tk::LocalVar, tk::LocalParam, tk::ProcAddress});
  switch (code) {
    case tk::Invalid: return false;
    case tk::ProcCall: {
      const PFunction source = curToken.Proc;
      RequireFunction(source);
      if (source->resultType() && source->resultType()->typeSize != 4)
        Error("Function has invalid result type \"" + source->Name + "\"");
      if (!CompileCall(source, false, curToken.DataOffset)) return false;  // a method slot's offset
      MovVarReg(a, slot, rdEAX, 0);
      return true;
    }
    case tk::ProcAddress:
      MovVarImm(a, 4, slot, curToken.Int, 0, ftProcAddress, static_cast<uint32_t>(curToken.Int));
      break;
    default: {
      TLocation source = OperandLocation(curToken);
      TLocation place;
      place.isVar = true;
      place.dataIdent = slot;
      place.size = 4;
      source.size = source.size > 0 ? source.size : 4;
      LocCopy(a, place, source);
      break;
    }
  }
  return ExpectToken({tk::Semicolon}) != tk::Invalid;
}

}  // namespace kelvo

// Calls of declared procedures: arguments are read first, each step of the call is queued on
// tokenStack, and the queue is replayed into code once the outermost call is complete.
//
// Order of the code of one call (nested calls put their whole sequence where they stand):
//   1. kelcall: save the registers that carry arguments 2 to 6 (EDI first, ECX last)
//   2. stack arguments, last first; a nested call runs here, then its EAX is pushed
//   3. the object of a method
//   4. nested calls that feed register arguments, each result kept on the stack
//   5. register arguments read from a register that is loaded too, kept on the stack
//   6. the other register arguments, loaded straight
//   7. the kept values popped into their registers
//   8. the call, then the clean-up: cdecl removes the bytes pushed, kelcall restores the saves
// so no load overwrites a value that a later load still reads, and no nested call runs
// between the loads.
#include "assembler/encoders.h"
#include "compiler/size_messages.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

constexpr TRegister kFastcallRegs[] = {rdEAX, rdEDX, rdECX};
constexpr TRegister kKelcallRegs[] = {rdEAX, rdECX, rdEDX, rdEBX, rdESI, rdEDI};

struct TStep {
  TCommand command;
  PCurrentToken token;
};
using TSteps = std::vector<TStep>;

struct TArgument {
  PCurrentToken token = nullptr;  // the value; EAX after a nested call
  TSteps nested;                  // the nested call's code, in order
  bool isNested = false;
};

TCommand loadCommand(TRegister r) {
  switch (r) {
    case rdEAX: return ctMOVeax;
    case rdECX: return ctMOVecx;
    case rdEDX: return ctMOVedx;
    case rdEBX: return ctMOVebx;
    case rdESI: return ctMOVesi;
    default: return ctMOVedi;
  }
}

TCommand popCommand(TRegister r) {
  switch (r) {
    case rdEAX: return ctPOPeax;
    case rdECX: return ctPOPecx;
    case rdEDX: return ctPOPedx;
    case rdEBX: return ctPOPebx;
    case rdESI: return ctPOPesi;
    default: return ctPOPedi;
  }
}

// Where argument `n` goes: a register, or nothing for the stack.
bool argumentRegister(TCallMethod method, size_t n, TRegister& reg) {
  if (method == cmFastcall && n < 3) {
    reg = kFastcallRegs[n];
    return true;
  }
  if (method == cmKelCall && n < 6) {
    reg = kKelcallRegs[n];
    return true;
  }
  return false;
}

uint32_t bit(TRegister r) { return 1u << regNumber(r); }

// The 32-bit registers whose value an argument reads.
uint32_t registersRead(const TCompiler& c, const TCurrentToken& t) {
  switch (t.Token) {
    case tk::Register: return bit(t.Reg);
    case tk::RegPointer: case tk::RegPointerAddress: return bit(t.Reg);
    case tk::BaseExpr: {
      const bool queued = t.Int > 0 && static_cast<size_t>(t.Int) <= c.queuedBaseExpressions.size();
      if (!queued) return 0xFF;
      const TBaseExpression& e = c.queuedBaseExpressions[static_cast<size_t>(t.Int - 1)];
      return (e.regcount >= 1 ? bit(e.reg1) : 0) | (e.regcount >= 2 ? bit(e.reg2) : 0);
    }
    case tk::LocalVar: case tk::LocalParam: case tk::Variable: case tk::LocalAddress:
      return t.Data && t.Data->dataUseRegister ? bit(t.Data->dataRegister) : 0;
    default: return 0;
  }
}

// Bytes a stack argument occupies: whole dwords, an extended float 12.
int32_t stackBytes(const TCurrentToken& t) {
  switch (t.Token) {
    case tk::LocalVar: case tk::LocalParam: case tk::Variable: case tk::RegPointer:
      return (t.Size + 3) / 4 * 4;
    case tk::Float: return t.Size == 8 ? 8 : (t.Size == 10 ? 12 : 4);
    case tk::Constant:
      if (t.Data && t.Data->dataSubMode == smFloat) return t.Size == 8 ? 8 : (t.Size == 10 ? 12 : 4);
      return 4;
    default: return 4;
  }
}

bool isVariableArgument(const TCurrentToken& t) {
  return t.Token == tk::LocalVar || t.Token == tk::LocalParam || t.Token == tk::Variable || t.Token == tk::RegPointer;
}

std::string argumentError(size_t n, const TCurrentToken& t) {
  return "Argument " + std::to_string(n + 1) + " \"" + t.Str +
         "\" reads a register that a nested call changes; pass it through a variable";
}

}  // namespace

PCurrentToken TCompiler::RegisterToken(TRegister reg) {
  auto t = std::make_unique<TCurrentToken>();
  t->Token = tk::Register;
  t->Reg = reg;
  t->RegID = static_cast<uint8_t>(regNumber(reg));
  t->Size = regSize(reg);
  t->Length = t->Size / 8;
  t->Str = kRegisterNames[reg];
  NCTList.push_back(std::move(t));
  return NCTList.back().get();
}

static PCurrentToken cloneToken(TCompiler& c, const TCurrentToken& t) {
  c.NCTList.push_back(std::make_unique<TCurrentToken>(t));
  return c.NCTList.back().get();
}

// An integer literal for a float parameter goes as that float, not as the integer's bits.
static PCurrentToken asFloatArgument(TCompiler& c, PCurrentToken value, PDataType declared) {
  if ((value->Token != tk::Number && value->Token != tk::Hex) || !isFloatType(declared)) return value;
  const PCurrentToken f = cloneToken(c, *value);
  f->Token = tk::Float;
  f->Ext = static_cast<long double>(value->Token == tk::Hex ? hexToInt64(value->Str) : value->Int);
  f->Size = declared->typeSize;
  return f;
}

// One argument as written; a nested call is compiled into its own steps here.
static TArgument readArgument(TCompiler& c, PFunction proc, size_t n) {
  static constexpr uint16_t kArgumentCodes[] = {
      tk::Minus, tk::Float, tk::Segment, tk::SegOffset, tk::ProcCall, tk::BaseExpr, tk::Number, tk::Hex,
      tk::Register, tk::ProcAddress, tk::DataAddress, tk::RegPointerAddress, tk::RegPointer, tk::String,
      tk::Constant, tk::LocalVar, tk::LocalParam, tk::LocalAddress, tk::Variable};
  const PDataType declared = proc->paramType(n);
  uint16_t code;
  {
    const TWideHex wide(c, declared && declared->typeSize == 8);
    code = c.ExpectToken(kArgumentCodes, static_cast<int32_t>(std::size(kArgumentCodes)) - 1);
  }
  if (code == tk::Invalid) c.RaiseError();
  TCurrentToken& t = c.curToken;
  if (code == tk::Minus) {
    if (c.ExpectToken({tk::Number, tk::Float}) == tk::Invalid) c.RaiseError();
    code = t.Token;
    t.Int = -t.Int;
    t.Ext = -t.Ext;
    t.Str = "-" + t.Str;
  }
  TArgument arg;
  if (code == tk::ProcCall) {
    const PFunction inner = t.Proc;
    c.RequireFunction(inner);
    const size_t before = c.tokenStack.Count();
    c.CompileCall(inner, true, t.DataOffset);
    while (c.tokenStack.Count() > before) {
      const PCurrentToken step = c.tokenStack.Pop(c.tokenStack.Count() - 1);
      arg.nested.push_back({step->Command, step});
    }
    arg.isNested = true;
    arg.token = c.RegisterToken(rdEAX);
    return arg;
  }
  if (code == tk::BaseExpr) {  // the operand waits in the queue, so it keeps its own copy
    c.queuedBaseExpressions.push_back(c.curBaseExpression);
    t.Int = static_cast<int64_t>(c.queuedBaseExpressions.size());
  }
  arg.token = c.SaveToken();
  const bool isFloatConst = code == tk::Constant && t.Data && t.Data->dataSubMode == smFloat;
  if (code == tk::Float || isFloatConst) {  // a float takes the size of the parameter it fills
    int32_t size = 4;
    if (const PDataType type = proc->paramType(n)) size = type->typeSize;
    arg.token->Size = size;
  }
  return arg;
}

// Queues one stack argument so that it fills exactly its parameter's slot, which is what the
// callee's RET and frame expect: a narrower value is widened by zero or sign dwords above it,
// a wider one is refused. Returns the bytes pushed.
static int32_t pushArgument(TCompiler& c, TSteps& steps, const TArgument& arg, PCurrentToken value,
                            PDataType declared, size_t n) {
  const int32_t bytes = arg.isNested ? 4 : stackBytes(*value);
  if (!declared) {  // an argument past the declared ones ("[]") goes as it is
    steps.push_back({ctPush, value});
    return bytes;
  }
  const auto slot = static_cast<int32_t>(alignValue(static_cast<uint32_t>(declared->typeSize), 4));
  if (bytes > slot)
    c.Error("Argument " + std::to_string(n + 1) + " \"" + value->Str + "\" takes " + std::to_string(bytes) +
            " bytes, more than its " + std::to_string(slot) + "-byte parameter");
  if (slot > bytes) {
    const bool number = value->Token == tk::Number || value->Token == tk::Hex;
    // A variable widens by its own type; a register, a memory operand or a call's result by the
    // parameter's; an address or a text never has a sign.
    bool isSigned = false;
    if (isVariableArgument(*value)) isSigned = value->Data && value->Data->dataSigned;
    else if (arg.isNested || value->Token == tk::Register || value->Token == tk::BaseExpr) isSigned = declared->typeSigned;
    for (int32_t fill = slot - bytes; fill > 0; fill -= 4) {
      PCurrentToken high = cloneToken(c, *value);
      if (number && fill == 4 && bytes == 4) {  // a number fills both dwords, the high one first
        // Hex digits are unsigned: 0xFFFFFFFF is not -1 in a qword.
        const int64_t v = value->Token == tk::Hex ? hexToInt64(value->Str) : value->Int;
        high->Token = tk::Number;
        high->Int = static_cast<int64_t>(static_cast<uint64_t>(v) >> 32);
        steps.push_back({ctPush, high});
      } else if (!number && isSigned && fill == 4 && bytes == 4) {
        steps.push_back({ctPushSign, arg.isNested ? c.RegisterToken(rdEAX) : high});
      } else {
        high->Token = tk::Number;
        high->Int = 0;
        steps.push_back({ctPush, high});
      }
    }
  }
  steps.push_back({ctPush, value});
  return slot;
}

static void checkArgumentCount(TCompiler& c, PFunction proc, size_t given) {
  const int32_t expected = proc->intParamCount + proc->intRegParamCount - proc->intParamOffset;
  const auto n = static_cast<int32_t>(given);
  const std::string head = "\"" + proc->Name + "\"";
  const std::string tail = std::to_string(expected) + " params, receieved " + std::to_string(n) + ".";
  if (proc->bMinParams) {
    if (n < expected) c.Error(head + " expected a minimum of " + tail);
  } else if (n != expected) {
    c.Error(head + " expected " + tail);
  }
}

static std::vector<TArgument> readArguments(TCompiler& c, PFunction proc) {
  std::vector<TArgument> args;
  if (c.PeekToken() == tk::LParen) {
    c.GetToken();
    const PDataType first = proc->paramType(0);
    const TWideHex wide(c, first && first->typeSize == 8);  // the look ahead reads the first argument
    if (c.PeekToken() == tk::RParen) {
      c.GetToken();
    } else {
      for (;;) {
        args.push_back(readArgument(c, proc, args.size()));
        const uint16_t next = c.ExpectToken({tk::Comma, tk::RParen});
        if (next == tk::Invalid) c.RaiseError();
        if (next == tk::RParen) break;
      }
    }
  }
  // Defaults fill the parameters not written, up to the first one without a default.
  while (args.size() < proc->paramTotal) {
    const PData param = proc->paramList[args.size()].data;
    if (!param || param->defaultValue.ttype == tk::Invalid || !param->defaultValue.ct) break;
    TArgument arg;
    arg.token = cloneToken(c, *static_cast<const TCurrentToken*>(param->defaultValue.ct));
    args.push_back(arg);
  }
  for (size_t n = 0; n < args.size(); ++n)
    if (!args[n].isNested) args[n].token = asFloatArgument(c, args[n].token, proc->paramType(n));
  checkArgumentCount(c, proc, args.size());
  return args;
}

// Which arguments travel in registers: the first ones, as many as the method has registers.
struct TRegisterPlan {
  size_t inRegisters = 0;  // arguments 0 .. inRegisters-1 go in registers
  uint32_t targets = 0;    // the registers they are loaded into, as bits
  bool anyNested = false;  // some argument is a nested call, which changes registers
};

static TRegisterPlan assignRegisters(TCallMethod method, const std::vector<TArgument>& args) {
  TRegisterPlan plan;
  for (size_t n = 0; n < args.size(); ++n) {
    TRegister r = rdEAX;
    if (argumentRegister(method, n, r)) {
      ++plan.inRegisters;
      plan.targets |= bit(r);
    }
    plan.anyNested = plan.anyNested || args[n].isNested;
  }
  return plan;
}

// A stack argument pushed after a nested call's code would read registers that call changed.
static void checkStackArgument(TCompiler& c, const TArgument& arg, size_t n, bool nestedSeen) {
  if (!arg.isNested && nestedSeen && registersRead(c, *arg.token)) c.Error(argumentError(n, *arg.token));
}

// Whether a register argument is kept on the stack until every load is done, because it reads
// a register that another load overwrites. Refuses one whose registers a nested call changes.
static bool mustKeep(TCompiler& c, const TRegisterPlan& plan, const TArgument& arg, size_t n) {
  const uint32_t reads = registersRead(c, *arg.token);
  if (reads && plan.anyNested) c.Error(argumentError(n, *arg.token));
  if (!(reads & plan.targets)) return false;
  if (arg.token->Token == tk::Register && regSize(arg.token->Reg) != 32)
    c.Error(SizeMessage(TSizeMessage::equalSize, arg.token->Str));
  return true;
}

// Stack arguments, last first, then the object of a method (the object read with the method's
// name, else its class register). Returns the bytes pushed.
static int32_t pushStackArguments(TCompiler& c, TSteps& steps, PFunction proc, const TRegisterPlan& plan,
                                  const std::vector<TArgument>& args, TRegister objectReg, PCurrentToken object) {
  int32_t pushed = 0;
  bool nestedSeen = false;
  for (size_t n = args.size(); n-- > plan.inRegisters;) {
    const TArgument& arg = args[n];
    checkStackArgument(c, arg, n, nestedSeen);
    if (arg.isNested) {
      steps.insert(steps.end(), arg.nested.begin(), arg.nested.end());
      nestedSeen = true;
    }
    PCurrentToken value = arg.token;
    if (value->Token == tk::Register && regSize(value->Reg) == 16)  // a dword slot, like every argument
      value = c.RegisterToken(static_cast<TRegister>(regNumber(value->Reg)));
    pushed += pushArgument(c, steps, arg, value, proc->paramType(n), n);
  }
  if (proc->isClassFunc) {
    const PCurrentToken self = object ? object : c.RegisterToken(objectReg);
    if (proc->isPointer) self->Size = regSize(proc->ptrReg);
    steps.push_back({ctPush, self});
    pushed += 4;
  }
  return pushed;
}

// Nested results and kept values go on the stack, the other loads follow, then the kept
// values are popped into their registers.
static void loadRegisterArguments(TCompiler& c, TSteps& steps, TCallMethod method, const TRegisterPlan& plan,
                                  const std::vector<TArgument>& args) {
  std::vector<TRegister> kept;
  for (size_t n = plan.inRegisters; n-- > 0;) {  // nested results first
    TRegister r = rdEAX;
    argumentRegister(method, n, r);
    if (!args[n].isNested) continue;
    steps.insert(steps.end(), args[n].nested.begin(), args[n].nested.end());
    steps.push_back({ctPush, args[n].token});
    kept.push_back(r);
  }
  std::vector<TStep> loads;
  for (size_t n = plan.inRegisters; n-- > 0;) {
    TRegister r = rdEAX;
    argumentRegister(method, n, r);
    const TArgument& arg = args[n];
    if (arg.isNested) continue;
    if (mustKeep(c, plan, arg, n)) {
      steps.push_back({ctPush, arg.token});
      kept.push_back(r);
    } else {
      loads.push_back({loadCommand(r), arg.token});
    }
  }
  steps.insert(steps.end(), loads.begin(), loads.end());
  for (size_t k = kept.size(); k-- > 0;) steps.push_back({popCommand(kept[k]), c.RegisterToken(kept[k])});
}

// The call itself, then the clean-up its method asks for.
static void pushCallAndCleanUp(TCompiler& c, TSteps& steps, PFunction proc, uint32_t memberOffset,
                               TRegister objectReg, size_t inRegisters, int32_t pushed) {
  PCurrentToken target = c.RegisterToken(objectReg);
  if (proc->isPointer && proc->isClassFunc) {
    target->Token = tk::RegPointer;
    target->Proc = proc;
    target->DataOffset = memberOffset;
    steps.push_back({ctCallGV, target});
  } else if (proc->isPointer) {
    if (!proc->linkedData()) c.Error("321423: An unkown error occured, please contact the developers");
    target->Token = tk::Variable;
    target->Data = proc->linkedData();
    target->DataOffset = 0;
    steps.push_back({ctCallGV, target});
  } else {
    target->Token = tk::ProcCall;
    target->Proc = proc;
    steps.push_back({ctCALLfuncid, target});
  }
  if (proc->CallMethod == cmCdecl) {
    PCurrentToken cleanUp = c.RegisterToken(rdESP);
    cleanUp->Token = tk::Number;
    cleanUp->Int = pushed;
    steps.push_back({ctAddREGNO, cleanUp});
  } else if (proc->CallMethod == cmKelCall) {
    for (size_t k = 1; k < inRegisters; ++k) steps.push_back({popCommand(kKelcallRegs[k]), c.RegisterToken(kKelcallRegs[k])});
  }
}

// The steps of a whole call, in the order their code runs.
static TSteps planCall(TCompiler& c, PFunction proc, uint32_t memberOffset, const std::vector<TArgument>& args,
                       PCurrentToken object) {
  const TRegister objectReg = c.curClassReg;
  const TCallMethod method = proc->CallMethod;
  const TRegisterPlan plan = assignRegisters(method, args);
  TSteps steps;
  if (method == cmKelCall)
    for (size_t k = plan.inRegisters; k-- > 1;) steps.push_back({ctPush, c.RegisterToken(kKelcallRegs[k])});
  const int32_t pushed = pushStackArguments(c, steps, proc, plan, args, objectReg, object);
  loadRegisterArguments(c, steps, method, plan, args);
  pushCallAndCleanUp(c, steps, proc, memberOffset, objectReg, plan.inRegisters, pushed);
  return steps;
}

// Calls nested as arguments recurse here; past this depth the source is refused before the
// compiler's own stack runs out.
constexpr int kMaxCallDepth = 200;

// "name(argument, ...)" | "name;" a call of a declared procedure
bool TCompiler::CompileCall(PFunction proc, bool nested, uint32_t memberOffset) {
  struct TDepth {
    int& depth;
    ~TDepth() { --depth; }
  } guard{++callDepth_};
  if (callDepth_ > kMaxCallDepth) Error("Source nested too deeply");
  UseProcedure(*proc);
  const size_t first = tokenStack.Count();
  const TRegister objectReg = curClassReg;
  const PCurrentToken object = proc->isClassFunc ? methodObject : nullptr;
  methodObject = nullptr;
  const std::vector<TArgument> args = readArguments(*this, proc);
  curClassReg = objectReg;
  const TSteps steps = planCall(*this, proc, memberOffset, args, object);
  // Queued last step first: the replay takes the queue from its end.
  for (size_t k = steps.size(); k-- > 0;) tokenStack.Push(steps[k].command, steps[k].token);
  if (nested) return true;
  if (first == 0) tokenStack.Optimise();
  ReplayCallQueue(first);
  if (first == 0) queuedBaseExpressions.clear();
  return true;
}

void TCompiler::ReplayCallQueue(size_t first) {
  while (tokenStack.Count() > first) EmitCallStep(tokenStack.Pop(tokenStack.Count() - 1));
}

void TCompiler::EmitCallStep(PCurrentToken step) {
  TAssembler& a = curFunc->recAssembler;
  switch (step->Command) {
    case ctCallGV:
      // The indirect call of 16-bit code pushes a dword return address, which the 16-bit
      // return of the procedure called does not take back.
      if (a.cpuMode == 16) Error("Calls through a pointer or an object need 32-bit code");
      if (step->Token == tk::RegPointer && step->Proc && !step->Proc->slotInTable) {
        CallMem(a, step->Reg, static_cast<int32_t>(step->DataOffset));  // a slot inside the object
      } else if (step->Token == tk::RegPointer) {  // a slot in the object's table
        MovRegMem(a, 1, rdEAX, step->Reg, rdEAX, 0, 0);
        CallMem(a, rdEAX, static_cast<int32_t>(step->DataOffset));
      } else {
        CallVar(a, static_cast<uint32_t>(step->Data->dataIdent), step->DataOffset);
      }
      return;
    case ctCALLfuncid: {
      // The call pushes a return address of the caller's size, the return takes back one of
      // the callee's.
      const uint16_t callee = step->Proc->recAssembler.cpuMode;
      if (callee != a.cpuMode)
        Error("\"" + step->Proc->Name + "\" is " + std::to_string(callee) + "-bit code and can not be called from " +
              std::to_string(a.cpuMode) + "-bit code");
      CallRel(a, static_cast<uint32_t>(step->Proc->FuncIndex));
      return;
    }
    case ctPush: PushOperand(step->Token, step); return;
    case ctAddREGNO: AddRegImm(a, step->Reg, static_cast<int32_t>(step->Int), ftNone); return;
    case ctMOVeax: case ctMOVecx: case ctMOVedx: case ctMOVebx: case ctMOVesi: case ctMOVedi: {
      static constexpr TRegister kLoad[] = {rdECX, rdEDX, rdEAX, rdEDI, rdESI, rdEBX};
      const TRegister r = kLoad[step->Command - ctMOVecx];
      CompileVarOperand(RegisterToken(r), step);
      return;
    }
    case ctPOPecx: PopReg(a, rdECX); return;
    case ctPOPedx: PopReg(a, rdEDX); return;
    case ctPOPebx: PopReg(a, rdEBX); return;
    case ctPOPesi: PopReg(a, rdESI); return;
    case ctPOPedi: PopReg(a, rdEDI); return;
    case ctPOPeax: PopReg(a, rdEAX); return;
    case ctPushSign: {
      PushOperand(step->Token, step);
      SarMemImm(a, 4, BaseDisp(rdESP, 0), 31);  // the high dword: the low one's sign
      return;
    }
  }
}

}  // namespace kelvo

// Token codes shared by the lexer, the statement compiler and the plug-ins.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace kelvo::tk {

enum : uint16_t {
  // punctuation
  Semicolon = 1, Colon = 2, Comma = 3, Dot = 4, Hash = 5, Assign = 6, LParen = 7, RParen = 8,
  LBrace = 9, RBrace = 10, LBracket = 11, RBracket = 12,
  // special tokens
  Invalid = 13, EndOfFile = 14, Directive = 15, Identifier = 16, SubSystem = 17, MacroVarStmt = 18,
  CallMethod = 19, BaseExpr = 20, String = 21, Label = 22, RegPointer = 23, SegOffset = 24,
  MacroCall = 25, ProcCall = 26, Constant = 27, LocalVar = 28, LocalParam = 29, Variable = 30,
  // operators
  Slash = 50, Plus = 51, Star = 52, Minus = 53, PlusPlus = 54, MinusMinus = 55, Equal = 56,
  NotEqual = 57, Less = 58, Greater = 59, LessEqual = 60, GreaterEqual = 61, ShiftRight = 62,
  ShiftLeft = 63, PlusAssign = 64, MinusAssign = 65, StarAssign = 66, Percent = 67, Dollar = 68,
  Not = 69, BitOr = 70, BitAnd = 71, LogicOr = 72, LogicAnd = 73, Question = 74,
  // types, addresses, registers
  TypeName = 100, DataAddress = 101, ProcAddress = 102, LocalAddress = 103, RegPointerAddress = 104,
  Register = 105, Segment = 106, FpuStack = 107,
  // numbers
  Number = 120, Hex = 121, Float = 122,
  // keywords
  Entry = 150, Default = 151, Signed = 152, Unsigned = 153, Inherit = 154, Global = 155, Repeat = 156,
  Until = 157, To = 158, For = 159, Step = 160, Downto = 161, Recast = 162, Enum = 163, Try = 164,
  Except = 165, Finally = 166, Static = 167, Const = 168, Type = 169, Class = 170, Case = 171,
  State = 172, Program = 173, Interface = 174, While = 175, Break = 176, Continue = 177, If = 178,
  ElseIf = 179, Else = 180, Uses = 181, Inline = 182, Block = 183, Blob = 184, Imports = 185,
  Exports = 186, Function = 187, Procedure = 188, Macro = 189, As = 190, Of = 191, Assume = 192,
  Drop = 193, Nothing = 194, Union = 195,
  // integer mnemonics the block compiler handles itself
  Bswap = 411, Ret = 500, Setae = 511,
  // integer mnemonics with operands (instruction statements)
  MnAdc = 404, MnAdd = 405, MnAnd = 406, MnBt = 412, MnBtc = 413, MnBtr = 414, MnBts = 415,
  MnCall = 416, MnCmp = 426, MnDec = 434, MnDiv = 435, MnIdiv = 441, MnImul = 442, MnIn = 443,
  MnInc = 444, MnInt = 447, MnLar = 454, MnLea = 456, MnMov = 475, MnMovzx = 480, MnMul = 481,
  MnNeg = 482, MnNot = 484, MnOr = 485, MnOut = 486, MnPop = 490, MnPush = 493, MnRol = 502,
  MnRor = 503, MnSar = 506, MnShl = 530, MnShr = 531, MnSldt = 534, MnSub = 543, MnTest = 544,
  MnVerr = 545, MnVerw = 546, MnXchg = 549, MnXor = 551, MnJo = 553, MnJg = 568, MnJmp = 569,
  MnSal = 570, MnJecxz = 571, MnCmovz = 572,
  // vector registers
  MmxRegister = 600, SseRegister = 650,
  // first code handed to plug-in tokens
  FirstPluginToken = 5000,
};

// A parameter's name: a new word, or one that hides a procedure or data item outside.
inline constexpr std::initializer_list<uint16_t> kParameterNameCodes = {
    Identifier, ProcCall, Constant, LocalVar, LocalParam, Variable};

}  // namespace kelvo::tk

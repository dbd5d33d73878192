#include "assembler/form_table.h"

namespace kelvo {

void EncRegReg(TAssembler& a, uint8_t op8, uint8_t op, TRegister reg, TRegister rm) {
  EncRegRegSized(a, RegBytes(reg), op8, op, reg, rm);
}

void EncRegRegSized(TAssembler& a, int bytes, uint8_t op8, uint8_t op, TRegister reg, TRegister rm) {
  TInstr in;
  PutSizePrefix(in, bytes);
  in.put(Sized(op8, op, bytes));
  in.put(ModRM(3, RegNum(reg), RegNum(rm)));
  Emit(a, in);
}

void EncGroupReg(TAssembler& a, const TGroupRow& row, TRegister reg) {
  TInstr in;
  const int bytes = RegBytes(reg);
  PutSizePrefix(in, bytes);
  in.put(Sized(row.op8, row.op, bytes));
  in.put(ModRM(3, row.digit, RegNum(reg)));
  Emit(a, in);
}

void PutRegMem(TInstr& in, uint8_t op8, uint8_t op, TRegister reg, const TMemOperand& m) {
  const int bytes = RegBytes(reg);
  PutSizePrefix(in, bytes);
  in.put(Sized(op8, op, bytes));
  PutMemOperand(in, RegNum(reg), m);
}

void PutVarReg(TInstr& in, uint8_t op8, uint8_t op, TRegister reg, uint32_t dataIdent, uint32_t offset) {
  const int bytes = RegBytes(reg);
  PutSizePrefix(in, bytes);
  in.put(Sized(op8, op, bytes));
  PutVarOperand(in, RegNum(reg), dataIdent, offset);
}

void EncAluRegImm(TAssembler& a, TAluOp alu, TRegister reg, int32_t imm) {
  const TAluRow& row = kAlu[alu];
  const int bytes = RegBytes(reg);
  const auto value = static_cast<uint32_t>(imm);
  TInstr in;
  PutSizePrefix(in, bytes);
  if (bytes == 1) {
    if (reg == rdAL) {  // accumulator short form AL, ib
      in.put(row.base + 4);
    } else {
      in.put(0x80);
      in.put(ModRM(3, row.digit, RegNum(reg)));
    }
    in.put(static_cast<uint8_t>(value));
  } else if (FitsInt8(imm)) {  // sign-extended byte beats the accumulator form
    in.put(0x83);
    in.put(ModRM(3, row.digit, RegNum(reg)));
    in.put(static_cast<uint8_t>(value));
  } else {
    if (RegNum(reg) == 0) {  // accumulator short form eAX, iz
      in.put(row.base + 5);
    } else {
      in.put(0x81);
      in.put(ModRM(3, row.digit, RegNum(reg)));
    }
    in.putImm(value, bytes);
  }
  Emit(a, in);
}

void PutGroupMemImm(TInstr& in, const TGroupRow& row, int bytes, const TMemOperand& m, uint32_t imm,
                    TFixType fix, uint32_t fixIndex, uint32_t fixOffset) {
  PutSizePrefix(in, bytes);
  in.put(Sized(row.op8, row.op, bytes));
  PutMemOperand(in, row.digit, m);
  if (fix != ftNone) in.fixHere(fix, 32, fixIndex, fixOffset);
  in.putImm(imm, bytes);
}

void PutGroupVarImm(TInstr& in, const TGroupRow& row, int bytes, uint32_t dataIdent, uint32_t offset,
                    uint32_t imm, TFixType fix, uint32_t fixIndex) {
  PutSizePrefix(in, bytes);
  in.put(Sized(row.op8, row.op, bytes));
  PutVarOperand(in, row.digit, dataIdent, offset);
  if (fix != ftNone) in.fixHere(fix, 32, fixIndex, 0);
  in.putImm(imm, bytes);
}

void PutAluMemImm(TInstr& in, TAluOp alu, int bytes, const TMemOperand& m, int32_t imm, bool shortImm) {
  if (bytes == 1 || !shortImm) return PutGroupMemImm(in, AluGroup(alu), bytes, m, static_cast<uint32_t>(imm));
  PutSizePrefix(in, bytes);
  in.put(0x83);
  PutMemOperand(in, kAlu[alu].digit, m);
  in.put(static_cast<uint8_t>(imm));
}

void PutAluVarImm(TInstr& in, TAluOp alu, int bytes, uint32_t dataIdent, uint32_t offset, int32_t imm,
                  bool shortImm) {
  if (bytes == 1 || !shortImm)
    return PutGroupVarImm(in, AluGroup(alu), bytes, dataIdent, offset, static_cast<uint32_t>(imm));
  PutSizePrefix(in, bytes);
  in.put(0x83);
  PutVarOperand(in, kAlu[alu].digit, dataIdent, offset);
  in.put(static_cast<uint8_t>(imm));
}

}  // namespace kelvo

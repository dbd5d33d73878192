// Every line of forms.list (an instruction and the bytes GNU as gives it) is encoded through
// the form table: the first row whose mnemonic and operand classes take the operands, as an
// assembler picks it, must give the same bytes; and every row must be taken by some line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "assembler/form_encoders.h"

namespace {

using namespace kelvo;

// One operand as read from Intel syntax.
struct TRead {
  enum TKind { kReg, kSeg, kSt, kMm, kXmm, kMem, kImm } kind = kImm;
  TRegister reg = rdEAX;
  int num = 0;
  int size = 0;  // bytes; 0: not given (memory without "ptr", immediates)
  TLocation loc;
  int64_t imm = 0;
};

std::string trim(std::string s) {
  while (!s.empty() && s.front() == ' ') s.erase(s.begin());
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::optional<int> segmentNumber(const std::string& s) {
  static const char* kNames[] = {"cs", "ss", "ds", "es", "fs", "gs"};  // TSegment order
  for (int i = 0; i < 6; ++i)
    if (s == kNames[i]) return i;
  return std::nullopt;
}

// [base + index*scale + disp] or an absolute address, as TMemOperand counts registers.
TLocation readAddress(std::string text) {
  TMemOperand m{0, rdEAX, rdEAX, 0, 0};
  std::vector<TRegister> regs;
  TRegister scaled = rdEAX;
  int scale = 0;
  int64_t disp = 0;
  size_t i = 0;
  while (i < text.size()) {
    const int sign = text[i] == '-' ? -1 : 1;
    if (text[i] == '+' || text[i] == '-') ++i;
    size_t j = i;
    while (j < text.size() && text[j] != '+' && text[j] != '-') ++j;
    const std::string term = text.substr(i, j - i);
    i = j;
    const size_t star = term.find('*');
    if (star != std::string::npos) {
      scaled = strToReg(term.substr(0, star));
      scale = std::stoi(term.substr(star + 1));
    } else if (std::isalpha(static_cast<unsigned char>(term[0]))) {
      regs.push_back(strToReg(term));
    } else {
      disp += sign * std::stoll(term, nullptr, 0);
    }
  }
  m.disp = static_cast<int32_t>(disp);
  if (scale) {
    m.scale = scale;
    m.regCount = regs.empty() ? 1 : 2;
    if (regs.empty()) m.base = scaled;  // the scaled register without a base
    else m.base = regs[0], m.index = scaled;
  } else {
    m.regCount = static_cast<int32_t>(regs.size());
    if (!regs.empty()) m.base = regs[0];
    if (regs.size() > 1) m.index = regs[1];
  }
  return MemLocation(m);
}

TRead readOperand(std::string text) {
  TRead r;
  static const std::pair<const char*, int> kPtr[] = {{"byte ptr ", 1},  {"word ptr ", 2},   {"dword ptr ", 4},
                                                     {"qword ptr ", 8}, {"tbyte ptr ", 10}, {"xmmword ptr ", 16}};
  for (const auto& [prefix, bytes] : kPtr)
    if (text.rfind(prefix, 0) == 0) r.size = bytes, text = text.substr(std::string(prefix).size());
  int8_t seg = -1;
  if (text.size() > 3 && text[2] == ':' && segmentNumber(text.substr(0, 2))) {
    seg = static_cast<int8_t>(*segmentNumber(text.substr(0, 2)));
    text = text.substr(3);
    if (text[0] != '[') text = "[" + text + "]";  // ds:0x1000
  }
  if (text[0] == '[') {
    r.kind = TRead::kMem;
    r.loc = readAddress(text.substr(1, text.size() - 2));
    r.loc.segPrefix = seg == segDS ? static_cast<int8_t>(-1) : seg;
    return r;
  }
  if (text.rfind("st(", 0) == 0) return r.kind = TRead::kSt, r.num = text[3] - '0', r;
  if (text.rfind("xmm", 0) == 0) return r.kind = TRead::kXmm, r.num = text[3] - '0', r.size = 16, r;
  if (text.rfind("mm", 0) == 0) return r.kind = TRead::kMm, r.num = text[2] - '0', r.size = 8, r;
  if (segmentNumber(text)) return r.kind = TRead::kSeg, r.num = *segmentNumber(text), r;
  if (std::isalpha(static_cast<unsigned char>(text[0]))) {
    r.kind = TRead::kReg;
    r.reg = strToReg(text);
    r.size = regSize(r.reg) / 8;
    return r;
  }
  r.imm = std::stoll(text, nullptr, 0);
  return r;
}

bool fitsSigned8(int64_t v, int bytes) {  // the value as the operand's width, sign-extended
  const int bits = bytes * 8;
  if (bits < 64) v = (v << (64 - bits)) >> (64 - bits);
  return v >= -128 && v <= 127;
}

// Does `c` take operand `r`? Plain classes agree on one operand size, kept in `size`.
bool takes(TOpClass c, const TRead& r, int& size) {
  auto sized = [&](int bytes) {
    if (bytes == 0) return true;
    if (size && size != bytes) return false;
    size = bytes;
    return true;
  };
  const bool reg = r.kind == TRead::kReg, mem = r.kind == TRead::kMem;
  switch (c) {
    case ocReg: return reg && sized(r.size);
    case ocReg8: case ocReg16: case ocReg32: return reg && r.size == (c == ocReg8 ? 1 : c == ocReg16 ? 2 : 4);
    case ocRM: return (reg || mem) && sized(r.size);
    case ocRM8: case ocRM16: case ocRM32: return (reg || mem) && r.size == (c == ocRM8 ? 1 : c == ocRM16 ? 2 : 4);
    case ocMem: return mem && sized(r.size);
    case ocMem8: return mem && r.size == 1;
    case ocMem16: return mem && r.size == 2;
    case ocMem32: return mem && r.size == 4;
    case ocMem64: return mem && r.size == 8;
    case ocMem80: return mem && r.size == 10;
    case ocMem128: return mem && r.size == 16;
    case ocMoffs: return mem && r.loc.mem.regCount == 0 && sized(r.size);
    case ocImm: return r.kind == TRead::kImm;
    case ocImm8: return r.kind == TRead::kImm && r.imm >= -128 && r.imm <= 255;
    case ocImm8S: return r.kind == TRead::kImm && fitsSigned8(r.imm, size ? size : 4);
    case ocImm16: case ocImm32: return r.kind == TRead::kImm;
    case ocAcc: return reg && RegNum(r.reg) == 0 && r.reg != rdAH && sized(r.size);
    case ocOne: return r.kind == TRead::kImm && r.imm == 1;
    case ocCL: return reg && r.reg == rdCL;
    case ocDX: return reg && r.reg == rdDX;
    case ocAX: return reg && r.reg == rdAX;
    case ocSreg: return r.kind == TRead::kSeg;
    case ocSt0: return r.kind == TRead::kSt && r.num == 0;
    case ocSti: return r.kind == TRead::kSt;
    case ocMm: return r.kind == TRead::kMm;
    case ocMmM32: case ocMmM64: return r.kind == TRead::kMm || (mem && r.size == (c == ocMmM32 ? 4 : 8));
    case ocXmm: return r.kind == TRead::kXmm;
    case ocXmmM32: case ocXmmM64: case ocXmmM128:
      return r.kind == TRead::kXmm || (mem && r.size == (c == ocXmmM32 ? 4 : c == ocXmmM64 ? 8 : 16));
    case ocNone: return false;
  }
  return false;
}

struct TLine {
  int number;
  std::string text, bytes;
};

std::vector<TLine> readList() {
  std::ifstream in(std::filesystem::path(__FILE__).parent_path() / "forms.list");
  std::vector<TLine> lines;
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (line.empty() || line[0] == '#') continue;
    const size_t semi = line.find(';');
    lines.push_back({n, trim(line.substr(0, semi)), trim(line.substr(semi + 1))});
  }
  return lines;
}

// The first row that takes the instruction, as an assembler picks it; -1 when none does.
int pickRow(std::string text, std::vector<TRead>& ops, int& size) {
  std::string hint;
  if (text[0] == '{') hint = text.substr(1, text.find('}') - 1), text = trim(text.substr(text.find('}') + 1));
  const size_t space = text.find(' ');
  const std::string mnemonic = text.substr(0, space);
  ops.clear();
  if (space != std::string::npos) {
    std::string rest = text.substr(space + 1);
    for (size_t comma; (comma = rest.find(',')) != std::string::npos; rest = rest.substr(comma + 1))
      ops.push_back(readOperand(trim(rest.substr(0, comma))));
    ops.push_back(readOperand(trim(rest)));
  }
  for (int id = 0; id < kFormCount; ++id) {
    const TForm& f = kForms[id];
    if (mnemonic != f.mnemonic) continue;
    if (hint == "load" && f.regIndex != 0) continue;
    if (hint == "store" && f.rmIndex != 0) continue;
    size = 0;
    size_t count = 0;
    while (count < 3 && f.ops[count] != ocNone) ++count;
    bool all = count == ops.size();
    for (size_t i = 0; i < count && all; ++i) all = takes(f.ops[i], ops[i], size);
    if (!all) continue;
    if (!(f.rules & frSized)) size = 4;  // sizes of their own: nothing left to choose
    if (size == 0) size = 4;
    if (size == 1 && !(f.rules & (frByte | frOnlyByte)) && (f.rules & frSized)) continue;
    if (size != 1 && (f.rules & frOnlyByte)) continue;
    return id;
  }
  return -1;
}

std::string hex(const TInstr& in) {
  std::string s;
  char buf[4];
  for (int i = 0; i < in.n; ++i) {
    std::snprintf(buf, sizeof buf, "%02x", in.b[i]);
    s += (i ? " " : "") + std::string(buf);
  }
  return s;
}

TFormOperand formOperand(const TRead& r) {
  TFormOperand o;
  switch (r.kind) {
    case TRead::kReg: o.kind = TFormOperand::okReg, o.num = RegNum(r.reg); break;
    case TRead::kSeg: o.kind = TFormOperand::okNumber, o.num = kSegment[r.num].number; break;
    case TRead::kSt: case TRead::kMm: case TRead::kXmm:
      o.kind = TFormOperand::okNumber, o.num = static_cast<uint8_t>(r.num);
      break;
    case TRead::kMem: o.kind = TFormOperand::okLoc, o.loc = r.loc; break;
    case TRead::kImm: o.kind = TFormOperand::okImm, o.imm = static_cast<uint32_t>(r.imm); break;
  }
  return o;
}

TEST(FormTable, EveryListedInstructionEncodesAsGnuAsDoes) {
  const std::vector<TLine> lines = readList();
  ASSERT_GT(lines.size(), 100u) << "forms.list not found or nearly empty";
  std::set<int> used;
  for (const TLine& line : lines) {
    std::vector<TRead> read;
    int size = 0;
    const int id = pickRow(line.text, read, size);
    if (id < 0) {
      ADD_FAILURE() << "forms.list:" << line.number << ": no row takes \"" << line.text << "\"";
      continue;
    }
    used.insert(id);
    TFormOperand ops[3];
    for (size_t i = 0; i < read.size(); ++i) ops[i] = formOperand(read[i]);
    TInstr in;
    PutForm(in, kForms[id], size, ops);
    EXPECT_EQ(hex(in), line.bytes) << "forms.list:" << line.number << ": " << line.text << " (row "
                                   << kForms[id].mnemonic << " #" << id << ")";
  }
  for (int id = 0; id < kFormCount; ++id)
    EXPECT_TRUE(used.count(id)) << "row #" << id << " (" << kForms[id].mnemonic
                                << ") has no line in forms.list";
}

}  // namespace

// Every line of forms.list (an instruction and the bytes GNU as gives it in 32-bit and in
// 16-bit code) is encoded through the form table: the first row whose mnemonic and operand
// classes take the operands, as an assembler picks it, must give the same bytes in both
// modes; and every row must be taken by some line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "assembler/form_encoders.h"
#include "tests/assembler/gnu_tools.h"

namespace {

using namespace kelvo;

// One operand as read from Intel syntax.
struct TRead {
  enum TKind { kReg, kSeg, kSt, kMm, kXmm, kMem, kImm, kRel } kind = kImm;
  TRegister reg = rdEAX;
  int num = 0;
  int size = 0;  // bytes; 0: not given (memory without "ptr", immediates)
  TLocation loc;
  int64_t imm = 0;  // kRel: the target's distance from the instruction's first byte
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
  if (text[0] == '.') return r.kind = TRead::kRel, r.imm = std::stoll(text.substr(1), nullptr, 0), r;
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
    case ocR32M16: return (reg && r.size == 4) || (mem && r.size == 2);
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
    case ocRel8: return r.kind == TRead::kRel && r.imm - 2 >= -128 && r.imm - 2 <= 127;
    case ocRel: return r.kind == TRead::kRel;
    case ocOne: return r.kind == TRead::kImm && r.imm == 1;
    case ocCL: return reg && r.reg == rdCL;
    case ocDX: return reg && r.reg == rdDX;
    case ocAX: return reg && r.reg == rdAX;
    case ocSreg: return r.kind == TRead::kSeg;
    case ocCS: case ocSS: case ocDS: case ocES: case ocFS: case ocGS:
      return r.kind == TRead::kSeg && r.num == c - ocCS;
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
  std::string text, bytes, bytes16;
};

std::vector<TLine> readList() {
  std::ifstream in(std::filesystem::path(__FILE__).parent_path() / "forms.list");
  std::vector<TLine> lines;
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '!') line = line.substr(1);  // bytes from the manual: GNU as lacks it
    const size_t semi = line.find(';'), semi16 = line.find(';', semi + 1);
    lines.push_back({n, trim(line.substr(0, semi)), trim(line.substr(semi + 1, semi16 - semi - 1)),
                     semi16 == std::string::npos ? "" : trim(line.substr(semi16 + 1))});
  }
  return lines;
}

// The first of `rows` that takes the instruction, as an assembler picks it; -1 when none does.
// `mode`: an operand size that nothing gives is the code's own.
int pickRow(const TForm* rows, int rowCount, std::string text, std::vector<TRead>& ops, int& size,
            int mode = 32) {
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
  for (int id = 0; id < rowCount; ++id) {
    const TForm& f = rows[id];
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
    if (size == 0) size = mode / 8;
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
    case TRead::kImm: case TRead::kRel: o.kind = TFormOperand::okImm, o.imm = static_cast<uint32_t>(r.imm); break;
  }
  return o;
}

// A jump's displacement counts from its end, which only the encoding shows.
TInstr encode(const TForm& f, int size, const std::vector<TRead>& read, int mode = 32) {
  TFormOperand ops[3];
  for (size_t i = 0; i < read.size(); ++i) ops[i] = formOperand(read[i]);
  TInstr in;
  in.mode = static_cast<uint16_t>(mode);
  PutForm(in, f, size, ops);
  for (size_t i = 0; i < read.size(); ++i) {
    if (read[i].kind != TRead::kRel) continue;
    ops[i].imm -= in.n;
    in.n = 0;
    PutForm(in, f, size, ops);
  }
  return in;
}

// The same instruction for the processor: the prefixes in front may stand in another order
// (GNU puts a segment override first, the encoder puts it next to the opcode).
bool samePrefixesAndRest(std::string ours, std::string gnu) {
  auto split = [](const std::string& hex) {
    std::vector<std::string> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 3) bytes.push_back(hex.substr(i, 2));
    size_t k = 0;
    static const std::set<std::string> kPrefix = {"26", "2e", "36", "3e", "64", "65", "66", "67"};
    while (k < bytes.size() && kPrefix.count(bytes[k])) ++k;
    std::multiset<std::string> prefixes(bytes.begin(), bytes.begin() + static_cast<long>(k));
    return std::make_pair(prefixes, std::vector<std::string>(bytes.begin() + static_cast<long>(k), bytes.end()));
  };
  return split(ours) == split(gnu);
}

TEST(FormTable, EveryListedInstructionEncodesAsGnuAsDoes) {
  const std::vector<TLine> lines = readList();
  ASSERT_GT(lines.size(), 100u) << "forms.list not found or nearly empty";
  std::set<int> used;
  for (const TLine& line : lines) {
    std::vector<TRead> read;
    int size = 0;
    const int id = pickRow(kForms, kFormCount, line.text, read, size);
    if (id < 0) {
      ADD_FAILURE() << "forms.list:" << line.number << ": no row takes \"" << line.text << "\"";
      continue;
    }
    used.insert(id);
    TInstr in = encode(kForms[id], size, read);
    EXPECT_EQ(hex(in), line.bytes) << "forms.list:" << line.number << ": " << line.text << " (row "
                                   << kForms[id].mnemonic << " #" << id << ")";
    const int id16 = pickRow(kForms, kFormCount, line.text, read, size, 16);
    const std::string ours16 = hex(encode(kForms[id16], size, read, 16));
    EXPECT_TRUE(samePrefixesAndRest(ours16, line.bytes16))
        << "forms.list:" << line.number << ": " << line.text << " in 16-bit code gives " << ours16
        << ", GNU as " << line.bytes16;
  }
  for (int id = 0; id < kFormCount; ++id)
    EXPECT_TRUE(used.count(id)) << "row #" << id << " (" << kForms[id].mnemonic
                                << ") has no line in forms.list";
}

// Rows of the x87, MMX and SSE shapes, written as their families will write them, with an
// instruction each: the row type must carry them without change.
struct TSampleRow {
  TForm row;
  const char* line;
};
constexpr TSampleRow kSamples[] = {
    {MakeForm("fadd", "m32", "D8 /0"), "fadd dword ptr [ebx+8]"},
    {MakeForm("fadd", "m64", "DC /0"), "fadd qword ptr [ebp-8]"},
    {MakeForm("fld", "m80", "DB /5"), "fld tbyte ptr [esp]"},
    {MakeForm("fild", "m16", "DF /0"), "fild word ptr ds:0x1234"},
    {MakeForm("fadd", "st(0), st(i)", "D8 C0+i"), "fadd st(0), st(3)"},
    {MakeForm("fadd", "st(i), st(0)", "DC C0+i"), "fadd st(5), st(0)"},
    {MakeForm("fxch", "st(i)", "D9 C8+i"), "fxch st(2)"},
    {MakeForm("fcmovb", "st(0), st(i)", "DA C0+i"), "fcmovb st(0), st(1)"},
    {MakeForm("fstsw", "ax", "9B DF E0"), "fstsw ax"},
    {MakeForm("fstcw", "m16", "9B D9 /7"), "fstcw word ptr [eax]"},
    {MakeForm("addps", "xmm, xmm/m128", "0F 58 /r"), "addps xmm1, xmm2"},
    {MakeForm("addps", "xmm, xmm/m128", "0F 58 /r"), "addps xmm0, xmmword ptr [eax+ecx*8+0x100]"},
    {MakeForm("addss", "xmm, xmm/m32", "F3 0F 58 /r"), "addss xmm3, dword ptr [ebx+ecx*4]"},
    {MakeForm("movaps", "xmm/m128, xmm", "0F 29 /r"), "movaps xmmword ptr [esi], xmm7"},
    {MakeForm("paddd", "xmm, xmm/m128", "66 0F FE /r"), "paddd xmm1, xmm2"},
    {MakeForm("paddd", "mm, mm/m64", "0F FE /r"), "paddd mm2, qword ptr [eax]"},
    {MakeForm("movd", "mm, r/m32", "0F 6E /r"), "movd mm1, ecx"},
    {MakeForm("movd", "r/m32, mm", "0F 7E /r"), "movd eax, mm3"},
    {MakeForm("psrlw", "xmm, imm8", "66 0F 71 /2 ib"), "psrlw xmm1, 3"},
    {MakeForm("pinsrw", "mm, r32/m16, imm8", "0F C4 /r ib"), "pinsrw mm1, word ptr [edx], 2"},
    {MakeForm("pextrw", "r32, mm, imm8", "0F C5 /r ib"), "pextrw eax, mm4, 1"},
    {MakeForm("cvtsi2ss", "xmm, r/m32", "F3 0F 2A /r"), "cvtsi2ss xmm0, dword ptr [eax]"},
    {MakeForm("movmskps", "r32, xmm", "0F 50 /r"), "movmskps edx, xmm6"},
    {MakeForm("sfence", "", "0F AE F8"), "sfence"},
};

// The bytes GNU as gives each line, in order; empty when binutils are missing.
std::vector<std::string> gnuBytes(const std::vector<std::string>& lines) {
  if (!gnu::missingTools({"as", "objcopy", "nm"}).empty()) return {};
  gnu::TTempDir dir;
  std::string source = ".intel_syntax noprefix\n";
  for (size_t i = 0; i <= lines.size(); ++i)
    source += "s" + std::to_string(i) + ":\n" + (i < lines.size() ? lines[i] + "\n" : "");
  gnu::writeFile(dir.file("s.s"), source);
  if (gnu::run("as --32 -o " + dir.file("s.o") + " " + dir.file("s.s")).status != 0) return {};
  gnu::run("objcopy -O binary -j .text " + dir.file("s.o") + " " + dir.file("s.bin"));
  const std::string code = gnu::readFile(dir.file("s.bin"));
  const auto at = gnu::symbolAddresses(gnu::run("nm " + dir.file("s.o")).output);
  std::vector<std::string> bytes;
  for (size_t i = 0; i < lines.size(); ++i) {
    const uint32_t from = at.at("s" + std::to_string(i)), to = at.at("s" + std::to_string(i + 1));
    TInstr in;
    for (uint32_t k = from; k < to; ++k) in.put(static_cast<uint8_t>(code[k]));
    bytes.push_back(hex(in));
  }
  return bytes;
}

}  // namespace

TEST(FormTable, TheRowTypeCarriesX87MmxAndSseForms) {
  std::vector<std::string> lines;
  for (const TSampleRow& s : kSamples) lines.push_back(s.line);
  const std::vector<std::string> expected = gnuBytes(lines);
  if (expected.empty()) GTEST_SKIP() << "GNU as, objcopy or nm is missing";
  for (size_t i = 0; i < lines.size(); ++i) {
    std::vector<TRead> read;
    int size = 0;
    ASSERT_EQ(pickRow(&kSamples[i].row, 1, lines[i], read, size), 0) << "the row does not take " << lines[i];
    TFormOperand ops[3];
    for (size_t k = 0; k < read.size(); ++k) ops[k] = formOperand(read[k]);
    TInstr in;
    PutForm(in, kSamples[i].row, size, ops);
    EXPECT_EQ(hex(in), expected[i]) << lines[i];
  }
}

// Every integer encoder operation against GNU as: the same instructions written as Intel
// syntax are assembled in one batch with `as --32`, and bytes and fix-ups must agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <set>

#include "tests/assembler/forms_compare.h"
#include "tests/assembler/forms_control.h"
#include "tests/assembler/forms_moves_arith.h"
#include "tests/assembler/gnu_tools.h"

using namespace kelvo;
using forms::TCase;

namespace {

// Every operation the encoder offers; the generator must reach each one.
const char* const kAllOperations[] = {
    "PushMem", "PushVar", "PushImm", "PushSeg", "PushReg", "EmitPushad", "EmitPopad", "AddMemImm", "SubMemImm",
    "AddVarImm", "SubVarImm", "AddMemReg", "SubMemReg", "AddRegMem", "SubRegMem", "AddVarReg", "SubVarReg",
    "AddRegVar", "SubRegVar", "AddRegImm", "SubRegImm", "AddRegReg", "SubRegReg", "LeaRegVar", "LeaRegMem",
    "AndRegReg", "AndRegImm", "CmovzRegReg", "ImulRegImm", "IdivReg", "DivReg", "MovVarImm", "MovMemImm",
    "MovVarReg", "MovRegVar", "MovMemReg", "MovRegMem", "MovSegMemReg", "MovSegReg", "MovRegReg", "MovRegImm",
    "EncodeModRM", "CallMem", "CallReg", "CallVar", "CallRel", "JmpReg", "EmitImportJump", "EmitRetImm", "IntImm",
    "PopReg", "PopSeg", "PopSegMem", "PopMem", "PopVar", "SetaeVar", "SetaeReg", "BswapReg", "BtRegReg",
    "BtcRegReg", "BtrRegReg", "BtsRegReg", "SldtReg", "VerrReg", "VerwReg", "LarRegReg", "InAccImm", "OutImmAcc",
    "CmpMemImm", "CmpMemReg", "CmpVarImm", "CmpVarReg", "CmpLocalImm", "CmpLocalReg", "CmpRegReg", "CmpRegImm",
    "CmpBaseIndexImm", "TestRegImm", "TestRegReg", "TestMemReg", "XorRegImm", "XorRegReg", "XorRegMem",
    "OrRegReg", "AdcRegReg", "NotReg", "NegReg", "MulReg", "IncReg", "DecReg", "IncLocal", "DecLocal", "IncVar",
    "DecVar", "RolRegImm", "RorRegImm", "ShlRegImm", "SalRegImm", "ShrRegImm", "SarRegImm", "XchgRegReg",
    "XchgRegLocal", "XchgRegVar", "MovzxRegVar",
};

struct TGnuOutput {
  std::string code;  // the .text section
  std::vector<uint32_t> starts;  // where each case begins; one more entry for the end
  std::vector<gnu::TReloc> relocs;
};

std::string source(const forms::TGenerator& g) {
  std::string text = ".intel_syntax noprefix\n";
  for (size_t i = 0; i < g.cases.size(); ++i) {
    const TCase& c = g.cases[i];
    text += "c" + std::to_string(i) + ":\n";
    text += c.code16 ? ".code16\n" + c.text + "\n.code32\n" : c.text + "\n";
  }
  text += "c" + std::to_string(g.cases.size()) + ":\n";
  for (const auto& [value, name] : g.constants) text += ".set " + name + ", " + std::to_string(value) + "\n";
  return text;
}

// Assembles every case in one run; the failure text is returned in `error`.
TGnuOutput assemble(const forms::TGenerator& g, const gnu::TTempDir& dir, std::string& error) {
  TGnuOutput out;
  gnu::writeFile(dir.file("forms.s"), source(g));
  const std::string object = dir.file("forms.o");
  gnu::TRun as = gnu::run("as --32 -o " + object + " " + dir.file("forms.s"));
  if (as.status != 0) {
    error = "as failed:\n" + as.output.substr(0, 4000);
    return out;
  }
  gnu::run("objcopy -O binary -j .text " + object + " " + dir.file("forms.bin"));
  out.code = gnu::readFile(dir.file("forms.bin"));
  const auto labels = gnu::symbolAddresses(gnu::run("nm " + object).output);
  for (size_t i = 0; i <= g.cases.size(); ++i) {
    auto found = labels.find("c" + std::to_string(i));
    if (found == labels.end()) {
      error = "label c" + std::to_string(i) + " missing";
      return out;
    }
    out.starts.push_back(found->second);
  }
  out.relocs = gnu::relocations(gnu::run("objdump -r " + object).output);
  return out;
}

uint32_t field(const std::string& bytes, uint32_t at, int width) {
  uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i)
    value = (value << 8) | static_cast<unsigned char>(at + i < bytes.size() ? bytes[at + i] : 0);
  return value;
}

uint32_t symbolNumber(const std::string& symbol) {
  size_t digits = symbol.find_first_of("0123456789");
  return digits == std::string::npos ? ~0u : static_cast<uint32_t>(std::stoul(symbol.substr(digits)));
}

// Checks our fix-ups against GNU's relocations and the expectation, then blanks the patched
// fields on both sides so that the bytes around them can be compared. Returns the problems.
std::string compareFixUps(const TCase& c, std::string& ours, std::string& theirs,
                          const std::vector<gnu::TReloc>& relocs, uint32_t start) {
  std::vector<TFixUp> fixups = c.fixups;
  std::sort(fixups.begin(), fixups.end(), [](const TFixUp& x, const TFixUp& y) { return x.fixAddr < y.fixAddr; });
  if (fixups.size() != relocs.size() || fixups.size() != c.expect.size())
    return "fix-ups: ours " + std::to_string(fixups.size()) + ", GNU " + std::to_string(relocs.size()) +
           ", expected " + std::to_string(c.expect.size());
  std::string problems;
  for (size_t k = 0; k < fixups.size(); ++k) {
    const TFixUp& f = fixups[k];
    const forms::TExpectFix& e = c.expect[k];
    const gnu::TReloc& r = relocs[k];
    const uint32_t at = r.offset - start;
    const int width = r.type.ends_with("16") ? 2 : 4;
    const bool absolute = r.type.find("PC") == std::string::npos;
    auto check = [&](bool ok, const std::string& what) {
      if (!ok) problems += " fix-up " + std::to_string(k) + ": " + what + ";";
    };
    check(f.fixAddr == at, "fixAddr " + std::to_string(f.fixAddr) + " vs GNU " + std::to_string(at));
    check(f.fixType == e.kind, "fixType " + std::to_string(f.fixType));
    check(f.fixIndex == e.index && symbolNumber(r.symbol) == e.index, "fixIndex " + std::to_string(f.fixIndex));
    check(f.fixOffset == e.offset, "fixOffset " + std::to_string(f.fixOffset));
    check(!absolute || field(theirs, at, width) == e.offset, "GNU addend differs");
    check(f.fixSize == width * 8, "fixSize " + std::to_string(f.fixSize));
    check(f.fixJmp == 16 && f.fixLabel == 0, "fixJmp/fixLabel");
    check(field(ours, f.fixAddr, width) == e.field, "field holds " + std::to_string(field(ours, f.fixAddr, width)));
    for (int i = 0; i < width; ++i) {
      if (f.fixAddr + i < ours.size()) ours[f.fixAddr + i] = 0;
      if (at + i < theirs.size()) theirs[at + i] = 0;
    }
  }
  return problems;
}

}  // namespace

TEST(EncoderAgainstGnuAs, EveryOperationAndFormMatches) {
  const std::string missing = gnu::missingTools({"as", "objdump", "objcopy", "nm"});
  if (!missing.empty()) GTEST_SKIP() << "GNU binutils missing (" << missing << "): encoder forms not compared";

  forms::TGenerator g;
  forms::genEncodeModRM(g);
  forms::generateMovesAndArithmetic(g);
  forms::generateControlAndStack(g);
  forms::generateCompareAndLogic(g);

  gnu::TTempDir dir;
  std::string error;
  const TGnuOutput gnuOut = assemble(g, dir, error);
  ASSERT_TRUE(error.empty()) << error;

  size_t failures = 0;
  for (size_t i = 0; i < g.cases.size(); ++i) {
    const TCase& c = g.cases[i];
    const uint32_t start = gnuOut.starts[i], end = gnuOut.starts[i + 1];
    std::string ours = c.bytes;
    std::string theirs = gnuOut.code.substr(start, end - start);
    std::vector<gnu::TReloc> relocs;
    for (const gnu::TReloc& r : gnuOut.relocs)
      if (r.offset >= start && r.offset < end) relocs.push_back(r);
    std::string problem = compareFixUps(c, ours, theirs, relocs, start);
    if (problem.empty() && ours != theirs) problem = "bytes differ";
    if (!problem.empty() && ++failures <= 40)
      ADD_FAILURE() << c.op << " [" << c.text << "]: " << problem << "\n  ours: " << gnu::hex(c.bytes)
                    << "\n  GNU:  " << gnu::hex(gnuOut.code.substr(start, end - start));
  }
  EXPECT_EQ(failures, 0u);

  std::set<std::string> operations, formNames;
  for (const TCase& c : g.cases) {
    operations.insert(c.op);
    formNames.insert(c.op + " " + c.form);
  }
  for (const char* op : kAllOperations) EXPECT_TRUE(operations.count(op)) << op << " is never generated";
  std::cout << "[ GNU as   ] " << operations.size() << " encoder operations, " << formNames.size()
            << " operand forms, " << g.cases.size() << " instructions compared" << std::endl;
}

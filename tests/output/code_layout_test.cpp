#include "tests/hex_text.h"
#include "output/code_layout.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/output/hand_program.h"

using namespace kelvo;
using kelvo::testing::THandProgram;

namespace {

constexpr TImageBases kBases{0x400000, 0x403000, 0x402000};

using kelvo::testing::hex;

struct TLinked {
  explicit TLinked(THandProgram& p) : input(p.c->MakeLinkInput()), layout(input) {}
  TLinkInput input;
  TCodeLayout layout;
  uint32_t entryOffset = 0;
  // The code section: the laid-out procedures' code, one after the other.
  std::string image() const {
    std::string all;
    for (const TFunction* f : layout.laidOut()) all += f->recAssembler.strCode;
    return all;
  }
  // A procedure's bytes in the image: up to the next procedure laid out, or the end.
  std::string code(const TFunction& f) const {
    uint32_t end = layout.f_codesize;
    for (const TFunction* g : layout.laidOut())
      if (g->Address > f.Address && g->Address < end) end = g->Address;
    return image().substr(f.Address, end - f.Address);
  }
};

std::unique_ptr<TLinked> link(THandProgram& p, uint32_t entryOffset = 0) {
  auto l = std::make_unique<TLinked>(p);
  l->entryOffset = entryOffset;
  l->layout.markReachable(p.c->PEFile.F_entryFuncID);
  l->layout.codeFixups(&l->entryOffset);
  l->layout.finalFixup(kBases);
  return l;
}

// The report that a failed link prints.
std::string linkError(THandProgram& p) {
  ::testing::internal::CaptureStdout();
  try {
    link(p);
  } catch (const ECompileError& e) {
    const std::string printed = ::testing::internal::GetCapturedStdout();
    return printed.empty() ? e.what() : printed;
  }
  ::testing::internal::GetCapturedStdout();
  return "linked";
}

uint32_t le32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(s[at + i]);
  return v;
}

}  // namespace

TEST(CodeLayout, ProloguesShrinkToWhatTheLocalsNeed) {
  THandProgram p(petEXE);
  TFunction& bare = p.proc("bare");
  TFunction& params = p.proc("params", 1);
  TFunction& small = p.proc("small", 0, 1, 100);
  TFunction& large = p.proc("large", 0, 1, 199);  // rounded up to 200
  for (TFunction* f : {&bare, &params, &small, &large}) {
    p.label(*f, "body");
    p.bytes(*f, {0xB8});  // MOV EAX, address of "body"
    p.fix(*f, ftLabelAddress, 0, p.here(*f));
    p.dword(*f, 0);
    p.ret(*f, 0);
    p.call(p.global(), *f);
  }
  auto l = link(p);
  EXPECT_EQ(hex(l->code(bare)).substr(0, 2), "B8");  // the whole prologue is gone
  EXPECT_EQ(l->code(bare).size(), 8u);
  EXPECT_EQ(le32(l->code(bare), 1), kBases.code + bare.Address);  // the label moved by 9
  EXPECT_EQ(hex(l->code(params).substr(0, 3)), "55 8B EC");
  EXPECT_EQ(le32(l->code(params), 4), kBases.code + params.Address + 3);
  EXPECT_EQ(hex(l->code(small).substr(0, 6)), "55 8B EC 83 C4 9C");
  EXPECT_EQ(le32(l->code(small), 7), kBases.code + small.Address + 6);
  EXPECT_EQ(hex(l->code(large).substr(0, 9)), "55 8B EC 81 C4 38 FF FF FF");
  EXPECT_EQ(le32(l->code(large), 10), kBases.code + large.Address + 9);
  // Calls land on the procedures wherever they were laid out.
  const std::string all = l->image();
  for (size_t i = 0, at = 1; i < 4; ++i, at += 5)
    EXPECT_EQ(at + 4 + le32(all, at), p.c->listProcedures[i + 1]->Address);
}

TEST(CodeLayout, JumpsTakeTheShortFormWhereTheyReach) {
  THandProgram p(petEXE);
  TFunction& g = p.global();
  p.jump(g, 16, "over120");  // 0: reaches over 120 bytes
  p.nops(g, 120);
  p.label(g, "over120");
  p.jump(g, 4, "Over121");  // JE over 121 bytes: near form
  p.nops(g, 121);
  p.label(g, "OVER121");
  p.label(g, "back");
  p.nops(g, 100);
  p.jump(g, 7, "back");     // JA backwards over 100 bytes
  p.jump(g, 115, "end");    // JECXZ
  p.label(g, "end");
  p.bytes(g, {0xC3});
  auto l = link(p);
  const std::string code = l->code(g);
  EXPECT_EQ(hex(code.substr(0, 2)), "EB 78");
  EXPECT_EQ(hex(code.substr(122, 6)), "0F 84 79 00 00 00");
  EXPECT_EQ(hex(code.substr(128 + 121 + 100, 2)), "77 9A");  // -102 from the end of the jump
  EXPECT_EQ(hex(code.substr(128 + 121 + 102)), "E3 00 C3");
}

TEST(CodeLayout, AJumpThatComesInReachLaterKeepsItsSixBytes) {
  THandProgram p(petEXE);
  TFunction& g = p.global();
  p.jump(g, 5, "far");  // 127 bytes to its label until the inner jump shrinks
  p.nops(g, 50);
  p.jump(g, 16, "near");
  p.label(g, "near");
  p.nops(g, 65);
  p.label(g, "far");
  p.bytes(g, {0xC3});
  auto l = link(p);
  const std::string code = l->code(g);
  EXPECT_EQ(code.size(), 6u + 50 + 2 + 65 + 1);
  EXPECT_EQ(hex(code.substr(0, 6)), "75 79 90 90 90 90");  // to 6+50+2+65 = 123
  EXPECT_EQ(hex(code.substr(56, 2)), "EB 00");
}

// Fix-ups recorded out of address order still move with exactly the bytes removed before them.
TEST(CodeLayout, FixUpsMoveByTheBytesRemovedBeforeThem) {
  THandProgram p(petEXE);
  TFunction& f = p.proc("f", 0, 0);  // loses its 9-byte prologue
  const int32_t text = p.string("text");
  p.jump(f, 16, "a");       // at 9, shortened
  p.label(f, "a");
  const uint32_t later = p.here(f) + 1;
  p.pushImm(f, 0);          // at 15, its fix-up recorded below, after an earlier one
  p.jump(f, 16, "b");       // at 20, shortened
  p.label(f, "b");
  p.pushImm(f, 0);          // at 26
  p.ret(f, 0);
  p.fix(f, ftDataAddress, text, 27, 2);
  p.fix(f, ftDataAddress, text, later, 1);
  p.call(p.global(), f);
  auto l = link(p);
  EXPECT_EQ(hex(l->code(f)), "EB 00 68 01 20 40 00 EB 00 68 02 20 40 00 C2 00 00");
}

// Label jumps of both forms over stretches of NOPs, to labels ahead and behind, with the
// labels listed in address order or the other way round, and the fix-ups likewise; behind the
// code, a table of the labels' addresses. Decodes the laid-out code and checks that every
// jump lands on its label.
std::string layOutJumpMaze(bool labelsReversed, bool fixUpsReversed = false) {
  THandProgram p(petEXE);
  TFunction& g = p.global();
  uint32_t seed = 2026;
  auto random = [&](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  constexpr uint32_t kLabels = 40;
  std::vector<uint32_t> labelAt;  // by label number, where it was defined
  std::vector<uint32_t> targets;  // by jump, in address order
  auto name = [](uint32_t label) { return "maze" + std::to_string(label); };
  // Some labels come behind the last jump: listed first, they hold up every label after them.
  for (int step = 0; step < 600; ++step) {
    const uint32_t what = random(20);
    if (what < 8) {
      p.nops(g, static_cast<int>(random(24)));
    } else if (what == 8 && labelAt.size() < kLabels) {
      labelAt.push_back(p.here(g));
    } else {
      targets.push_back(random(kLabels));
      p.jump(g, random(2) ? 16 : 4, name(targets.back()));
    }
  }
  while (labelAt.size() < kLabels) labelAt.push_back(p.here(g));
  std::vector<uint32_t> listed(kLabels);
  for (uint32_t i = 0; i < kLabels; ++i) listed[i] = labelsReversed ? kLabels - 1 - i : i;
  for (uint32_t label : listed) g.jmpLabels.push_back({TLabelNames::Get().Intern(name(label)), labelAt[label]});
  for (uint32_t i = 0; i < kLabels; ++i) {
    p.fix(g, ftLabelAddress, i, p.here(g));
    p.dword(g, 0);
  }
  if (fixUpsReversed) std::reverse(g.recAssembler.FixUps.begin(), g.recAssembler.FixUps.end());
  const uint32_t recorded = p.here(g);
  auto l = link(p);
  const std::string code = l->code(g);
  const size_t table = code.size() - 4 * kLabels;
  std::vector<uint32_t> finalAt(kLabels);
  for (uint32_t i = 0; i < kLabels; ++i) finalAt[listed[i]] = le32(code, table + 4 * i) - kBases.code - g.Address;
  size_t jump = 0;
  for (size_t at = 0; at < table;) {
    const auto op = static_cast<uint8_t>(code[at]);
    size_t size = 1;
    int64_t rel = 0;
    if (op == 0xEB || (op >= 0x70 && op <= 0x7F)) {
      size = 2;
      rel = static_cast<int8_t>(code[at + 1]);
    } else if (op == 0xE9 || op == 0x0F) {
      size = op == 0xE9 ? 5 : 6;
      rel = static_cast<int32_t>(le32(code, at + size - 4));
    } else if (op != 0x90) {
      ADD_FAILURE() << "no jump at " << at;
      break;
    }
    if (op != 0x90) {
      EXPECT_LT(jump, targets.size());
      if (jump < targets.size()) {
        EXPECT_EQ(at + size + rel, finalAt[targets[jump]]) << "jump " << jump;
      }
      ++jump;
    }
    at += size;
  }
  EXPECT_EQ(jump, targets.size());
  EXPECT_LT(code.size(), recorded);  // some jumps shrank
  return code.substr(0, table);
}

TEST(CodeLayout, JumpsLandOnTheirLabelsInWhateverOrderLabelsAndJumpsAreListed) {
  const std::string inOrder = layOutJumpMaze(false);
  EXPECT_EQ(layOutJumpMaze(true), inOrder);
  EXPECT_EQ(layOutJumpMaze(true, true), inOrder);
}

TEST(CodeLayout, AddressesOfLabelsProceduresAndData) {
  THandProgram p(petEXE);
  TFunction& g = p.global();
  TFunction& f = p.proc("f");
  p.ret(f, 0);
  const int32_t item = p.dword(7);
  p.jump(g, 16, "x");
  p.label(g, "x");
  p.bytes(g, {0xB8});
  p.fix(g, ftProcAddress, f.FuncIndex, p.here(g));  // MOV EAX, address of f
  p.dword(g, 0);
  g.ofsLabels.emplace_back("X", 0);
  p.bytes(g, {0xB9});
  p.fix(g, ftOffsetLabelAddress, 0, p.here(g));  // MOV ECX, address of label x (any case)
  p.dword(g, 0);
  p.bytes(g, {0xBA});
  p.fix(g, ftAppendDataAddr, 0, p.here(g));  // MOV EDX, data offset 4 + data section
  p.dword(g, 4);
  p.bytes(g, {0xBB});
  p.fix(g, ftAppendCodeBase, 0, p.here(g));  // MOV EBX, code offset 2 + code section
  p.dword(g, 2);
  p.bytes(g, {0xBE});
  p.fix(g, ftAppendBase, 0, p.here(g));  // MOV ESI, 0x1000 + image base
  p.dword(g, 0x1000);
  p.pushData(g, item, 3);
  p.bytes(g, {0xC3});
  auto l = link(p, 2);
  const std::string code = l->code(g);
  EXPECT_EQ(l->entryOffset, 2u);  // it lies inside the shortened jump: its start
  EXPECT_EQ(le32(code, 3), kBases.code + f.Address);
  EXPECT_EQ(f.Address, code.size());
  EXPECT_EQ(le32(code, 8), kBases.code + 2);
  EXPECT_EQ(le32(code, 13), kBases.data + 4);
  EXPECT_EQ(le32(code, 18), kBases.code + 2);
  EXPECT_EQ(le32(code, 23), 0x401000u);
  EXPECT_EQ(le32(code, 28), kBases.data + p.c->listData[item]->dataAddress + 3);
}

TEST(CodeLayout, TheEntryMovesWithTheGlobalCode) {
  THandProgram p(petEXE);
  TFunction& g = p.global();
  p.jump(g, 16, "start");
  p.label(g, "start");
  p.nops(g, 3);
  p.bytes(g, {0xC3});
  auto l = link(p, 8);
  EXPECT_EQ(l->entryOffset, 4u);
}

TEST(CodeLayout, OnlyWhatTheProgramReachesIsLaidOut) {
  THandProgram p(petDLL);
  TFunction& dead = p.proc("dead");
  TFunction& onlyFromDead = p.proc("onlyFromDead");
  TFunction& entry = p.proc("DllMain", 3);
  TFunction& exported = p.proc("Exported");
  TFunction& helper = p.proc("helper");
  for (TFunction* f : {&dead, &onlyFromDead, &entry, &exported, &helper}) p.ret(*f, 0);
  p.call(dead, onlyFromDead);
  p.call(exported, helper);
  dead.Called = true;  // named somewhere, but nothing that runs calls it
  p.entry(entry);
  p.exportProc(exported);
  auto l = link(p);
  EXPECT_EQ(dead.Address, 0xFFFFFFFFu);
  EXPECT_EQ(onlyFromDead.Address, 0xFFFFFFFFu);
  EXPECT_EQ(entry.Address, 0u);  // the empty global code takes no room
  EXPECT_NE(helper.Address, 0xFFFFFFFFu);
  EXPECT_EQ(l->layout.laidOut().size(), 3u);
}

TEST(CodeLayout, LinkErrors) {
  {
    THandProgram p(petEXE);
    p.jump(p.global(), 16, "nowhere");
    EXPECT_NE(linkError(p).find("Label, If or while block mismatch (nowhere)"), std::string::npos);
  }
  {
    THandProgram p(petEXE);
    TFunction& g = p.global();
    p.jump(g, 115, "far");
    p.nops(g, 200);
    p.label(g, "far");
    EXPECT_NE(linkError(p).find("JECXZ jump too far (200 bytes)"), std::string::npos);
  }
  {
    THandProgram p(petEXE);
    TFunction& g = p.global();
    g.ofsLabels.emplace_back("missing", 0);
    p.bytes(g, {0xB8});
    p.fix(g, ftOffsetLabelAddress, 0, 1);
    p.dword(g, 0);
    EXPECT_NE(linkError(p).find("label missing does not exist!"), std::string::npos);
  }
  {
    THandProgram p(petEXE);
    TFunction& forward = p.proc("forward");
    forward.recAssembler.strCode.clear();  // declared, never given a body
    p.call(p.global(), forward);
    EXPECT_NE(linkError(p).find("Procedure forward is used but has no code"), std::string::npos);
  }
  {
    THandProgram p(petEXE);
    p.bytes(p.global(), {0xE8, 0, 0});
    p.fix(p.global(), ftCall, 1, 1);  // the field runs past the end of the code
    EXPECT_NE(linkError(p).find("Internal error"), std::string::npos);
  }
}

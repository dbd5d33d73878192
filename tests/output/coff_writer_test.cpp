// The COFF writer's handling of the fix-ups that source programs rarely make: each becomes
// the relocation a linker needs, or a clear error.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "output/coff_writer.h"
#include "tests/output/hand_program.h"

using namespace kelvo;
using kelvo::testing::THandProgram;
namespace fs = std::filesystem;

namespace {

uint32_t le(const std::string& s, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(s[at + i]);
  return v;
}

struct TObject {
  std::string file;
  // (offset in .text, symbol name, type) per relocation, and the code.
  std::vector<std::tuple<uint32_t, std::string, uint16_t>> relocs;
  std::string code;
};

class CoffWriter : public kelvo::testing::TScratchFolderTest {
 protected:
  CoffWriter() : TScratchFolderTest("kelvo-coff-") {}

  // Writes the object; its relocations read back, or the error in `error`.
  TObject write(THandProgram& p) {
    TObject o;
    ::testing::internal::CaptureStdout();
    try {
      p.c->BuildOutput((dir / "o").string());
    } catch (const ECompileError& e) {
      error = e.what();
    }
    const std::string printed = ::testing::internal::GetCapturedStdout();
    if (error == kSilentAbort) error = printed;
    if (!error.empty()) return o;
    std::ifstream in(dir / "o.obj", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    o.file = s.str();
    const uint32_t symbols = le(o.file, 8, 4), count = le(o.file, 12, 4);
    const uint32_t textAt = 20, relocs = le(o.file, textAt + 24, 4), nrel = le(o.file, textAt + 32, 2);
    o.code = o.file.substr(le(o.file, textAt + 20, 4), le(o.file, textAt + 16, 4));
    for (uint32_t i = 0; i < nrel; ++i) {
      const uint32_t at = relocs + 10 * i, sym = le(o.file, at + 4, 4);
      EXPECT_LT(sym, count);
      std::string name = o.file.substr(symbols + 18 * sym, 8);
      if (le(name, 0, 4) == 0) {
        const size_t str = symbols + 18 * count + le(name, 4, 4);
        name = o.file.substr(str, o.file.find('\0', str) - str);
      }
      o.relocs.emplace_back(le(o.file, at, 4), name.substr(0, name.find('\0')), le(o.file, at + 8, 2));
    }
    return o;
  }
  std::string error;
};

// Addresses relative to the image base go against ___ImageBase, those inside the data image
// against .data; both keep the offset in the field as the addend.
TEST_F(CoffWriter, AppendedAddressesBecomeAbsoluteRelocations) {
  THandProgram p(petCOFF, 0);
  TFunction& g = p.global();
  p.bytes(g, {0xB8});  // mov eax, imagebase + 0x1234
  p.fix(g, ftAppendBase, 0, 1);
  p.dword(g, 0x1234);
  p.bytes(g, {0xBB});  // mov ebx, data + 8
  p.fix(g, ftAppendDataAddr, 99, 6);  // the index is not read: the field holds the offset
  p.dword(g, 8);
  p.bytes(g, {0xC3});
  const TObject o = write(p);
  ASSERT_EQ(error, "");
  ASSERT_EQ(o.relocs.size(), 2u);
  EXPECT_EQ(o.relocs[0], std::make_tuple(1u, std::string("___ImageBase"), uint16_t{6}));
  EXPECT_EQ(o.relocs[1], std::make_tuple(6u, std::string(".data"), uint16_t{6}));
  EXPECT_EQ(le(o.code, 1, 4), 0x1234u);
  EXPECT_EQ(le(o.code, 6, 4), 8u);
}

// Two calls of one import share one undefined symbol; a call inside the object is final.
TEST_F(CoffWriter, CallsOutShareOneSymbolCallsInsideNeedNone) {
  THandProgram p(petCOFF, 0);
  TFunction& imp = p.import("kernel32.dll", "Sleep");
  imp.CallMethod = cmStdcall;
  imp.dwTotalParamSize = 4;
  TFunction& own = p.proc("own");
  p.bytes(own, {0xC3});
  TFunction& g = p.global();
  p.call(g, imp);
  p.call(g, own);
  p.call(g, imp);
  const TObject o = write(p);
  ASSERT_EQ(error, "");
  ASSERT_EQ(o.relocs.size(), 2u);
  EXPECT_EQ(o.relocs[0], std::make_tuple(1u, std::string("_Sleep@4"), uint16_t{20}));
  EXPECT_EQ(o.relocs[1], std::make_tuple(11u, std::string("_Sleep@4"), uint16_t{20}));
  EXPECT_EQ(le(o.code, 6, 4), 15u - 10u);  // own() right behind the third call
  EXPECT_EQ(o.file.find("_Sleep@4"), o.file.rfind("_Sleep@4"));
}

TEST_F(CoffWriter, WhatNoLinkerCanResolveIsAnError) {
  {
    THandProgram p(petCOFF, 0);
    p.bytes(p.global(), {0xB8});
    p.fix(p.global(), ftAppendCodeBase, 0, 1);
    p.dword(p.global(), 0);
    write(p);
    EXPECT_NE(error.find("acb error, please report this as soon as possible"), std::string::npos) << error;
  }
  {
    error.clear();
    THandProgram p(petCOFF, 0);
    const int32_t item = p.dword(7);
    p.global().recAssembler.cpuMode = 16;
    p.bytes(p.global(), {0xBE});  // mov si, item
    p.fix(p.global(), ftDataAddress, item, 1).fixSize = 16;
    p.bytes(p.global(), {0, 0});
    write(p);
    EXPECT_NE(error.find("A 16-bit address can not be relocated in an object file"), std::string::npos) << error;
  }
  EXPECT_FALSE(fs::exists(dir / "o.obj"));
}

TEST(DecoratedName, FollowsTheCallingConvention) {
  TFunction f;
  f.Name = "Proc";
  f.intParamCount = 1;
  f.intRegParamCount = 2;
  f.dwTotalParamSize = 8;  // one qword on the stack
  const std::pair<TCallMethod, const char*> cases[] = {
      {cmCdecl, "_Proc"}, {cmStdcall, "_Proc@8"}, {cmFastcall, "@Proc@12"}, {cmKelCall, "_@Proc@12"}, {cmUnknown, "Proc"}};
  for (const auto& [method, name] : cases) {
    f.CallMethod = method;
    EXPECT_EQ(DecoratedName(f), name);
  }
  f.ImportName = "RealName";
  f.CallMethod = cmCdecl;
  EXPECT_EQ(DecoratedName(f), "_RealName");
}

}  // namespace

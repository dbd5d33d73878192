#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "frontend/compiler.h"
#include "tests/output/hand_program.h"

using namespace kelvo;
using kelvo::testing::THandProgram;
namespace fs = std::filesystem;

namespace {

class LinkStep : public kelvo::testing::TScratchFolderTest {
 protected:
  LinkStep() : TScratchFolderTest("kelvo-link-") {}
  static void exitWith(THandProgram& p, uint8_t code) {
    TFunction& exitProcess = p.import("kernel32.dll", "ExitProcess");
    p.bytes(p.global(), {0x6A, code});
    p.call(p.global(), exitProcess);
  }
};

}  // namespace

TEST_F(LinkStep, OutputNamesGetTheirKindsExtensionOnce) {
  {
    THandProgram p(petEXE);
    exitWith(p, 1);
    p.c->BuildOutput(path("app"));
    EXPECT_EQ(p.c->PEFile.writtenFile, path("app.exe"));
    EXPECT_EQ(p.c->PEFile.F_outFileName, path("app.exe"));
  }
  {
    THandProgram p(petEXE);
    exitWith(p, 1);
    p.c->BuildOutput(path("Second.EXE"));
    EXPECT_EQ(p.c->PEFile.writtenFile, path("Second.EXE"));
  }
  {
    THandProgram p(petDLL, 2);
    TFunction& main = p.proc("DllMain", 3);
    p.leaveRet(main, 12);
    p.entry(main);
    p.c->BuildOutput(path("lib.exe"));  // not the DLL's extension
    EXPECT_EQ(p.c->PEFile.writtenFile, path("lib.exe.dll"));
  }
  EXPECT_TRUE(fs::exists(path("app.exe")));
  EXPECT_TRUE(fs::exists(path("Second.EXE")));
  EXPECT_TRUE(fs::exists(path("lib.exe.dll")));
  EXPECT_FALSE(fs::exists(path("Second.EXE.exe")));
}

// A failed link writes nothing: an older file of the same name stays as it was.
TEST_F(LinkStep, AFailedLinkLeavesNoFileBehind) {
  {
    THandProgram p(petEXE);
    exitWith(p, 1);
    p.c->BuildOutput(path("app"));
  }
  const std::string before = read(path("app.exe"));
  ASSERT_FALSE(before.empty());
  for (const char* name : {"app", "fresh"}) {
    THandProgram p(petEXE);
    exitWith(p, 2);
    p.jump(p.global(), 16, "missing");
    ::testing::internal::CaptureStdout();
    EXPECT_THROW(p.c->BuildOutput(path(name)), ECompileError);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("Label, If or while block mismatch (missing)"),
              std::string::npos);
    EXPECT_TRUE(p.c->PEFile.writtenFile.empty());
  }
  EXPECT_EQ(read(path("app.exe")), before);
  EXPECT_FALSE(fs::exists(path("fresh.exe")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(LinkStep, AnUnwritableOutputIsAnErrorAndLeavesNothing) {
  THandProgram p(petEXE);
  exitWith(p, 1);
  EXPECT_THROW(p.c->BuildOutput(path("no/such/folder/app")), ECompileError);
  EXPECT_TRUE(p.c->PEFile.writtenFile.empty());
}

TEST_F(LinkStep, ObjectsAndBootImagesGetTheirExtensions) {
  const std::pair<TPECOFFType, const char*> kinds[] = {{petCOFF, "obj.obj"}, {petBOOTLOADER, "obj.img"}};
  for (const auto& [kind, name] : kinds) {
    THandProgram p(kind);
    p.bytes(p.global(), {0xF4});  // hlt
    p.c->BuildOutput(path("obj"));
    EXPECT_EQ(p.c->PEFile.writtenFile, path(name));
    EXPECT_TRUE(fs::exists(path(name)));
  }
}

// ".root" sizes in the file follow its content; the data and code keep pages of their own.
TEST_F(LinkStep, SectionsKeepTheirOwnPagesAndFileBlocks) {
  THandProgram p(petEXE);
  exitWith(p, 1);
  // A DLL name that makes ".root" exactly 512 bytes long: three descriptors, four slots in
  // two tables, "kernel32.dll", "ExitProcess", "F", each name with its zeros.
  const uint32_t rootWithoutName = 3 * 20 + 2 * 4 * 4 + 14 + 15 + 5 + 4 + 2;
  std::string name(512 - rootWithoutName, 'x');
  TFunction& other = p.import(name + ".dll", "F");
  p.call(p.global(), other);
  p.c->BuildOutput(path("app"));
  const std::string file = read(path("app.exe"));
  auto u32 = [&](size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(file[at + i]);
    return v;
  };
  const size_t sections = 0x80 + 4 + 20 + 224;
  EXPECT_EQ(u32(sections + 8), 512u);         // .root VirtualSize
  EXPECT_EQ(u32(sections + 16), 1024u);       // .root SizeOfRawData: a zero follows the content
  EXPECT_EQ(u32(sections + 40 + 12), 0x2000u);  // .data VirtualAddress
  EXPECT_EQ(u32(sections + 40 + 8), 0u);        // the data image is empty...
  EXPECT_EQ(u32(sections + 40 + 20), 1536u);    // .data PointerToRawData
  EXPECT_EQ(u32(sections + 80 + 12), 0x3000u);  // ...and the code still starts a page later
  EXPECT_EQ(u32(sections + 80 + 20), 2048u);
  EXPECT_EQ(file.size(), 2560u);
}

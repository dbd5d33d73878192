// Compares the code of a compiled procedure with an Intel-syntax listing assembled by GNU as:
// both are disassembled by objdump, so equal instructions compare equal whichever of their
// encodings each side picked.
#pragma once

#include <string>

#include "assembler/code_buffer.h"
#include "tests/assembler/gnu_tools.h"
#include "tests/compiler/compile_fixture.h"

namespace kelvo::testing {

// Empty when as and objdump are there; else the reason to skip.
inline std::string listingToolsMissing() {
  const std::string missing = gnu::missingTools({"as", "objdump", "objcopy"});
  return missing.empty() ? std::string() : "needs GNU " + missing;
}

// Relative call targets are left out: fields still to be linked hold placeholders.
inline std::string decodedText(const std::string& binaryPath) {
  const gnu::TRun r = gnu::run("objdump -D -b binary -mi386 -Mintel " + binaryPath);
  std::string text;
  for (const gnu::TDecoded& d : gnu::disassembly(r.output))
    text += (d.text.rfind("call 0x", 0) == 0 ? std::string("call rel") : d.text) + "\n";
  return text;
}

// The instructions of a procedure, one per line, with every 32-bit field that a fix-up will
// patch set to zero, so a listing can write those fields as 0.
inline std::string disassemble(const TAssembler& a) {
  std::string code = a.strCode.str();
  for (const auto& f : a.FixUps)
    if (f.fixSize == 32 && f.fixType != ftJmp && f.fixAddr + 4 <= code.size()) code.replace(f.fixAddr, 4, 4, '\0');
  gnu::TTempDir dir;
  gnu::writeFile(dir.file("code.bin"), code);
  return decodedText(dir.file("code.bin"));
}

// The instructions of an Intel-syntax listing, as objdump shows them once assembled.
inline std::string assembleListing(const std::string& listing) {
  gnu::TTempDir dir;
  gnu::writeFile(dir.file("x.s"), ".intel_syntax noprefix\n.code32\n" + listing + "\n");
  const gnu::TRun as = gnu::run("as --32 -o " + dir.file("x.o") + " " + dir.file("x.s"));
  if (as.status != 0) return "as failed: " + as.output;
  gnu::run("objcopy -O binary -j .text " + dir.file("x.o") + " " + dir.file("x.bin"));
  return decodedText(dir.file("x.bin"));
}

// Procedure p, made of `params` and `statements` after `declarations`, must hold the
// instructions of `listing` between its frame and `ret` as they go into the image (the
// reservation for locals, if any, is part of the listing); each "call $+5" in a listing
// stands for a call still to be linked.
class ListingFixture : public CompileFixture {
 protected:
  void SetUp() override {
    CompileFixture::SetUp();
    const std::string missing = listingToolsMissing();
    if (!missing.empty()) GTEST_SKIP() << missing;
  }
  void expectBody(const std::string& declarations, const std::string& params, const std::string& statements,
                  const std::string& listing, const std::string& ret) {
    const std::string error =
        compile("program win32cui 'T'\n" + declarations + "procedure p" + params + " {\n" + statements + "\n}\n");
    ASSERT_EQ(error, "") << statements;
    EXPECT_EQ(disassemble(proc("p").recAssembler),
              assembleListing("push ebp\nmov ebp, esp\n" + listing + "\nleave\n" + ret))
        << statements;
  }
};

}  // namespace kelvo::testing

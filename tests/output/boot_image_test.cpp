// Raw boot images booted in qemu: 16-bit code that prints through the debug port 0xE9, and
// code that switches to 32-bit protected mode. (The layout on the bytes and the errors are
// checked from source, in test_boot_image.py.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "assembler/encoders.h"
#include "tests/output/hand_program.h"

using namespace kelvo;
using kelvo::testing::THandProgram;
namespace fs = std::filesystem;

namespace {

class BootImage : public kelvo::testing::TScratchFolderTest {
 protected:
  BootImage() : TScratchFolderTest("kelvo-boot-") {}
  // Builds the image; the text of the error, or "" when it was written.
  std::string build(THandProgram& p, const std::string& name = "boot") {
    ::testing::internal::CaptureStdout();
    std::string error;
    try {
      p.c->BuildOutput(path(name));
    } catch (const ECompileError& e) {
      error = e.what();
    }
    printed = ::testing::internal::GetCapturedStdout();
    return error == kSilentAbort ? printed : error;
  }
  // Boots the image from a floppy; what it wrote to port 0xE9. It ends itself by writing to
  // the exit port, so a hang is only cut off by the timeout.
  std::string boot(const std::string& image) {
    const std::string out = path("debugcon.txt");
    const std::string command = "timeout 20 qemu-system-i386 -boot a -drive format=raw,if=floppy,file=" + image +
                                " -debugcon file:" + out +
                                " -device isa-debug-exit,iobase=0xf4,iosize=0x04 -display none -no-reboot"
                                " -monitor none -serial none >/dev/null 2>&1";
    std::system(command.c_str());
    return read(out);
  }
  static bool haveQemu() { return std::system("command -v qemu-system-i386 >/dev/null 2>&1") == 0; }

  // print: writes the zero-terminated text at DS:SI to port 0xE9 (16-bit code, as a
  // procedure without frame, so its prologue goes away).
  static TFunction& printProc(THandProgram& p, uint16_t mode) {
    TFunction& f = p.proc("print");
    f.recAssembler.cpuMode = mode;
    p.label(f, "next");
    p.bytes(f, {0xAC, 0x84, 0xC0});  // lodsb / test al, al
    p.jump(f, 4, "done");            // jz
    p.bytes(f, {0xE6, 0xE9});        // out 0xE9, al
    p.jump(f, 16, "next");
    p.label(f, "done");
    p.bytes(f, {0xC3});
    return f;
  }
  static void exitQemu(TFunction& f) { THandProgram::bytes(f, {0xB0, 0x00, 0xE6, 0xF4, 0xFA, 0xF4}); }

  std::string printed;
};

// 16-bit code: a 16-bit data address, a rel16 call, and long jumps (JMP and Jcc) over more
// than 127 bytes, which must take their rel16 forms to land where they aim.
TEST_F(BootImage, SixteenBitCodeBootsAndPrints) {
  if (!haveQemu()) GTEST_SKIP() << "qemu-system-i386 is not installed";
  THandProgram p(petBOOTLOADER, 0);
  const int32_t hello = p.string("kelvo boots");
  const int32_t after = p.string(", jumps far");
  TFunction& g = p.global();
  g.recAssembler.cpuMode = 16;
  TFunction& print = printProc(p, 16);
  print.Called = true;
  p.bytes(g, {0xFA, 0x31, 0xC0, 0x8E, 0xD8});  // cli / xor ax, ax / mov ds, ax
  MovRegImm(g.recAssembler, rdSI, hello, ftDataAddress);
  CallRel(g.recAssembler, static_cast<uint32_t>(print.FuncIndex));
  // A jump that lands a few bytes short writes a character: the last bytes in front of
  // each label print.
  p.jump(g, 4, "far1");   // jz: ZF is set by the xor
  p.nops(g, 130);
  p.bytes(g, {0xB0, '!', 0xE6, 0xE9});
  p.label(g, "far1");
  p.jump(g, 16, "far2");
  p.nops(g, 130);
  p.bytes(g, {0xB0, '?', 0xE6, 0xE9});
  p.label(g, "far2");
  MovRegImm(g.recAssembler, rdSI, after, ftDataAddress);
  CallRel(g.recAssembler, static_cast<uint32_t>(print.FuncIndex));
  exitQemu(g);
  ASSERT_EQ(build(p), "");
  const std::string img = read(path("boot.img"));
  EXPECT_EQ(img.substr(5, 1), "\xBE");          // mov si, imm16
  EXPECT_EQ(img.substr(8, 1), "\xE8");          // call rel16
  EXPECT_EQ(img.substr(11, 2), "\x0F\x84");     // jz rel16: four bytes
  EXPECT_EQ(img.substr(15 + 134, 1), "\xE9");  // jmp rel16: three bytes
  EXPECT_EQ(boot(path("boot.img")), "kelvo boots, jumps far");
}

// Real mode to protected mode inside one procedure, as a boot sector switches: the GDT's
// address is stored at run time, LGDT, CR0.PE, a far jump to a label's address; from there
// the code is 32-bit (its label jumps take rel32 forms) and calls a 32-bit procedure through
// its address, which prints with a 32-bit data address.
TEST_F(BootImage, SwitchesToThirtyTwoBitCode) {
  if (!haveQemu()) GTEST_SKIP() << "qemu-system-i386 is not installed";
  THandProgram p(petBOOTLOADER, 0);
  const int32_t gdtr = p.raw(std::string("\x17\x00\x00\x00\x00\x00", 6));  // limit 23, base set below
  const int32_t gdt = p.raw(std::string(8, '\0') +                              // null
                            std::string("\xFF\xFF\x00\x00\x00\x9A\xCF\x00", 8) +  // 0x08 code 4 GB
                            std::string("\xFF\xFF\x00\x00\x00\x92\xCF\x00", 8));  // 0x10 data 4 GB
  const int32_t text = p.string("in 32-bit mode");
  TFunction& pm = p.proc("pm");
  p.bytes(pm, {0xBE});  // mov esi, text
  p.fix(pm, ftDataAddress, text, THandProgram::here(pm));
  p.dword(pm, 0);
  p.label(pm, "next");
  p.bytes(pm, {0xAC, 0x84, 0xC0});
  p.jump(pm, 4, "done");
  p.bytes(pm, {0xE6, 0xE9});
  p.jump(pm, 16, "next");
  p.label(pm, "done");
  exitQemu(pm);
  TFunction& g = p.global();
  g.recAssembler.cpuMode = 16;
  p.bytes(g, {0xFA, 0x31, 0xC0, 0x8E, 0xD8});  // cli / xor ax, ax / mov ds, ax
  p.jump(g, 16, "far16");  // in 16-bit code: rel16, whatever mode the procedure ends in
  p.nops(g, 130);
  p.bytes(g, {0xB0, '!', 0xE6, 0xE9});
  p.label(g, "far16");
  p.bytes(g, {0x66, 0xB8});                    // mov eax, gdt (32-bit)
  p.fix(g, ftDataAddress, gdt, THandProgram::here(g));
  p.dword(g, 0);
  p.bytes(g, {0x66, 0xA3});  // mov [gdtr + 2], eax (16-bit address)
  p.fix(g, ftDataAddress, gdtr, THandProgram::here(g), 2).fixSize = 16;
  p.bytes(g, {0, 0});
  p.bytes(g, {0x0F, 0x01, 0x16});  // lgdt [gdtr]
  p.fix(g, ftDataAddress, gdtr, THandProgram::here(g)).fixSize = 16;
  p.bytes(g, {0, 0});
  p.bytes(g, {0x0F, 0x20, 0xC0, 0x66, 0x83, 0xC8, 0x01, 0x0F, 0x22, 0xC0});  // CR0.PE := 1
  p.bytes(g, {0x66, 0xEA});  // jmp dword 0x08:pm32
  p.fix(g, ftLabelAddress, 1, THandProgram::here(g));  // label 1: pm32
  p.dword(g, 0);
  p.bytes(g, {0x08, 0x00});
  p.label(g, "pm32");
  g.recAssembler.cpuMode = 32;  // what "bits 32" does from here on
  p.bytes(g, {0x66, 0xB8, 0x10, 0x00, 0x8E, 0xD8});  // mov ax, 0x10 / mov ds, ax
  p.jump(g, 16, "far");
  p.nops(g, 130);
  p.bytes(g, {0xB0, '?', 0xE6, 0xE9});  // a jump that lands short prints
  p.label(g, "far");
  p.bytes(g, {0xB8});  // mov eax, pm / call eax
  p.fix(g, ftProcAddress, static_cast<uint32_t>(pm.FuncIndex), THandProgram::here(g));
  p.dword(g, 0);
  p.bytes(g, {0xFF, 0xD0});
  ASSERT_EQ(build(p), "");
  EXPECT_EQ(boot(path("boot.img")), "in 32-bit mode");
}

}  // namespace

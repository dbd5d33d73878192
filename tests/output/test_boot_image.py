"""Raw boot images from "bootloader" programs, as a user builds them: the file layout on the
bytes, the trace of the data fix-ups, and the programs the image can not hold."""
import os
import struct
import subprocess
import shutil
import sys
import time

from kelvo_test import QEMU, KelvoCase, boot_floppy, main, run_kelvo

FLOPPY = 1474560
OBJDUMP = shutil.which("objdump")
HERE = os.path.dirname(os.path.abspath(__file__))


class BootImages(KelvoCase):
    def compile(self, source, name="boot"):
        return run_kelvo(self.write(name + ".kpr", source), "-nopause", "-nolog", "x")

    def test_code_then_data_then_signature_on_a_floppy(self):
        r = self.compile("program bootloader 'b'\n"
                         "byte pad[3];\n"
                         "dword value = 0x11223344;\n"
                         "entry:\n"
                         "  mov eax, value\n"
                         "  ebx = @value\n"
                         "  cli\n"
                         "  hlt\n")
        self.assertEqual(r.code, 0, r.out)
        with open(os.path.join(self.dir, "boot.img"), "rb") as f:
            img = f.read()
        self.assertEqual(len(img), FLOPPY)
        code_size = 5 + 5 + 2  # mov eax, [value] / mov ebx, value / cli / hlt
        address = 0x7C00 + code_size + 3
        self.assertEqual(img[:code_size], b"\xA1" + struct.pack("<I", address) + b"\xBB" + struct.pack("<I", address)
                         + b"\xFA\xF4")
        self.assertEqual(img[code_size:code_size + 7], b"\0\0\0\x44\x33\x22\x11")  # the data right behind
        self.assertEqual(img[code_size + 7:510], bytes(510 - code_size - 7))
        self.assertEqual(img[510:512], b"\x55\xAA")
        self.assertEqual(img[512:], bytes(FLOPPY - 512))
        # One trace line per data fix-up: the address before the load address is added.
        self.assertIn("ftDataAddress: %d\n" % (code_size + 3), r.out.replace("\r\n", "\n"))
        self.assertIn("ftAppendDataAddr: %d\n" % (code_size + 3), r.out.replace("\r\n", "\n"))
        if OBJDUMP:
            dis = subprocess.run([OBJDUMP, "-D", "-b", "binary", "-m", "i386", "--start-address=0",
                                  "--stop-address=%d" % code_size, os.path.join(self.dir, "boot.img")],
                                 capture_output=True, text=True, check=True).stdout
            self.assertIn("mov    0x%x,%%eax" % address, dis)

    def test_globals_initialised_with_addresses_hold_them_at_the_load_address(self):
        with open(os.path.join(HERE, "boot", "addresses.kpr")) as f:
            r = self.compile(f.read())
        self.assertEqual(r.code, 0, r.out)
        with open(os.path.join(self.dir, "boot.img"), "rb") as f:
            img = f.read()
        code_size = 0x2D + 10  # the global code, then show()
        greeting, tail, slots = code_size, code_size + 12, code_size + 21
        self.assertEqual(img[greeting:greeting + 11], b"booted with")
        self.assertEqual(struct.unpack_from("<3I", img, slots), (0x7C00 + greeting, 0x7C00 + tail, 0x7C00 + 0x2D))
        self.assertEqual(img[0x2D:0x2E], b"\xAC")  # show() starts where its address says

    def test_globals_initialised_with_addresses_work_when_booted(self):
        if not QEMU:
            self.skipTest("qemu-system-i386 is not installed")
        with open(os.path.join(HERE, "boot", "addresses.kpr")) as f:
            r = self.compile(f.read())
        self.assertEqual(r.code, 0, r.out)
        self.assertEqual(boot_floppy(os.path.join(self.dir, "boot.img")), b"booted with address")

    def test_what_a_boot_sector_can_not_hold_stops_the_build(self):
        cases = [
            ("byte buf[500];\nentry:\n  cli\n" + "  hlt\n" * 10,
             "Code and data of a boot image take 511 bytes; the boot sector holds 510 before its signature"),
            ("cli\nentry:\n  hlt\n",
             "A boot image starts at its first byte: \"entry:\" must come before any code"),
            ("", "The program has no code to start with"),
            ("procedure p() { hlt }\nexports p;\nentry:\n  hlt\n",
             "[3,7]: A boot image has no exports: nothing can call into it by name"),
        ]
        for body, message in cases:
            r = self.compile("program bootloader 'b'\n" + body, "bad")
            self.assertEqual(r.code, 1, r.out)
            self.assertIn(message, r.out)
            self.assertFalse(os.path.exists(os.path.join(self.dir, "bad.img")))
        r = self.compile("program bootloader 'b'\nbyte buf[500];\nentry:\n  cli\n" + "  hlt\n" * 9, "fits")
        self.assertEqual(r.code, 0, r.out)  # 510 bytes: the signature still closes the sector



# Real-mode code from source: 32-bit registers, immediates and memory operands, a procedure
# with a parameter and a function with two parameters and two locals, called with arguments,
# a loop and a case; it prints through the debug port 0xE9 and leaves through port 0xF4.
REAL_MODE = """\
program bootloader 'real'
#bits 16;
dword counter = 0x11223344;
byte text[8] = 'real';

// Prints one character: its parameter lies behind the 2-byte return address.
procedure putc(dword c) {
  mov eax, c
  out 233, al
}

// Two parameters and two locals; the result in EAX.
function mix(dword a; dword b) {
  dword t = 0;
  dword u = 0;
  mov eax, a
  mov t, eax
  mov eax, b
  mov u, eax
  mov eax, t
  add eax, u
}

entry:
  cli
  xor eax, eax
  mov ds, ax
  mov ss, ax
  mov esp, 0x7C00
  esi = @text
  mov ecx, 4
  repeat {
    mov al, [esi]
    out 233, al
    inc esi
    dec ecx
  } until (ecx == 0);
  putc(0x20)
  mov eax, 0x12345678
  shr eax, 16
  if (eax == 0x1234) putc(0x33);
  mix(0x30, 0x02)
  putc(eax)
  mov ebx, counter
  if (ebx == 0x11223344) putc(0x21);
  mov ecx, 0
  while (ecx < 3) {
    inc ecx
    case (ecx) {
      state 1: putc(0x61) break;
      state 2: putc(0x62) break;
      default: putc(0x63)
    }
  }
  mov al, 0
  out 244, al
  cli
  hlt
"""


class RealModeBoot(KelvoCase):
    def test_sixteen_bit_code_runs_as_written(self):
        if not QEMU:
            self.skipTest("qemu-system-i386 is not installed")
        r = run_kelvo(self.write("real.kpr", REAL_MODE), "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 0, r.out)
        # the text through [esi], "3" from a 32-bit immediate shifted, "2" from the function,
        # "!" from a dword variable, then the loop's three states
        self.assertEqual(boot_floppy(os.path.join(self.dir, "real.img"), timeout=20), b"real 32!abc")


class RunOption(KelvoCase):
    def test_run_starts_programs_only(self):
        """"-run" hands an EXE to wine (a stand-in here, which notes what it was given);
        an object or a boot image is no program to start."""
        bindir = os.path.join(self.dir, "bin")
        log = os.path.join(self.dir, "started.txt")
        self.write("bin/wine", "#!/bin/sh\necho \"$1\" >> %s\n" % log)
        os.chmod(os.path.join(bindir, "wine"), 0o755)
        env = dict(os.environ, PATH=bindir + os.pathsep + os.environ.get("PATH", ""))
        kinds = {"exe": "program win32cui 'r'\nentry:\n  ret\n",
                 "obj": "program mscoff 'r'\nentry:\n  ret\n",
                 "img": "program bootloader 'r'\nentry:\n  hlt\n"}
        for ext, source in kinds.items():
            project = self.write(ext + ".kpr", source)
            r = subprocess.run([os.environ["KELVO"], project, "-nopause", "-nolog", "-run", "x"],
                               capture_output=True, env=env, timeout=60)
            self.assertEqual(r.returncode, 0, r.stdout)
        for _ in range(50):  # the stand-in runs detached
            if os.path.exists(log):
                break
            time.sleep(0.1)
        time.sleep(0.5)  # and any wrongly started one has noted itself too
        with open(log) as f:
            self.assertEqual([os.path.basename(line.strip()) for line in f], ["exe.exe"])


if __name__ == "__main__":
    main()

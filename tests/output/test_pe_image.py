"""PE images written by the compiler, checked with outside tools: pefile reads every image,
objdump lists their imports and exports and disassembles their code, and the programs run
(wine or the emulator) with the text and exit code they must give."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "runner"))
from kelvo_test import KELVO, main, run_kelvo  # noqa: E402

try:
    import pefile
except ImportError:
    pefile = None

OBJDUMP = shutil.which("objdump")
MINGW_GCC = shutil.which("i686-w64-mingw32-gcc")
IMAGE_BASE = 0x400000

KERNEL32 = """imports ('kernel32.dll') {
  procedure ExitProcess(dword code); stdcall;
  function GetStdHandle(dword which): dword; stdcall;
  function WriteConsoleA(dword h; pointer text; dword count, written, reserved): dword; stdcall;
  function lstrlenA(pointer text): dword; stdcall;
}
"""
# Prints a line three times in a loop and exits with 42, through short and near jumps,
# JECXZ, calls, a procedure with a large frame, and a procedure nobody calls whose DLL
# must not be needed.
HELLO = KERNEL32 + """imports ('nosuch.dll') { procedure NotThere(); stdcall; }
dword n;
procedure unused() { NotThere(); }
function seven() { mov eax, 7 }
function big(int32 x) { int32 buf[50]; mov eax, x }
function main() {
  mov esi, 3
again:
  WriteConsoleA(GetStdHandle(-11), 'Hello World!\\r\\n', 14, @n, 0);
  dec esi
  jne again
  jmp far
""" + "  cdq\n" * 130 + """far:
  seven();
  mov edi, eax
  big(5);
  add eax, edi
  add eax, 30
  xor ecx, ecx
  jecxz done
  mov eax, 99
done:
}
entry:
  main();
  ExitProcess(eax);
"""
# A DLL with an entry, several exports, data it writes and addresses that need relocating.
LIBRARY = """program win32dll 'lib'
dword counter;
entry function DllMain(dword instance, reason, reserved) { mov eax, 1 }
function AddTwo(int32 a, b) { mov eax, a; add eax, b }
function GetText() { eax = 'TEXT\\r\\n'; }
function GetCounter() { inc counter; mov eax, counter }
function nine() { mov eax, 9 }
function GetNine() { eax = @nine; }
function Zeta() { mov eax, 1 }
function alpha() { mov eax, 2 }
function Beta() { mov eax, 3 }
exports AddTwo, GetText, GetCounter, GetNine, Zeta, alpha, Beta;
"""
# Uses both DLLs through the import table: prints their texts, exits with 42.
DLL_USER = KERNEL32 + """imports ('kelvolib.dll') {
  function AddTwo(int32 a, b): int32; stdcall;
  function GetCounter(): dword; stdcall;
  function GetNine(): dword; stdcall;
  function text1 = GetText(): pointer; stdcall;
}
imports ('kelvolib2.dll') { function text2 = GetText(): pointer; stdcall; }
dword n;
procedure show(pointer text) { WriteConsoleA(GetStdHandle(-11), text, lstrlenA(text), @n, 0); }
entry:
  show(text1());
  show(text2());
  GetCounter();
  mov esi, eax
  GetCounter();
  add esi, eax
  GetNine();
  call eax
  add esi, eax
  eax = AddTwo(esi, 30);
  ExitProcess(eax);
"""


def exit_program(head, code, data="", before=""):
    return head + "\n" + KERNEL32 + data + "entry:\n" + before + "  ExitProcess(%s);\n" % code


SOURCES = {
    "exit42": exit_program("program win32cui 'T'", 42, "dword d = 1;\n"),
    "nodata": exit_program("program win32cui 'T'", 3),
    "gui": exit_program("program WIN32GUI 'T'", 7),
    # The title "addreloc" gives an EXE relocations: here the data address and the thunk.
    "reloc": exit_program("program win32cui 'addreloc'", "[eax]", "dword five = 5;\n",
                          "  push @five\n  pop eax\n"),
    "hello": "program win32cui 'T'\n" + HELLO,
    "kelvolib": LIBRARY.replace("TEXT", "from the kelvo DLL"),
    "kelvolib2": LIBRARY.replace("TEXT", "from the second kelvo DLL"),
    "usedll": "program win32cui 'T'\n" + DLL_USER,
}
IMAGES = ["exit42.exe", "nodata.exe", "gui.exe", "reloc.exe", "hello.exe", "kelvolib.dll", "kelvolib2.dll",
          "usedll.exe"]
_state = {}


def folder():
    """Compiles the images once; returns their folder."""
    if not KELVO or not os.path.exists(KELVO):
        raise unittest.SkipTest("the built kelvo was not given (KELVO)")
    if "dir" not in _state:
        work = tempfile.mkdtemp(prefix="kelvo-pe-")
        for name, text in SOURCES.items():
            with open(os.path.join(work, name + ".kpr"), "w") as f:
                f.write(text)
            r = run_kelvo(os.path.join(work, name + ".kpr"), "-nopause", "-nolog", "x")
            assert r.code == 0, r.out
        _state["dir"] = work
    return _state["dir"]


def tearDownModule():
    if "dir" in _state:
        shutil.rmtree(_state["dir"], ignore_errors=True)


def load(name):
    """Parses an image fully. The share-of-zero-bytes heuristic is left out: it fires for every
    small image with 512-byte file alignment and says nothing about its structure."""
    if pefile is None:
        raise unittest.SkipTest("python3-pefile is not installed")
    pe = pefile.PE(os.path.join(folder(), name), fast_load=True)
    pe.full_load()
    return pe


def objdump(*args):
    if not OBJDUMP:
        raise unittest.SkipTest("objdump (binutils) is not installed")
    return subprocess.run([OBJDUMP, *args], capture_output=True, text=True, check=True).stdout


class ImageStructure(unittest.TestCase):
    def test_every_image_is_accepted_without_warnings(self):
        for name in IMAGES:
            with self.subTest(name):
                pe = load(name)
                self.assertEqual(pe.get_warnings(), [])
                self.assertEqual(pe.FILE_HEADER.Machine, 0x14C)
                dll = name.endswith(".dll")
                self.assertEqual(pe.FILE_HEADER.Characteristics, 0x210E if dll else 0x818F)
                self.assertEqual(pe.OPTIONAL_HEADER.Subsystem, 2 if dll or name == "gui.exe" else 3)
                self.assertEqual([(s.Name.rstrip(b"\0"), s.Characteristics) for s in pe.sections],
                                 [(b".root", 0x40000040), (b".data", 0xC0000040), (b".code", 0x60000020)])
                self.assertEqual(pe.DOS_HEADER.e_lfanew, 0x80)
                self.assertEqual(pe.__data__[:2], b"MZ")
                self.assertEqual(pe.__data__[0x38:0x3C], b"KEL1")
                self.assertEqual(pe.__data__[0x80:0x84], b"PE\0\0")
                code = pe.sections[2]
                self.assertEqual(pe.OPTIONAL_HEADER.BaseOfCode, code.VirtualAddress)
                self.assertEqual(pe.OPTIONAL_HEADER.SizeOfImage,
                                 code.VirtualAddress + max(0x1000, (code.Misc_VirtualSize + 0xFFF) & ~0xFFF))
                rvas = [s.VirtualAddress for s in pe.sections]
                self.assertEqual(len(set(rvas)), 3, "sections share an address")

    def test_console_program_layout(self):
        pe = load("exit42.exe")
        self.assertEqual([(s.VirtualAddress, s.PointerToRawData) for s in pe.sections],
                         [(0x1000, 0x200), (0x2000, 0x400), (0x3000, 0x600)])
        self.assertEqual(pe.OPTIONAL_HEADER.AddressOfEntryPoint, 0x3000)
        self.assertEqual(pe.OPTIONAL_HEADER.SizeOfImage, 0x4000)
        self.assertFalse(hasattr(pe, "DIRECTORY_ENTRY_BASERELOC"))
        # An empty data image still has a page of its own.
        pe = load("nodata.exe")
        self.assertEqual(pe.sections[1].Misc_VirtualSize, 0)
        self.assertEqual(pe.sections[2].VirtualAddress, 0x3000)

    def test_imports_hold_what_the_running_code_calls(self):
        pe = load("hello.exe")
        imports = {e.dll.decode(): sorted(i.name.decode() for i in e.imports) for e in pe.DIRECTORY_ENTRY_IMPORT}
        self.assertEqual(imports, {"kernel32.dll": ["ExitProcess", "GetStdHandle", "WriteConsoleA"]})
        text = objdump("-p", os.path.join(folder(), "usedll.exe"))
        for dll, names in (("kernel32.dll", ["ExitProcess", "GetStdHandle", "WriteConsoleA", "lstrlenA"]),
                           ("kelvolib.dll", ["AddTwo", "GetCounter", "GetNine", "GetText"]),
                           ("kelvolib2.dll", ["GetText"])):
            block = text.split("DLL Name: " + dll)[1].split("DLL Name:")[0]
            self.assertEqual(sorted(re.findall(r"^\s+[0-9a-f]+\s+0\s+(\w+)", block, re.M)), names, dll)

    def test_exports_are_sorted_by_name_and_point_at_code(self):
        pe = load("kelvolib.dll")
        exports = pe.DIRECTORY_ENTRY_EXPORT
        names = [s.name.decode() for s in exports.symbols]
        self.assertEqual(names, ["AddTwo", "Beta", "GetCounter", "GetNine", "GetText", "Zeta", "alpha"])
        self.assertEqual([s.ordinal for s in exports.symbols], list(range(1, 8)))
        self.assertEqual(pe.get_string_at_rva(exports.struct.Name), b"kelvolib.dll")
        code = pe.sections[2]
        for s in exports.symbols:
            self.assertTrue(code.VirtualAddress <= s.address < code.VirtualAddress + code.Misc_VirtualSize)
        text = objdump("-p", os.path.join(folder(), "kelvolib.dll"))
        self.assertRegex(text, r"Name \s+[0-9a-f]+ kelvolib\.dll")
        self.assertEqual(re.findall(r"^\s+\[\s*\d+\] (\w+)$", text, re.M), names)

    def test_relocations_cover_every_absolute_address(self):
        for name, count in (("kelvolib.dll", 4), ("reloc.exe", 2)):
            with self.subTest(name):
                pe = load(name)
                entries = [e for b in pe.DIRECTORY_ENTRY_BASERELOC for e in b.entries if e.type != 0]
                self.assertEqual({e.type for e in entries}, {3})
                self.assertEqual(len(entries), count)
                for e in entries:  # each one holds an address inside the image
                    value = pe.get_dword_at_rva(e.rva)
                    self.assertTrue(IMAGE_BASE + 0x1000 <= value < IMAGE_BASE + pe.OPTIONAL_HEADER.SizeOfImage,
                                    hex(value))
        self.assertFalse(hasattr(load("hello.exe"), "DIRECTORY_ENTRY_BASERELOC"))


_INSN = re.compile(r"^\s*([0-9a-f]+):\s+((?:[0-9a-f]{2} )+)\s*(\S+)?\s*(.*)$")


class CodeLayout(unittest.TestCase):
    def disassemble(self, name):
        out = objdump("-d", "-j", ".code", os.path.join(folder(), name))
        return [(int(m.group(1), 16), bytes.fromhex(m.group(2)), m.group(3), m.group(4))
                for m in map(_INSN.match, out.splitlines()) if m and m.group(3)]

    def test_every_jump_and_call_lands_on_an_instruction(self):
        insns = self.disassemble("hello.exe")
        starts = {a for a, *_rest in insns}
        forms = set()
        for addr, raw, mnemonic, operand in insns:
            if mnemonic.startswith("j") or mnemonic == "call":
                target = operand.split()[0]
                if not target.startswith("*"):
                    self.assertIn(int(target, 16), starts, hex(addr))
                    forms.add((mnemonic, len(raw)))
        self.assertTrue({("jne", 2), ("jmp", 5), ("jecxz", 2), ("call", 5)} <= forms, forms)

    def test_procedures_never_called_leave_no_bytes(self):
        thunks = [raw for _, raw, *_r in self.disassemble("hello.exe") if raw[:2] == b"\xff\x25"]
        self.assertEqual(len(thunks), 3)  # the import of the dead procedure has no thunk either


def runner():
    import run_pe
    reason = run_pe.skip_reason()
    if reason:
        raise unittest.SkipTest(reason)
    return run_pe


class Running(unittest.TestCase):
    def expect(self, name, text, code):
        result = runner().run(os.path.join(folder(), name))
        self.assertIsNone(result.error, f"{name} with {result.runner_name}")
        self.assertEqual((result.text, result.exit_code), (text, code), name)

    def test_exit_codes(self):
        for name, code in (("exit42.exe", 42), ("nodata.exe", 3), ("gui.exe", 7), ("reloc.exe", 5)):
            self.expect(name, "", code)

    def test_console_text_jumps_calls_and_data(self):
        self.expect("hello.exe", "Hello World!\n" * 3, 42)

    def test_exe_uses_two_kelvo_dlls_at_other_bases(self):
        # Both DLLs prefer the executable's own base, so the loader moves both.
        self.expect("usedll.exe", "from the kelvo DLL\nfrom the second kelvo DLL\n", 42)


C_PROGRAM = r"""
#include <windows.h>
#include <stdio.h>
typedef int (__stdcall *add_fn)(int, int);
typedef const char *(__stdcall *text_fn)(void);
int main(void) {
    HMODULE lib = LoadLibraryA("kelvolib.dll");
    if (!lib) return 100;
    add_fn add = (add_fn)GetProcAddress(lib, "AddTwo");
    text_fn text = (text_fn)GetProcAddress(lib, "GetText");
    if (!add || !text) return 101;
    printf("%s", text());
    return add(40, 2);
}
"""


class CProgram(unittest.TestCase):
    def test_c_program_calls_a_kelvo_dll(self):
        if not MINGW_GCC:
            self.skipTest("i686-w64-mingw32-gcc is not installed (gcc-mingw-w64-i686)")
        reason = runner().unavailable_reason("wine")
        if reason:
            self.skipTest("a mingw C program runs only under wine: " + reason)
        source = os.path.join(folder(), "uselib.c")
        with open(source, "w") as f:
            f.write(C_PROGRAM)
        exe = os.path.join(folder(), "uselib.exe")
        subprocess.run([MINGW_GCC, "-O1", "-o", exe, source], check=True, capture_output=True)
        result = runner().run(exe, runner="wine")
        self.assertIsNone(result.error)
        self.assertEqual((result.text, result.exit_code), ("from the kelvo DLL\n", 42))


if __name__ == "__main__":
    main()

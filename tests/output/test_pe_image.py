"""PE images written by the link step from hand-built compiler state, checked with outside
tools: pefile reads every image, objdump lists their imports and exports and disassembles
their code, and the programs run (wine or the emulator) with the text and exit code they
must give. The images come from the kelvo_link_samples tool built beside the tests."""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "runner"))
from kelvo_test import BUILD_DIR, main  # noqa: E402

try:
    import pefile
except ImportError:
    pefile = None

SAMPLES_TOOL = os.path.join(BUILD_DIR, "tests", "kelvo_link_samples") if BUILD_DIR else ""
OBJDUMP = shutil.which("objdump")
MINGW_GCC = shutil.which("i686-w64-mingw32-gcc")
IMAGE_BASE = 0x400000

_state = {}


def images():
    """Builds the sample images once; returns (folder, manifest)."""
    if not SAMPLES_TOOL or not os.path.exists(SAMPLES_TOOL):
        raise unittest.SkipTest("kelvo_link_samples was not built (KELVO_BUILD_DIR)")
    if "dir" not in _state:
        folder = tempfile.mkdtemp(prefix="kelvo-pe-")
        out = subprocess.run([SAMPLES_TOOL, folder], capture_output=True, text=True, timeout=60)
        if out.returncode != 0:
            raise AssertionError("kelvo_link_samples failed: " + out.stderr)
        _state["dir"], _state["manifest"] = folder, json.loads(out.stdout)
    return _state["dir"], _state["manifest"]


def tearDownModule():
    if "dir" in _state:
        shutil.rmtree(_state["dir"], ignore_errors=True)


def need_pefile():
    if pefile is None:
        raise unittest.SkipTest("python3-pefile is not installed")


def load(name):
    """Parses an image fully. The share-of-zero-bytes heuristic is left out: it fires for every
    small image with 512-byte file alignment and says nothing about its structure."""
    need_pefile()
    folder, _ = images()
    pe = pefile.PE(os.path.join(folder, name), fast_load=True)
    pe.full_load()
    return pe


def objdump(*args):
    if not OBJDUMP:
        raise unittest.SkipTest("objdump (binutils) is not installed")
    return subprocess.run([OBJDUMP, *args], capture_output=True, text=True, check=True).stdout


class ImageStructure(unittest.TestCase):
    def test_every_image_is_accepted_without_warnings(self):
        _, manifest = images()
        for name in manifest:
            with self.subTest(name):
                pe = load(name)
                self.assertEqual(pe.get_warnings(), [])
                self.assertEqual(pe.FILE_HEADER.Machine, 0x14C)
                dll = name.endswith(".dll")
                self.assertEqual(pe.FILE_HEADER.Characteristics, 0x210E if dll else 0x818F)
                self.assertEqual(pe.OPTIONAL_HEADER.Subsystem, {"exit42.exe": 3, "hello.exe": 3,
                                                                "gui.exe": 2}.get(name, 2 if dll else 3))
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
        imports = {e.dll.decode(): [i.name.decode() for i in e.imports] for e in pe.DIRECTORY_ENTRY_IMPORT}
        self.assertEqual(imports, {"kernel32.dll": ["ExitProcess", "GetStdHandle", "WriteConsoleA"]})
        text = objdump("-p", os.path.join(images()[0], "usedll.exe"))
        for dll, names in (("kernel32.dll", ["ExitProcess", "GetStdHandle", "WriteConsoleA", "lstrlenA"]),
                           ("kelvolib.dll", ["AddTwo", "GetCounter", "GetNine", "GetText"]),
                           ("kelvolib2.dll", ["GetText"])):
            block = text.split("DLL Name: " + dll)[1].split("DLL Name:")[0]
            self.assertEqual(re.findall(r"^\s+[0-9a-f]+\s+0\s+(\w+)", block, re.M), names, dll)

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
        text = objdump("-p", os.path.join(images()[0], "kelvolib.dll"))
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
    """Every checked jump and call lands where its marker says, in the disassembly."""

    def disassemble(self, name):
        out = objdump("-d", "-j", ".code", os.path.join(images()[0], name))
        insns = []
        for line in out.splitlines():
            m = _INSN.match(line)
            if m and m.group(3):
                insns.append((int(m.group(1), 16), bytes.fromhex(m.group(2)), m.group(3), m.group(4)))
        return insns

    def test_jumps_and_calls_land_on_their_labels(self):
        _, manifest = images()
        insns = self.disassemble("hello.exe")
        at = {a: i for i, (a, *_rest) in enumerate(insns)}
        markers = {int.from_bytes(b[3:7], "little"): i for i, (_, b, *_r) in enumerate(insns)
                   if b[:3] == b"\x0f\x1f\x80"}

        def body(i):
            """The instruction index where a procedure's body starts, past a kept prologue."""
            if insns[i][1] == b"\x55":
                i += 2  # PUSH EBP / MOV EBP,ESP
                if insns[i][1][:2] in (b"\x83\xc4", b"\x81\xc4"):
                    i += 1
            return i

        forms = set()
        for source, target in manifest["hello.exe"]:
            with self.subTest(source=source, target=target):
                _, raw, mnemonic, operand = insns[markers[source] + 1]
                dest = int(operand.split()[0], 16)
                self.assertIn(dest, at, "lands inside an instruction")
                self.assertEqual(body(at[dest]), markers[target])
                forms.add((mnemonic, len(raw)))
        self.assertTrue({("jne", 2), ("jmp", 5), ("jecxz", 2), ("call", 5)} <= forms, forms)
        # Every direct transfer in the program lands on an instruction.
        for addr, raw, mnemonic, operand in insns:
            if mnemonic.startswith("j") or mnemonic == "call":
                target = operand.split()[0]
                if not target.startswith("*"):
                    self.assertIn(int(target, 16), at, hex(addr))

    def test_procedures_never_called_leave_no_bytes(self):
        insns = self.disassemble("hello.exe")
        seen = [raw for _, raw, *_r in insns]
        thunks = [raw for raw in seen if raw[:2] == b"\xff\x25"]
        self.assertEqual(len(thunks), 3)  # the import of the dead procedure has no thunk either


def runner():
    try:
        import run_pe
    except ImportError:
        raise unittest.SkipTest("the Windows program runner (tests/runner) is missing")
    reason = run_pe.skip_reason()
    if reason:
        raise unittest.SkipTest(reason)
    return run_pe


class Running(unittest.TestCase):
    def expect(self, name, text, code):
        run_pe = runner()
        folder, _ = images()
        result = run_pe.run(os.path.join(folder, name))
        self.assertIsNone(result.error, f"{name} with {result.runner_name}")
        self.assertEqual((result.text, result.exit_code), (text, code), name)

    def test_exit_codes(self):
        self.expect("exit42.exe", "", 42)
        self.expect("nodata.exe", "", 3)
        self.expect("gui.exe", "", 7)
        self.expect("reloc.exe", "", 5)

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
        folder, _ = images()
        source = os.path.join(folder, "uselib.c")
        with open(source, "w") as f:
            f.write(C_PROGRAM)
        exe = os.path.join(folder, "uselib.exe")
        subprocess.run([MINGW_GCC, "-O1", "-o", exe, source], check=True, capture_output=True)
        run_pe = runner()
        reason = run_pe.unavailable_reason("wine")
        if reason:
            self.skipTest("a mingw C program runs only under wine: " + reason)
        result = run_pe.run(exe, runner="wine")
        self.assertIsNone(result.error)
        self.assertEqual((result.text, result.exit_code), ("from the kelvo DLL\n", 42))


if __name__ == "__main__":
    main()

"""COFF objects written for "mscoff" programs, checked with tools we did not write: objdump
lists their sections, symbols and relocations, the MinGW linker links one with an object of
its own C compiler, and the program runs (wine and the emulator must agree)."""
import os
import re
import shutil
import struct
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "runner"))
import run_pe  # noqa: E402
from kelvo_test import KelvoCase, main, run_kelvo  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
OBJDUMP = shutil.which("objdump")
MINGW_GCC = shutil.which("i686-w64-mingw32-gcc")


def read_coff(path):
    """The file header, section headers, relocations of .text and symbols, read by hand."""
    with open(path, "rb") as f:
        data = f.read()
    machine, nsect, _, symptr, nsym, opt, _ = struct.unpack_from("<HHIIIHH", data, 0)
    sections = []
    for i in range(nsect):
        name, vsize, va, rawsize, rawptr, relptr, _, nrel, _, flags = \
            struct.unpack_from("<8sIIIIIIHHI", data, 20 + 40 * i)
        sections.append(dict(name=name.rstrip(b"\0").decode(), rawsize=rawsize, rawptr=rawptr,
                             relptr=relptr, nrel=nrel, flags=flags))
    strings_at = symptr + 18 * nsym
    symbols = []
    for i in range(nsym):
        raw, value, sect, typ, scl, aux = struct.unpack_from("<8sIhHBB", data, symptr + 18 * i)
        if raw[:4] == b"\0\0\0\0":
            off = struct.unpack_from("<I", raw, 4)[0]
            name = data[strings_at + off:data.index(b"\0", strings_at + off)].decode()
        else:
            name = raw.rstrip(b"\0").decode()
        symbols.append(dict(raw=raw, name=name, value=value, sect=sect, type=typ, scl=scl, aux=aux))
    text = sections[0]
    relocs = [struct.unpack_from("<IIH", data, text["relptr"] + 10 * i) for i in range(text["nrel"])]
    return dict(data=data, machine=machine, opt=opt, sections=sections, symbols=symbols, relocs=relocs,
                strings=data[strings_at:])


def mixed_source():
    with open(os.path.join(HERE, "coff", "mixed.kpr")) as f:
        return f.read()


class CoffCase(KelvoCase):
    def build(self, source, name="obj"):
        project = self.write(name + ".kpr", source)
        r = run_kelvo(project, "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 0, r.out)
        return os.path.join(self.dir, name + ".obj")

    def objdump(self, *args):
        if not OBJDUMP:
            self.skipTest("objdump is not installed")
        return subprocess.run([OBJDUMP, *args], capture_output=True, text=True, check=True).stdout


class CoffObjects(CoffCase):

    def link_and_run(self, kpr, c_file, exe_name):
        """Links the kelvo object with a C object of MinGW's and runs the program."""
        if not MINGW_GCC:
            self.skipTest("i686-w64-mingw32-gcc is not installed")
        reason = run_pe.skip_reason()
        if reason:
            self.skipTest(reason)
        shutil.copy(os.path.join(HERE, "coff", c_file), self.dir)
        with open(os.path.join(HERE, "coff", kpr)) as f:
            obj = self.build(f.read(), os.path.splitext(kpr)[0])
        c_obj = os.path.join(self.dir, os.path.splitext(c_file)[0] + ".o")
        exe = os.path.join(self.dir, exe_name)
        subprocess.run([MINGW_GCC, "-O1", "-ffreestanding", "-fno-asynchronous-unwind-tables", "-c",
                        os.path.join(self.dir, c_file), "-o", c_obj], check=True)
        link = subprocess.run([MINGW_GCC, "-nostdlib", "-o", exe, obj, c_obj, "-lkernel32", "-Wl,-e,_entry"],
                              capture_output=True, text=True)
        self.assertEqual(link.returncode, 0, link.stderr)
        return obj, run_pe.run(exe, runner="both", timeout=20)

    def test_program_runs_with_calls_data_and_addresses_both_ways(self):
        _, result = self.link_and_run("mixed.kpr", "cside.c", "mixed.exe")
        self.assertIsNone(result.error, result.error)
        self.assertEqual(result.text.replace("\r\n", "\n"),
                         "hello from kelvo\n"
                         "conventions 4667\n"  # 7 + 6*10 + 6*100 + 4*1000
                         "callback 52\n"       # twice(5) + 42
                         "shared 15\n"
                         "addresses 511\n"     # procedure, label, jump through a label
                         "hidden 3\n")
        self.assertEqual(result.exit_code, 7)

    def test_globals_initialised_with_addresses_hold_what_the_linker_gave(self):
        obj, result = self.link_and_run("addresses.kpr", "addresses.c", "addresses.exe")
        self.assertIsNone(result.error, result.error)
        self.assertEqual(result.exit_code, 31)  # one bit per address, all right
        # The object says so itself: .data carries one absolute relocation per address.
        coff = read_coff(obj)
        data = coff["sections"][1]
        relocs = [struct.unpack_from("<IIH", coff["data"], data["relptr"] + 10 * i) for i in range(data["nrel"])]
        names = [coff["symbols"][index]["name"] for _, index, _ in relocs]
        self.assertEqual([(at, kind) for at, _, kind in relocs], [(8, 6), (12, 6), (16, 6), (20, 6)])
        self.assertEqual(names, [".data", ".text", "_cfunc", "_ExitProcess@4"])
        image = coff["data"][data["rawptr"]:data["rawptr"] + data["rawsize"]]
        helper = next(s["value"] for s in coff["symbols"] if s["name"] == "_helper")
        self.assertEqual(struct.unpack_from("<4I", image, 8), (4, helper, 0, 0))  # the offsets added to

    def test_objdump_lists_what_the_object_defines_and_needs(self):
        obj = self.build(mixed_source(), "mixed")
        headers = self.objdump("-h", obj)
        self.assertRegex(headers, r"0 \.text\s+[0-9a-f]+\s+00000000")
        self.assertRegex(headers, r"1 \.data\s+0000001a\s")  # written, counter, the greeting
        symbols = {}
        for m in re.finditer(r"\(sec\s+(-?\d+)\)\(fl 0x00\)\(ty\s+(\w+)\)\(scl\s+(\d+)\) \(nx 0\) 0x([0-9a-f]+) (\S+)",
                             self.objdump("-t", obj)):
            self.assertNotIn(m.group(5), symbols, "defined twice")
            symbols[m.group(5)] = (int(m.group(1)), m.group(2), int(m.group(3)), int(m.group(4), 16))
        # Procedures at their own offsets, decorated by convention; only exports are external.
        for name in ("_sub2@8", "_csub", "@fastsub@12", "_@ksub@12", "_show@8", "_callhidden", "_entry"):
            self.assertEqual(symbols[name][:3], (1, "20", 2), name)
        self.assertEqual(symbols["_hidden@0"][:3], (1, "20", 3))
        offsets = sorted(v[3] for k, v in symbols.items() if v[0] == 1 and v[1] == "20" and k != "_entry")
        self.assertEqual(len(set(offsets)), len(offsets), "procedures share an offset")
        self.assertEqual(symbols["_written"], (2, "0", 2, 0))
        self.assertEqual(symbols["_counter"], (2, "0", 2, 4))
        for name in ("_ExitProcess@4", "_GetStdHandle@4", "_WriteConsoleA@20", "_twice", "_cmain"):
            self.assertEqual(symbols[name], (0, "20", 2, 0), name)
        relocs = re.findall(r"^([0-9a-f]{8}) (\w+)\s+(\S+)$", self.objdump("-r", obj), re.M)
        kinds = {(kind, target) for _, kind, target in relocs}
        # Calls out of the object are relative; every address taken is absolute.
        self.assertEqual(kinds, {("DISP32", n) for n in ("_ExitProcess@4", "_GetStdHandle@4", "_WriteConsoleA@20",
                                                         "_twice", "_cmain")} | {("dir32", ".data"), ("dir32", ".text")})
        coff = read_coff(obj)
        code = coff["data"][coff["sections"][0]["rawptr"]:]
        for at, kind, _ in relocs:
            if kind == "DISP32":
                self.assertEqual(code[int(at, 16):int(at, 16) + 4], b"\0\0\0\0")
        # The addend in the field: the address of "written" (offset 0) and "@sub2" in .text.
        dis = self.objdump("-d", "-r", obj)
        self.assertRegex(dis, r"mov\s+\$0x%x,%%eax\s*\n\s+[0-9a-f]+: dir32\s+\.text" % symbols["_sub2@8"][3])

    def test_names_of_eight_characters_stay_inline_nine_go_to_the_string_table(self):
        obj = self.build("program mscoff 'n'\n"
                         "function cdecl abcdefg() { eax = 1; }\n"
                         "function cdecl abcdefgh() { eax = 2; }\n"
                         "exports abcdefg, abcdefgh;\n")
        coff = read_coff(obj)
        by_name = {s["name"]: s for s in coff["symbols"]}
        self.assertEqual(by_name["_abcdefg"]["raw"], b"_abcdefg")  # no terminating zero
        self.assertEqual(by_name["_abcdefgh"]["raw"], b"\0\0\0\0" + struct.pack("<I", 4))
        self.assertEqual(coff["strings"], struct.pack("<I", 4 + 10 + 4) + b"_abcdefgh\0" + b"\0" * 4)
        self.assertIn("_abcdefgh", self.objdump("-t", obj))
        self.assertEqual((coff["machine"], coff["opt"]), (0x14C, 0))

    def test_code_without_relocations_points_at_none(self):
        obj = self.build("program mscoff 'n'\n"
                         "function cdecl one() { eax = 1; }\n"
                         "function cdecl two() { eax = one(); eax += 1; }\n"
                         "exports two;\n")
        coff = read_coff(obj)
        for s in coff["sections"]:
            self.assertEqual((s["relptr"], s["nrel"]), (0, 0), s["name"])
        self.assertEqual(coff["sections"][1]["rawsize"], 0)
        self.assertNotIn("RELOCATION RECORDS", self.objdump("-r", obj))
        # the call inside the object is final: one() lies 6 bytes behind the end of the call
        self.assertIn("call", self.objdump("-d", obj))


class CoffErrors(KelvoCase):
    def test_an_entry_without_code_stops_the_build_and_writes_nothing(self):
        r = run_kelvo(self.write("e.kpr", "program mscoff 'e'\nentry:\n"), "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 1, r.out)
        self.assertIn("The program has no code to start with", r.out)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "e.obj")))


if __name__ == "__main__":
    main()

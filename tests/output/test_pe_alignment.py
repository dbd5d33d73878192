"""Alignment in the PE images, read back with pefile: the base-relocation table and each of
its blocks start on a dword boundary whatever the export names before them leave, and a
section's raw data never reaches past its own pages, also when its content fills them exactly.
The images must load and run as well."""
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "runner"))
import run_pe  # noqa: E402
from kelvo_test import KelvoCase, main, run_kelvo  # noqa: E402

try:
    import pefile
except ImportError:
    pefile = None

EXIT = "imports ('kernel32.dll') { procedure ExitProcess(dword code); stdcall; }\n"


def library(name):
    """A DLL whose one export name has the given length, and one absolute address to relocate."""
    return ("program win32dll 'lib'\ndword counter;\n"
            "entry function DllMain(dword instance, reason, reserved) { mov eax, 1 }\n"
            "function %s() { inc counter; mov eax, counter }\nexports %s;\n" % (name, name))


def filling(data_bytes, nops):
    return ("program win32cui 'T'\n" + EXIT + "byte pad[%d];\n" % data_bytes +
            "entry:\n" + "  nop\n" * nops + "  ExitProcess(7);\n")


class Alignment(KelvoCase):
    def setUp(self):
        super().setUp()
        if pefile is None:
            self.skipTest("python3-pefile is not installed")

    def build(self, name, text):
        path = self.write(name + ".kpr", text)
        r = run_kelvo(path, "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 0, r.out)
        image = os.path.join(self.dir, name + (".dll" if "win32dll" in text else ".exe"))
        pe = pefile.PE(image, fast_load=True)  # full_load leaves out the share-of-zeros heuristic
        pe.full_load()
        pe.path = image
        return pe, image

    def check_sections(self, pe):
        self.assertEqual(pe.get_warnings(), [])
        sections = pe.sections
        for i, s in enumerate(sections):
            end = sections[i + 1].VirtualAddress if i + 1 < len(sections) else pe.OPTIONAL_HEADER.SizeOfImage
            self.assertLessEqual(s.SizeOfRawData, end - s.VirtualAddress, s.Name)
            self.assertGreaterEqual(s.SizeOfRawData, s.Misc_VirtualSize, s.Name)
            if i + 1 < len(sections):
                self.assertEqual(s.PointerToRawData + s.SizeOfRawData, sections[i + 1].PointerToRawData)
        last = sections[-1]
        self.assertEqual(os.path.getsize(pe.path), last.PointerToRawData + last.SizeOfRawData)

    def test_relocation_blocks_start_on_dword_boundaries(self):
        offsets = set()
        for name in ("A", "Ab", "Abc", "Abcd"):
            with self.subTest(name):
                pe, _ = self.build("lib" + name, library(name))
                directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY[5]
                offsets.add(pe.OPTIONAL_HEADER.DATA_DIRECTORY[0].Size % 4)
                self.assertEqual(directory.VirtualAddress % 4, 0)
                blocks = pe.DIRECTORY_ENTRY_BASERELOC
                self.assertTrue(blocks)
                for b in blocks:
                    self.assertEqual(b.struct.get_file_offset() % 4, 0)
                    self.assertEqual(b.struct.SizeOfBlock % 4, 0)
                self.assertEqual(sum(b.struct.SizeOfBlock for b in blocks), directory.Size)
                self.check_sections(pe)
        self.assertGreater(len(offsets), 1, "the export names never left an odd end")

    def test_sections_filling_whole_pages_end_there(self):
        pe, _ = self.build("probe", filling(4096, 0))
        overhead = pe.sections[2].Misc_VirtualSize
        for data_bytes, nops in ((4096, 0), (4096, 4096 - overhead), (8192, 8192 - overhead), (100, 4095 - overhead)):
            with self.subTest(data=data_bytes, nops=nops):
                pe, image = self.build("fill%d_%d" % (data_bytes, nops), filling(data_bytes, nops))
                self.assertEqual(pe.sections[1].Misc_VirtualSize, data_bytes)
                self.check_sections(pe)
                reason = run_pe.skip_reason()
                if reason:
                    continue
                result = run_pe.run(image, runner="both", timeout=20)
                self.assertIsNone(result.error, result.error)
                self.assertEqual(result.exit_code, 7)
        self.assertEqual(self.build("exact", filling(4096, 4096 - overhead))[0].sections[2].Misc_VirtualSize, 4096)


if __name__ == "__main__":
    main()

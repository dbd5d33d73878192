"""The samples' images, field by field with pefile: headers, sections, import tables and
where the import thunks lie."""
import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from kelvo_test import SOURCE_DIR, KelvoCase, main, run_kelvo  # noqa: E402

try:
    import pefile
except ImportError:
    pefile = None

SAMPLES = os.path.join(SOURCE_DIR, "samples")


class SampleLayout(KelvoCase):
    def setUp(self):
        if pefile is None:
            self.skipTest("python3-pefile is not installed")
        super().setUp()

    def build(self, folder, project, libraries=()):
        """Builds the sample (and libraries it loads) from a copy of its folder."""
        work = os.path.join(self.dir, folder)
        shutil.copytree(os.path.join(SAMPLES, folder), work)
        for lib in libraries:
            r = run_kelvo(os.path.join(work, lib), "-nopause", "-nolog", "x")
            self.assertEqual(r.code, 0, r.out)
        r = run_kelvo(os.path.join(work, project), "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 0, r.out)
        self.assertNotIn("arning", r.out)  # samples build without warnings
        exe = os.path.join(work, os.path.splitext(project)[0] + ".exe")
        return pefile.PE(exe), os.path.getsize(exe)

    def check_common(self, pe, subsystem):
        self.assertEqual(pe.FILE_HEADER.Characteristics, 0x818F)
        self.assertEqual(pe.OPTIONAL_HEADER.Subsystem, subsystem)
        self.assertEqual(pe.OPTIONAL_HEADER.AddressOfEntryPoint, 0x3000)
        self.assertEqual(pe.OPTIONAL_HEADER.SizeOfImage, 0x4000)
        names = [s.Name.rstrip(b"\0") for s in pe.sections]
        self.assertEqual(names, [b".root", b".data", b".code"])
        for s, rva, offset in zip(pe.sections, (0x1000, 0x2000, 0x3000), (0x200, 0x400, 0x600)):
            self.assertEqual((s.VirtualAddress, s.PointerToRawData), (rva, offset))
        self.assertFalse(hasattr(pe, "DIRECTORY_ENTRY_BASERELOC"))
        self.assertFalse(hasattr(pe, "DIRECTORY_ENTRY_EXPORT"))
        self.assertFalse(hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"))

    def check_imports(self, pe, expected):
        found = [(e.dll.decode(), [i.name.decode() for i in e.imports]) for e in pe.DIRECTORY_ENTRY_IMPORT]
        self.assertEqual(found, expected)
        # The address tables follow the import order, and each thunk (jmp [slot], 6 bytes)
        # lies right after the main program, in the same order.
        slots = [i.address - pe.OPTIONAL_HEADER.ImageBase for e in pe.DIRECTORY_ENTRY_IMPORT for i in e.imports]
        self.assertEqual(slots, sorted(slots))
        code = pe.sections[2].get_data()
        jumps = [code.find(b"\xFF\x25" + (pe.OPTIONAL_HEADER.ImageBase + s).to_bytes(4, "little"))
                 for s in slots]
        self.assertNotIn(-1, jumps)
        self.assertEqual(jumps, list(range(jumps[0], jumps[0] + 6 * len(slots), 6)))
        return jumps[0]

    def test_hello_sample(self):
        pe, size = self.build("hello-sample", "hello-sample.kpr")
        self.check_common(pe, 3)
        root = pe.sections[0]
        self.assertEqual(root.Misc_VirtualSize, 0x12E)
        self.check_imports(pe, [("kernel32.dll", [
            "GetConsoleMode", "SetConsoleMode", "HeapAlloc", "HeapFree", "GetProcessHeap",
            "ReadConsoleA", "WriteConsoleA", "GetSystemInfo", "GetStdHandle", "ExitProcess"])])
        # One descriptor and the zero one, then 11-slot lookup and address tables, then the
        # DLL name with two zero bytes, then the first hint/name entry the lookup points at.
        data = root.get_data()
        self.assertEqual(int.from_bytes(data[0:4], "little"), 0x1000 + 40)
        lookup = int.from_bytes(data[40:44], "little")
        name_at = 40 + 2 * 11 * 4
        self.assertEqual(int.from_bytes(data[12:16], "little"), 0x1000 + name_at)
        self.assertEqual(data[name_at:name_at + 14], b"kernel32.dll\0\0")
        self.assertEqual(lookup, 0x1000 + name_at + len(b"kernel32.dll") + 2)
        self.assertEqual(data[lookup - 0x1000 + 2:lookup - 0x1000 + 16], b"GetConsoleMode")
        self.assertEqual(size, 2560)  # our code is shorter than the reference build's 3,072 bytes

    def test_window_sample(self):
        pe, size = self.build("window-sample", "window-sample.kpr", ["VORTA.dll.kpr"])
        self.check_common(pe, 2)
        self.assertEqual(pe.sections[0].Misc_VirtualSize, 0x1D4)
        thunks = self.check_imports(pe, [
            ("kernel32.dll", ["GetModuleHandleA", "ExitProcess"]),
            ("user32.dll", ["CreateWindowExA", "DefWindowProcA", "DispatchMessageA", "PeekMessageA",
                            "PostQuitMessage", "RegisterClassA", "ShowWindow", "TranslateMessage"]),
            ("VORTA.dll", ["InitVORTA", "CleanupVORTA", "RenderVORTA"])])
        # windowProc follows the thirteen thunks and ends the code: its last instruction is
        # "ret 16", as a stdcall procedure of four arguments returns.
        code = pe.sections[2]
        self.assertEqual(code.get_data()[code.Misc_VirtualSize - 3:code.Misc_VirtualSize], b"\xC2\x10\x00")
        self.assertLess(thunks + 13 * 6, code.Misc_VirtualSize)
        self.assertEqual(code.Misc_VirtualSize, 0x172)
        self.assertEqual(size, 2048)

    def test_stand_in_library(self):
        """The stand-in VORTA is a DLL at the EXE's own base, so a loader must move it."""
        work = os.path.join(self.dir, "vorta")
        shutil.copytree(os.path.join(SAMPLES, "window-sample"), work)
        r = run_kelvo(os.path.join(work, "VORTA.dll.kpr"), "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 0, r.out)
        dll = pefile.PE(os.path.join(work, "VORTA.dll"))
        self.assertTrue(dll.FILE_HEADER.Characteristics & 0x2000)
        self.assertEqual(sorted(e.name for e in dll.DIRECTORY_ENTRY_EXPORT.symbols),
                         [b"CleanupVORTA", b"InitVORTA", b"RenderVORTA"])
        self.assertTrue(dll.DIRECTORY_ENTRY_BASERELOC)


    def test_hello_sample_without_input_stops(self):
        """With nothing typed the emulator stops the wait for a key with a message, not a hang."""
        try:
            import pe_emulator
        except ImportError as err:
            self.skipTest("the emulator cannot run: %s (package python3-unicorn)" % err)
        self.build("hello-sample", "hello-sample.kpr")
        exe = os.path.join(self.dir, "hello-sample", "hello-sample.exe")
        out = pe_emulator.run_exe(exe, timeout=20)
        self.assertIsNone(out.exit_code)
        self.assertIn("ReadConsoleA: waits for console input", out.error)
        self.assertTrue(out.output.endswith(b"Press any key to continue\r\n"))
        out = pe_emulator.run_exe(exe, timeout=20, console_input=b"x")
        self.assertEqual(out.exit_code, 0)


if __name__ == "__main__":
    main()

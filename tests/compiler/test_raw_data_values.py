"""Values of raw data (blob) written as very long lines of terms, or very deep brackets: they
compile without exhausting the compiler's stack, and the emitted value is the one the
right-to-left grouping gives, as the program shows when it runs."""
import os

from kelvo_test import KelvoCase, main, run_kelvo

HEAD = ("program win32cui 'T'\n"
        "imports ('kernel32.dll') { procedure ExitProcess(dword code); stdcall; }\n"
        "entry:\n"
        "  blob 1, 0xB8;\n")  # MOV EAX, imm32: the value follows as the immediate


class RawDataValues(KelvoCase):
    def build_and_run(self, value, expected_exit):
        source = HEAD + "  blob 4, " + value + ";\n  ExitProcess(eax);\n"
        project = self.write("v.kpr", source)
        r = run_kelvo(project, "-nopause", "-nolog", "x", timeout=120)
        self.assertEqual(r.code, 0, r.out[-500:])
        try:
            import run_pe
        except ImportError:
            return
        if run_pe.skip_reason():
            return
        result = run_pe.run(os.path.join(self.dir, "v.exe"), runner="both", timeout=20)
        self.assertIsNone(result.error, result.error)
        self.assertEqual(result.exit_code, expected_exit)

    def test_a_long_line_of_terms(self):
        # 60,000 ones: 60000 = 0xEA60, the low byte 0x60.
        self.build_and_run("+".join(["1"] * 60000), 0x60)

    def test_grouping_from_the_right_over_a_long_line(self):
        # 10 - 1 - 1 - ... groups as 10 - (1 - (1 - ...)): with an even count of ones after
        # the first, the inner part is 0 and the value 10; with an odd count, 9.
        self.build_and_run("10-" + "-".join(["1"] * 40001), 9)
        self.build_and_run("10-" + "-".join(["1"] * 40000), 10)

    def test_deep_brackets(self):
        # 1+(1+(...(7)...)): each ")" ends the chain inside its bracket; 30,007 = 0x7537.
        self.build_and_run("1+(" * 30000 + "7" + ")" * 30000, 0x37)

if __name__ == "__main__":
    main()

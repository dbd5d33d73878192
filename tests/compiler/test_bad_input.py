"""Bad input as a user meets it: each mistake is reported at its line and column, the compiler
exits with 1 and writes no file. The instruction checks compare the report's first line whole
("[line,column]: message in [file]"); the others match it against a pattern."""
import os
import re

from kelvo_test import KelvoCase, main, run_kelvo

HEAD = "program win32cui 'T'\n"

# (source after HEAD, pattern of the report)
PROGRAM_MISTAKES = [
    ("procedure p(int32", r"\[3,1\]: Expected identifier or .* but found  in"),
    ("procedure pascal p() { }", r"\[2,\d+\]: Expected \( or \{ but found p"),
    ("procedure p(int32 a = 1; int32 b) { }", r"Expected = but found"),
    ("nop\nprocedure stdcall v(int32 a[]) { }", r"\[3,\d+\]: Only cdecl calling convension"),
    ("x: nop\nx: nop", r"\[3,2\]: Label Identifier Redeclared x"),
    # a procedure's own label of that name in between does not hide the first one
    ("x: nop\nprocedure p() { x: nop }\nx: nop", r"\[4,2\]: Label Identifier Redeclared x"),
    ("entry: nop\nentry: nop", r"\[3,\d+\]: Code entry already declared"),
    ("procedure p() { entry: }", r"Code entry must begin on main scope level"),
    ("break;", r"break does not have a valid loop to exit"),
    ("continue;", r"continue can only reside inside a loop\."),
    ("else", r"Missing starting if statement\."),
    ("program win32cui 'again'", r"Program already has an entry section\."),
    ("frobnicate", r"Expected : but found"),
    ("}", r'Unexpected character "}"\.'),
    # a count whose product with the item size passes 64 bits is still too large
    ("dword big[4611686018427387904];", r"\[2,\d+\]: Array size is too large"),
    ("int32 a[2] = [1, 2, 3];", r"\[2,\d+\]: Array \"a\" contains too many elements"),
    ("foo x;", r"\[2,\d+\]: Expected : but found x"),
    ("int32 a;\nbyte a;", r"\[3,\d+\]: \[3,\d+\]: Identifier Redeclared \"a\"\."),
    ("imports ('k.dll') { procedure P(); }", r"\[2,\d+\]: Expected .* but found }"),
    ("imports (kernel32.dll) { }", r"\[2,\d+\]: Expected constant string but found kernel32"),
    ("const k = 1 ! 2;", r"\[2,13\]: Invalid symbol \"!\"\. in"),
    ("procedure p() { ret; int32 late; }", r"\[2,\d+\]: Locals must be declared before the first ret"),
    ("procedure q() {\n  ret\n  int32 late;\n}", r"Locals must be declared before the first ret \(line 3\)"),
    ("procedure p() { jmp nowhere; }\nentry:\n call p", r"Label, If or while block mismatch \(nowhere\)"),
    # A missing label anywhere in the program is reported before a JECXZ out of reach.
    ("procedure p() {\n jecxz far\n" + "nop " * 200 + "\nfar:\n}\nprocedure q() { jmp nowhere; }\nentry:\n call p\n call q",
     r"Label, If or while block mismatch \(nowhere\)"),
    ("procedure p() {\n jecxz far\n" + "nop " * 200 + "\nfar:\n}\nentry:\n call p", r"JECXZ jump too far \(200 bytes\)"),
]

CALLS = """procedure two(int32 a, b) { }
procedure kelcall k(int32 a, b) { }
procedure cdecl v(int32 a, b[]) { }
entry:
nop
"""
# (call on line 7, report): at the closing parenthesis, with the line shown
CALL_MISTAKES = [
    ("two(1, 2, 3);", '[7,12]: "two" expected 2 params, receieved 3.'),
    ("  two(1);", '[7,8]: "two" expected 2 params, receieved 1.'),
    ("k(1);", '[7,4]: "k" expected 2 params, receieved 1.'),
    ("v(1);", '[7,4]: "v" expected a minimum of 2 params, receieved 1.'),
]

INSTRUCTIONS = ("int32 gd;\nword gw;\nbyte gb;\n"
                "procedure p(int32 d; word w) {\n  int32 loc;\n  word lw;\n")
# (bad line 8 of the procedure above, column, message); column 1 is on the next line
INSTRUCTION_MISTAKES = [
    # sizes of the two operands (a register only read from a narrower item is a warning)
    ("add lw, eax", 13, 'Operands must be the same size - "lw"'),  # it would write past the item
    ("add eax, bl", 13, 'Operands must be the same size - "bl"'),
    ("mov lw, eax", 13, 'Variable must be equal or above the size of the register. "lw"'),
    ("mov eax, bl", 13, 'Operands must be the same size - "bl"'),
    ("mov gw, gd", 12, 'Operands must be the same size - "gd"'),
    ("cmp eax, 'ab'", 15, "Operands must be equal size"),
    ("cmp eax, bx", 13, "Operands must be equal size"),
    ("xor eax, bx", 13, "Registers must be equal size."),
    ("xchg eax, bx", 14, "Registers must be equal size"),
    ("xchg eax, gw", 14, 'Operands must be the same size - "gw"'),
    ("bt eax, bx", 12, "Operands must be the same size"),
    ("lar eax, cx", 13, "Operands must be the same size"),
    ("adc al, bx", 12, "Operands must be the same size"),
    ("cmovz eax, bx", 15, "Operands must be the same size"),
    # ports (an immediate wider than its operand is cut, with a warning)
    ("sub eax, -0x10", 16, "Expected number but found 10"),
    ("imul eax, -1", 13, "Expected number or hexadecimal but found -"),
    ("in al, 256", 12, "Invalid port (expected 0-255)"),
    ("in al, 0x60", 13, "Expected number but found 60"),
    ("out 300, al", 9, "Invalid port (expected 0-255)"),
    ("int 300", 9, "int only accepts numbers from 0-255"),
    ("int 0x100", 11, "int only accepts numbers from 0-255"),
    # forms a statement does not have
    ("lea ax, [ebx]", 8, "Expected 32 bit register as first operand"),
    ("or eax, 1", 11, "[8,10]: Not implemented."),
    ("or eax, bx", 12, "[8,11]: Registers must be equal size."),
    ("xor eax, [ebx+4]", 18, "Error 234234, not supported"),
    ("test eax, [ebx+4]", 19, "Only [register] is supported here"),
    ("cmp [ebx], 5", 11, "Expected pointer data type"),
    ("mov gw, 1.5", 13, "Error 2423: Unexpected float variable size"),
    ("mov lw, 1.5", 13, "Unexpected float variable size"),
    ("shl eax, ebx", 14, "Expected number or hexadecimal or - but found ebx"),
    ("bt eax", 1, "Expected , but found }"),
    ("jne", 1, "Expected @label or identifier but found }"),
    ("jmp 5", 7, "Expected identifier or @label or register but found 5"),
    ("call 5", 8, "Expected procedure/function call or register or [expression] or register pointer but found 5"),
    # movzx and inc/dec look names up themselves
    ("movzx eax, dword gb", 18, '[8,17]: Expected word or byte but received "dword".'),
    ("movzx al, gb", 11, '[8,10]: 32bit or 16bit register expected but recieved "al".'),
    ("movzx ax, undeclaredthing", 27, '[8,26]: Undeclared identifier "undeclaredthing".'),
    ("movzx eax, byte loc", 21, '[8,20]: Expected variable but recieved "loc".'),
    ("inc nothing1", 14, '10011: Invalid operand "nothing1"'),
    ("dec nothing2", 14, '16011: Invalid operand "nothing2"'),
    # the encoder's own checks
    ("push al", 9, "Expected 32bit or 16bit register"),
    ("pop cs", 8, "Invalid Operand"),
    ("bswap ax", 10, "32bit register expected"),
    ("sldt eax", 10, "Invalid operand - 32bit register"),
    ("in bl, 5", 10, "Invalid operand - expected accumulator"),
]


class BadInput(KelvoCase):
    def check(self, source, head=HEAD):
        """Compiles bad.kpr; returns the report after checking the exit code and that no
        program was written."""
        project = self.write("bad.kpr", head + source + "\n")
        exe = os.path.join(self.dir, "bad.exe")
        if os.path.exists(exe):
            os.remove(exe)
        r = run_kelvo(project, "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 1, source + "\n" + r.out)
        self.assertIn("in [bad.kpr]", r.out)
        self.assertFalse(os.path.exists(exe), source)
        return r

    def test_program_and_declaration_mistakes(self):
        for source, pattern in PROGRAM_MISTAKES:
            with self.subTest(source=source):
                self.assertRegex(self.check(source).out, pattern)

    def test_wrong_program_kind_and_missing_head(self):
        self.assertRegex(self.check("", head="program win32exe 'T'\n").out, "Expected sub system but found win32exe")
        self.assertRegex(self.check("nop", head="").out, "Expected program but found")

    def test_wrong_argument_counts(self):
        for call, report in CALL_MISTAKES:
            with self.subTest(call=call):
                r = self.check(call, HEAD + CALLS)
                self.assertIn(report, r.out)
                self.assertIn(call.strip(), r.out)  # the offending line is shown

    def test_each_bad_instruction_is_reported_at_its_place(self):
        for line, column, message in INSTRUCTION_MISTAKES:
            with self.subTest(line=line):
                r = self.check("  " + line + "\n}\nentry:\n  ret", HEAD + INSTRUCTIONS)
                want = "[%d,%d]: %s in [bad.kpr]" % (9 if column == 1 else 8, column, message)
                self.assertIn(want, r.lines, "\n" + r.out)

    def test_many_parameters_and_deep_nesting(self):
        params = ", ".join("p%d" % i for i in range(1000))
        project = self.write("many.kpr", HEAD + "procedure m(int32 %s) { }\nentry: nop\n" % params)
        self.assertEqual(run_kelvo(project, "-nopause", "-nolog", "x").code, 0)
        self.assertIn("Blocks are nested too deeply",
                      self.check("".join("procedure p%d() {\n" % i for i in range(10000))).out)

    def test_unclosed_procedure_warns(self):
        project = self.write("open.kpr", HEAD + "procedure p() { nop\n")
        r = run_kelvo(project, "-nopause", "-nolog", "x")
        self.assertIn('Warning: Procedure "p" has no closing "}"', r.out)


if __name__ == "__main__":
    main()

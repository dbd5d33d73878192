"""Every check of the inline integer instructions reports its message at the place of the
mistake: one bad line at a time in a procedure with globals, parameters and locals of each
width, and the report's first line compared whole ("[line,column]: message in [file]")."""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from kelvo_test import KelvoCase, main, run_kelvo  # noqa: E402

HEAD = ("program win32cui 'E'\nint32 gd;\nword gw;\nbyte gb;\n"
        "procedure p(int32 d; word w) {\n  int32 loc;\n  word lw;\n")
LINE = 8  # where the bad line stands

# (bad line, column, message)
CASES = [
    # sizes of the two operands
    ("add eax, lw", 13, 'Operands must be the same size - "lw"'),
    ("add lw, eax", 13, 'Operands must be the same size - "lw"'),
    ("sub eax, gw", 13, 'Operands must be the same size - "gw"'),
    ("add eax, bl", 13, 'Operands must be the same size - "bl"'),
    ("mov eax, lw", 13, 'Variable must be equal or above the size of the register. "lw"'),
    ("mov lw, eax", 13, 'Variable must be equal or above the size of the register. "lw"'),
    ("mov eax, bl", 13, 'Operands must be the same size - "bl"'),
    ("mov gd, gw", 12, 'Operands must be the same size - "gw"'),
    ("cmp eax, 'ab'", 15, "Operands must be equal size"),
    ("cmp eax, bx", 13, "Operands must be equal size"),
    ("xor eax, bx", 13, "Registers must be equal size."),
    ("xchg eax, bx", 14, "Registers must be equal size"),
    ("xchg eax, gw", 14, 'Operands must be the same size - "gw"'),
    ("bt eax, bx", 12, "Operands must be the same size"),
    ("lar eax, cx", 13, "Operands must be the same size"),
    ("adc al, bx", 12, "Operands must be the same size"),
    ("cmovz eax, bx", 15, "Operands must be the same size"),
    # immediates and ports
    ("mov al, 300", 13, "Value 300 does not fit a 8-bit operand"),
    ("add byte[ebx], 256", 20, "Value 256 does not fit a 8-bit operand"),
    ("mov w, 70000", 14, "Value 70000 does not fit a 16-bit operand"),
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


class InstructionErrors(KelvoCase):
    def test_each_bad_line_reports_its_message_at_its_place(self):
        path = os.path.join(self.dir, "e.kpr")
        for line, column, message in CASES:
            with self.subTest(line=line):
                self.write("e.kpr", HEAD + "  " + line + "\n}\nentry:\n  ret\n")
                r = run_kelvo(path, "-nopause", "-nolog", "x")
                self.assertEqual(r.code, 1, r.out)
                row = LINE + 1 if column == 1 else LINE
                want = "[%d,%d]: %s in [e.kpr]" % (row, column, message)
                self.assertIn(want, r.lines, "\n" + r.out)

    def test_locals_after_an_early_return_are_refused(self):
        # The early return could not undo a frame that did not exist yet.
        path = self.write("late.kpr", "program win32cui 'L'\nprocedure q() {\n  ret\n  int32 late;\n}\n"
                                      "entry:\n  call q\n  ret\n")
        r = run_kelvo(path, "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 1, r.out)
        self.assertIn("Locals must be declared before the first ret (line 3)", r.out)


if __name__ == "__main__":
    main()

"""Every operand form of the inline integer instructions, as a kelvo source line and the same
instruction in GNU assembler Intel syntax.

A form is (kelvo_text, gas_text); either may hold several lines. The gas text may name
addresses that only the built image knows:
    {VA:name}   the absolute address of a procedure or global variable
    {REL:name}  name's address minus the end of a 5-byte instruction at the form's start
Locals are the parameters of the procedure that holds each form (see PARAMS), at EBP+8 up.
"""

R32 = "eax ecx edx ebx esp ebp esi edi".split()
R16 = "ax cx dx bx sp bp si di".split()
R8 = "al cl dl bl ah ch dh bh".split()
REGS = {4: R32, 2: R16, 1: R8}
PTR = {1: "byte ptr", 2: "word ptr", 4: "dword ptr"}
TYPE = {1: "byte", 2: "word", 4: "dword"}

# Every procedure takes these, so every one has the same frame: 55 8B EC ... C9 C2 20 00.
PARAMS = "int32 d; word w; byte b; double q8; extended q10"
PARAM_SIZE = 32
LOCALS = {"d": (4, 8), "w": (2, 12), "b": (1, 16)}  # name -> (size, EBP offset)
GLOBALS = {"gd": 4, "gw": 2, "gb": 1}

MEMS = ["[ebx]", "[ebp]", "[esp]", "[ebx+4]", "[esi-4]", "[edi+127]", "[eax+128]", "[ecx-128]",
        "[edx-129]", "[ebx+esi]", "[ebp+eax]", "[esp+ecx*2+8]", "[ebx+esi*4-300]",
        "[ebp+edi*8+70000]", "[eax*4+16]"]

IMMS = {
    1: [0, 1, -1, 127, -128, 255],
    2: [0, 1, -1, 127, 128, -128, -129, 32767, -32768, 65535],
    4: [0, 1, -1, 127, 128, -128, -129, 65536, 0x7FFFFFFF, -0x80000000, 0xFFFFFFFF],
}


def num(v, hex_ok=True):
    """A number as kelvo reads it: "-" only before a decimal; large ones in hexadecimal
    where the statement takes hexadecimal."""
    return str(v) if v < 0 or v < 100000 or not hex_ok else hex(v)


def loc(name):
    return "%s [ebp+%d]" % (PTR[LOCALS[name][0]], LOCALS[name][1])


def glob(name, size=None):
    return "%s [{VA:%s}]" % (PTR[size or GLOBALS[name]], name)


def items():
    """Every named memory item as (name, size, GNU operand): locals, then globals."""
    return ([(n, size, loc(n)) for n, (size, _) in LOCALS.items()] +
            [(n, size, glob(n)) for n, size in GLOBALS.items()])


def pairs(size, step=1):
    regs = REGS[size]
    return [(a, b) for i, a in enumerate(regs) for j, b in enumerate(regs) if (i + j) % step == 0]


def alu(op, forms):
    """add and sub: every operand form of the two-operand arithmetic statements."""
    for size, regs in REGS.items():
        for a, b in pairs(size):
            forms.append(("%s %s, %s" % (op, a, b), "%s %s, %s" % (op, a, b)))
        for r in regs:
            for v in IMMS[size]:
                forms.append(("%s %s, %s" % (op, r, num(v)), "%s %s, %d" % (op, r, v)))
        for r in regs[::3]:
            for m in MEMS:
                forms.append(("%s %s, %s" % (op, r, m), "%s %s, %s %s" % (op, r, PTR[size], m)))
                forms.append(("%s %s%s, %s" % (op, TYPE[size], m, r), "%s %s %s, %s" % (op, PTR[size], m, r)))
        for v in IMMS[size]:
            for m in MEMS[::4]:
                forms.append(("%s %s%s, %s" % (op, TYPE[size], m, num(v)), "%s %s %s, %d" % (op, PTR[size], m, v)))
    for m in MEMS[:3]:  # no type written: a dword
        forms.append(("%s %s, 1000" % (op, m), "%s dword ptr %s, 1000" % (op, m)))
    for name, size, gas in items():
        for r in REGS[size][::2]:
            forms.append(("%s %s, %s" % (op, r, name), "%s %s, %s" % (op, r, gas)))
            forms.append(("%s %s, %s" % (op, name, r), "%s %s, %s" % (op, gas, r)))
        for v in IMMS[size]:
            forms.append(("%s %s, %s" % (op, name, num(v)), "%s %s, %d" % (op, gas, v)))


def mov(forms):
    for size, regs in REGS.items():
        for a, b in pairs(size):
            if a != b:  # MOV of a register to itself emits nothing
                forms.append(("mov %s, %s" % (a, b), "mov %s, %s" % (a, b)))
        for r in regs:
            for v in IMMS[size]:
                forms.append(("mov %s, %s" % (r, num(v)), "mov %s, %d" % (r, v)))
        for r in regs[::3]:
            for m in MEMS:
                forms.append(("mov %s, %s" % (r, m), "mov %s, %s %s" % (r, PTR[size], m)))
                forms.append(("mov %s%s, %s" % (TYPE[size], m, r), "mov %s %s, %s" % (PTR[size], m, r)))
        for v in IMMS[size]:
            forms.append(("mov %s[ebx+8], %s" % (TYPE[size], num(v)), "mov %s [ebx+8], %d" % (PTR[size], v)))
    for name, (size, off) in LOCALS.items():
        for rsize in (1, 2, 4):
            if rsize > size:
                continue
            for r in REGS[rsize][::3]:
                forms.append(("mov %s, %s" % (r, name), "mov %s, %s [ebp+%d]" % (r, PTR[rsize], off)))
                forms.append(("mov %s, %s" % (name, r), "mov %s [ebp+%d], %s" % (PTR[rsize], off, r)))
        for v in IMMS[size]:
            forms.append(("mov %s, %s" % (name, num(v)), "mov %s, %d" % (loc(name), v)))
    forms.append(("mov d, 1.5", "mov dword ptr [ebp+8], 0x3fc00000"))
    forms.append(("mov q8, 1.5", "mov dword ptr [ebp+20], 0\nmov dword ptr [ebp+24], 0x3ff80000"))
    forms.append(("mov q10, 1.5",
                  "mov dword ptr [ebp+28], 0\nmov dword ptr [ebp+32], 0xc0000000\nmov word ptr [ebp+36], 0x3fff"))
    for seg in "es ss ds fs gs".split():
        forms.append(("mov %s, eax" % seg, "mov %s, eax" % seg))
        forms.append(("mov %s:48, ecx" % seg, "mov dword ptr %s:[48], ecx" % seg))
        forms.append(("mov %s:4096, eax" % seg, "mov dword ptr %s:[4096], eax" % seg))
    forms.append(("mov eax, @p1", "mov eax, {VA:p1}"))
    forms.append(("mov esi, @p2", "mov esi, {VA:p2}"))
    forms.append(("mov [ebx+4], @p1", "mov dword ptr [ebx+4], {VA:p1}"))
    for name, size in GLOBALS.items():
        for r in REGS[size][::2]:
            forms.append(("mov %s, %s" % (r, name), "mov %s, %s" % (r, glob(name))))
            forms.append(("mov %s, %s" % (name, r), "mov %s, %s" % (glob(name), r)))
        for v in IMMS[size]:
            forms.append(("mov %s, %s" % (name, num(v)), "mov %s, %d" % (glob(name), v)))
        acc = {4: "eax", 2: "ax", 1: "al"}[size]
        forms.append(("mov %s, %s" % (name, name),
                      "xchg %s, %s\nmov %s, %s\nxchg %s, %s" % (acc, glob(name), glob(name), acc, acc, glob(name))))
    # Into a dword the copy always moves four bytes through EAX, whatever the source's width.
    for name in ("gw", "gb"):
        forms.append(("mov gd, %s" % name, "xchg eax, dword ptr [{VA:%s}]\nmov %s, eax\nxchg eax, dword ptr [{VA:%s}]"
                      % (name, glob("gd"), name)))
    forms.append(("mov al, gd", "mov al, byte ptr [{VA:gd}]"))
    forms.append(("mov gd, @p1", "mov dword ptr [{VA:gd}], {VA:p1}"))
    forms.append(("mov gd, 1.5", "mov dword ptr [{VA:gd}], 0x3fc00000"))


def lea_cmp(forms):
    for r in R32:
        for m in MEMS[::2]:
            forms.append(("lea %s, %s" % (r, m), "lea %s, %s" % (r, m)))
        forms.append(("lea %s, d" % r, "lea %s, [ebp+8]" % r))
        forms.append(("lea %s, p1" % r, "lea %s, [{VA:p1}]" % r))
        forms.append(("lea %s, gw" % r, "lea %s, [{VA:gw}]" % r))
    for size in (1, 2, 4):
        for m in MEMS:
            forms.append(("cmp %s%s, 5" % (TYPE[size], m), "cmp %s %s, 5" % (PTR[size], m)))
        for v in IMMS[size]:
            forms.append(("cmp %s[esi+8], %s" % (TYPE[size], num(v)), "cmp %s [esi+8], %d" % (PTR[size], v)))
            for r in REGS[size][::3]:
                forms.append(("cmp %s, %s" % (r, num(v)), "cmp %s, %d" % (r, v)))
        for a, b in pairs(size, 3):
            forms.append(("cmp %s, %s" % (a, b), "cmp %s, %s" % (a, b)))
    forms.append(("cmp al, 'a'", "cmp al, 0x61"))
    forms.append(("cmp cx, 'ab'", "cmp cx, 0x6261"))
    forms.append(("cmp eax, 'abcd'", "cmp eax, 0x64636261"))


def logic(forms):
    for size, regs in REGS.items():
        for a, b in pairs(size, 2):
            for op in ("or", "xor", "and", "test", "adc"):
                forms.append(("%s %s, %s" % (op, a, b), "%s %s, %s" % (op, a, b)))
        for r in regs:
            for op in ("xor", "and", "test"):
                for v in IMMS[size][::2]:
                    forms.append(("%s %s, %s" % (op, r, num(v, op != "xor")), "%s %s, %d" % (op, r, v)))
            for op in ("idiv", "div", "mul", "neg", "not", "inc", "dec"):
                forms.append(("%s %s" % (op, r), "%s %s" % (op, r)))
            for op in ("rol", "ror", "shl", "shr", "sar", "sal"):
                for count, text in ((1, "1"), (0, "0"), (5, "5"), (31, "0x1f"), (255, "-1")):
                    gas_op = "shl" if op == "sal" else op
                    forms.append(("%s %s, %s" % (op, r, text), "%s %s, %d" % (gas_op, r, count)))
            for m in ("[ebx+esi+4]", "[ebp+eax*2-8]", "[esp+ecx]", "[eax+ebx*8+1000]"):
                forms.append(("xor %s, %s" % (r, m), "xor %s, %s %s" % (r, PTR[size], m)))
            for base in R32[::3]:
                forms.append(("test %s, [%s]" % (r, base), "test %s [%s], %s" % (PTR[size], base, r)))
    for size in (2, 4):
        for r in REGS[size]:
            for v in (1, 127, 128, 1000, 0x7FFF):
                forms.append(("imul %s, %s" % (r, num(v)), "imul %s, %s, %d" % (r, r, v)))
        for a, b in pairs(size, 3):
            for op in ("lar", "bt", "btc", "btr", "bts", "cmovz"):
                forms.append(("%s %s, %s" % (op, a, b), "%s %s, %s" % (op, a, b)))
    for r16, r32 in zip(R16, R32):
        # SLDT is encoded without 66: the selector arrives zero-extended in the whole register.
        forms.append(("sldt %s" % r16, "sldt %s" % r32))
        for op in ("verr", "verw"):
            forms.append(("%s %s" % (op, r16), "%s %s" % (op, r16)))
    for acc in ("al", "ax", "eax"):
        for port in (0, 96, 255):
            forms.append(("in %s, %d" % (acc, port), "in %s, %d" % (acc, port)))
            forms.append(("out %d, %s" % (port, acc), "out %d, %s" % (port, acc)))
    for a, b in pairs(4):
        forms.append(("xchg %s, %s" % (a, b), "xchg %s, %s" % (a, b)))
    for r in R32:
        forms.append(("bswap %s" % r, "bswap %s" % r))
    for r in R8:
        for word in ("setae", "setnb", "setnc"):
            forms.append(("%s %s" % (word, r), "setae %s" % r))
    for v, text in ((3, "3"), (0, "0"), (33, "0x21"), (255, "255")):
        forms.append(("int %s" % text, "int3" if v == 3 else "int %d" % v))
    for name in LOCALS:
        forms.append(("inc %s" % name, "inc %s" % loc(name)))
        forms.append(("dec %s" % name, "dec %s" % loc(name)))


def data_only(forms):
    """Forms that take global data only: movzx, xchg and inc/dec of a variable."""
    for name, size in (("gb", 1), ("gw", 2)):
        for r in R32[::2]:
            forms.append(("movzx %s, %s %s" % (r, TYPE[size], name), "movzx %s, %s" % (r, glob(name))))
    for r in R16[::2]:
        forms.append(("movzx %s, gb" % r, "movzx %s, %s" % (r, glob("gb"))))
    for name, size in GLOBALS.items():
        for r in REGS[size][::2]:
            forms.append(("xchg %s, %s" % (r, name), "xchg %s, %s" % (r, glob(name))))
        forms.append(("inc %s" % name, "inc %s" % glob(name)))
        forms.append(("dec %s" % name, "dec %s" % glob(name)))
    forms.append(("xchg cl, gd[1]", "xchg cl, byte ptr [{VA:gd}+1]"))  # one byte of the item
    forms.append(("setae gb", "setae byte ptr [{VA:gb}]"))


JCC = ("jo jno jb jc jnae jae jnb jnc je jz jne jnz jbe jna ja jnbe js jns jp jpe jnp jpo jl jnge "
       "jge jnl jle jng jg jnle jmp").split()


def control(forms):
    for r in R32:
        forms.append(("call %s" % r, "call %s" % r))
        forms.append(("jmp %s" % r, "jmp %s" % r))
    for m in MEMS:
        forms.append(("call %s" % m, "call dword ptr %s" % m))
    forms.append(("call p1", ".byte 0xe8\n.long {REL:p1}"))
    for j in JCC + ["jecxz", "goto"]:
        gas = "jmp" if j == "goto" else j
        forms.append(("back:\n%s back" % j, "1: %s 1b" % gas))
        forms.append(("%s ahead\nnop\nahead:" % j, "%s 1f\nnop\n1:" % gas))
        if j != "jecxz":  # JECXZ has no long form
            # A long JMP leaves the last byte of its six-byte area as a NOP.
            pad = "nop\n" if gas == "jmp" else ""
            forms.append(("%s far\n%sfar:" % (j, "cdq\n" * 130), "%s 1f\n%s%s1:" % (gas, pad, "cdq\n" * 130)))
    for r in R32 + R16:
        forms.append(("push %s" % r, "push %s" % r))
        forms.append(("pop %s" % r, "pop %s" % r))
    for seg in "es ss ds fs gs".split():
        forms.append(("pop %s" % seg, "pop %s" % seg))
        forms.append(("push %s" % seg, "push %s" % seg))
        forms.append(("pop %s:48" % seg, "pop dword ptr %s:[48]" % seg))
    forms.append(("push cs", "push cs"))
    for v in (0, 1, -1, 127, 128, -128, -129, 0x7FFFFFFF, 0xFFFFFFFF):
        forms.append(("push %s" % num(v), "push %d" % v))
    for m in MEMS:
        forms.append(("push %s" % m, "push dword ptr %s" % m))
        forms.append(("push word%s" % m, "push word ptr %s" % m))
    forms.append(("push d", "push dword ptr [ebp+8]"))
    forms.append(("push @p1", "push {VA:p1}"))


def read_only_widths(forms):
    """Forms accepted with a warning: a register loaded or added from a narrower (or wider)
    item reads as many bytes as the register holds, and an immediate wider than its operand
    is cut to the operand's bits, as GNU as encodes them after its own truncation."""
    for name, size, gas in items():
        for r in (R32[1], R16[2], R8[3]):
            rsize = 4 if r in R32 else 2 if r in R16 else 1
            if rsize == size:
                continue
            mem = gas.replace(PTR[size], PTR[rsize])
            for op in ("add", "sub"):
                if name in GLOBALS:  # a local or parameter of another width is refused
                    forms.append(("%s %s, %s" % (op, r, name), "%s %s, %s" % (op, r, mem)))
            forms.append(("mov %s, %s" % (r, name), "mov %s, %s" % (r, mem)))
    for size, m in ((1, "[ebx]"), (2, "[esi+4]")):
        for r in (R32[0], R16[0], R8[0]):
            rsize = 4 if r in R32 else 2 if r in R16 else 1
            if rsize != size:
                forms.append(("add %s, %s%s" % (r, TYPE[size], m), "add %s, %s %s" % (r, PTR[rsize], m)))
                forms.append(("mov %s, %s%s" % (r, TYPE[size], m), "mov %s, %s %s" % (r, PTR[rsize], m)))
    for size, values in ((1, [256, 300, -129, 0x1FF]), (2, [65536, 70000, -32769])):
        bits = size * 8
        for v in values:
            cut = v & ((1 << bits) - 1)
            r = REGS[size][0]
            forms.append(("add %s, %s" % (r, v), "add %s, %d" % (r, cut)))
            forms.append(("mov %s, %s" % (r, v), "mov %s, %d" % (r, cut)))
            forms.append(("sub %s[ebx], %s" % (TYPE[size], v), "sub %s [ebx], %d" % (PTR[size], cut)))
            forms.append(("mov %s[ebx], %s" % (TYPE[size], v), "mov %s [ebx], %d" % (PTR[size], cut)))


def all_forms():
    forms = []
    read_only_widths(forms)
    alu("add", forms)
    alu("sub", forms)
    mov(forms)
    lea_cmp(forms)
    logic(forms)
    control(forms)
    data_only(forms)
    return forms


def procedures_project(title, declarations, forms, params, globals_, body_head=()):
    """A kelvo project with one procedure per form, each called from the entry code, after
    one LEA per global that tells the test where the globals lie."""
    out = ["program win32cui '%s'" % title, *declarations]
    for i, (text, _) in enumerate(forms):
        out.append("procedure p%d(%s) {" % (i, params))
        out += ["  " + line for line in (*body_head, *text.split("\n"))]
        out.append("}")
    out += ["procedure pend() { nop }", "entry:"]
    out += ["  lea eax, %s" % name for name in globals_]
    out += ["  call p%d" % i for i in range(len(forms))]
    out += ["  call pend", "  ret", ""]
    return "\n".join(out)


def project(forms):
    return procedures_project("Forms", ["int32 gd;", "word gw;", "byte gb;"], forms, PARAMS, GLOBALS)

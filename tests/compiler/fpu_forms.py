"""Every operand form of the x87 instruction statements, as a kelvo source line and the same
instruction in GNU assembler Intel syntax (see instruction_forms.py for the conventions).

Intel syntax only: AT&T swaps fsub/fsubr and fdiv/fdivr in the DC and DE rows.
"""

from instruction_forms import procedures_project

# The frame every procedure shares (55 8B EC ... C9 C2 20 00), with its EBP offsets.
PARAMS = "double pd; single ps; int32 pi; word pw; extended pe"
PARAM_SIZE = 32
LOCALS = {"pd": (8, 8), "ps": (4, 16), "pi": (4, 20), "pw": (2, 24), "pe": (10, 28)}
GLOBALS = {"gf": ("single", 4), "gd": ("double", 8), "ge": ("extended", 10), "gw": ("word", 2),
           "gi": ("int32", 4), "gq": ("int64", 8), "gb": ("byte", 1), "gp": ("double*", 4)}
FLOAT_TYPES = ("single", "double", "extended")

PTR = {2: "word ptr", 4: "dword ptr", 8: "qword ptr", 10: "tbyte ptr"}
FLOAT = {4: "single", 8: "double", 10: "extended"}
INT = {2: "word", 4: "dword", 8: "qword"}

MEMS = ["[eax]", "[ebx+4]", "[esi-4]", "[edi+127]", "[eax+128]", "[ecx-128]", "[edx-129]", "[esp]",
        "[ebp]", "[esp+8]", "[ebp-8]", "[ebx+70000]", "[edi-70000]"]

ARITH = ("fadd", "fsub", "fsubr", "fmul", "fdiv", "fdivr")
POPPING = ("faddp", "fsubp", "fsubrp", "fmulp", "fdivp", "fdivrp")
INT_GROUP = ("fiadd", "fimul", "ficom", "ficomp", "fisub", "fisubr", "fidiv", "fidivr")
CONTROL_WORD = ("fldcw", "fnstcw", "fstcw", "fnstsw", "fstsw", "fldenv")
ANY_SIZE = ("fnstenv", "fstenv", "frstor", "fnsave", "fsave")
NO_OPERAND = ("f2xm1 fabs fchs fclex fcompp fcos fdecstp fincstp finit fld1 fldl2e fldl2t fldlg2 fldln2 "
              "fldpi fldz fnclex fninit fnop fpatan fprem fprem1 fptan frndint fscale fsin fsincos fsqrt "
              "ftst fucompp fxam fxtract fyl2x fyl2xp1 fwait").split()


def st(i):
    return "st(%d)" % i


def items(sizes):
    """Named operands of the given sizes: (kelvo name, size, GNU operand)."""
    out = [(n, size, "%s [ebp+%d]" % (PTR[size], off)) for n, (size, off) in LOCALS.items() if size in sizes]
    out += [(n, size, "%s [{VA:%s}]" % (PTR[size], n)) for n, (_, size) in GLOBALS.items() if size in sizes]
    return out


def memory(forms, op, sizes, words, gas_op=None):
    """`op` on every memory expression and named item of `sizes`; `words` names each size."""
    gas_op = gas_op or op
    for size in sizes:
        for m in MEMS:
            forms.append(("%s %s %s;" % (op, words[size], m), "%s %s %s" % (gas_op, PTR[size], m)))
    for name, size, gas in items(sizes):
        forms.append(("%s %s;" % (op, name), "%s %s" % (gas_op, gas)))


def recasts(forms, op, size, word):
    """A type name before an item of another size: the item taken at the type's size."""
    for name, (_, off) in LOCALS.items():
        forms.append(("%s %s %s;" % (op, word, name), "%s %s [ebp+%d]" % (op, PTR[size], off)))
    for name in GLOBALS:
        forms.append(("%s %s %s;" % (op, word, name), "%s %s [{VA:%s}]" % (op, PTR[size], name)))


def arithmetic(forms):
    for op in ARITH:
        memory(forms, op, (4, 8), FLOAT)
        for m in MEMS[:3]:  # no size written: single
            forms.append(("%s %s;" % (op, m), "%s dword ptr %s" % (op, m)))
        recasts(forms, op, 8, "double")
        recasts(forms, op, 4, "single")
        forms.append(("%s;" % op, "%s st(1), st" % op))
        for i in range(8):
            forms.append(("%s st(0), %s;" % (op, st(i)), "%s st, %s" % (op, st(i))))
            if i:
                forms.append(("%s %s, st(0);" % (op, st(i)), "%s %s, st" % (op, st(i))))
                forms.append(("%s %s;" % (op, st(i)), "%s %s, st" % (op, st(i))))
        forms.append(("%s st;" % op, "%s st, st(0)" % op))
    for op in POPPING:
        forms.append(("%s;" % op, "%s st(1), st" % op))
        for i in range(8):
            forms.append(("%s %s;" % (op, st(i)), "%s %s, st" % (op, st(i))))
            forms.append(("%s %s, st(0);" % (op, st(i)), "%s %s, st" % (op, st(i))))


def compares(forms):
    for op in ("fcom", "fcomp"):
        memory(forms, op, (4, 8), FLOAT)
        forms.append(("%s [ebx];" % op, "%s dword ptr [ebx]" % op))
        forms.append(("%s;" % op, "%s st(1)" % op))
        for i in range(8):
            forms.append(("%s %s;" % (op, st(i)), "%s %s" % (op, st(i))))
    for op in ("fucom", "fucomp", "fxch", "ffree"):
        if op != "ffree":
            forms.append(("%s;" % op, "%s st(1)" % op))
        for i in range(8):
            forms.append(("%s %s" % (op, st(i)), "%s %s" % (op, st(i))))


def loads_stores(forms):
    memory(forms, "fld", (4, 8, 10), FLOAT)
    memory(forms, "fsp", (4, 8), FLOAT, "fst")
    memory(forms, "fstp", (4, 8), FLOAT)
    for op, gas_op in (("fld", "fld"), ("fsp", "fst"), ("fstp", "fstp")):
        forms.append(("%s [ecx]" % op, "%s dword ptr [ecx]" % gas_op))
        for i in range(8):
            forms.append(("%s %s" % (op, st(i)), "%s %s" % (gas_op, st(i))))
    memory(forms, "fild", (2, 4, 8), INT)
    memory(forms, "fist", (2, 4), INT)
    memory(forms, "fistp", (2, 4, 8), INT)
    for op in ("fild", "fistp"):
        forms.append(("%s [ecx]" % op, "%s dword ptr [ecx]" % op))
    for op in ("fbld", "fbstp"):
        memory(forms, op, (10,), FLOAT)
        recasts(forms, op, 10, "extended")


def integer_group(forms):
    for op in INT_GROUP:
        memory(forms, op, (2, 4), INT)
        forms.append(("%s [esi]" % op, "%s dword ptr [esi]" % op))


def control(forms):
    for op in CONTROL_WORD:
        gas_op = op
        if op == "fldenv":
            for m in MEMS:
                forms.append(("%s word %s" % (op, m), "%s %s" % (op, m)))
            continue
        memory(forms, op, (2,), INT, gas_op)
    for op in ANY_SIZE:
        for m in MEMS:
            forms.append(("%s %s" % (op, m), "%s %s" % (op, m)))
            forms.append(("%s extended %s" % (op, m), "%s %s" % (op, m)))
        for name, (size, off) in LOCALS.items():
            forms.append(("%s %s" % (op, name), "%s [ebp+%d]" % (op, off)))
        for name in GLOBALS:
            forms.append(("%s %s" % (op, name), "%s [{VA:%s}]" % (op, name)))
    forms.append(("fldenv gw", "fldenv [{VA:gw}]"))
    forms.append(("fldenv pw", "fldenv [ebp+24]"))
    forms.append(("fstsw ax", "fstsw ax"))
    forms.append(("fnstsw ax", "fnstsw ax"))


def fpush(forms):
    """fpush loads floats with FLD and integers with FILD, by the item's declared type."""
    for name, (kind, size) in GLOBALS.items():
        if size == 1:
            continue
        op = "fld" if kind in FLOAT_TYPES else "fild"
        forms.append(("fpush %s" % name, "%s %s [{VA:%s}]" % (op, PTR[size], name)))
    for name, (size, off) in LOCALS.items():
        op = "fild" if name in ("pi", "pw") else "fld"
        forms.append(("fpush %s" % name, "%s %s [ebp+%d]" % (op, PTR[size], off)))


def locals_of_procedure(forms):
    """Locals below the frame: [ebp - offset], the frame reserved by the prologue."""
    forms.append(("single ls;\nfld ls\nfstp ls\nfadd ls;", "add esp, -4\nfld dword ptr [ebp-4]\n"
                  "fstp dword ptr [ebp-4]\nfadd dword ptr [ebp-4]"))
    forms.append(("double ld;\nint32 li;\nfld ld\nfmul ld;\nfistp li\nfpush ld\nfpush li",
                  "add esp, -12\nfld qword ptr [ebp-8]\nfmul qword ptr [ebp-8]\nfistp dword ptr [ebp-12]\n"
                  "fld qword ptr [ebp-8]\nfild dword ptr [ebp-12]"))
    forms.append(("word lw;\nint64 lq;\nfild lw\nfistp lq\nfnstcw lw\nfiadd lw\nfsubr double lq",
                  "add esp, -12\nfild word ptr [ebp-2]\nfistp qword ptr [ebp-10]\nfnstcw word ptr [ebp-2]\n"
                  "fiadd word ptr [ebp-2]\nfsubr qword ptr [ebp-10]"))


def register_bound(forms):
    """Items bound to a register by assume are addressed through it, not through their slot."""
    forms.append(("assume esi as gp;\nfadd double gp;", "mov esi, dword ptr [{VA:gp}]\nfadd qword ptr [esi]"))
    forms.append(("assume ebx as gp;\nfld gp\nfpush gp\nassume ebx as nothing;",
                  "mov ebx, dword ptr [{VA:gp}]\nfld dword ptr [ebx]\nfild dword ptr [ebx]"))
    forms.append(("double* lp;\nassume edi as lp;\nfsubr double lp\nfbstp extended lp;\nfistp lp",
                  "add esp, -4\nmov edi, dword ptr [ebp-4]\nfsubr qword ptr [edi]\nfbstp tbyte ptr [edi]\n"
                  "fistp dword ptr [edi]"))


def no_operand(forms):
    for op in NO_OPERAND:
        forms.append((op, op))


def all_forms():
    forms = []
    arithmetic(forms)
    compares(forms)
    loads_stores(forms)
    integer_group(forms)
    control(forms)
    fpush(forms)
    locals_of_procedure(forms)
    register_bound(forms)
    no_operand(forms)
    return forms


def project(forms):
    declarations = ["%s %s;" % (kind, name) for name, (kind, _) in GLOBALS.items()]
    return procedures_project("FpuForms", declarations, forms, PARAMS, GLOBALS)

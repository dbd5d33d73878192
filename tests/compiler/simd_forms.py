"""Every operand form of the MMX and SSE instruction statements, as a kelvo source line and
the same instruction in GNU assembler Intel syntax (see instruction_forms.py for the format).

Each procedure has the same parameters and locals (PARAMS, LOCALS), so every one has the same
frame; the globals are listed in GLOBALS and found through one LEA each in the entry code.
"""
from instruction_forms import MEMS, procedures_project

MM = ["mm%d" % i for i in range(8)]
XMM = ["xmm%d" % i for i in range(8)]
R32 = "eax ecx edx ebx esp ebp esi edi".split()

PARAMS = "qword pq; dword pd; single pf; word pw; byte pb"
PARAM_SIZE = 24
LOCALS_TEXT = "qword lq; single lf; dword ld; word lw; byte lb; dword* lp;"
LOCAL_SIZE = 24  # 23 bytes of locals, reserved in whole dwords
# name -> (size, EBP offset): parameters above the frame, locals below it.
ITEMS_LOCAL = {"pq": (8, 8), "pd": (4, 16), "pf": (4, 20), "pw": (2, 24), "pb": (1, 28),
               "lq": (8, -8), "lf": (4, -12), "ld": (4, -16), "lw": (2, -18), "lb": (1, -19)}
GLOBALS = {"gq": 8, "garr": 16, "gf": 4, "gd": 4, "gw": 2, "gb": 1}
GLOBALS_TEXT = "qword gq; qword garr[2]; single gf; dword gd; word gw; byte gb;"

MMX_ARITH = [
    "paddd", "paddb", "paddsb", "paddusb", "paddw", "paddsw", "paddusw", "psubb", "psubsb",
    "psubusb", "psubw", "psubsw", "psubd", "pmulhw", "pmullw", "pmaddwd", "pcmpeqb", "pcmpgtb",
    "pcmpeqw", "pcmpgtw", "pcmpeqd", "pcmpgtd", "packssdw", "packsswb", "packuswb", "punpckhbw",
    "punpckhdq", "punpckhwd", "punpcklbw", "punpckldq", "punpcklwd", "pxor", "por", "pand",
    "pandn", "psllw", "pslld", "psllq", "psrlw", "psrld", "psrlq", "psraw", "psrad"]
SSE_ARITH = ["addps", "addss", "subps", "subss", "divps", "divss", "mulps", "mulss", "minps",
             "minss", "maxps", "maxss"]
SSE_MOVES = ["movups", "movaps", "movss"]


def local(name, ptr):
    return "%s [ebp%+d]" % (ptr, ITEMS_LOCAL[name][1])


def glob(name, ptr, offset=0):
    return "%s [{VA:%s}%s]" % (ptr, name, "+%d" % offset if offset else "")


def rotations(regs):
    """Pairs in which every register stands once in each position."""
    return [(regs[i], regs[(i + 3) % 8]) for i in range(8)]


def every_pair(regs):
    return [(a, b) for a in regs for b in regs]


def sources(op, regs, ptr, globals_, locals_, with_pairs=True):
    """op reg, source: registers, every memory operand, globals and locals."""
    forms = []
    pairs = every_pair(regs) if op in ("paddd", "addps", "movaps", "movq") else rotations(regs)
    pairs = pairs if with_pairs else []
    forms += [("%s %s, %s" % (op, a, b), "%s %s, %s" % (op, a, b)) for a, b in pairs]
    for i, m in enumerate(MEMS):
        r = regs[i % 8]
        forms.append(("%s %s, %s" % (op, r, m), "%s %s, %s %s" % (op, r, ptr, m)))
    for i, (name, offset) in enumerate(globals_):
        kelvo = "%s[%d]" % (name, offset // 8) if offset else name
        forms.append(("%s %s, %s" % (op, regs[(i + 5) % 8], kelvo),
                      "%s %s, %s" % (op, regs[(i + 5) % 8], glob(name, ptr, offset))))
    for i, name in enumerate(locals_):
        forms.append(("%s %s, %s" % (op, regs[(i + 2) % 8], name),
                      "%s %s, %s" % (op, regs[(i + 2) % 8], local(name, ptr))))
    return forms


def stores(op, regs, ptr, kelvo_type, globals_, locals_):
    """op destination, reg: every memory operand (with its size written), globals, locals."""
    forms = []
    for i, m in enumerate(MEMS):
        r = regs[(i + 1) % 8]
        forms.append(("%s %s%s, %s" % (op, kelvo_type, m, r), "%s %s %s, %s" % (op, ptr, m, r)))
    for i, (name, offset) in enumerate(globals_):
        kelvo = "%s[%d]" % (name, offset // 8) if offset else name
        forms.append(("%s %s, %s" % (op, kelvo, regs[(i + 4) % 8]),
                      "%s %s, %s" % (op, glob(name, ptr, offset), regs[(i + 4) % 8])))
    for i, name in enumerate(locals_):
        forms.append(("%s %s, %s" % (op, name, regs[(i + 6) % 8]),
                      "%s %s, %s" % (op, local(name, ptr), regs[(i + 6) % 8])))
    return forms


QWORD_GLOBALS = [("gq", 0), ("garr", 0), ("garr", 8)]
DWORD_GLOBALS = QWORD_GLOBALS + [("gf", 0), ("gd", 0)]


def mmx(forms):
    for op in MMX_ARITH:
        forms += sources(op, MM, "", QWORD_GLOBALS, ["lq", "pq"])
    forms.append(("paddb mm1, qword [esi+8]", "paddb mm1, [esi+8]"))


def sse(forms):
    for op in SSE_ARITH + SSE_MOVES:
        forms += sources(op, XMM, "", DWORD_GLOBALS, ["lq", "pq"])
    for op in SSE_MOVES:
        forms += stores(op, XMM, "", "", DWORD_GLOBALS, ["lq", "lf", "ld", "pq", "pd", "pf"])
    forms.append(("addss xmm3, dword [ecx+4]", "addss xmm3, dword ptr [ecx+4]"))
    forms.append(("movups dword [eax], xmm4", "movups xmmword ptr [eax], xmm4"))
    forms.append(("sfence", "sfence"))
    forms += stores("movntq", MM, "", "qword ", QWORD_GLOBALS, ["lq", "pq"])
    for i, m in enumerate(MEMS):
        forms.append(("prefetchnta %s" % m, "prefetchnta byte ptr %s" % m))
    for name in ("gq", "gd", "gb"):
        forms.append(("prefetchnta %s" % name, "prefetchnta %s" % glob(name, "byte ptr")))
    for name in ("lq", "lw", "lb", "pb"):
        forms.append(("prefetchnta %s" % name, "prefetchnta %s" % local(name, "byte ptr")))


def moves(forms):
    forms += sources("movq", MM, "", QWORD_GLOBALS, ["lq", "pq"])
    forms += stores("movq", MM, "", "qword ", QWORD_GLOBALS, ["lq", "pq"])
    forms += sources("movd", MM, "", DWORD_GLOBALS, ["lq", "lf", "ld", "pq", "pd", "pf"],
                     with_pairs=False)
    forms += stores("movd", MM, "", "", DWORD_GLOBALS, ["lq", "lf", "ld", "pq", "pd", "pf"])
    forms.append(("movd mm2, dword [edi]", "movd mm2, dword ptr [edi]"))
    for i, r in enumerate(R32):
        for mm in (MM[i], MM[(i + 5) % 8]):
            forms.append(("movd %s, %s" % (mm, r), "movd %s, %s" % (mm, r)))
            forms.append(("movd %s, %s" % (r, mm), "movd %s, %s" % (r, mm)))
    # A pointer bound to a register is reached through that register.
    forms.append(("assume ebx as lp;\nmovd mm5, lp", "mov ebx, [ebp-23]\nmovd mm5, dword ptr [ebx]"))
    forms.append(("assume esi as lp;\nmovd lp, mm6", "mov esi, [ebp-23]\nmovd dword ptr [esi], mm6"))


def all_forms():
    forms = []
    mmx(forms)
    sse(forms)
    moves(forms)
    return forms


def project(forms):
    return procedures_project("SimdForms", [GLOBALS_TEXT], forms, PARAMS, GLOBALS, [LOCALS_TEXT])

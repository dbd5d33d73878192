"""Packed SSE operands in memory must lie on 16 bytes, or the processor raises a general
protection fault (Windows ends the program). Unicorn does not check, so the emulator does,
at each place in the loaded images where such an instruction could start."""

from unicorn import UC_HOOK_CODE
from unicorn import x86_const as x86

# 0F xx with a memory operand and no prefix: movaps (load, store), addps, mulps, subps, minps,
# divps, maxps. With F3 (the scalar forms) or as movups the operand may lie anywhere.
_PACKED = {0x28, 0x29, 0x58, 0x59, 0x5C, 0x5D, 0x5E, 0x5F}
_REGS = [x86.UC_X86_REG_EAX, x86.UC_X86_REG_ECX, x86.UC_X86_REG_EDX, x86.UC_X86_REG_EBX,
         x86.UC_X86_REG_ESP, x86.UC_X86_REG_EBP, x86.UC_X86_REG_ESI, x86.UC_X86_REG_EDI]


def watch(process, image):
    """Checks every packed instruction with a memory operand that runs inside `image`. A hook
    at a place that is no instruction start never fires, so a false match costs nothing."""
    data = bytes(process.uc.mem_read(image.base, image.size))
    at = data.find(b"\x0f")
    while 0 <= at < len(data) - 2:
        if data[at + 1] in _PACKED and data[at + 2] >> 6 != 3:
            addr = image.base + at
            process.uc.hook_add(UC_HOOK_CODE, _check, process, begin=addr, end=addr)
        at = data.find(b"\x0f", at + 1)


def effective_address(uc, code):
    """The address of the memory operand whose ModRM byte starts `code` (32-bit addressing)."""
    modrm = code[0]
    mod, rm, pos = modrm >> 6, modrm & 7, 1
    if rm == 4:  # SIB
        sib = code[1]
        pos, index, base = 2, (sib >> 3) & 7, sib & 7
        ea = uc.reg_read(_REGS[index]) << (sib >> 6) if index != 4 else 0
        if base == 5 and mod == 0:
            ea += int.from_bytes(code[pos:pos + 4], "little")
            pos += 4
        else:
            ea += uc.reg_read(_REGS[base])
    elif rm == 5 and mod == 0:
        return int.from_bytes(code[1:5], "little")
    else:
        ea = uc.reg_read(_REGS[rm])
    if mod == 1:
        ea += int.from_bytes(code[pos:pos + 1], "little", signed=True)
    elif mod == 2:
        ea += int.from_bytes(code[pos:pos + 4], "little", signed=True)
    return ea & 0xFFFFFFFF


def _check(uc, addr, size, process):
    ea = effective_address(uc, bytes(uc.mem_read(addr + 2, size - 2)))
    if ea % 16:
        process.fail(f"crash: general protection fault: 16-byte operand at {ea:#x} is not aligned "
                     f"(eip {process.modules.describe(addr)})")
        uc.emu_stop()

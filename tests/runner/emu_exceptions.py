"""Structured exceptions for the emulator, as Windows raises them for a 32-bit
program: FS points at a thread block whose first dword heads the chain of
registration records ({next, handler} on the stack, 0xFFFFFFFF ends it). A
fault builds an EXCEPTION_RECORD and a CONTEXT on the stack and calls each
handler as handler(record, frame, context, dispatcher_context) until one
answers ExceptionContinueExecution (0), after which the thread goes on with
the registers of the CONTEXT. A handler may also never return (it takes the
stack back itself). With no handler left the fault ends the run as before."""

import struct

from unicorn import x86_const as x86

ACCESS_VIOLATION = 0xC0000005
INT_DIVIDE_BY_ZERO = 0xC0000094
_CHAIN_END = 0xFFFFFFFF
_CONTINUE_EXECUTION, _CONTINUE_SEARCH = 0, 1
_CONTEXT_SIZE, _RECORD_SIZE = 0x2CC, 0x50
_CONTEXT_FULL = 0x10007  # control, integer and segment registers
# CONTEXT offsets of the registers it carries
_CONTEXT_REGS = [
    (0x8C, x86.UC_X86_REG_GS), (0x90, x86.UC_X86_REG_FS), (0x94, x86.UC_X86_REG_ES),
    (0x98, x86.UC_X86_REG_DS), (0x9C, x86.UC_X86_REG_EDI), (0xA0, x86.UC_X86_REG_ESI),
    (0xA4, x86.UC_X86_REG_EBX), (0xA8, x86.UC_X86_REG_EDX), (0xAC, x86.UC_X86_REG_ECX),
    (0xB0, x86.UC_X86_REG_EAX), (0xB4, x86.UC_X86_REG_EBP), (0xB8, x86.UC_X86_REG_EIP),
    (0xBC, x86.UC_X86_REG_CS), (0xC0, x86.UC_X86_REG_EFLAGS), (0xC4, x86.UC_X86_REG_ESP),
    (0xC8, x86.UC_X86_REG_SS),
]
_RESTORED = {x86.UC_X86_REG_EDI, x86.UC_X86_REG_ESI, x86.UC_X86_REG_EBX, x86.UC_X86_REG_EDX,
             x86.UC_X86_REG_ECX, x86.UC_X86_REG_EAX, x86.UC_X86_REG_EBP, x86.UC_X86_REG_EIP,
             x86.UC_X86_REG_EFLAGS, x86.UC_X86_REG_ESP}
_FS_SELECTOR = (1 << 3) | 3  # GDT entry 1, ring 3
_SS_SELECTOR = 2 << 3        # GDT entry 2, ring 0 as the emulated CPU runs


def _data_descriptor(base, limit, access=0xF2, flags=0x4):
    """A present, writable data segment (ring 3 unless told); `flags` 0x4 for
    32-bit, 0xC for 32-bit with 4 KiB granularity."""
    return struct.pack("<HHBBBB", limit & 0xFFFF, base & 0xFFFF, (base >> 16) & 0xFF,
                       access, (flags << 4) | ((limit >> 16) & 0xF), (base >> 24) & 0xFF)


class ExceptionDispatcher:
    def __init__(self, process, stack_top, stack_size):
        self.p = process
        self.teb = process.mem.alloc(0x1000)
        mem = process.mem
        mem.write_u32(self.teb, _CHAIN_END)               # ExceptionList
        mem.write_u32(self.teb + 4, stack_top)            # StackBase
        mem.write_u32(self.teb + 8, stack_top - stack_size)  # StackLimit
        mem.write_u32(self.teb + 0x18, self.teb)          # Self
        gdt = process.mem.alloc(0x1000)
        mem.write(gdt, b"\0" * 8 + _data_descriptor(self.teb, 0xFFF)
                  + _data_descriptor(0, 0xFFFFF, 0x92, 0xC))
        process.uc.reg_write(x86.UC_X86_REG_GDTR, (0, gdt, 23, 0))
        # Once there is a table, the stack needs a 32-bit descriptor of its own too.
        process.uc.reg_write(x86.UC_X86_REG_SS, _SS_SELECTOR)
        process.uc.reg_write(x86.UC_X86_REG_FS, _FS_SELECTOR)
        self.return_stub = None  # set by the process: the address handlers return to
        self.active = None       # (record, frame, context) of the call under way

    def raise_exception(self, code, params=()):
        """Starts the dispatch of a fault at the current EIP; False when no
        handler is registered."""
        frame = self.p.mem.read_u32(self.teb)
        if frame == _CHAIN_END:
            return False
        uc, mem = self.p.uc, self.p.mem
        esp = (self.p.reg("ESP") - 0x100) & ~3  # below anything the code may still use
        context = esp - _CONTEXT_SIZE
        record = context - _RECORD_SIZE
        ctx = bytearray(_CONTEXT_SIZE)
        struct.pack_into("<I", ctx, 0, _CONTEXT_FULL)
        for offset, reg in _CONTEXT_REGS:
            struct.pack_into("<I", ctx, offset, uc.reg_read(reg) & 0xFFFFFFFF)
        mem.write(context, ctx)
        rec = struct.pack("<IIIII", code, 0, 0, self.p.reg("EIP"), len(params))
        rec += b"".join(struct.pack("<I", v & 0xFFFFFFFF) for v in params)
        mem.write(record, rec.ljust(_RECORD_SIZE, b"\0"))
        self.active = (record, frame, context)
        self._call_handler(record - 20)
        return True

    def _call_handler(self, esp):
        record, frame, context = self.active
        handler = self.p.mem.read_u32(frame + 4)
        for offset, value in enumerate((self.return_stub, record, frame, context, 0)):
            self.p.mem.write_u32(esp + 4 * offset, value)
        self.p.set_reg("ESP", esp)
        self.p.set_reg("EIP", handler)

    def handler_returned(self):
        """The handler came back: go on as it asks, or try the next record."""
        record, frame, context = self.active
        answer = self.p.reg("EAX")
        if answer == _CONTINUE_EXECUTION:
            ctx = self.p.mem.read(context, _CONTEXT_SIZE)
            for offset, reg in _CONTEXT_REGS:
                if reg in _RESTORED:
                    self.p.uc.reg_write(reg, struct.unpack_from("<I", ctx, offset)[0])
            self.active = None
            return None
        if answer != _CONTINUE_SEARCH:
            return f"exception handler returned {answer:#x}"
        frame = self.p.mem.read_u32(frame)
        if frame == _CHAIN_END:
            code = self.p.mem.read_u32(record)
            return f"unhandled exception {code:#010x}"
        self.active = (record, frame, context)
        self._call_handler(record - 20)
        return None

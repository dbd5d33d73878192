"""Runs a 32-bit Windows EXE on the unicorn CPU emulator.

System DLL functions are stub addresses: when the CPU reaches one, the
emulation stops, the Python version of the function (win32_stubs) runs, the
stdcall arguments are popped and the emulation resumes at the caller.
"""

import os
import time
from dataclasses import dataclass

from unicorn import Uc, UcError, UC_ARCH_X86, UC_MODE_32, UC_HOOK_CODE
from unicorn import UC_HOOK_MEM_INVALID, UC_HOOK_INTR, UC_PROT_READ, UC_PROT_EXEC
from unicorn import unicorn_const as uconst
from unicorn import x86_const as x86

from emu_exceptions import ACCESS_VIOLATION, INT_DIVIDE_BY_ZERO, ExceptionDispatcher
import sse_alignment
from emu_memory import AddressSpace, BadPointer, Heap
from pe_image import ImageError
from pe_modules import ModuleError, ModuleTable
from win32_stubs import API, ApiMisuse
import user32_stubs  # noqa: F401  (registers the user32 functions)

STACK_SIZE = 0x100000
_STUB_AREA = 0x10000
_STUB_SIZE = 4
_ENTRY_RETURN, _CALL_RETURN = "entry-return", "call-return"
_EXCEPTION_RETURN = "exception-return"
# The first parameter of an access violation: what the faulting instruction did.
_ACCESS_KINDS = {
    uconst.UC_MEM_READ_UNMAPPED: 0, uconst.UC_MEM_WRITE_UNMAPPED: 1,
    uconst.UC_MEM_FETCH_UNMAPPED: 8, uconst.UC_MEM_WRITE_PROT: 1,
    uconst.UC_MEM_FETCH_PROT: 8, uconst.UC_MEM_READ_PROT: 0,
}
_SAVED_REGS = [x86.UC_X86_REG_EAX, x86.UC_X86_REG_EBX, x86.UC_X86_REG_ECX,
               x86.UC_X86_REG_EDX, x86.UC_X86_REG_ESI, x86.UC_X86_REG_EDI,
               x86.UC_X86_REG_EBP, x86.UC_X86_REG_ESP, x86.UC_X86_REG_EIP,
               x86.UC_X86_REG_EFLAGS]
_ACCESS_NAMES = {
    uconst.UC_MEM_READ_UNMAPPED: "read of unmapped memory",
    uconst.UC_MEM_WRITE_UNMAPPED: "write to unmapped memory",
    uconst.UC_MEM_FETCH_UNMAPPED: "jump to unmapped memory",
    uconst.UC_MEM_WRITE_PROT: "write to read-only memory",
    uconst.UC_MEM_FETCH_PROT: "jump to non-executable memory",
}


@dataclass
class EmuOutcome:
    output: bytes
    exit_code: int    # full 32-bit exit code, None when the run failed
    error: str        # None when the program ended normally


class StopRun(Exception):
    """Raised by stubs (ExitProcess) to end the run at once."""


def command_line(exe_path, args):
    """The command line as wine builds it: DOS path of the EXE, then args."""
    exe = "Z:" + os.path.abspath(exe_path).replace("/", "\\")
    quoted = [f'"{a}"' if not a or set(a) & {" ", "\t"} else a for a in args]
    return " ".join([f'"{exe}"'] + quoted)


class Process:
    def __init__(self, exe_path, args=(), timeout=20, console_input=b""):
        self.console_input = bytearray(console_input)
        self.console_modes = {}
        self.uc = Uc(UC_ARCH_X86, UC_MODE_32)
        self.mem = AddressSpace(self.uc)
        self.timeout = timeout
        self.started = time.monotonic()
        self.output = bytearray()
        self.last_error = 0
        self.pending_calls, self.saved_contexts = [], []
        self.outcome = None
        self._stub_hit = self._fault = self._interrupt = None
        self.modules = ModuleTable(self, exe_path)  # EXE first: its own base
        self._setup_stubs()
        self._setup_stack()
        self.seh = ExceptionDispatcher(self, self.stack_top, STACK_SIZE)
        self.seh.return_stub = self._new_stub(_EXCEPTION_RETURN)
        self._setup_fpu()
        self.heap = Heap(self.mem)
        self.command_line_ptr = self._store_string(
            command_line(exe_path, args).encode("cp1252", "replace"))
        self.uc.hook_add(UC_HOOK_MEM_INVALID, self._on_bad_access)
        self.uc.hook_add(UC_HOOK_INTR, self._on_interrupt)
        self._track_faults()
        self.modules.bind_exe()
        for image in self.modules.images.values():
            sse_alignment.watch(self, image)

    # --- set-up ----------------------------------------------------------

    def _setup_stubs(self):
        self.stub_base = self.mem.alloc(_STUB_AREA)
        self.uc.mem_protect(self.stub_base, _STUB_AREA,
                            UC_PROT_READ | UC_PROT_EXEC)
        self.uc.mem_write(self.stub_base, b"\xCC" * _STUB_AREA)  # int3
        self.stubs, self.stub_by_name = {}, {}
        self.entry_return = self._new_stub(_ENTRY_RETURN)
        self.call_return = self._new_stub(_CALL_RETURN)
        self.uc.hook_add(UC_HOOK_CODE, self._on_stub, begin=self.stub_base,
                         end=self.stub_base + _STUB_AREA - 1)

    def _new_stub(self, target):
        addr = self.stub_base + _STUB_SIZE * len(self.stubs)
        if addr >= self.stub_base + _STUB_AREA:
            raise MemoryError("too many imported functions")
        self.stubs[addr] = target
        return addr

    def stub_for(self, dll, name):
        """Address that stands for dll!name (implemented or not)."""
        key = (dll, name)
        if key not in self.stub_by_name:
            self.stub_by_name[key] = self._new_stub(key)
        return self.stub_by_name[key]

    def _setup_stack(self):
        top = self.stack_top = self.mem.alloc(STACK_SIZE) + STACK_SIZE
        self.mem.write_u32(top - 4, self.entry_return)
        self.uc.reg_write(x86.UC_X86_REG_ESP, top - 4)
        self.uc.reg_write(x86.UC_X86_REG_EIP, self.modules.exe.entry)

    def _setup_fpu(self):
        # Windows starts a thread's x87 unit with every exception masked and the precision
        # control at 53 bits (control word 027F); the CPU model here starts it zeroed.
        self.uc.reg_write(x86.UC_X86_REG_FPCW, 0x027F)
        self.uc.reg_write(x86.UC_X86_REG_FPSW, 0)
        self.uc.reg_write(x86.UC_X86_REG_FPTAG, 0xFFFF)

    def _store_string(self, data):
        addr = self.mem.alloc(len(data) + 1)
        self.mem.write(addr, data + b"\0")
        return addr

    def _track_faults(self):
        """Unicorn reports a memory fault at the start of its translated block
        unless every instruction is hooked; the exception address a handler
        sees must be the faulting instruction's. Hooking costs time, so only
        an EXE that registers handlers (writes FS:[0]) is hooked."""
        exe = self.modules.exe
        code = self.mem.read(exe.base, exe.size)
        if b"\x64\x89\x25\0\0\0\0" in code or b"\x64\xA3\0\0\0\0" in code:
            self.uc.hook_add(UC_HOOK_CODE, lambda uc, addr, size, data: None)

    # --- services for the stubs -------------------------------------------

    def console_write(self, data):
        self.output += data

    def exit(self, code):
        self.outcome = (code & 0xFFFFFFFF, None)
        raise StopRun()

    def fail(self, message):
        self.outcome = (None, message)

    def queue_guest_call(self, func, args):
        """Run func(*args) (stdcall) before the program continues."""
        self.pending_calls.append((func, args))

    # --- hooks ---------------------------------------------------------------

    def _on_stub(self, uc, addr, size, data):
        self._stub_hit = addr
        uc.emu_stop()

    def _on_bad_access(self, uc, access, addr, size, value, data):
        # EIP is exact here; after the stop it may be the start of the block.
        self._fault = (access, addr)
        self._fault_eip = self.reg("EIP")
        return False

    def _on_interrupt(self, uc, intno, data):
        # EIP is at the faulting instruction, as Windows reports it.
        self._interrupt = intno
        uc.emu_stop()

    # --- running ---------------------------------------------------------

    def reg(self, name):
        return self.uc.reg_read(getattr(x86, f"UC_X86_REG_{name}"))

    def set_reg(self, name, value):
        self.uc.reg_write(getattr(x86, f"UC_X86_REG_{name}"),
                          value & 0xFFFFFFFF)

    def run(self):
        deadline = self.started + self.timeout
        self._enter_pending_call()
        while self.outcome is None:
            left = deadline - time.monotonic()
            if left <= 0:
                self.fail(f"timeout: still running after {self.timeout}s "
                          f"(eip {self.modules.describe(self.reg('EIP'))})")
                break
            self._step(left)
        code, error = self.outcome
        return EmuOutcome(bytes(self.output), code, error)

    def _step(self, seconds):
        self._stub_hit = self._fault = self._interrupt = None
        try:
            self.uc.emu_start(self.reg("EIP"), 0,
                              timeout=max(1, int(seconds * 1e6)))
        except UcError as err:
            if not self._raise_fault():
                self.fail(self._crash_message(err))
            return
        if self._interrupt is not None:
            if self._interrupt != 0 or not self.seh.raise_exception(INT_DIVIDE_BY_ZERO):
                what = "integer division by zero" if self._interrupt == 0 \
                    else f"interrupt {self._interrupt}"
                self.fail(f"crash: {what} (eip {self.modules.describe(self.reg('EIP'))})")
        elif self._stub_hit is not None:
            self._dispatch(self.stubs[self._stub_hit])

    def _raise_fault(self):
        """An access fault goes to the program's exception handlers, if any."""
        if not self._fault or self._fault[0] not in _ACCESS_KINDS:
            return False
        access, addr = self._fault
        self.set_reg("EIP", self._fault_eip)
        return self.seh.raise_exception(ACCESS_VIOLATION, (_ACCESS_KINDS[access], addr))

    def _crash_message(self, err):
        where = self.modules.describe(self.reg("EIP"))
        if self._fault:
            access, addr = self._fault
            what = _ACCESS_NAMES.get(access, "invalid memory access")
            return f"crash: {what} at {addr:#x} (eip {where})"
        return f"crash: {err} (eip {where})"

    def _dispatch(self, target):
        if target == _ENTRY_RETURN:
            self.outcome = (self.reg("EAX"), None)
        elif target == _CALL_RETURN:
            self._leave_guest_call()
        elif target == _EXCEPTION_RETURN:
            error = self.seh.handler_returned()
            if error:
                self.fail(f"{error} (eip {self.modules.describe(self.reg('EIP'))})")
        else:
            self._call_api(*target)

    def _call_api(self, dll, name):
        if (dll, name) not in API:
            self.fail(f"unimplemented import {dll}!{name} called "
                      f"(from {self._caller()})")
            return
        nargs, func = API[(dll, name)]
        esp = self.reg("ESP")
        try:
            ret = self.mem.read_u32(esp)
            args = [self.mem.read_u32(esp + 4 + 4 * i) for i in range(nargs)]
            value = func(self, *args)
        except StopRun:
            return
        except (ApiMisuse, BadPointer) as err:
            self.fail(f"{dll}!{name}: {err} (called from {self._caller()})")
            return
        self.set_reg("EAX", value or 0)
        self.set_reg("ESP", esp + 4 + 4 * nargs)
        self.set_reg("EIP", ret)
        self._enter_pending_call()

    def _caller(self):
        try:
            return self.modules.describe(self.mem.read_u32(self.reg("ESP")))
        except BadPointer:
            return "?"

    def _enter_pending_call(self):
        if not self.pending_calls:
            return
        func, args = self.pending_calls.pop(0)
        self.saved_contexts.append([self.uc.reg_read(r) for r in _SAVED_REGS])
        esp = self.reg("ESP")
        for value in reversed(args):
            esp -= 4
            self.mem.write_u32(esp, value)
        self.mem.write_u32(esp - 4, self.call_return)
        self.set_reg("ESP", esp - 4)
        self.set_reg("EIP", func)

    def _leave_guest_call(self):
        for reg, value in zip(_SAVED_REGS, self.saved_contexts.pop()):
            self.uc.reg_write(reg, value)
        self._enter_pending_call()


def run_exe(exe_path, args=(), timeout=20, console_input=b""):
    """Emulate the EXE; returns an EmuOutcome (never raises for bad EXEs)."""
    try:
        process = Process(exe_path, args, timeout, console_input)
    except (ImageError, ModuleError, OSError) as err:
        return EmuOutcome(b"", None, f"cannot load: {err}")
    return process.run()

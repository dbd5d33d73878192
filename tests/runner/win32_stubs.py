"""The kernel32/user32 functions the emulator provides.

Each function gets the emulated process `p` and the raw 32-bit stack
arguments; the emulator pops them afterwards (stdcall).  Where Windows reports
a bad argument through the return value and GetLastError, so do these; where
Windows would crash or corrupt memory, they raise ApiMisuse so that the run
stops with a message naming the call.
"""

import time

K32, U32 = "kernel32.dll", "user32.dll"

STDIN, STDOUT, STDERR = 0x3, 0x7, 0xB
_STD_HANDLES = {0xFFFFFFF6: STDIN, 0xFFFFFFF5: STDOUT, 0xFFFFFFF4: STDERR}
INVALID_HANDLE_VALUE = 0xFFFFFFFF

ERROR_INVALID_HANDLE = 6
ERROR_NOT_ENOUGH_MEMORY = 8
ERROR_INVALID_PARAMETER = 87
ERROR_INVALID_ADDRESS = 487
ERROR_MOD_NOT_FOUND = 126
ERROR_PROC_NOT_FOUND = 127

MEM_COMMIT, MEM_RESERVE = 0x1000, 0x2000
MEM_DECOMMIT, MEM_RELEASE = 0x4000, 0x8000

API = {}  # (dll, name) -> (number of stack arguments, function)


class ApiMisuse(Exception):
    """A call that would crash or corrupt the process on Windows."""


def api(dll, nargs):
    def register(func):
        API[(dll, func.__name__)] = (nargs, func)
        return func
    return register


def _fail(p, error, value=0):
    p.last_error = error
    return value


def _text(p, ptr, default=""):
    return p.mem.read_cstr(ptr).decode("cp1252", "replace") if ptr else default


# --- process and console -------------------------------------------------

@api(K32, 1)
def ExitProcess(p, code):
    p.exit(code)


@api(K32, 1)
def GetStdHandle(p, which):
    handle = _STD_HANDLES.get(which)
    return handle if handle else _fail(p, ERROR_INVALID_HANDLE,
                                       INVALID_HANDLE_VALUE)


def _write(p, handle, buf, count, written_ptr):
    if handle not in (STDOUT, STDERR):
        return _fail(p, ERROR_INVALID_HANDLE)
    p.console_write(p.mem.read(buf, count) if count else b"")
    if written_ptr:
        p.mem.write_u32(written_ptr, count)
    return 1


@api(K32, 5)
def WriteConsoleA(p, handle, buf, count, written_ptr, reserved):
    if reserved:
        raise ApiMisuse("lpReserved must be NULL")
    return _write(p, handle, buf, count, written_ptr)


@api(K32, 5)
def WriteFile(p, handle, buf, count, written_ptr, overlapped):
    if overlapped:
        raise ApiMisuse("overlapped writes are not supported")
    if not written_ptr:
        raise ApiMisuse("lpNumberOfBytesWritten is NULL without OVERLAPPED")
    return _write(p, handle, buf, count, written_ptr)


def _read(p, handle, read_ptr):
    if handle != STDIN:
        return _fail(p, ERROR_INVALID_HANDLE)
    if not read_ptr:
        raise ApiMisuse("the bytes-read pointer is NULL")
    p.mem.write_u32(read_ptr, 0)  # standard input is always at its end
    return 1


@api(K32, 5)
def ReadConsoleA(p, handle, buf, count, read_ptr, control):
    return _read(p, handle, read_ptr)


@api(K32, 5)
def ReadFile(p, handle, buf, count, read_ptr, overlapped):
    if overlapped:
        raise ApiMisuse("overlapped reads are not supported")
    return _read(p, handle, read_ptr)


@api(K32, 0)
def GetCommandLineA(p):
    return p.command_line_ptr


@api(K32, 0)
def GetLastError(p):
    return p.last_error


@api(K32, 1)
def SetLastError(p, error):
    p.last_error = error


@api(K32, 1)
def lstrlenA(p, ptr):
    return len(p.mem.read_cstr(ptr)) if ptr else 0


@api(K32, 1)
def Sleep(p, ms):
    p.slept_ms += ms  # no real waiting; GetTickCount still moves on


@api(K32, 0)
def GetTickCount(p):
    elapsed = (time.monotonic() - p.started) * 1000
    return int(elapsed + p.slept_ms) & 0xFFFFFFFF


@api(U32, 4)
def MessageBoxA(p, hwnd, text, caption, style):
    line = f"{_text(p, caption, 'Error')}: {_text(p, text)}\n"
    p.console_write(line.encode("cp1252", "replace"))
    return 1  # IDOK


# --- modules -------------------------------------------------------------

@api(K32, 1)
def GetModuleHandleA(p, name_ptr):
    if not name_ptr:
        return p.modules.exe.base
    handle = p.modules.handle_of(_text(p, name_ptr))
    return handle or _fail(p, ERROR_MOD_NOT_FOUND)


@api(K32, 1)
def LoadLibraryA(p, name_ptr):
    if not name_ptr:
        return _fail(p, ERROR_INVALID_PARAMETER)
    handle = p.modules.load_library(_text(p, name_ptr))
    return handle or _fail(p, ERROR_MOD_NOT_FOUND)


@api(K32, 2)
def GetProcAddress(p, handle, name_ptr):
    if not p.modules.is_handle(handle):
        return _fail(p, ERROR_INVALID_HANDLE)
    # Values below 64 KiB are ordinals, not string pointers.
    key = name_ptr if name_ptr < 0x10000 else _text(p, name_ptr)
    return p.modules.proc_address(handle, key) or _fail(p,
                                                         ERROR_PROC_NOT_FOUND)


@api(K32, 1)
def FreeLibrary(p, handle):
    return 1 if p.modules.free_library(handle) else _fail(
        p, ERROR_INVALID_HANDLE)


# --- memory --------------------------------------------------------------

@api(K32, 4)
def VirtualAlloc(p, addr, size, kind, protect):
    if not size or not kind & (MEM_COMMIT | MEM_RESERVE):
        return _fail(p, ERROR_INVALID_PARAMETER)
    return p.virtual.alloc(addr, size) or _fail(p, ERROR_INVALID_ADDRESS)


@api(K32, 3)
def VirtualFree(p, addr, size, kind):
    if kind == MEM_DECOMMIT and p.virtual.containing(addr) is not None:
        return 1
    if kind != MEM_RELEASE or size:
        return _fail(p, ERROR_INVALID_PARAMETER)
    return 1 if p.virtual.release(addr) else _fail(p, ERROR_INVALID_ADDRESS)


@api(K32, 0)
def GetProcessHeap(p):
    return p.heap.handle


def _check_heap(p, heap):
    if heap != p.heap.handle:
        raise ApiMisuse(f"{heap:#x} is not a heap handle")


@api(K32, 3)
def HeapAlloc(p, heap, flags, size):
    _check_heap(p, heap)
    return p.heap.alloc(size)


@api(K32, 4)
def HeapReAlloc(p, heap, flags, ptr, size):
    _check_heap(p, heap)
    new = p.heap.realloc(ptr, size)
    if not new:
        raise ApiMisuse(f"{ptr:#x} is not a live heap block")
    return new


@api(K32, 3)
def HeapFree(p, heap, flags, ptr):
    _check_heap(p, heap)
    if ptr and not p.heap.free(ptr):
        raise ApiMisuse(f"{ptr:#x} is not a live heap block")
    return 1

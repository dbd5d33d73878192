"""The kernel32 functions the emulator provides: those our programs and the
standard include call.

Each function gets the emulated process `p` and the raw 32-bit stack
arguments; the emulator pops them afterwards (stdcall).  Where Windows reports
a bad argument through the return value and GetLastError, so do these; where
Windows would crash or corrupt memory, they raise ApiMisuse so that the run
stops with a message naming the call.
"""

K32 = "kernel32.dll"

STDIN, STDOUT, STDERR = 0x3, 0x7, 0xB
_STD_HANDLES = {0xFFFFFFF6: STDIN, 0xFFFFFFF5: STDOUT, 0xFFFFFFF4: STDERR}
INVALID_HANDLE_VALUE = 0xFFFFFFFF
ERROR_INVALID_HANDLE = 6

API = {}  # (dll, name) -> (number of stack arguments, function)


class ApiMisuse(Exception):
    """A call that would crash or corrupt the process on Windows."""


def api(nargs):
    def register(func):
        API[(K32, func.__name__)] = (nargs, func)
        return func
    return register


def _fail(p, error, value=0):
    p.last_error = error
    return value


@api(1)
def ExitProcess(p, code):
    p.exit(code)


@api(1)
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


@api(5)
def WriteConsoleA(p, handle, buf, count, written_ptr, reserved):
    if reserved:
        raise ApiMisuse("lpReserved must be NULL")
    return _write(p, handle, buf, count, written_ptr)


@api(5)
def WriteFile(p, handle, buf, count, written_ptr, overlapped):
    if overlapped:
        raise ApiMisuse("overlapped writes are not supported")
    if not written_ptr:
        raise ApiMisuse("lpNumberOfBytesWritten is NULL without OVERLAPPED")
    return _write(p, handle, buf, count, written_ptr)


@api(0)
def GetCommandLineA(p):
    return p.command_line_ptr


@api(1)
def lstrlenA(p, ptr):
    return len(p.mem.read_cstr(ptr)) if ptr else 0


@api(0)
def GetProcessHeap(p):
    return p.heap.handle


def _check_heap(p, heap):
    if heap != p.heap.handle:
        raise ApiMisuse(f"{heap:#x} is not a heap handle")


@api(3)
def HeapAlloc(p, heap, flags, size):
    _check_heap(p, heap)
    return p.heap.alloc(size)


@api(3)
def HeapFree(p, heap, flags, ptr):
    _check_heap(p, heap)
    if ptr and not p.heap.free(ptr):
        raise ApiMisuse(f"{ptr:#x} is not a live heap block")
    return 1


# --- console input -------------------------------------------------------
# The bytes a program reads come from p.console_input (given to the run); the
# mode is only remembered, since the input is already raw bytes. Reading past
# the end fails the run instead of blocking, as a console with no one typing would.

@api(2)
def GetConsoleMode(p, handle, mode_ptr):
    if handle not in (STDIN, STDOUT, STDERR):
        return _fail(p, ERROR_INVALID_HANDLE)
    p.mem.write_u32(mode_ptr, p.console_modes.get(handle, 0x7 if handle == STDIN else 0x3))
    return 1


@api(2)
def SetConsoleMode(p, handle, mode):
    if handle not in (STDIN, STDOUT, STDERR):
        return _fail(p, ERROR_INVALID_HANDLE)
    p.console_modes[handle] = mode
    return 1


@api(5)
def ReadConsoleA(p, handle, buf, count, read_ptr, control):
    if handle != STDIN:
        return _fail(p, ERROR_INVALID_HANDLE)
    if not p.console_input:
        raise ApiMisuse("waits for console input that the run did not supply")
    data = p.console_input[:count]
    del p.console_input[:len(data)]
    p.mem.write(buf, bytes(data))
    if read_ptr:
        p.mem.write_u32(read_ptr, len(data))
    return 1


@api(1)
def GetSystemInfo(p, info_ptr):
    # SYSTEM_INFO of one x86 processor with 4 KiB pages.
    fields = [0, 0x1000, 0x10000, 0x7FFEFFFF, 1, 1, 586, 0x10000, 0x0006_0000]
    for i, value in enumerate(fields):
        p.mem.write_u32(info_ptr + 4 * i, value)


# --- module handles

@api(1)
def GetModuleHandleA(p, name_ptr):
    if not name_ptr:
        return p.modules.exe.base
    name = p.mem.read_cstr(name_ptr).decode("cp1252").lower()
    image = p.modules.images.get(name if "." in name else name + ".dll")
    return image.base if image else 0


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


# --- module handles and string resources

USER32 = "user32.dll"


def user32_api(nargs):
    def register(func):
        API[(USER32, func.__name__)] = (nargs, func)
        return func
    return register


@api(1)
def GetModuleHandleA(p, name_ptr):
    if name_ptr:
        raise ApiMisuse("GetModuleHandleA is only provided for the program itself (NULL)")
    return p.modules.exe.base


def _u16(p, addr):
    return int.from_bytes(p.mem.read(addr, 2), "little")


def _directory_entry(p, directory, wanted):
    """The offset an id entry of a resource directory points at; the first when `wanted` is None."""
    named, ids = _u16(p, directory + 12), _u16(p, directory + 14)
    for k in range(named, named + ids):
        entry = directory + 16 + 8 * k
        if wanted is None or p.mem.read_u32(entry) == wanted:
            return p.mem.read_u32(entry + 4)
    return None


def _find_resource(p, base, rtype, rid):
    """(address, size) of a resource of the image at `base`, in its first language; None when absent."""
    optional = base + p.mem.read_u32(base + 0x3C) + 24
    root_rva = p.mem.read_u32(optional + 96 + 2 * 8)
    if not root_rva:
        return None
    root, offset = base + root_rva, 0
    for wanted in (rtype, rid, None):
        offset = _directory_entry(p, root + (offset & 0x7FFFFFFF), wanted)
        if offset is None:
            return None
    data = root + offset
    return base + p.mem.read_u32(data), p.mem.read_u32(data + 4)


@user32_api(4)
def LoadStringA(p, instance, uid, buf, size):
    """The string `uid` of the string table (type 6, block uid/16+1) as 8-bit text."""
    found = _find_resource(p, instance, 6, uid // 16 + 1)
    if found is None or size == 0:
        return 0
    at = found[0]
    for _ in range(uid % 16):
        at += 2 + 2 * _u16(p, at)
    length = min(_u16(p, at), size - 1)
    text = bytes(_u16(p, at + 2 + 2 * i) & 0xFF for i in range(length))
    p.mem.write(buf, text + b"\0")
    return length

"""The few user32 functions a windowed program needs to run without a screen: window classes,
windows that are only handles, and one message queue whose messages DispatchMessageA hands to
the window procedure (as a call into the program). Closing a window goes as on Windows:
DefWindowProcA turns WM_CLOSE into WM_DESTROY, and PostQuitMessage queues WM_QUIT.
"""
from collections import deque

from win32_stubs import API, ApiMisuse

U32 = "user32.dll"
WM_DESTROY, WM_CLOSE, WM_QUIT = 0x2, 0x10, 0x12
_FIRST_WINDOW = 0x10010


def api(nargs):
    def register(func):
        API[(U32, func.__name__)] = (nargs, func)
        return func
    return register


class WindowState:
    def __init__(self):
        self.classes = {}    # class name -> window procedure
        self.windows = {}    # handle -> window procedure
        self.queue = deque()  # (window, message, wParam, lParam)


def _state(p):
    if not hasattr(p, "user32"):
        p.user32 = WindowState()
    return p.user32


def _send(p, window, message, wparam=0, lparam=0):
    """The window procedure runs before the program goes on; its result is not kept."""
    proc = _state(p).windows.get(window)
    if proc:
        p.queue_guest_call(proc, [window, message, wparam, lparam])


@api(1)
def RegisterClassA(p, wc):
    proc, name = p.mem.read_u32(wc + 4), p.mem.read_cstr(p.mem.read_u32(wc + 36)).lower()
    if not proc:
        raise ApiMisuse("the window class has no window procedure")
    classes = _state(p).classes
    if name in classes:
        return 0
    classes[name] = proc
    return 0xC000 + len(classes)


@api(12)
def CreateWindowExA(p, ex_style, class_name, title, style, x, y, width, height, parent, menu,
                    instance, param):
    state = _state(p)
    proc = state.classes.get(p.mem.read_cstr(class_name).lower())
    if proc is None:
        return 0
    window = _FIRST_WINDOW + 4 * len(state.windows)
    state.windows[window] = proc
    return window


@api(2)
def ShowWindow(p, window, show):
    return 0


@api(5)
def PeekMessageA(p, msg, window, first, last, remove):
    queue = _state(p).queue
    if not queue:
        return 0
    entry = queue.popleft() if remove & 1 else queue[0]
    for i, value in enumerate(entry + (0, 0, 0)):
        p.mem.write_u32(msg + 4 * i, value)
    return 1


@api(1)
def TranslateMessage(p, msg):
    return 0


@api(1)
def DispatchMessageA(p, msg):
    _send(p, *(p.mem.read_u32(msg + 4 * i) for i in range(4)))
    return 0


@api(4)
def PostMessageA(p, window, message, wparam, lparam):
    if window not in _state(p).windows:
        return 0
    _state(p).queue.append((window, message, wparam, lparam))
    return 1


@api(4)
def DefWindowProcA(p, window, message, wparam, lparam):
    if message == WM_CLOSE:  # DestroyWindow: the window is told, then it is gone
        _send(p, window, WM_DESTROY)
    return 0


@api(1)
def PostQuitMessage(p, code):
    _state(p).queue.append((0, WM_QUIT, code, 0))


# --- string resources

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


@api(4)
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

"""Address-space bookkeeping for the emulator: which ranges are mapped, where
free room is, guarded reads/writes that report bad guest pointers, and the
process heap."""

import struct

from unicorn import UcError, UC_PROT_ALL

PAGE = 0x1000
ALLOC_GRANULARITY = 0x10000  # Windows places allocations on 64 KiB bounds
_LOWEST = 0x10000            # keep page 0 and its neighbours unmapped
_HIGHEST = 0x7FFF0000        # top of the 32-bit user address space


class BadPointer(Exception):
    """A guest pointer handed to an API does not point at mapped memory."""


def page_round(size):
    return (size + PAGE - 1) & ~(PAGE - 1)


class AddressSpace:
    def __init__(self, uc):
        self.uc = uc
        self.regions = {}  # start -> end (exclusive)

    def is_free(self, start, size):
        end = start + page_round(size)
        if start < _LOWEST or end > _HIGHEST:
            return False
        return all(end <= s or start >= e for s, e in self.regions.items())

    def find_free(self, size, align=ALLOC_GRANULARITY):
        addr = _LOWEST
        for start, end in sorted(self.regions.items()):
            if addr + page_round(size) <= start:
                break
            addr = max(addr, (end + align - 1) & ~(align - 1))
        return addr if self.is_free(addr, size) else None

    def map(self, start, size, perms=UC_PROT_ALL):
        size = page_round(size)
        self.uc.mem_map(start, size, perms)
        self.regions[start] = start + size
        return start

    def alloc(self, size, preferred=None):
        """Map `size` bytes at `preferred` if free, else anywhere free."""
        if preferred is None or not self.is_free(preferred, size):
            preferred = self.find_free(size)
        if preferred is None:
            raise MemoryError("emulated address space is full")
        return self.map(preferred, size)

    def read(self, addr, size):
        try:
            return bytes(self.uc.mem_read(addr, size))
        except UcError:
            raise BadPointer(f"cannot read {size} bytes at {addr:#x}")

    def write(self, addr, data):
        try:
            self.uc.mem_write(addr, bytes(data))
        except UcError:
            raise BadPointer(f"cannot write {len(data)} bytes at {addr:#x}")

    def read_u32(self, addr):
        return struct.unpack("<I", self.read(addr, 4))[0]

    def write_u32(self, addr, value):
        self.write(addr, struct.pack("<I", value & 0xFFFFFFFF))

    def read_cstr(self, addr, limit=0x10000):
        """Read a NUL-terminated byte string (without the NUL)."""
        out = bytearray()
        while len(out) < limit:
            chunk = self._read_some(addr + len(out))
            nul = chunk.find(b"\0")
            if nul >= 0:
                return bytes(out + chunk[:nul])
            out += chunk
        raise BadPointer(f"string at {addr:#x} is not terminated")

    def _read_some(self, addr):
        # Read up to the end of the page so strings near unmapped memory work.
        size = PAGE - (addr % PAGE)
        return self.read(addr, size)


class Heap:
    """A bump allocator: blocks are never reused, so every block starts
    zeroed (HEAP_ZERO_MEMORY holds for free) and stale pointers stay mapped."""

    def __init__(self, space):
        self.space = space
        self.handle = space.alloc(PAGE)  # a real address, like a heap handle
        self.blocks = {}
        self.cursor = self.chunk_end = 0

    def alloc(self, size):
        size = (max(size, 1) + 7) & ~7
        if self.cursor + size > self.chunk_end:
            chunk = page_round(max(size, 0x100000))
            self.cursor = self.space.alloc(chunk)
            self.chunk_end = self.cursor + chunk
        ptr, self.cursor = self.cursor, self.cursor + size
        self.blocks[ptr] = size
        return ptr

    def free(self, ptr):
        return self.blocks.pop(ptr, None) is not None

"""The emulator's process heap and VirtualAlloc regions."""

from emu_memory import page_round

_HEAP_CHUNK = 0x100000


class Heap:
    """A bump allocator: blocks are never reused, so every block starts
    zeroed (HEAP_ZERO_MEMORY holds for free) and stale pointers stay mapped."""

    def __init__(self, space):
        self.space = space
        self.handle = space.alloc(0x1000)  # a real address, like a heap handle
        self.blocks = {}
        self.cursor = self.chunk_end = 0

    def alloc(self, size):
        size = (max(size, 1) + 7) & ~7
        if self.cursor + size > self.chunk_end:
            chunk = page_round(max(size, _HEAP_CHUNK))
            self.cursor = self.space.alloc(chunk)
            self.chunk_end = self.cursor + chunk
        ptr, self.cursor = self.cursor, self.cursor + size
        self.blocks[ptr] = size
        return ptr

    def free(self, ptr):
        return self.blocks.pop(ptr, None) is not None

    def realloc(self, ptr, size):
        old = self.blocks.get(ptr)
        if old is None:
            return 0
        new = self.alloc(size)
        self.space.write(new, self.space.read(ptr, min(old, size)))
        self.free(ptr)
        return new


class VirtualRegions:
    """Regions handed out by VirtualAlloc; reserve and commit are one step."""

    def __init__(self, space):
        self.space = space
        self.regions = set()

    def containing(self, addr):
        found = self.space.region_at(addr)
        return found[0] if found and found[0] in self.regions else None

    def alloc(self, addr, size):
        if addr:
            owner = self.containing(addr)
            if owner is not None:   # committing inside a reserved region
                return addr & ~0xFFF
            addr &= ~0xFFFF
            if not self.space.is_free(addr, size):
                return 0
        base = self.space.alloc(size, preferred=addr or None)
        self.regions.add(base)
        return base

    def release(self, addr):
        if addr not in self.regions:
            return False
        self.regions.discard(addr)
        self.space.unmap(addr)
        return True

"""The emulated process's module list: the EXE, DLLs it imports from that lie
beside it (mapped for real, their DllMain called) and system DLLs (kernel32,
user32, ...), whose functions are stubs.
"""

import os

from pe_image import map_image

# Names that are never searched for beside the EXE: they are always stubs.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "ntdll.dll", "gdi32.dll",
               "advapi32.dll", "msvcrt.dll", "shell32.dll"}
DLL_PROCESS_ATTACH = 1


class ModuleError(Exception):
    """A DLL or export that a module imports cannot be found."""


class ModuleTable:
    def __init__(self, process, exe_path):
        self.process = process
        self.folder = os.path.dirname(os.path.abspath(exe_path))
        self.exe = map_image(process.mem, exe_path)
        self.images = {self.exe.name: self.exe}  # name -> Image

    def bind_exe(self):
        """Resolve the EXE's imports, loading the DLLs it needs."""
        self._bind(self.exe)

    def _load(self, dll):
        """The image of a DLL beside the EXE (loading it once), None for a
        system DLL; raises ModuleError when there is no such file."""
        key = dll.lower()
        if key in SYSTEM_DLLS:
            return None
        if key not in self.images:
            found = [e for e in os.listdir(self.folder) if e.lower() == key]
            if not found:
                raise ModuleError(f"{dll} was not found")
            image = map_image(self.process.mem,
                              os.path.join(self.folder, found[0]))
            self.images[key] = image   # before binding, so cycles terminate
            self._bind(image)
            if image.is_dll and image.entry:
                self.process.queue_guest_call(
                    image.entry, [image.base, DLL_PROCESS_ATTACH, 0])
        return self.images[key]

    def _bind(self, image):
        for imp in image.imports:
            dll = self._load(imp.dll)
            addr = (self.process.stub_for(imp.dll, imp.name) if dll is None
                    else dll.exports.get(imp.name))
            if not addr:
                raise ModuleError(f"{imp.dll}!{imp.name}, needed by "
                                  f"{image.name}, is not exported")
            self.process.mem.write_u32(imp.slot, addr)

    def describe(self, addr):
        """'name+0xoffset' for an address inside a mapped image."""
        for image in self.images.values():
            if image.base <= addr < image.base + image.size:
                return f"{image.name}+{addr - image.base:#x}"
        return f"{addr:#x}"

"""The emulated process's module list: the EXE, DLLs found beside it (mapped
for real) and system DLLs (kernel32, user32, ...), whose functions are stubs.
"""

import os

from pe_image import map_image

# Names that are never searched for beside the EXE: they are always stubs.
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "ntdll.dll", "kernelbase.dll", "gdi32.dll",
    "advapi32.dll", "msvcrt.dll", "shell32.dll", "ole32.dll", "ws2_32.dll",
    "comctl32.dll", "comdlg32.dll", "shlwapi.dll", "oleaut32.dll",
    "ucrtbase.dll", "version.dll", "winmm.dll",
}
_ALWAYS_LOADED = {"kernel32.dll", "ntdll.dll"}
DLL_PROCESS_ATTACH = 1


class ModuleError(Exception):
    """A DLL or export that a module imports cannot be found."""


def normal_name(name):
    """Module identity as Windows matches it: file name, any case, and
    '.dll' implied when there is no extension."""
    base = name.replace("/", "\\").rsplit("\\", 1)[-1].lower()
    return base if "." in base else base + ".dll"


class ModuleTable:
    def __init__(self, process, exe_path):
        self.process = process
        self.folder = os.path.dirname(os.path.abspath(exe_path))
        self.images = {}    # name -> Image
        self.refs = {}      # name -> LoadLibrary count
        self.system = {}    # name -> pseudo module handle
        self.exe = map_image(process.mem, exe_path)
        self.images[self.exe.name] = self.exe

    def bind_exe(self):
        """Resolve the EXE's imports, loading the DLLs it needs."""
        self._bind(self.exe)

    # --- loading ---------------------------------------------------------

    def load_library(self, name):
        """Handle of the module, loading it if needed; 0 when not found."""
        key = normal_name(name)
        if key in self.images:
            self.refs[key] = self.refs.get(key, 0) + 1
            return self.images[key].base
        if key in SYSTEM_DLLS:
            return self._system_handle(key)
        path = self._find_beside_exe(key)
        return self._load_file(key, path) if path else 0

    def _find_beside_exe(self, key):
        for entry in os.listdir(self.folder):
            if entry.lower() == key:
                return os.path.join(self.folder, entry)
        return None

    def _system_handle(self, key):
        if key not in self.system:
            # A mapped page gives each system DLL a distinct, real address.
            self.system[key] = self.process.mem.alloc(0x1000)
        return self.system[key]

    def _load_file(self, key, path):
        image = map_image(self.process.mem, path)
        self.images[key] = image   # before binding, so cycles terminate
        self.refs[key] = 1
        self._bind(image)
        if image.is_dll and image.entry:
            self.process.queue_guest_call(
                image.entry, [image.base, DLL_PROCESS_ATTACH, 0])
        return image.base

    def _bind(self, image):
        for imp in image.imports:
            self.process.mem.write_u32(imp.slot, self._resolve(image, imp))

    def _resolve(self, image, imp):
        handle = self.load_library(imp.dll)
        if not handle:
            raise ModuleError(f"{imp.dll}, needed by {image.name}, "
                              "was not found")
        key = imp.name if imp.ordinal is None else imp.ordinal
        addr = self.proc_address(handle, key)
        if not addr:
            raise ModuleError(f"{imp.dll}!{imp.name}, needed by "
                              f"{image.name}, is not exported")
        return addr

    # --- queries ---------------------------------------------------------

    def _image_by_handle(self, handle):
        return next((i for i in self.images.values() if i.base == handle),
                    None)

    def _system_name(self, handle):
        return next((n for n, h in self.system.items() if h == handle), None)

    def is_handle(self, handle):
        return bool(self._image_by_handle(handle) or
                    self._system_name(handle))

    def handle_of(self, name):
        """GetModuleHandleA: only modules already in the process."""
        key = normal_name(name)
        if key in self.images:
            return self.images[key].base
        if key in self.system or key in _ALWAYS_LOADED:
            return self._system_handle(key)
        return 0

    def proc_address(self, handle, key):
        """Address for an export given by name (str) or ordinal (int)."""
        system = self._system_name(handle)
        if system:
            name = key if isinstance(key, str) else f"#{key}"
            return self.process.stub_for(system, name)
        image = self._image_by_handle(handle)
        table = image.exports if isinstance(key, str) else image.ordinals
        target = table.get(key, 0)
        return self._forward(target) if isinstance(target, str) else target

    def _forward(self, target):
        dll, _, name = target.rpartition(".")
        handle = self.load_library(dll)
        if not handle:
            return 0
        key = int(name[1:]) if name.startswith("#") else name
        return self.proc_address(handle, key)

    def free_library(self, handle):
        # Images stay mapped: stale pointers into a freed DLL keep working,
        # which a test runner can live with.
        image = self._image_by_handle(handle)
        if image and self.refs.get(image.name, 0) > 0:
            self.refs[image.name] -= 1
        return bool(image or self._system_name(handle))

    def describe(self, addr):
        """'name+0xoffset' for an address inside a mapped image."""
        for image in self.images.values():
            if image.base <= addr < image.base + image.size:
                return f"{image.name}+{addr - image.base:#x}"
        return f"{addr:#x}"

"""Maps one PE32 image (EXE or DLL) into the emulator's address space the way
the Windows loader lays it out, and lists its imports and exports."""

import os
import struct
from dataclasses import dataclass, field

import pefile

_DIRS = [pefile.DIRECTORY_ENTRY[name] for name in (
    "IMAGE_DIRECTORY_ENTRY_IMPORT", "IMAGE_DIRECTORY_ENTRY_EXPORT",
    "IMAGE_DIRECTORY_ENTRY_BASERELOC")]
_RELOC_ABSOLUTE, _RELOC_HIGHLOW = 0, 3
_RELOCS_STRIPPED = 0x0001


class ImageError(Exception):
    """The file cannot be loaded as a 32-bit x86 PE image."""


@dataclass
class Import:
    dll: str          # lower-case DLL name, e.g. "kernel32.dll"
    name: str         # function name, or "#N" for an import by ordinal
    slot: int         # address of the IAT slot to fill


@dataclass
class Image:
    path: str
    name: str         # lower-case file name, the module's identity
    base: int
    size: int
    entry: int        # entry point address, None if the image has none
    is_dll: bool
    exports: dict = field(default_factory=dict)   # name -> address
    imports: list = field(default_factory=list)


def _parse(path):
    try:
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories(directories=_DIRS)
    except (OSError, pefile.PEFormatError) as err:
        raise ImageError(f"{path}: {err}")
    if pe.FILE_HEADER.Machine != 0x14C or pe.OPTIONAL_HEADER.Magic != 0x10B:
        raise ImageError(f"{path}: not a 32-bit x86 PE image")
    return pe


def _apply_relocations(pe, data, delta):
    for block in getattr(pe, "DIRECTORY_ENTRY_BASERELOC", []):
        for entry in block.entries:
            if entry.type == _RELOC_ABSOLUTE:
                continue
            if entry.type != _RELOC_HIGHLOW:
                raise ImageError(f"unsupported relocation type {entry.type}")
            old = struct.unpack_from("<I", data, entry.rva)[0]
            struct.pack_into("<I", data, entry.rva, (old + delta) & 0xFFFFFFFF)


def _choose_base(space, pe, path):
    preferred, size = pe.OPTIONAL_HEADER.ImageBase, pe.OPTIONAL_HEADER.SizeOfImage
    if space.is_free(preferred, size):
        return preferred
    # As the Windows loader does: an image may move unless its relocations were stripped;
    # one without a relocation table then simply has nothing to patch.
    if pe.FILE_HEADER.Characteristics & _RELOCS_STRIPPED:
        raise ImageError(f"{path}: preferred base {preferred:#x} is taken "
                         "and the image's relocations are stripped")
    return space.find_free(size)


def _exports(pe, base):
    directory = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
    return {sym.name.decode(): base + sym.address
            for sym in (directory.symbols if directory else []) if sym.name}


def _imports(pe, delta):
    found = []
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode().lower()
        for imp in entry.imports:
            name = imp.name.decode() if imp.name else f"#{imp.ordinal}"
            found.append(Import(dll, name, imp.address + delta))
    return found


def map_image(space, path):
    """Map the image at `path` into `space`; returns an Image."""
    pe = _parse(path)
    size = pe.OPTIONAL_HEADER.SizeOfImage
    data = bytearray(pe.get_memory_mapped_image()[:size]).ljust(size, b"\0")
    base = _choose_base(space, pe, path)
    delta = base - pe.OPTIONAL_HEADER.ImageBase
    if delta:
        _apply_relocations(pe, data, delta)
    space.map(base, size)
    space.write(base, data)
    entry_rva = pe.OPTIONAL_HEADER.AddressOfEntryPoint
    image = Image(path=path, name=os.path.basename(path).lower(), base=base,
                  size=size, entry=base + entry_rva if entry_rva else None,
                  is_dll=pe.is_dll())
    image.exports = _exports(pe, base)
    image.imports = _imports(pe, delta)
    pe.close()
    return image

"""Builds a minimal PE32 console EXE in memory.

It has one section, no imports and an entry point that returns a fixed
value, so it needs no toolchain: the wine probe and the emulator's own tests
can run it anywhere.
"""

import struct

IMAGE_BASE = 0x400000
_SECTION_RVA = 0x1000
_FILE_ALIGN = 0x200


def _dos_header():
    header = bytearray(0x40)
    header[0:2] = b"MZ"
    struct.pack_into("<I", header, 0x3C, 0x40)  # e_lfanew: PE header follows
    return bytes(header)


def _coff_header():
    machine_i386, sections, opt_size = 0x14C, 1, 0xE0
    flags = 0x0001 | 0x0002 | 0x0100  # relocs stripped, executable, 32-bit
    return b"PE\0\0" + struct.pack("<HHIIIHH", machine_i386, sections,
                                   0, 0, 0, opt_size, flags)


def _optional_header(code_size):
    fields = struct.pack(
        "<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII",
        0x10B, 0, 0, _FILE_ALIGN, 0, 0,            # PE32, sizes of code/data
        _SECTION_RVA, _SECTION_RVA, 0x2000,        # entry, code, data bases
        IMAGE_BASE, 0x1000, _FILE_ALIGN,           # base, alignments
        4, 0, 0, 0, 4, 0, 0,                       # versions, win32 version
        0x2000, _FILE_ALIGN, 0,                    # image, headers, checksum
        3, 0,                                      # console subsystem
        0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
    assert code_size <= _FILE_ALIGN
    return fields + bytes(16 * 8)                  # empty data directories


def _section_header(code_size):
    flags = 0x60000020  # code, execute, read
    return struct.pack("<8sIIIIIIHHI", b".text", code_size, _SECTION_RVA,
                       _FILE_ALIGN, _FILE_ALIGN, 0, 0, 0, 0, flags)


def exit_code_exe(code):
    """Return the bytes of an EXE whose entry point returns `code`."""
    body = b"\xB8" + struct.pack("<I", code & 0xFFFFFFFF) + b"\xC3"
    headers = (_dos_header() + _coff_header() + _optional_header(len(body))
               + _section_header(len(body)))
    return (headers.ljust(_FILE_ALIGN, b"\0")
            + body.ljust(_FILE_ALIGN, b"\0"))

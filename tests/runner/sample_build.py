"""Builds the test EXEs and DLL from samples/*.s with the mingw-w64 binutils
(assembler, linker, dlltool for import libraries); no C runtime is used."""

import os
import shutil
import subprocess

SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "samples")
TOOLS = {"as": "i686-w64-mingw32-as", "ld": "i686-w64-mingw32-ld",
         "dlltool": "i686-w64-mingw32-dlltool"}
DLL_BASE = 0x10000000

_EXE_FLAGS = ["-e", "_start", "--subsystem", "console",
              "--disable-dynamicbase", "--disable-reloc-section"]
_DLL_FLAGS = ["--dll", "-e", "_dll_entry", "--subsystem", "windows",
              "--image-base", hex(DLL_BASE), "--disable-dynamicbase",
              "--enable-reloc-section"]
# output -> (object, extra linker flags, import libraries)
_EXES = {
    "hello.exe": ("hello", [], ["kernel32"]),
    "exit42.exe": ("exit42", [], ["kernel32"]),
    "cmdline.exe": ("cmdline", [], ["kernel32"]),
    "unknown.exe": ("unknown", [], ["kernel32"]),
    "spin.exe": ("spin", [], ["kernel32"]),
    "loader.exe": ("loader", [], ["kernel32"]),
    "direct.exe": ("direct", [], ["mathlib", "kernel32"]),
    # Sits where mathlib.dll wants to be, so the DLL must be relocated.
    "apis.exe": ("apis", [], ["kernel32"]),
    "misuse.exe": ("misuse", [], ["user32", "kernel32"]),
    "clash.exe": ("loader", ["--image-base", hex(DLL_BASE)], ["kernel32"]),
}


def missing_tools():
    """Reason the samples cannot be built, or None."""
    missing = [t for t in TOOLS.values() if not shutil.which(t)]
    if missing:
        return ("missing " + ", ".join(missing) +
                " (Debian package binutils-mingw-w64-i686)")
    return None


def _run(*cmd):
    subprocess.run(cmd, check=True, capture_output=True, text=True)


def _src(name):
    return os.path.join(SAMPLES, name)


def build(out_dir):
    """Assemble and link every sample into out_dir; returns out_dir."""
    obj = lambda name: os.path.join(out_dir, name + ".o")
    implib = lambda name: os.path.join(out_dir, f"lib{name}.a")
    for lib in ("kernel32", "user32", "mathlib"):
        _run(TOOLS["dlltool"], "-d", _src(lib + ".def"), "-l", implib(lib))
    for src in os.listdir(SAMPLES):
        if src.endswith(".s"):
            _run(TOOLS["as"], "--32", "-o", obj(src[:-2]), _src(src))
    _run(TOOLS["ld"], *_DLL_FLAGS, "-o", os.path.join(out_dir, "mathlib.dll"),
         obj("mathlib"), _src("mathlib.def"), implib("kernel32"))
    for exe, (name, flags, libs) in _EXES.items():
        _run(TOOLS["ld"], *_EXE_FLAGS, *flags, "-o",
             os.path.join(out_dir, exe), obj(name),
             *[implib(lib) for lib in libs])
    return out_dir

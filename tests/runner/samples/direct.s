# Imports mathlib.dll's exports through its import table and exits with
# add_base(1) (101).
.intel_syntax noprefix
.text
.globl _start
_start:
    call dword ptr [__imp__greet]
    push 1
    call dword ptr [__imp__add_base]
    push eax
    call dword ptr [__imp__ExitProcess]

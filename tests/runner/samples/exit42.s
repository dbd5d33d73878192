# Ends through ExitProcess with a non-zero code and prints nothing.
.intel_syntax noprefix
.text
.globl _start
_start:
    push 42
    call dword ptr [__imp__ExitProcess]

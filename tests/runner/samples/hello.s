# Writes one line with WriteConsoleA and one with WriteFile, then returns 0
# from the entry point (the loader turns the return value into the exit code).
.intel_syntax noprefix
.section .rdata,"dr"
msg1: .ascii "Hello, world!\r\n"
msg1_end:
msg2: .ascii "second line\r\n"
msg2_end:
.bss
written: .space 4
.text
.globl _start
_start:
    push -11
    call dword ptr [__imp__GetStdHandle]
    mov ebx, eax
    push 0
    push offset written
    push msg1_end - msg1
    push offset msg1
    push ebx
    call dword ptr [__imp__WriteConsoleA]
    push 0
    push offset written
    push msg2_end - msg2
    push offset msg2
    push ebx
    call dword ptr [__imp__WriteFile]
    xor eax, eax
    ret

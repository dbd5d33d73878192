# Prints a line, then calls Beep, an import the emulator does not provide.
.intel_syntax noprefix
.section .rdata,"dr"
msg: .ascii "before\r\n"
msg_end:
.bss
written: .space 4
.text
.globl _start
_start:
    push -11
    call dword ptr [__imp__GetStdHandle]
    push 0
    push offset written
    push msg_end - msg
    push offset msg
    push eax
    call dword ptr [__imp__WriteConsoleA]
    push 10
    push 440
    call dword ptr [__imp__Beep]
    push 0
    call dword ptr [__imp__ExitProcess]

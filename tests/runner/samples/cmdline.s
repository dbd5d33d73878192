# Echoes its command line (GetCommandLineA, lstrlenA) followed by CR LF.
.intel_syntax noprefix
.section .rdata,"dr"
crlf: .ascii "\r\n"
.bss
written: .space 4
.text
.globl _start
_start:
    push -11
    call dword ptr [__imp__GetStdHandle]
    mov ebx, eax
    call dword ptr [__imp__GetCommandLineA]
    mov esi, eax
    push esi
    call dword ptr [__imp__lstrlenA]
    push 0
    push offset written
    push eax
    push esi
    push ebx
    call dword ptr [__imp__WriteConsoleA]
    push 0
    push offset written
    push 2
    push offset crlf
    push ebx
    call dword ptr [__imp__WriteConsoleA]
    xor eax, eax
    ret

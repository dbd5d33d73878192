# Loads mathlib.dll at run time, reports whether it landed at its preferred
# base, calls both exports and returns add_base(23) (123) from the entry point.
.intel_syntax noprefix
.section .rdata,"dr"
dllname: .asciz "mathlib.dll"
name_add: .asciz "add_base"
name_greet: .asciz "greet"
at_pref: .ascii "dll at preferred base\r\n"
at_pref_end:
moved: .ascii "dll relocated\r\n"
moved_end:
.bss
written: .space 4
.text
.globl _start
_start:
    push offset dllname
    call dword ptr [__imp__LoadLibraryA]
    test eax, eax
    jz no_dll
    mov ebx, eax
    push 0
    push offset written
    cmp ebx, 0x10000000
    jne 1f
    push at_pref_end - at_pref
    push offset at_pref
    jmp 2f
1:  push moved_end - moved
    push offset moved
2:  push -11
    call dword ptr [__imp__GetStdHandle]
    push eax
    call dword ptr [__imp__WriteConsoleA]
    push offset name_greet
    push ebx
    call dword ptr [__imp__GetProcAddress]
    test eax, eax
    jz no_proc
    call eax
    push offset name_add
    push ebx
    call dword ptr [__imp__GetProcAddress]
    test eax, eax
    jz no_proc
    push 23
    call eax
    mov esi, eax
    push ebx
    call dword ptr [__imp__FreeLibrary]
    mov eax, esi
    ret
no_dll:
    mov eax, 2
    ret
no_proc:
    mov eax, 3
    ret

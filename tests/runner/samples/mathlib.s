# A DLL whose exports only work if its entry point ran (base_value is set on
# DLL_PROCESS_ATTACH) and whose absolute addresses were fixed up when it was
# not loaded at its preferred base.
.intel_syntax noprefix
.data
base_value: .long 0
.section .rdata,"dr"
gmsg: .ascii "mathlib says hi\r\n"
gmsg_end:
.bss
written: .space 4
.text
.globl _dll_entry
_dll_entry:
    cmp dword ptr [esp+8], 1
    jne 1f
    mov dword ptr [base_value], 100
1:  mov eax, 1
    ret 12

# int __stdcall add_base(int x)
.globl _add_base
_add_base:
    mov eax, [esp+4]
    add eax, [base_value]
    ret 4

# void __stdcall greet(void)
.globl _greet
_greet:
    push -11
    call dword ptr [__imp__GetStdHandle]
    push 0
    push offset written
    push gmsg_end - gmsg
    push offset gmsg
    push eax
    call dword ptr [__imp__WriteConsoleA]
    ret

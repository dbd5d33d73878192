# Checks the thread block and a few kernel32 calls; each failed check sets
# one bit of the exit code, so 0 means all passed.
.intel_syntax noprefix
.section .rdata,"dr"
nosuch: .asciz "nosuch_kelvo.dll"
abcd: .asciz "abcd"
msg: .ascii "checks done\r\n"
msg_end:
.bss
written: .space 4
.text
.globl _start
_start:
    xor edi, edi
    # fs:[0] ends the SEH chain
    cmp dword ptr fs:[0], -1
    je 1f
    or edi, 1
1:  # fs:[0x18] is the flat address of the same block
    mov eax, fs:[0x18]
    mov eax, [eax]
    cmp eax, -1
    je 1f
    or edi, 2
1:  # the stack lies between fs:[8] (limit) and fs:[4] (base)
    cmp esp, fs:[4]
    jae 2f
    cmp esp, fs:[8]
    ja 1f
2:  or edi, 4
1:  push 0
    call dword ptr [__imp__GetModuleHandleA]
    cmp eax, 0x400000
    je 1f
    or edi, 8
1:  call dword ptr [__imp__GetProcessHeap]
    mov ebx, eax
    push 100
    push 8                      # HEAP_ZERO_MEMORY
    push ebx
    call dword ptr [__imp__HeapAlloc]
    test eax, eax
    jz 2f
    cmp dword ptr [eax+96], 0
    jne 2f
    mov dword ptr [eax+96], 7
    push eax
    push 0
    push ebx
    call dword ptr [__imp__HeapFree]
    test eax, eax
    jnz 1f
2:  or edi, 16
1:  push 4                      # PAGE_READWRITE
    push 0x3000                 # MEM_COMMIT | MEM_RESERVE
    push 0x10000
    push 0
    call dword ptr [__imp__VirtualAlloc]
    test eax, eax
    jz 2f
    mov dword ptr [eax+0xfffc], 5
    push 0x8000                 # MEM_RELEASE
    push 0
    push eax
    call dword ptr [__imp__VirtualFree]
    test eax, eax
    jnz 1f
2:  or edi, 32
1:  push offset nosuch
    call dword ptr [__imp__LoadLibraryA]
    test eax, eax
    jnz 2f
    call dword ptr [__imp__GetLastError]
    cmp eax, 126                # ERROR_MOD_NOT_FOUND
    je 1f
2:  or edi, 64
1:  push offset abcd
    call dword ptr [__imp__lstrlenA]
    cmp eax, 4
    je 1f
    or edi, 128
1:  push -11
    call dword ptr [__imp__GetStdHandle]
    push 0
    push offset written
    push msg_end - msg
    push offset msg
    push eax
    call dword ptr [__imp__WriteConsoleA]
    push edi
    call dword ptr [__imp__ExitProcess]

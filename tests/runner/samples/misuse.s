# Shows a message box, then calls WriteFile without a bytes-written pointer,
# which Windows does not allow for a synchronous write.
.intel_syntax noprefix
.section .rdata,"dr"
text: .asciz "Something happened"
caption: .asciz "Kelvo"
line: .ascii "lost\r\n"
.text
.globl _start
_start:
    push 0
    push offset caption
    push offset text
    push 0
    call dword ptr [__imp__MessageBoxA]
    push -11
    call dword ptr [__imp__GetStdHandle]
    push 0
    push 0
    push 6
    push offset line
    push eax
    call dword ptr [__imp__WriteFile]
    push 0
    call dword ptr [__imp__ExitProcess]

# Never ends: the runners must stop it with a timeout.
.intel_syntax noprefix
.text
.globl _start
_start:
    jmp _start

/* The C side of addresses.kpr: each address a kelvo global was initialised with must be the
   one the linker gave the same thing here. Built without a C library. */
extern int tail;
extern void *pd, *pf, *pc, *px;
int helper(void);
void __attribute__((stdcall)) ExitProcess(unsigned code);

int cfunc(void) { return 3; }

/* One bit per address that is right: 31 when all are. */
int check(void) {
  return (pd == (void *)&tail) + 2 * (pf == (void *)helper) + 4 * (pc == (void *)cfunc) +
         8 * (px == (void *)ExitProcess) + 16 * (*(int *)pd == 2 && ((int (*)(void))pf)() == 5);
}

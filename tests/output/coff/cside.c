/* The C side of mixed.kpr: calls kelvo procedures in each convention, is called back,
   shares data both ways and checks the addresses kelvo takes. Built without a C library. */
int __stdcall sub2(int a, int b);
int __cdecl csub(int a, int b);
/* kelvo's fastcall passes EAX, EDX, ECX, as GCC's regparm(3); the callee removes the rest. */
int __attribute__((stdcall, regparm(3))) fastsub(int a, int b, int c) __asm__("@fastsub@12");
int usetwice(int v);
void bump(int *p);
void *subaddr(void);
void *hereaddr(void);
int via(void);
void greeting(void);
int callhidden(void);
void __stdcall show(const char *msg, int len);
extern int counter;

/* kelcall: EAX, ECX, EDX, ... have no C spelling, so the call is written out. */
static int ksub(int a, int b, int c) {
  int r;
  __asm__ volatile("call \"_@ksub@12\"" : "=a"(r), "+c"(b), "+d"(c) : "a"(a) : "memory", "cc");
  return r;
}

int twice(int v) { return 2 * v; }

static int cdata = 10;

static void number(const char *label, int len, unsigned v) {
  char buf[12];
  int n = 0;
  do buf[10 - n++] = '0' + v % 10; while (v /= 10);
  buf[11] = '\n';
  show(label, len);
  show(buf + 11 - n, n + 1);
}

int cmain(void) {
  greeting();
  number("conventions ", 12, sub2(9, 2) + csub(9, 3) * 10 + fastsub(9, 1, 2) * 100 + ksub(9, 4, 1) * 1000);
  counter += 2;
  number("callback ", 9, usetwice(5));
  bump(&cdata);
  number("shared ", 7, cdata);
  number("addresses ", 10, (subaddr() == (void *)sub2) + 10 * (hereaddr() == (void *)hereaddr) + 100 * via());
  number("hidden ", 7, callhidden());
  return 7;
}

// A program built like the shipped ones that holds what an 80386 with a 387
// cannot run: instructions of later processors written out, and libgcc helpers
// that this toolchain builds for the Pentium Pro. The instruction check must
// name each of them; the program is never run.
#include <windows.h>

extern "C" int __ffssi2(int);
extern "C" unsigned __bswapsi2(unsigned);

volatile double real = 2.5;
volatile int whole = 3;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    asm volatile(
        "cmovne %%ecx, %%eax\n\t"       // Pentium Pro
        "fcmovb %%st(1), %%st\n\t"
        "fcomi %%st(1), %%st\n\t"
        "fucomip %%st(1), %%st\n\t"
        "bswap %%eax\n\t"               // 486
        "xadd %%eax, %%ecx\n\t"
        "cmpxchg %%ecx, %%edx\n\t"
        "cmpxchg8b (%%esi)\n\t"         // Pentium
        "cpuid\n\t"
        "rdtsc\n\t"
        "rdmsr\n\t"
        "sysenter\n\t"                  // Pentium II
        "nopl 0(%%eax)\n\t"             // the long NOP of the Pentium Pro
        "paddb %%mm1, %%mm0\n\t"        // MMX
        "addps %%xmm1, %%xmm0\n\t"      // SSE
        ::: "eax", "ecx", "edx", "esi", "memory");
    return int(__builtin_powi(real, whole)) + __ffssi2(whole) + int(__bswapsi2(unsigned(whole)));
}

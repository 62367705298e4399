// The memory functions a program without a C runtime DLL still needs: the
// heap (malloc, free, new, delete) over the process heap, and the block
// functions the compiler may call on its own (memcpy, memset, ...).
#include <windows.h>

#include <cstddef>

#include "runtime/error.h"

// The compiler must not turn these loops back into calls of themselves.
#define BLOCK_FUNCTION extern "C" __attribute__((optimize("no-tree-loop-distribute-patterns")))

extern "C" void* malloc(size_t size) { return HeapAlloc(GetProcessHeap(), 0, size ? size : 1); }

extern "C" void free(void* block) {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}

extern "C" void* realloc(void* block, size_t size) {
    if (!block) return malloc(size);
    return HeapReAlloc(GetProcessHeap(), 0, block, size ? size : 1);
}

void* operator new(size_t size) {
    void* block = malloc(size);
    if (!block) RaiseOutOfMemory();
    return block;
}

void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }
void operator delete[](void* block, size_t) noexcept { free(block); }

BLOCK_FUNCTION void* memcpy(void* to, const void* from, size_t count) {
    unsigned char* d = static_cast<unsigned char*>(to);
    const unsigned char* s = static_cast<const unsigned char*>(from);
    while (count--) *d++ = *s++;
    return to;
}

BLOCK_FUNCTION void* memmove(void* to, const void* from, size_t count) {
    unsigned char* d = static_cast<unsigned char*>(to);
    const unsigned char* s = static_cast<const unsigned char*>(from);
    if (d < s) {
        while (count--) *d++ = *s++;
    } else {
        while (count--) d[count] = s[count];
    }
    return to;
}

BLOCK_FUNCTION void* memset(void* to, int value, size_t count) {
    unsigned char* d = static_cast<unsigned char*>(to);
    while (count--) *d++ = static_cast<unsigned char>(value);
    return to;
}

BLOCK_FUNCTION int memcmp(const void* a, const void* b, size_t count) {
    const unsigned char* x = static_cast<const unsigned char*>(a);
    const unsigned char* y = static_cast<const unsigned char*>(b);
    for (; count--; ++x, ++y)
        if (*x != *y) return *x < *y ? -1 : 1;
    return 0;
}

BLOCK_FUNCTION size_t strlen(const char* text) {
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

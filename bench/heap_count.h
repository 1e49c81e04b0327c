/*
 * Counts the heap blocks the menu code asks for while loading, through the
 * linker's --wrap of malloc and free (only calls made from objects linked
 * statically are seen: the program's own code, not the C++ library's
 * allocations for the substitute's tree).
 */
#ifndef QUORLAN_BENCH_HEAP_COUNT_H
#define QUORLAN_BENCH_HEAP_COUNT_H

#include <stddef.h>

struct HeapCount {
    long blocks;      // malloc calls that succeeded
    size_t requested; // bytes asked for
    size_t usable;    // bytes the allocator actually gave (malloc_usable_size)
    long frees;       // free calls
};

void StartHeapCount();
HeapCount StopHeapCount();

#endif

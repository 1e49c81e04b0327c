/*
 * The --wrap side of heap_count.h. Counting only, never failing.
 */
#include "heap_count.h"

#include <malloc.h>

extern "C" void *__real_malloc(size_t size);
extern "C" void __real_free(void *block);

static bool s_bCounting;
static HeapCount s_count;

extern "C" void *__wrap_malloc(size_t size)
{
    void *block = __real_malloc(size);
    if (s_bCounting && block) {
        s_count.blocks++;
        s_count.requested += size;
        s_count.usable += malloc_usable_size(block);
    }
    return block;
}

extern "C" void __wrap_free(void *block)
{
    if (s_bCounting && block) s_count.frees++;
    __real_free(block);
}

void StartHeapCount()
{
    s_count = HeapCount();
    s_bCounting = true;
}

HeapCount StopHeapCount()
{
    s_bCounting = false;
    return s_count;
}

/*
 * The allocation hooks every unit test links in (through the linker's
 * --wrap): the program's own malloc and free calls come here, so a test can
 * count the blocks the menu code holds, catch a free of something it never
 * allocated, and make the Nth allocation fail without touching the code.
 */
#include "alloc_hooks.h"

#include <set>

extern "C" void *__real_malloc(size_t size);
extern "C" void __real_free(void *block);

static bool s_tracking;
static long s_failAt = -1; // the allocation number that fails, counted from 0
static long s_count;
static std::set<void *> *s_live;
static long s_strayFrees;

extern "C" void *__wrap_malloc(size_t size)
{
    if (!s_tracking) return __real_malloc(size);
    long n = s_count++;
    if (s_failAt >= 0 && (n == s_failAt)) return NULL;
    void *block = __real_malloc(size);
    if (block) {
        s_tracking = false; // the set's own nodes are not the program's
        s_live->insert(block);
        s_tracking = true;
    }
    return block;
}

extern "C" void __wrap_free(void *block)
{
    if (s_tracking && block) {
        s_tracking = false;
        if (s_live->erase(block) == 0) s_strayFrees++;
        s_tracking = true;
    }
    __real_free(block);
}

void StartAllocTracking(long failAt)
{
    if (!s_live) s_live = new std::set<void *>();
    s_live->clear();
    s_count = 0;
    s_strayFrees = 0;
    s_failAt = failAt;
    s_tracking = true;
}

void StopAllocTracking() { s_tracking = false; }
long AllocCount() { return s_count; }
long LiveBlocks() { return s_live ? (long)s_live->size() : 0; }
long StrayFrees() { return s_strayFrees; }

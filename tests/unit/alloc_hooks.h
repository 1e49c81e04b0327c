/*
 * Counting and failing the program's own allocations from a test.
 */
#ifndef QUORLAN_TESTS_ALLOC_HOOKS_H
#define QUORLAN_TESTS_ALLOC_HOOKS_H

#include <stddef.h>

// Starts counting malloc/free of the code under test; allocation number
// failAt (from 0) returns null, or none when failAt is negative.
void StartAllocTracking(long failAt = -1);
void StopAllocTracking();
long AllocCount();   // allocations asked for since the start
long LiveBlocks();   // blocks allocated since the start and not yet freed
long StrayFrees();   // frees of blocks not allocated while tracking

#endif

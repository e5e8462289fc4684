#pragma once
// Start-up setting of the batch program for the C heap.

// A batch test allocates and frees whole images step after step (a 1024 x 1024 image of
// three floats is 12 MB). By default each large block gets fresh pages from the system
// and returns them when freed, so every step pays the page faults of its images again.
// After this call large blocks come from the heap, which keeps freed memory for the next
// block and grows in large steps, and the heap's pages are transparent huge pages where
// the system allows them (2 MB per page fault instead of 4 kB). Peak memory is about the
// same; only the faults go. Call once at start-up, before the first large allocation.
void reuse_heap_memory();

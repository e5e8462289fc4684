#pragma once
// Start-up setting of the programs for the BLAS under the sparse solver.

// Makes OpenBLAS (when it is the BLAS the program runs with) use the calling thread
// only. The joint fits' systems are small: BLAS worker threads do not speed them up,
// and between calls they spin on sched_yield, which costs CPU time that other
// processes could use. Call once at start-up, before any solve; with another BLAS it
// does nothing.
void use_single_threaded_blas();

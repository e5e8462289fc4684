#pragma once
// Start-up settings of the programs for the thread pools of the libraries they use.
//
// The joint fits' systems are small and a sketch's image operations take milliseconds:
// pool threads do not speed them up, and an idle pool thread spins on sched_yield before
// it sleeps, which costs a core that other processes could use (and, while the dynamic
// loader still runs the libraries' initialisers, a TLB shoot-down on every core for each
// page it maps or protects). So OpenBLAS (when it is the BLAS the program runs with)
// starts no pool at all: every program that links this unit tells it so before the
// libraries' initialisers run. Results do not change: the solves ran on one thread
// already, and OpenCV's parallel loops split an image into parts computed alike on any
// thread.

// Makes OpenBLAS use the calling thread only and OpenCV's loops run on the calling thread
// (its pool otherwise starts a thread per core at the first image operation, each spinning
// after every loop). Call once at start-up, before any solve or image operation; with
// another BLAS the BLAS part does nothing.
void use_single_threaded_blas();

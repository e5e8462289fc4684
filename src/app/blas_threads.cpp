#include "app/blas_threads.h"

// Weak: the programs still link and run with a BLAS that lacks them.
extern "C" void openblas_set_num_threads(int) __attribute__((weak));
extern "C" int blas_thread_shutdown_(void) __attribute__((weak));

void use_single_threaded_blas() {
  if (!openblas_set_num_threads) return;
  openblas_set_num_threads(1);
  // The worker threads started when the library was loaded would otherwise spin a while
  // after every wake-up; with one thread they are never needed again.
  if (blas_thread_shutdown_) blas_thread_shutdown_();
}

#include "app/blas_threads.h"

#include <opencv2/core/utility.hpp>

// Weak: the programs still link and run with a BLAS that lacks them.
extern "C" void openblas_set_num_threads(int) __attribute__((weak));
extern "C" int blas_thread_shutdown_(void) __attribute__((weak));
// OpenBLAS's thread counts, read by its initialiser: one thread in use and one in the
// pool means that the initialiser starts no pool thread.
extern "C" int blas_cpu_number __attribute__((weak));
extern "C" int blas_num_threads __attribute__((weak));

namespace {

// Runs before every library initialiser (the executable's pre-initialisation array), after
// the libraries are mapped and relocated. The environment cannot carry the setting: the
// C library sets its own environment pointer in its initialiser, which runs later.
void single_thread_blas_before_its_pool_starts(int, char**, char**) {
  if (&blas_cpu_number == nullptr || &blas_num_threads == nullptr) return;
  blas_cpu_number = 1;
  blas_num_threads = 1;
}

__attribute__((section(".preinit_array"), used)) void (*const start_blas_single_threaded)(int, char**, char**) =
    single_thread_blas_before_its_pool_starts;

}  // namespace

void use_single_threaded_blas() {
  cv::setNumThreads(1);
  if (!openblas_set_num_threads) return;
  openblas_set_num_threads(1);
  // A pool started anyway (a BLAS loaded after start-up) would otherwise spin a while
  // after every wake-up; with one thread it is never needed again.
  if (blas_thread_shutdown_) blas_thread_shutdown_();
}

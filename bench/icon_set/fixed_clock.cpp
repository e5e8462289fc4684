// A wall clock stopped at one instant, for LD_PRELOAD into the batch program: its random
// sources are seeded from the wall clock, so with this preloaded two runs (of two builds)
// draw the same numbers. The monotonic clock, which times the run, is left alone.

#include <dlfcn.h>
#include <time.h>

extern "C" int clock_gettime(clockid_t id, struct timespec* ts) {
  using real_fn = int (*)(clockid_t, struct timespec*);
  static real_fn real = reinterpret_cast<real_fn>(dlsym(RTLD_NEXT, "clock_gettime"));
  if (id == CLOCK_REALTIME) {
    ts->tv_sec = 1700000000;
    ts->tv_nsec = 123456700;
    return 0;
  }
  return real(id, ts);
}

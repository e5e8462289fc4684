#include "app/batch_entry.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <new>

#include "app/batch_tests.h"
#include "app/blas_threads.h"
#include "app/heap_reuse.h"
#include "io/output_names.h"

const char* const batch_usage =
    "parameter: thickness, lambda, dt, numero test ini, numero test end, [file.graph], [ref.svg]";

namespace {

// A whole number (0, 1, 2, ...) that fits an int, the whole word.
bool read_whole_number(const char* word, int& value) {
  if (*word < '0' || *word > '9') return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(word, &end, 10);
  if (*end != '\0' || errno == ERANGE || v > std::numeric_limits<int>::max()) return false;
  value = static_cast<int>(v);
  return true;
}

// A finite decimal number, the whole word.
bool read_number(const char* word, double& value) {
  if (*word == '\0' || std::isspace(static_cast<unsigned char>(*word))) return false;
  char* end = nullptr;
  value = std::strtod(word, &end);
  return *end == '\0' && std::isfinite(value);
}

// One line on standard error for an argument that is refused.
bool refused(const char* argument, const char* word, const char* wanted) {
  std::cerr << argument << " \"" << word << "\" is not " << wanted << std::endl;
  return false;
}

// The five numbers of the command line. False, after one line on standard error for
// each that is refused, when any is: atoi and atof would run them as 0, and a lambda or
// dt out of its range runs a meaningless annealing.
bool read_batch_numbers(char** argv, int& thickness, double& lambda, double& dt, int& first, int& last) {
  const char* const whole = "a whole number (0, 1, 2, ...)";
  bool ok = true;
  if (!read_whole_number(argv[1], thickness)) ok = refused("thickness", argv[1], whole);
  if (!read_number(argv[2], lambda) || lambda < 0 || lambda > 1)
    ok = refused("lambda", argv[2], "a number from 0 to 1");
  // The run takes dt as a float: 0.999999999 would be 1 there, and cool nothing.
  if (!read_number(argv[3], dt) || static_cast<float>(dt) <= 0 || static_cast<float>(dt) >= 1)
    ok = refused("dt", argv[3], "a number above 0 and below 1");
  if (!read_whole_number(argv[4], first)) ok = refused("first test", argv[4], whole);
  if (!read_whole_number(argv[5], last)) ok = refused("last test", argv[5], whole);
  return ok;
}

// One line on standard error per kind of failure; the exit status of the gravest.
int report_outcome(const batch_outcome& outcome) {
  auto say = [](int n, const char* one, const char* many, const char* what) {
    if (n > 0) std::cerr << n << (n == 1 ? one : many) << what << std::endl;
  };
  say(outcome.skipped, " test was", " tests were", " skipped because the input could not be read");
  say(outcome.unusable, " test was", " tests were", " skipped because the input gives nothing to optimise");
  say(outcome.out_of_memory, " test was", " tests were", " not run because memory ran out");
  say(outcome.unwritten, " result file", " result files", " could not be written");
  if (outcome.out_of_memory > 0) return out_of_memory_status;
  if (outcome.unwritten > 0) return unwritten_result_status;
  if (outcome.skipped + outcome.unusable > 0) return skipped_input_status;
  return 0;
}

// The batch input loop under timed_call. Each test catches its own lack of memory; one
// elsewhere (between sketches, in a statistics file) ends the run.
batch_outcome timed_run(int thickness, double lambda, double dt, int first, int last, const char* graph_name,
                        const char* reference_svg_name, bool flag) {
  try {
    return timed_call(run_batch_inputs, thickness, lambda, dt, first, last, graph_name, reference_svg_name, flag);
  } catch (const std::bad_alloc&) {
    std::cerr << "not enough memory to go on" << std::endl;
    batch_outcome outcome;
    outcome.out_of_memory = 1;
    return outcome;
  }
}

}  // namespace

int batch_main(int argc, char** argv) {
  use_single_threaded_blas();
  reuse_heap_memory();
  read_input_sketch_conf();
  if (argc < 6) {
    std::cout << batch_usage << std::endl;
    return 1;
  }
  int thickness = 0, first = 0, last = 0;
  double lambda = 0, dt = 0;
  if (!read_batch_numbers(argv, thickness, lambda, dt, first, last)) {
    std::cerr << batch_usage << std::endl;
    return 1;
  }
  std::srand(static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count()));

  const char* graph_name = nullptr;
  const char* reference_svg_name = nullptr;
  bool flag = true;
  if (argc == 7) {
    graph_name = argv[6];
  } else if (argc == 8 || argc == 9) {
    graph_name = argv[6];
    reference_svg_name = argv[7];
    flag = argc == 8;
  }
  return report_outcome(timed_run(thickness, lambda, dt, first, last, graph_name, reference_svg_name, flag));
}

batch_outcome timed_call(batch_run fn, int thickness, double lambda, double dt, int first, int last,
                         const char* graph_name, const char* reference_svg_name, bool flag) {
  // Wall time: clock() would add up the CPU time of the fitting's OpenMP threads, and its
  // ticks are not milliseconds on every platform.
  const auto t0 = std::chrono::steady_clock::now();
  const batch_outcome outcome = fn(thickness, lambda, dt, first, last, graph_name, reference_svg_name, flag);
  const auto t1 = std::chrono::steady_clock::now();
  std::cout << "total time: " << std::chrono::duration<float>(t1 - t0).count() << "s" << std::endl;
  return outcome;
}

std::vector<std::string> read_listed_sketches(const char* path) {
  std::vector<std::string> names;
  std::ifstream in(path);
  if (!in) {
    std::cerr << path << ": cannot open; no sketch listed" << std::endl;
    return names;
  }
  std::string root;
  int count = 0;
  if (!(in >> root >> count)) {
    std::cerr << path << ": no sketch count after the output folder; no sketch listed" << std::endl;
    return names;
  }
  std::string name;
  for (int i = 0; i < count && in >> name; ++i) names.push_back(name);
  if (count > 0 && names.size() < static_cast<std::size_t>(count))
    std::cerr << path << ": lists " << names.size() << " sketch names, not " << count << std::endl;
  return names;
}

batch_outcome run_batch_inputs(int thickness, double lambda, double dt, int first, int last,
                               const char* graph_name, const char* reference_svg_name, bool flag) {
  clear_current_sketch();
  const std::vector<std::string> names = read_listed_sketches();
  if (names.empty() || graph_name != nullptr)
    return run_batch_tests(thickness, static_cast<float>(lambda), static_cast<float>(dt), first, last,
                           true, graph_name, reference_svg_name, flag);
  batch_outcome outcome;
  for (const std::string& name : names) {
    set_current_sketch(name);
    outcome += run_batch_tests(thickness, static_cast<float>(lambda), static_cast<float>(dt), first,
                               last, false, nullptr, reference_svg_name, flag);
  }
  return outcome;
}

#include "app/batch_entry.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "app/batch_tests.h"
#include "app/blas_threads.h"
#include "app/heap_reuse.h"
#include "io/output_names.h"

const char* const batch_usage =
    "parameter: thickness, lambda, dt, numero test ini, numero test end, [file.graph], [ref.svg]";

int batch_main(int argc, char** argv) {
  use_single_threaded_blas();
  reuse_heap_memory();
  read_input_sketch_conf();
  if (argc < 6) {
    std::cout << batch_usage << std::endl;
    return 1;
  }
  std::srand(static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count()));

  const int thickness = std::atoi(argv[1]);
  const double lambda = std::atof(argv[2]);
  const double dt = std::atof(argv[3]);
  const int first = std::atoi(argv[4]);
  const int last = std::atoi(argv[5]);
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
  const batch_outcome outcome = timed_call(run_batch_inputs, thickness, lambda, dt, first, last,
                                           graph_name, reference_svg_name, flag);
  const int skipped = outcome.skipped;
  if (skipped > 0)
    std::cerr << skipped << (skipped == 1 ? " test was" : " tests were")
              << " skipped because the input could not be read" << std::endl;
  const int unwritten = outcome.unwritten;
  if (unwritten > 0)
    std::cerr << unwritten << (unwritten == 1 ? " result file" : " result files")
              << " could not be written" << std::endl;
  if (unwritten > 0) return unwritten_result_status;
  return skipped > 0 ? skipped_input_status : 0;
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

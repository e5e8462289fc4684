// The whole batch run as a user meets it: one test of vellumtrace_batch on a sketch
// file, from loading the image through the extraction, the default annealing run
// (dt 0.9999, the shipped temperatures) and the finishing passes to the result files.
// Seeded, so every repetition does the same work. Run from the repository root: the
// run works in a scratch folder holding a copy of config/, and leaves its files there
// (result.svg, result.error, energy_decrease.csv) for comparison between builds.

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>

#include <benchmark/benchmark.h>
#include <opencv2/imgcodecs.hpp>

#include "app/batch_tests.h"
#include "app/blas_threads.h"
#include "app/data_thread.h"
#include "graph/curve_network.h"
#include "pages/tiled_page.h"
#include "support/sketch_fixtures.h"

namespace {

namespace fs = std::filesystem;

struct quiet_cout {
  std::ostringstream sink;
  std::streambuf* old = std::cout.rdbuf(sink.rdbuf());
  ~quiet_cout() { std::cout.rdbuf(old); }
};

int curve_count(const curve_network& net) {
  int n = 0;
  for (const layer_graph& L : net) n += static_cast<int>(L.curves.size());
  return n;
}

void batch_run(benchmark::State& state, const std::string& name, const cv::Mat& sketch) {
  use_single_threaded_blas();  // as the programs do at start-up
  const fs::path here = fs::current_path();
  const fs::path scratch = fs::temp_directory_path() / ("batch_run_bench_" + name);
  fs::remove_all(scratch);
  fs::create_directories(scratch);
  fs::copy(here / "config", scratch / "config", fs::copy_options::recursive);
  const std::string path = (scratch / (name + ".png")).string();
  cv::imwrite(path, sketch);
  fs::current_path(scratch);
  int curves_before = 0, curves_after = 0, nb_it = 0;
  {
    quiet_cout quiet;
    for (auto _ : state) {
      cv::Mat input_image, region_image, boundary_image;
      curve_network network;
      data_thread worker(&network, &input_image, &region_image, nullptr);
      std::srand(1);
      extract_batch_network(path, input_image, region_image, boundary_image, network, worker, false);
      curves_before = curve_count(network);
      worker.optimiser.gen.seed(1);
      optimise_batch_network(network, worker.optimiser, 0.25f, 0.9999f);
      write_batch_results("result", network, worker.optimiser);
      nb_it = worker.optimiser.nb_it;
      curves_after = curve_count(network);
    }
  }
  fs::current_path(here);
  state.counters["curves_before"] = curves_before;
  state.counters["curves_after"] = curves_after;
  state.counters["nb_it"] = nb_it;
}

// A 512 x 512 icon of a dozen strokes (about 40 curves after the extraction).
void BM_BatchRunIcon512(benchmark::State& state) { batch_run(state, "icon512", fixtures::icon_sketch()); }
BENCHMARK(BM_BatchRunIcon512)->Unit(benchmark::kMillisecond)->Iterations(3);

// The 1024 x 1024 drawing of 300 random strokes of the annealing and extraction
// benchmarks.
void BM_BatchRunDrawing1024(benchmark::State& state) {
  batch_run(state, "drawing1024", fixtures::random_drawing(1024, 300, 1));
}
BENCHMARK(BM_BatchRunDrawing1024)->Unit(benchmark::kSecond)->Iterations(1);

// A tiled 2048 x 2048 page of the icon and the bundled examples (sixteen drawings; run
// from the repository root): the large page whose cost and memory should grow with its
// ink alone.
void BM_BatchRunTiledPage2048(benchmark::State& state) {
  batch_run(state, "tiled2048", tiled_page(2048, 2048));
}
BENCHMARK(BM_BatchRunTiledPage2048)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

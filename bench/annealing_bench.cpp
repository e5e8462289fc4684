// Annealing cost: one iteration against the number of curves, the energy evaluation
// that every iteration and every move repeats, and complete batch runs (a lattice of
// about 300 curves, and a real drawing).

#include <filesystem>
#include <iostream>
#include <sstream>

#include <memory>

#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

#include "graph/curve_network.h"
#include "pipeline/recuit.h"
#include "support/network_fixtures.h"
#include "support/sketch_fixtures.h"
#include "support/wavy_grid.h"

namespace {

// Lattices of about 50, 300 and 1000 fragments (one curve each).
void grid_of(curve_network& net, int size_arg) {
  switch (size_arg) {
    case 50: fixture::wavy_grid(net.emplace_back(), 6, 5); break;      // 49 curves
    case 300: fixture::wavy_grid(net.emplace_back(), 13, 12); break;   // 287 curves
    default: fixture::wavy_grid(net.emplace_back(), 23, 22); break;    // 967 curves
  }
}

int curve_count(const curve_network& net) {
  int n = 0;
  for (const layer_graph& L : net) n += static_cast<int>(L.curves.size());
  return n;
}

// Silences the progress lines while a benchmark runs.
struct quiet_cout {
  std::ostringstream sink;
  std::streambuf* old = std::cout.rdbuf(sink.rdbuf());
  ~quiet_cout() { std::cout.rdbuf(old); }
};

void BM_NetworkEnergy(benchmark::State& state) {
  curve_network net;
  grid_of(net, static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(net.energy(0.5f, 0.01f));
  state.counters["curves"] = curve_count(net);
}
BENCHMARK(BM_NetworkEnergy)->Arg(50)->Arg(300)->Arg(1000)->Unit(benchmark::kMicrosecond);

// Iterations of a fresh network at the start of the default schedule, with fits
// remembered as during a run; the network is rebuilt every 2000 iterations so that it
// keeps about its starting size.
void BM_AnnealingIteration(benchmark::State& state) {
  quiet_cout quiet;
  const int iterations = 2000;
  int curves = 0;
  for (auto _ : state) {
    state.PauseTiming();
    curve_network net;
    grid_of(net, static_cast<int>(state.range(0)));
    curves = curve_count(net);
    recuit opt(&net);
    opt.read_config_v2(0.5f, 0.9999f);
    opt.gen.seed(1);
    state.ResumeTiming();
    const segment_fit_memo memo;  // as during a run
    const energy_tracking tracking(&net);
    for (int i = 0; i < iterations; ++i) {
      opt.step_batch();
      ++opt.k;
    }
  }
  state.SetItemsProcessed(state.iterations() * iterations);
  state.counters["curves"] = curves;
}
BENCHMARK(BM_AnnealingIteration)->Arg(50)->Arg(300)->Arg(1000)->Unit(benchmark::kMillisecond);

// A complete default batch run (dt 0.9999 from config/recuit_v2.conf's temperatures),
// pictures and energy file written into a temporary folder.
void complete_run(benchmark::State& state, void (*build)(curve_network&)) {
  quiet_cout quiet;
  const std::filesystem::path here = std::filesystem::current_path();
  const std::filesystem::path scratch = std::filesystem::temp_directory_path() / "annealing_bench";
  std::filesystem::create_directories(scratch);
  int curves_before = 0, curves_after = 0, nb_it = 0;
  for (auto _ : state) {
    state.PauseTiming();
    curve_network net;
    build(net);
    curves_before = curve_count(net);
    recuit opt(&net);
    opt.read_config_v2(0.5f, 0.9999f);
    opt.gen.seed(1);
    nb_it = opt.nb_it;
    std::filesystem::current_path(scratch);
    state.ResumeTiming();
    opt.run_all();
    state.PauseTiming();
    std::filesystem::current_path(here);
    curves_after = curve_count(net);
    state.ResumeTiming();
  }
  state.counters["curves_before"] = curves_before;
  state.counters["curves_after"] = curves_after;
  state.counters["nb_it"] = nb_it;
}

void BM_CompleteRun300(benchmark::State& state) {
  complete_run(state, [](curve_network& net) { grid_of(net, 300); });
}
BENCHMARK(BM_CompleteRun300)->Unit(benchmark::kSecond)->Iterations(1);

// The default run on a drawing of 1024 x 1024 sketch pixels: 300 random strokes, doubled
// into 2048 x 2048 as the batch program loads it, taken through the whole extraction.
void BM_CompleteRunDrawing1024(benchmark::State& state) {
  static const cv::Mat doubled = [] {
    cv::Mat d;
    cv::resize(fixtures::random_drawing(1024, 300, 1), d, cv::Size(2048, 2048), 0, 0,
               cv::INTER_NEAREST);
    return d;
  }();
  quiet_cout quiet;
  const std::filesystem::path here = std::filesystem::current_path();
  const std::filesystem::path scratch = std::filesystem::temp_directory_path() / "annealing_bench";
  std::filesystem::create_directories(scratch);
  int curves_before = 0, curves_after = 0, nb_it = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // Without the step-8 split: on this drawing it leaves a few fragments with one or
    // three junctions, which the moves cannot chain.
    std::unique_ptr<fixtures::extracted_network> ex = fixtures::extract_network(doubled, false);
    curves_before = curve_count(ex->network);
    recuit opt(&ex->network);
    opt.read_config_v2(0.5f, 0.9999f);
    opt.gen.seed(1);
    nb_it = opt.nb_it;
    std::filesystem::current_path(scratch);
    state.ResumeTiming();
    opt.run_all();
    state.PauseTiming();
    std::filesystem::current_path(here);
    curves_after = curve_count(ex->network);
    state.ResumeTiming();
  }
  state.counters["curves_before"] = curves_before;
  state.counters["curves_after"] = curves_after;
  state.counters["nb_it"] = nb_it;
}
BENCHMARK(BM_CompleteRunDrawing1024)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

// Extraction steps on a 1024 x 1024 drawing of a few hundred strokes (the input image is
// the sketch doubled, 2048 x 2048), one benchmark per step. Each step starts from a copy
// of the layers after the step before it; the copy is not timed.

#include <cstdlib>
#include <list>

#include <benchmark/benchmark.h>
#include <opencv2/imgcodecs.hpp>

#include "pipeline/compute_graph_distance.h"
#include "pipeline/compute_sample_weights.h"
#include "pipeline/extract_boundary_pixels.h"
#include "pipeline/extract_layers.h"
#include "pipeline/extract_nodes.h"
#include "pipeline/grow_regions.h"
#include "pipeline/label_regions.h"
#include "pipeline/load_sketch.h"
#include "pipeline/paint_nodes.h"
#include "pipeline/region_params.h"
#include "pipeline/split_regions.h"
#include "pipeline/trace_edge_one_node.h"
#include "pipeline/view_settings.h"
#include "support/sketch_fixtures.h"

namespace {

struct stage {
  std::list<layer> layers;
  cv::Mat region_image;
  cv::Mat boundary_image;
};

// Deep copy: cv::Mat members share their pixels when copied.
stage clone(const stage& s) {
  stage c{s.layers, s.region_image.clone(), s.boundary_image.clone()};
  for (layer& l : c.layers)
    for (cv::Mat* m : {&l.ink_dist, &l.stroke_depth, &l.graph_dist, &l.labels, &l.region_mask}) *m = m->clone();
  return c;
}

const cv::Mat& input_image() {
  static cv::Mat input = [] {
    const std::string path = fixtures::temp_path("bench_drawing.png");
    cv::imwrite(path, fixtures::random_drawing(1024, 300, 1));
    cv::Mat img;
    load_sketch(path.c_str(), &img);
    return img;
  }();
  return input;
}

const region_params params = read_region_params();

void run_step(int step, stage& s) {
  cv::Mat input = input_image();
  switch (step) {
    case 0:
      extract_layers(&input, &s.layers, &s.region_image, 100, false);
      compute_ink_distance(s.layers, input.rows, input.cols);
      break;
    case 1: label_regions(s.region_image, s.layers, params.least_depth, params.least_size); break;
    case 2:
      split_regions(&s.region_image, s.layers, params.least_depth, params.least_size, params.neck_ratio,
                    params.neck_margin);
      compute_stroke_depth(s.layers);
      break;
    case 3: grow_regions(s.layers, &s.region_image); break;
    // Step 4 as the batch program runs it: boundaries only, no dangling-stroke tracing.
    case 4: extract_boundary_pixels(s.layers, &s.region_image, &s.boundary_image); break;
    case 5: extract_nodes(&s.region_image, &s.layers); break;
    case 6:
      paint_nodes(&s.region_image, s.layers);
      compute_sample_weights(s.layers);
      break;
  }
}

// The state after steps 0 .. step - 1, computed once.
const stage& before(int step) {
  static std::vector<stage> stages;
  if (stages.empty()) {
    std::srand(1);
    stage s;
    stages.push_back(clone(s));
    for (int k = 0; k < 7; ++k) {
      run_step(k, s);
      stages.push_back(clone(s));
    }
  }
  return stages[step];
}

void BM_extraction_step(benchmark::State& state) {
  const int step = int(state.range(0));
  before(step);
  for (auto _ : state) {
    state.PauseTiming();
    stage s = clone(before(step));
    state.ResumeTiming();
    run_step(step, s);
    benchmark::DoNotOptimize(s.layers);
    state.PauseTiming();
    s = stage();  // freeing the copy is not part of the step
    state.ResumeTiming();
  }
  const layer* l = before(7).layers.empty() ? nullptr : &before(7).layers.front();
  if (l) {
    state.counters["labels"] = double(l->v_peak.size());
    state.counters["ink_pixels"] = double(l->ink_pixels.size());
    state.counters["edge_pixels"] = double(l->graph.edge_pixels.size());
    state.counters["nodes"] = double(l->graph.v_node_pixel.size());
  }
}
BENCHMARK(BM_extraction_step)->DenseRange(0, 6)->Unit(benchmark::kMillisecond)->ArgName("step");

void BM_extraction_steps_0_to_3(benchmark::State& state) {
  for (auto _ : state) {
    stage s;
    for (int k = 0; k < 4; ++k) run_step(k, s);
    benchmark::DoNotOptimize(s.layers);
  }
}
BENCHMARK(BM_extraction_steps_0_to_3)->Unit(benchmark::kMillisecond);

void BM_extraction_steps_0_to_6(benchmark::State& state) {
  for (auto _ : state) {
    stage s;
    for (int k = 0; k < 7; ++k) run_step(k, s);
    benchmark::DoNotOptimize(s.layers);
  }
}
BENCHMARK(BM_extraction_steps_0_to_6)->Unit(benchmark::kMillisecond);

// One dangling-stroke pass of the interactive step 4 (graph distance, then one trace),
// on the boundaries of step 4, tracing from the view's default least distance.
void BM_dangling_stroke_pass(benchmark::State& state) {
  view_settings view;
  main_gl_widget = &view;
  for (auto _ : state) {
    state.PauseTiming();
    stage s = clone(before(5));
    state.ResumeTiming();
    compute_graph_distance(s.layers);
    benchmark::DoNotOptimize(trace_edge_one_node(s.layers));
    state.PauseTiming();
    s = stage();
    state.ResumeTiming();
  }
  main_gl_widget = nullptr;
}
BENCHMARK(BM_dangling_stroke_pass)->Unit(benchmark::kMillisecond);

}  // namespace

// Extraction steps on a 1024 x 1024 drawing of a few hundred strokes (the input image is
// the sketch doubled, 2048 x 2048), one benchmark per step. Each step starts from a copy
// of the layers after the step before it; the copy is not timed.

#include <cstdlib>
#include <list>

#include <benchmark/benchmark.h>
#include <opencv2/imgcodecs.hpp>

#include "pipeline/extract_layers.h"
#include "pipeline/grow_regions.h"
#include "pipeline/label_regions.h"
#include "pipeline/load_sketch.h"
#include "pipeline/region_params.h"
#include "pipeline/split_regions.h"
#include "support/sketch_fixtures.h"

namespace {

struct stage {
  std::list<layer> layers;
  cv::Mat region_image;
};

// Deep copy: cv::Mat members share their pixels when copied.
stage clone(const stage& s) {
  stage c{s.layers, s.region_image.clone()};
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
  }
}

// The state after steps 0 .. step - 1, computed once.
const stage& before(int step) {
  static std::vector<stage> stages;
  if (stages.empty()) {
    std::srand(1);
    stage s;
    stages.push_back(clone(s));
    for (int k = 0; k < 4; ++k) {
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
  const layer* l = before(4).layers.empty() ? nullptr : &before(4).layers.front();
  if (l) {
    state.counters["labels"] = double(l->v_peak.size());
    state.counters["ink_pixels"] = double(l->ink_pixels.size());
  }
}
BENCHMARK(BM_extraction_step)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->ArgName("step");

void BM_extraction_steps_0_to_3(benchmark::State& state) {
  for (auto _ : state) {
    stage s;
    for (int k = 0; k < 4; ++k) run_step(k, s);
    benchmark::DoNotOptimize(s.layers);
  }
}
BENCHMARK(BM_extraction_steps_0_to_3)->Unit(benchmark::kMillisecond);

}  // namespace

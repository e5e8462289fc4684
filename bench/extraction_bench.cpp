// Extraction steps on a 1024 x 1024 drawing of a few hundred strokes (the input image is
// the sketch doubled, 2048 x 2048), one benchmark per step. Each step starts from a copy
// of the layers after the step before it; the copy is not timed.

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <list>

#include <benchmark/benchmark.h>
#include <opencv2/imgcodecs.hpp>

#include "graph/curve_network.h"
#include "io/output_names.h"
#include "pages/tiled_page.h"
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

// The interactive extraction as the worker runs it, steps 0 to 9 with the shipped
// ceiling of 100 open-stroke passes, on a tiled page (run from the repository root: the
// page uses the bundled examples). The 2048 page holds four times the ink of the 1024
// page, so the two times should differ by about four.
void BM_InteractiveExtraction(benchmark::State& state) {
  const int side = int(state.range(0));
  const std::filesystem::path scratch = std::filesystem::temp_directory_path() / "extraction_bench_page";
  std::filesystem::create_directories(scratch / "page");
  const std::string path = (scratch / "page.png").string();
  cv::imwrite(path, tiled_page(side, side));
  cv::Mat sketch;
  load_sketch(path.c_str(), &sketch);
  const std::string old_root = output_root;
  output_root = scratch.string() + "/";  // step 8 writes its picture below the image's folder
  view_settings view;
  view.nb_edge_one_node = 100;
  view.image_stem = "page";
  main_gl_widget = &view;
  std::size_t nb_fragments = 0;
  int nb_passes = 0;
  for (auto _ : state) {
    std::srand(1);
    cv::Mat input = sketch.clone(), region_image;
    std::list<layer> layers;
    curve_network network;
    std::clock_t t = std::clock();
    // CPU seconds of a group of steps, added up over the iterations.
    auto lap = [&](const char* name) {
      const std::clock_t now = std::clock();
      state.counters[name] += double(now - t) / CLOCKS_PER_SEC;
      t = now;
    };
    extract_layers(&input, &layers, &region_image, view.min_nb_pixel_in_layer, view.separate_layers,
                   read_ink_threshold());
    compute_ink_distance(layers, input.rows, input.cols);
    label_regions(region_image, layers, params.least_depth, params.least_size);
    split_regions(&region_image, layers, params.least_depth, params.least_size, params.neck_ratio,
                  params.neck_margin);
    compute_stroke_depth(layers);
    grow_regions(layers, &region_image);
    lap("s_steps_0_3");
    extract_boundary_pixels(layers, &region_image, &view.boundary_image);
    nb_passes = trace_open_strokes(layers, view.nb_edge_one_node);
    lap("s_step_4");
    extract_nodes(&region_image, &layers);
    paint_nodes(&region_image, layers);
    compute_sample_weights(layers);
    lap("s_steps_5_6");
    network.build(&layers, input.rows, input.cols);
    lap("s_step_7");
    network.refine();
    lap("s_step_8");
    network.link();
    lap("s_step_9");
    nb_fragments = 0;
    for (const layer_graph& lg : network) nb_fragments += lg.f_curves.size();
    // The layers and curves it leaves, for comparison between builds.
    state.PauseTiming();
    std::ofstream out(scratch / ("layers" + std::to_string(side) + ".bin"), std::ios::binary);
    for (const layer& l : layers) l.write(out);
    network.save_curves_svg((scratch / ("curves" + std::to_string(side) + ".svg")).string(), false);
    state.ResumeTiming();
  }
  main_gl_widget = nullptr;
  output_root = old_root;
  state.counters["fragments"] = double(nb_fragments);
  state.counters["open_strokes"] = nb_passes;
}
BENCHMARK(BM_InteractiveExtraction)->Arg(1024)->Arg(2048)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

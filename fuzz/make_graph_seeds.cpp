// Writes the fuzzer's seed corpus: valid .graph files of small drawings, saved right
// after the batch extraction and again after a few annealing iterations, and a few small
// crafted files that read whole but give the programs nothing to run on.
//   make_graph_seeds FOLDER [SKETCH...]   (run from the repository root: reads config/)
// Each SKETCH given adds its graphs saved after the extraction and after 20 iterations.

#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "app/batch_tests.h"
#include "app/data_thread.h"
#include "graph/curve_network.h"
#include "io/graph_stream.h"
#include "pipeline/layer.h"

namespace {

void write_graph(const std::string& path, const curve_network& network, const data_thread& worker) {
  std::ofstream out(path, std::ios::binary);
  write_string(out, "seed.png");
  write_string(out, "seed");
  write_count(out, network.size());
  for (const layer_graph& lg : network) lg.write(out);
  worker.save(out);
  if (!out) std::cerr << "cannot write " << path << std::endl;
}

// Small files that read whole but hold nothing to run on, each with a stored iteration
// count far beyond any schedule: no layer graph, one empty layer graph, one saved during
// the extraction, and a layer box that no window image backs.
void write_crafted_graphs(const std::string& folder) {
  layer far_box;
  far_box.ink_pixels = {{1, 1}};
  far_box.min_x = far_box.min_y = 1;
  far_box.width = far_box.height = 40000;
  far_box.margin = 50;
  far_box.offset_x = far_box.offset_y = 49;
  const struct {
    const char* name;
    int layer_graphs, step;
    const layer* raster;
  } crafted[] = {{"no_layer_graph", 0, 12, nullptr},
                 {"empty_layer_graph", 1, 12, nullptr},
                 {"before_the_network", 0, 5, nullptr},
                 {"box_without_window", 1, 12, &far_box}};
  for (const auto& c : crafted) {
    curve_network network;
    for (int i = 0; i < c.layer_graphs; ++i) network.emplace_back();
    cv::Mat input_image, region_image;
    data_thread worker(&network, &input_image, &region_image, nullptr);
    worker.rows = worker.cols = 50000;
    worker.step = c.step;
    worker.optimiser.nb_it = 1069646104;
    if (c.raster) worker.layers.push_back(*c.raster);
    write_graph(folder + "/crafted_" + c.name + ".graph", network, worker);
  }
}

// Copies of a real file, each with one fault that no run saves: a coordinate far
// outside the image, a link to the wrong curve, a NaN sample, a layer box at INT_MIN and
// a window image of another size than its box. The reader refuses each; the fuzzer
// starts from them to reach what lies just beyond its checks.
void write_spoilt_graphs(const std::string& folder, curve_network& network, data_thread& worker) {
  layer_graph& lg = network.front();
  f_curve& f = lg.f_curves.front();
  layer& l = worker.layers.front();
  const auto spoilt = [&](const char* name, auto&& spoil) {
    spoil(true);
    write_graph(folder + "/spoilt_" + name + ".graph", network, worker);
    spoil(false);
  };
  const glm::vec2 point = f.v_point[0];
  spoilt("far_coordinate", [&](bool on) { f.v_point[0].x = on ? 1778812.6f : point.x; });
  spoilt("nan_sample", [&](bool on) { f.v_point[0].y = on ? std::nanf("") : point.y; });
  std::vector<curve*> curves = f.v_curve;
  spoilt("wrong_link", [&](bool on) { f.v_curve = on ? std::vector<curve*>{&lg.curves.back()} : curves; });
  const int32_t min_x = l.min_x;
  spoilt("int_min_box", [&](bool on) { l.min_x = on ? INT_MIN : min_x; });
  const cv::Mat labels = l.labels;
  spoilt("window_image_size", [&](bool on) { l.labels = on ? labels.rowRange(1, labels.rows).clone() : labels; });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: make_graph_seeds FOLDER [SKETCH...]" << std::endl;
    return 1;
  }
  const std::string folder = argv[1];
  const cv::Scalar ink(0);
  cv::Mat ring(40, 40, CV_8UC1, cv::Scalar(255));
  cv::circle(ring, {20, 20}, 12, ink, 2);
  cv::Mat tee(40, 50, CV_8UC1, cv::Scalar(255));
  cv::rectangle(tee, {5, 5}, {44, 34}, ink, 2);
  cv::line(tee, {5, 18}, {44, 18}, ink, 2);
  cv::line(tee, {25, 18}, {25, 34}, ink, 2);
  cv::Mat blank(20, 20, CV_8UC1, cv::Scalar(255));

  const struct {
    const char* name;
    const cv::Mat& sketch;
  } drawings[] = {{"ring", ring}, {"tee", tee}, {"blank", blank}};
  for (const auto& d : drawings) {
    const std::string png = folder + "/" + d.name + ".png";
    cv::imwrite(png, d.sketch);
    cv::Mat input_image, region_image, boundary_image;
    curve_network network;
    data_thread worker(&network, &input_image, &region_image, nullptr);
    if (!extract_batch_network(png, input_image, region_image, boundary_image, network, worker))
      return 1;
    std::remove(png.c_str());
    write_graph(folder + "/" + d.name + "_extracted.graph", network, worker);
    worker.optimiser.read_config_v2(0.5f, 0.9f);
    for (int i = 0; i < 20 && worker.optimiser.k < worker.optimiser.nb_it; ++i) {
      worker.optimiser.step_batch();
      ++worker.optimiser.k;
    }
    write_graph(folder + "/" + d.name + "_optimised.graph", network, worker);
    if (std::string(d.name) == "tee") write_spoilt_graphs(folder, network, worker);
  }
  write_crafted_graphs(folder);
  // Graphs of the sketches given, named by their stems, for the mutation hunt.
  for (int i = 2; i < argc; ++i) {
    std::string stem = argv[i];
    stem = stem.substr(stem.find_last_of('/') + 1);
    stem = stem.substr(0, stem.find('.'));
    cv::Mat input_image, region_image, boundary_image;
    curve_network network;
    data_thread worker(&network, &input_image, &region_image, nullptr);
    if (!extract_batch_network(argv[i], input_image, region_image, boundary_image, network, worker)) return 1;
    write_graph(folder + "/" + stem + "_extracted.graph", network, worker);
    worker.optimiser.read_config_v2(0.25f, 0.9f);
    for (int k = 0; k < 20 && worker.optimiser.k < worker.optimiser.nb_it; ++k) {
      worker.optimiser.step_batch();
      ++worker.optimiser.k;
    }
    write_graph(folder + "/" + stem + "_optimised.graph", network, worker);
  }
  return 0;
}

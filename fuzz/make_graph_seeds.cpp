// Writes the fuzzer's seed corpus: valid .graph files of small drawings, saved right
// after the batch extraction and again after a few annealing iterations.
//   make_graph_seeds FOLDER       (run from the repository root: reads config/)

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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_graph_seeds FOLDER" << std::endl;
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
  }
  return 0;
}

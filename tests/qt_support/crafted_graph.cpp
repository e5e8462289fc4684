#include "crafted_graph.h"

#include <filesystem>
#include <sstream>

#include <opencv2/core/mat.hpp>

#include "app/data_thread.h"
#include "graph/curve_network.h"
#include "io/graph_stream.h"
#include "pipeline/layer.h"
#include "pipeline/load_sketch.h"

namespace qt_test {

std::string crafted_graph(int layer_graphs, int step, int nb_it, const layer* raster, const std::string& image_path,
                          const std::string& stem) {
  curve_network network;
  for (int i = 0; i < layer_graphs; ++i) network.emplace_back();
  cv::Mat input, region;
  data_thread worker(&network, &input, &region, nullptr);
  worker.rows = worker.cols = 50000;
  cv::Mat sketch;
  if (std::filesystem::exists(image_path) && load_sketch(image_path.c_str(), &sketch)) {
    worker.rows = sketch.rows;
    worker.cols = sketch.cols;
  }
  worker.step = step;
  worker.optimiser.nb_it = nb_it;
  if (raster) worker.layers.push_back(*raster);
  std::ostringstream out(std::ios::binary);
  write_string(out, image_path);
  write_string(out, stem);
  write_count(out, network.size());
  for (const layer_graph& lg : network) lg.write(out);
  worker.save(out);
  return out.str();
}

}  // namespace qt_test

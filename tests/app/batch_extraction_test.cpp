// The batch program's extraction: on a sketch that holds no line drawing, and what it
// holds while it runs.

#include <chrono>
#include <sstream>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include "app/batch_tests.h"
#include "app/data_thread.h"
#include "pipeline/compute_sample_weights.h"
#include "pipeline/extract_nodes.h"
#include "pipeline/load_sketch.h"
#include "pipeline/paint_nodes.h"
#include "support/extraction_steps.h"
#include "support/sketch_fixtures.h"

namespace {

TEST(BatchExtraction, AllInkSketchEndsAtOnceWithAMessageNamingIt) {
  // Every pixel ink: one solid blob of a million samples once doubled, which kept the
  // annealing busy for minutes. It is refused before anything is built.
  const std::string path = fixtures::temp_path("all_ink.png");
  ASSERT_TRUE(cv::imwrite(path, cv::Mat(512, 512, CV_8UC1, cv::Scalar(0))));
  cv::Mat input, region, boundary;
  curve_network network;
  data_thread worker(&network, &input, &region);
  testing::internal::CaptureStderr();
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(extract_batch_network(path, input, region, boundary, network, worker));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_LT(seconds, 5.0);
  EXPECT_NE(said.find(path + ": every pixel is ink"), std::string::npos) << said;
  EXPECT_TRUE(input.empty());
  EXPECT_TRUE(worker.layers.empty());
  for (const layer_graph& lg : network) EXPECT_TRUE(lg.f_curves.empty());
}

std::string network_bytes(const curve_network& network) {
  std::ostringstream out;
  for (const layer_graph& lg : network) lg.write(out);
  return out.str();
}

// The batch paints no region or boundary picture, lets the input go once the ink is
// found and, as the program runs it, drops the layer data it reads no more; none of it
// may change the network (the random colours included, drawn all the same).
TEST(BatchExtraction, HoldsNoPicturesAndBuildsTheNetworkOfThePaintingSteps) {
  const std::string path = fixtures::temp_path("batch_pictures.png");
  ASSERT_TRUE(cv::imwrite(path, fixtures::random_drawing(256, 40, 2)));

  // The same steps with every picture painted.
  cv::Mat input, region, boundary;
  curve_network painted;
  {
    data_thread worker(&painted, &input, &region);
    ASSERT_TRUE(load_sketch(path.c_str(), &input));
    const region_params rp = read_region_params();
    std::list<layer>& layers = worker.layers;
    std::srand(5);
    fixtures::run_steps_to_boundary_pixels(input, layers, region, &boundary, rp, 100, false);
    extract_nodes(&region, &layers);
    paint_nodes(&region, layers);
    compute_sample_weights(layers);
    painted.build(&layers, input.rows, input.cols);
    for (layer_graph& lg : painted) lg.fit_fragments_at_junctions();
    for (layer_graph& lg : painted) {
      lg.split_fragments();
      lg.fit_fragments_at_junctions();
    }
    painted.link();
    ASSERT_FALSE(region.empty());
    ASSERT_FALSE(boundary.empty());
  }
  const int after_painting = std::rand();

  for (bool keep : {true, false}) {
    SCOPED_TRACE(keep ? "layer images kept" : "layer images dropped");
    curve_network network;
    data_thread worker(&network, &input, &region);
    std::srand(5);
    ASSERT_TRUE(extract_batch_network(path, input, region, boundary, network, worker, keep));
    EXPECT_EQ(std::rand(), after_painting);
    EXPECT_TRUE(network_bytes(network) == network_bytes(painted));
    EXPECT_TRUE(input.empty());
    EXPECT_TRUE(region.empty());
    EXPECT_TRUE(boundary.empty());
    ASSERT_EQ(worker.layers.size(), 1u);
    const layer& l = worker.layers.front();
    EXPECT_FALSE(l.ink_pixels.empty());
    EXPECT_EQ(l.labels.empty(), !keep);
    EXPECT_EQ(l.graph.edge_of_pixel.empty(), !keep);
    EXPECT_EQ(l.sample_weight.empty(), !keep);
    EXPECT_EQ(l.ink_dist.empty(), !keep);
    EXPECT_EQ(l.stroke_depth.empty(), !keep);
    EXPECT_EQ(l.region_mask.empty(), !keep);
    EXPECT_EQ(l.grow_level.empty(), !keep);
  }
}

}  // namespace

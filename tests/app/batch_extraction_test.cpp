// The batch program's extraction on a sketch that holds no line drawing.

#include <chrono>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include "app/batch_tests.h"
#include "app/data_thread.h"
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

}  // namespace

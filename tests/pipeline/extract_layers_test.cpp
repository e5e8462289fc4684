#include "pipeline/extract_layers.h"

#include <cstdlib>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "pipeline/pixel_neighbourhoods.h"
#include "support/sketch_fixtures.h"

namespace {

using fixtures::as_input_image;
using fixtures::blank_sketch;

std::list<layer> layers_of(const cv::Mat& sketch, int min_size, bool separate, cv::Mat* region = nullptr) {
  cv::Mat input = as_input_image(sketch), scratch;
  std::list<layer> layers;
  extract_layers(&input, &layers, region ? region : &scratch, min_size, separate);
  compute_ink_distance(layers, input.rows, input.cols);
  return layers;
}

TEST(ExtractLayers, OneInkBlockGivesItsBoxAndWindow) {
  // A 2 x 2 block at (6, 4): what one black sketch pixel at (3, 2) becomes once doubled.
  cv::Mat s = blank_sketch(10, 12);
  cv::rectangle(s, cv::Point(6, 4), cv::Point(7, 5), cv::Scalar(0), cv::FILLED);
  cv::Mat region;
  std::list<layer> layers = layers_of(s, 100, false, &region);
  ASSERT_EQ(layers.size(), 1u);
  const layer& l = layers.front();
  EXPECT_EQ(l.ink_pixels, (std::set<glm::ivec2>{{6, 4}, {6, 5}, {7, 4}, {7, 5}}));
  EXPECT_EQ(l.min_x, 6);
  EXPECT_EQ(l.min_y, 4);
  EXPECT_EQ(l.width, 1);
  EXPECT_EQ(l.height, 1);
  EXPECT_EQ(l.margin, 50);
  EXPECT_EQ(l.offset_x, 44);
  EXPECT_EQ(l.offset_y, 46);
  EXPECT_EQ(l.ink_dist.size(), cv::Size(101, 101));
  EXPECT_EQ(l.ink_dist.at<int>(50, 50), 0);
  EXPECT_EQ(l.ink_dist.at<int>(51, 51), 0);
  EXPECT_EQ(l.ink_dist.at<int>(50, 53), 2);
  // Region image: black, the ink in the layer's colour.
  EXPECT_EQ(region.size(), s.size());
  EXPECT_EQ(region.type(), CV_32FC3);
  EXPECT_EQ(region.at<cv::Vec3f>(0, 0), cv::Vec3f(0, 0, 0));
  const cv::Vec3f c = region.at<cv::Vec3f>(4, 6);
  EXPECT_NEAR(c[0] * c[0] + c[1] * c[1] + c[2] * c[2], 255.0f * 255.0f, 1.0f);
}

TEST(ExtractLayers, SeparateComponentsAndMinimumSize) {
  cv::Mat s = blank_sketch(40, 40);
  cv::rectangle(s, cv::Point(2, 2), cv::Point(4, 4), cv::Scalar(0), cv::FILLED);     // 9 pixels
  cv::rectangle(s, cv::Point(20, 2), cv::Point(24, 3), cv::Scalar(0), cv::FILLED);   // 10 pixels
  cv::line(s, cv::Point(2, 20), cv::Point(12, 30), cv::Scalar(0), 1, cv::LINE_8);    // diagonal: one
  cv::line(s, cv::Point(13, 30), cv::Point(20, 30), cv::Scalar(0), 1, cv::LINE_8);   // touches it

  std::list<layer> kept = layers_of(s, 10, true);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept.front().ink_pixels.size(), 10u);
  EXPECT_EQ(kept.front().min_x, 20);
  EXPECT_EQ(kept.back().ink_pixels.size(), 11u + 8u);  // diagonal and horizontal, 8-connected

  std::list<layer> one = layers_of(s, 1000, false);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one.front().ink_pixels.size(), 9u + 10u + 19u);
  EXPECT_EQ(one.front().min_x, 2);
  EXPECT_EQ(one.front().min_y, 2);
  EXPECT_EQ(one.front().width, 22);
  EXPECT_EQ(one.front().height, 28);
}

TEST(ExtractLayers, NoInkAllInkAndEmptyInput) {
  EXPECT_TRUE(layers_of(blank_sketch(8, 8), 10, false).empty());

  std::list<layer> all = layers_of(cv::Mat(6, 5, CV_8UC1, cv::Scalar(0)), 10, false);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all.front().ink_pixels.size(), 30u);
  EXPECT_EQ(all.front().ink_dist.size(), cv::Size(104, 105));

  cv::Mat empty, region(2, 2, CV_32FC3);
  std::list<layer> layers(2);
  extract_layers(&empty, &layers, &region, 10, false);
  EXPECT_TRUE(layers.empty());
  EXPECT_TRUE(region.empty());
}

TEST(ComputeInkDistance, OutsideClampedInsideOfLoopKept) {
  // A square loop 3 pixels wide, open by a one-pixel gap: the inside sees the outside only
  // through the gap, so it keeps its own (larger) distances.
  cv::Mat s = blank_sketch(200, 200);
  cv::rectangle(s, cv::Point(20, 20), cv::Point(180, 180), cv::Scalar(0), cv::FILLED);
  cv::rectangle(s, cv::Point(23, 23), cv::Point(177, 177), cv::Scalar(255), cv::FILLED);
  cv::rectangle(s, cv::Point(100, 20), cv::Point(100, 22), cv::Scalar(255), cv::FILLED);
  const layer l = layers_of(s, 10, false).front();
  const cv::Mat& d = l.ink_dist;
  int m = d.at<int>(0, 0);
  for (int x = 0; x < d.cols; ++x) {
    EXPECT_EQ(d.at<int>(0, x), m);
    EXPECT_EQ(d.at<int>(d.rows - 1, x), m);
  }
  for (int y = 0; y < d.rows; ++y) {
    EXPECT_EQ(d.at<int>(y, 0), m);
    EXPECT_EQ(d.at<int>(y, d.cols - 1), m);
  }
  EXPECT_EQ(m, 49);  // the right and bottom margins are 49 wide
  const glm::ivec2 centre = glm::ivec2(100, 100) + glm::ivec2(l.offset_x, l.offset_y);
  EXPECT_EQ(d.at<int>(centre.y, centre.x), 100 - 22);
  // Outside, next to the loop, the true distance stands.
  EXPECT_EQ(d.at<int>(centre.y, 19 + l.offset_x), 1);
  EXPECT_EQ(d.at<int>(centre.y, 15 + l.offset_x), 5);
}

}  // namespace

namespace {

// The ink distance as the plain ring flood over 3 x 3 windows defines it, with the clamp.
cv::Mat reference_ink_distance(const layer& l) {
  const int rows = l.ink_dist.rows, cols = l.ink_dist.cols;
  cv::Mat d(rows, cols, CV_32SC1, cv::Scalar(-1));
  std::vector<glm::ivec2> ring;
  for (const glm::ivec2& p : l.ink_pixels) {
    const glm::ivec2 w = p + glm::ivec2(l.offset_x, l.offset_y);
    d.at<int>(w.y, w.x) = 0;
    ring.push_back(w);
  }
  const int last = ring_flood(ring, [&](glm::ivec2 p, int k, std::vector<glm::ivec2>& next) {
    for (glm::ivec2 q : window_3x3(p, rows, cols))
      if (d.at<int>(q.y, q.x) == -1) {
        d.at<int>(q.y, q.x) = k;
        next.push_back(q);
      }
  });
  int m = last;
  for (int x = 0; x < cols; ++x) m = std::min({m, d.at<int>(0, x), d.at<int>(rows - 1, x)});
  for (int y = 0; y < rows; ++y) m = std::min({m, d.at<int>(y, 0), d.at<int>(y, cols - 1)});
  cv::Mat seen(rows, cols, CV_8UC1, cv::Scalar(0));
  std::vector<glm::ivec2> queue{{0, 0}};
  for (std::size_t i = 0; i < queue.size(); ++i)
    for (glm::ivec2 q : window_3x3(queue[i], rows, cols))
      if (seen.at<uchar>(q.y, q.x) == 0 && d.at<int>(q.y, q.x) >= m) {
        d.at<int>(q.y, q.x) = m;
        seen.at<uchar>(q.y, q.x) = 1;
        queue.push_back(q);
      }
  return d;
}

TEST(ComputeInkDistance, MatchesTheRingFloodOnDrawings) {
  for (unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    for (const layer& l : layers_of(fixtures::random_drawing(200, 25, seed), 10, true)) {
      const cv::Mat expected = reference_ink_distance(l);
      ASSERT_EQ(cv::countNonZero(expected != l.ink_dist), 0);
    }
  }
}

}  // namespace

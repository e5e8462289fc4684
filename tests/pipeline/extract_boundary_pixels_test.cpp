#include "pipeline/extract_boundary_pixels.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include "support/hand_layers.h"

namespace {

using pixels = std::set<glm::ivec2>;

// Three regions: 1 top left, 2 top right, 3 along the bottom.
const std::vector<std::string> three_regions = {
    "111222",
    "111222",
    "111222",
    "333333",
    "333333",
};

cv::Vec3f at(const cv::Mat& image, int x, int y) { return image.at<cv::Vec3f>(y, x); }

TEST(ExtractBoundaryPixels, EdgeAndJunctionPixelsPerLabelPair) {
  std::list<layer> layers{hand_layer(three_regions, 4)};
  cv::Mat region(5, 6, CV_32FC3, cv::Scalar(7, 7, 7)), boundary;
  extract_boundary_pixels(layers, &region, &boundary);
  const pixel_graph& g = layers.front().graph;

  // One other label in the 3 by 3 block: an edge pixel of that pair.
  const std::map<ipair, pixels> edges = {
      {{1, 2}, {{2, 0}, {2, 1}, {3, 0}, {3, 1}}},
      {{1, 3}, {{0, 2}, {0, 3}, {1, 2}, {1, 3}}},
      {{2, 3}, {{4, 2}, {4, 3}, {5, 2}, {5, 3}}},
  };
  EXPECT_EQ(g.edge_pixels_by_pair, edges);
  pixels all_edges;
  for (const auto& e : edges) all_edges.insert(e.second.begin(), e.second.end());
  EXPECT_EQ(g.edge_pixels, all_edges);

  // Two or more: a junction pixel under every pair of its own label.
  const std::map<ipair, pixels> junctions = {
      {{1, 2}, {{2, 2}, {3, 2}}},
      {{1, 3}, {{2, 2}, {2, 3}, {3, 3}}},
      {{2, 3}, {{2, 3}, {3, 2}, {3, 3}}},
  };
  EXPECT_EQ(g.junction_pixels_by_pair, junctions);
  EXPECT_EQ(g.junction_pixels, (pixels{{2, 2}, {2, 3}, {3, 2}, {3, 3}}));

  // Painted: edges black and junctions white in the region image, both white in the
  // new boundary image; the rest untouched.
  ASSERT_EQ(boundary.type(), CV_32FC3);
  ASSERT_EQ(boundary.size(), region.size());
  EXPECT_EQ(at(region, 2, 0), cv::Vec3f(0, 0, 0));
  EXPECT_EQ(at(region, 2, 2), cv::Vec3f(255, 255, 255));
  EXPECT_EQ(at(region, 0, 0), cv::Vec3f(7, 7, 7));
  EXPECT_EQ(at(boundary, 2, 0), cv::Vec3f(255, 255, 255));
  EXPECT_EQ(at(boundary, 3, 3), cv::Vec3f(255, 255, 255));
  EXPECT_EQ(at(boundary, 0, 0), cv::Vec3f(0, 0, 0));
}

TEST(ExtractBoundaryPixels, MarginAndPixelsBeyondTheImageAreRecordedNotPainted) {
  // Margin 1: window pixel (x, y) paints at image (x - 1, y - 1); the region image is
  // smaller than the window, as at a layer whose ink touches the image border.
  std::list<layer> layers{hand_layer(three_regions, 4, 1)};
  cv::Mat region(3, 4, CV_32FC3, cv::Scalar(7, 7, 7)), boundary;
  extract_boundary_pixels(layers, &region, &boundary);
  const pixel_graph& g = layers.front().graph;
  EXPECT_EQ(g.edge_pixels.size(), 12u);
  EXPECT_EQ(g.junction_pixels.size(), 4u);

  cv::Mat expected(3, 4, CV_32FC3, cv::Scalar(7, 7, 7));
  // Window (2, 1), (3, 1) edges; (1, 2), (1, 3) edges; (2..3, 2..3) junctions. Row 0 and
  // column 0 of the window are the margin; window columns 5 and rows 4 lie off the image.
  expected.at<cv::Vec3f>(0, 1) = expected.at<cv::Vec3f>(0, 2) = cv::Vec3f(0, 0, 0);
  expected.at<cv::Vec3f>(1, 0) = expected.at<cv::Vec3f>(2, 0) = cv::Vec3f(0, 0, 0);
  for (int y = 1; y <= 2; ++y)
    for (int x = 1; x <= 2; ++x) expected.at<cv::Vec3f>(y, x) = cv::Vec3f(255, 255, 255);
  expected.at<cv::Vec3f>(1, 3) = expected.at<cv::Vec3f>(2, 3) = cv::Vec3f(0, 0, 0);
  EXPECT_EQ(cv::norm(region, expected, cv::NORM_INF), 0.0);
}

TEST(ExtractBoundaryPixels, LayerWithOnlyTheInkLabelIsSkipped) {
  std::list<layer> layers{hand_layer(three_regions, 1)};
  cv::Mat region(5, 6, CV_32FC3, cv::Scalar(7, 7, 7)), boundary;
  extract_boundary_pixels(layers, &region, &boundary);
  EXPECT_TRUE(layers.front().graph.edge_pixels.empty());
  EXPECT_TRUE(layers.front().graph.junction_pixels.empty());
  EXPECT_EQ(cv::norm(boundary, cv::NORM_INF), 0.0);
}

}  // namespace

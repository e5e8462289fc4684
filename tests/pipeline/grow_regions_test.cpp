#include "pipeline/grow_regions.h"

#include <cstdlib>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include "pipeline/label_regions.h"
#include "support/hand_layers.h"
#include "support/sketch_fixtures.h"

namespace {

using fixtures::as_input_image;
using fixtures::run_region_steps;

int label_at(const layer& l, glm::ivec2 image_pos) {
  return l.labels.at<int>(image_pos.y + l.offset_y, image_pos.x + l.offset_x);
}

int ring_at(const layer& l, glm::ivec2 image_pos) {
  auto it = l.grow_level.find(image_pos + glm::ivec2(l.offset_x, l.offset_y));
  return it == l.grow_level.end() ? -1 : it->second;
}

// split_box(w): frame and middle bar w pixels wide; the bar starts at column 30.
TEST(GrowRegions, StrokesTwoAndThreeWideMeetInTheMiddle) {
  for (int width : {2, 3}) {
    SCOPED_TRACE(width);
    std::srand(5);
    fixtures::extraction e = run_region_steps(as_input_image(fixtures::split_box(width)), region_params(), 3);
    const layer& l = e.layers.front();
    const int left = label_at(l, {15, 20}), right = label_at(l, {45, 20});
    ASSERT_NE(left, right);
    ASSERT_GE(left, 2);
    ASSERT_GE(right, 2);
    for (int y = 15; y <= 25; ++y) {
      EXPECT_EQ(label_at(l, {30, y}), left);
      EXPECT_EQ(ring_at(l, {30, y}), 0);
      EXPECT_EQ(label_at(l, {29 + width, y}), right);
      EXPECT_EQ(ring_at(l, {29 + width, y}), 0);
      if (width == 3) {
        // The middle goes to the side whose ring-0 pixel the queue takes first: the left.
        EXPECT_EQ(label_at(l, {31, y}), left);
        EXPECT_EQ(ring_at(l, {31, y}), 1);
      }
    }
    // No ink left: every pixel now belongs to a kept region.
    for (int y = 0; y < l.labels.rows; ++y)
      for (int x = 0; x < l.labels.cols; ++x) ASSERT_NE(l.labels.at<int>(y, x), 0);
    // Rings: the greatest ring + 1 (the frame's T and corner pixels lie deepest).
    int deepest = -1;
    for (const auto& [p, ring] : l.grow_level) deepest = std::max(deepest, ring);
    EXPECT_EQ(l.nb_grow_level, deepest + 1);
    EXPECT_EQ(l.grow_level.size(), std::size_t(l.v_nb_pixel[0]));
    // Painting: the bar in its regions' colours, the frame's outer rim (grown from the
    // outside) white.
    const glm::vec3 c = l.v_color[left];
    EXPECT_EQ(e.region_image.at<cv::Vec3f>(20, 30), cv::Vec3f(c.z, c.y, c.x));
    EXPECT_EQ(e.region_image.at<cv::Vec3f>(20, 5), cv::Vec3f(255, 255, 255));
  }
}

TEST(GrowRegions, InkTakesTheLabelOfTheFirstSeedInScanAndNeighbourOrder) {
  // Label windows, '0' = ink; labels 1 to 8 are kept regions.
  struct grow_case {
    const char* name;
    std::vector<std::string> rows;
    glm::ivec2 pixel;
    int label;
  };
  const grow_case cases[] = {
      // The ink at (2, 0) comes first in the row scan and seeds the 6 above the pixel;
      // a scan by columns would first seed the 5 at its left, through the ink at (0, 2).
      {"rows are scanned before columns", {"560", "506", "056"}, {1, 1}, 6},
      // A lone ink pixel's neighbours are seeded left, up, right, down.
      {"left first", {"161", "507", "181"}, {1, 1}, 5},
      {"up when there is no left", {"61", "07", "81"}, {0, 1}, 6},
      {"right when there is neither left nor up", {"07", "81"}, {0, 0}, 7},
  };
  for (const grow_case& c : cases) {
    std::list<layer> layers{hand_layer(c.rows, 9)};
    layer& l = layers.front();
    l.v_discarded.assign(9, 0);
    l.v_discarded[0] = 1;
    l.v_color.assign(9, glm::vec3(1, 2, 3));
    cv::Mat region(l.labels.size(), CV_32FC3);
    grow_regions(layers, &region);
    EXPECT_EQ(l.labels.at<int>(c.pixel.y, c.pixel.x), c.label) << c.name;
    EXPECT_EQ(l.grow_level.at(c.pixel), 0) << c.name;
    EXPECT_EQ(l.nb_grow_level, 1) << c.name;
  }
}

TEST(GrowRegions, DroppedRegionIsGrownOverFromTheInk) {
  region_params p;
  p.least_depth = 100;  // drops the ring's inside
  fixtures::extraction e = run_region_steps(as_input_image(fixtures::closed_ring(80, 25, 3)), p, 3);
  const layer& l = e.layers.front();
  const int outside = outside_label(l);
  for (int y = 0; y < l.labels.rows; ++y)
    for (int x = 0; x < l.labels.cols; ++x) ASSERT_EQ(l.labels.at<int>(y, x), outside);
  // Rings continue from the ink into the emptied region: the centre lies deepest.
  const int centre = ring_at(l, {40, 40});
  EXPECT_GT(centre, 20);
  EXPECT_EQ(l.nb_grow_level, centre + 1);
  // The tables keep the dropped label.
  EXPECT_EQ(l.v_peak.size(), 3u);
  EXPECT_EQ(l.v_discarded[2], 1);
  // Everything was grown from the outside: the region image stays white.
  EXPECT_EQ(cv::countNonZero(e.region_image.reshape(1) != 255), 0);
}

TEST(GrowRegions, LayerWithOnlyTheInkLabelIsLeftAlone) {
  std::list<layer> layers(1);
  layer& l = layers.front();
  l.labels = cv::Mat(3, 3, CV_32SC1, cv::Scalar(0));
  l.v_peak = {glm::ivec2(0, 0)};
  l.v_discarded = {1};
  l.nb_grow_level = 7;
  cv::Mat region(3, 3, CV_32FC3, cv::Scalar(1, 2, 3));
  grow_regions(layers, &region);
  EXPECT_EQ(l.nb_grow_level, 7);
  EXPECT_EQ(cv::countNonZero(l.labels), 0);
  EXPECT_TRUE(l.grow_level.empty());
  EXPECT_EQ(region.at<cv::Vec3f>(1, 1), cv::Vec3f(255, 255, 255));
}

TEST(GrowRegions, DegenerateDrawingsRunThroughAllSteps) {
  // No ink: nothing to do at any step.
  fixtures::extraction none = run_region_steps(as_input_image(fixtures::blank_sketch(20, 20)), region_params(), 3);
  EXPECT_TRUE(none.layers.empty());
  EXPECT_EQ(none.region_image.size(), cv::Size(20, 20));

  struct degenerate {
    const char* name;
    cv::Mat sketch;
  };
  for (const degenerate& d : std::vector<degenerate>{{"all ink", cv::Mat(12, 9, CV_8UC1, cv::Scalar(0))},
                                                     {"one pixel", cv::Mat(1, 1, CV_8UC1, cv::Scalar(0))}}) {
    SCOPED_TRACE(d.name);
    fixtures::extraction e = run_region_steps(as_input_image(d.sketch), region_params(), 3);
    ASSERT_EQ(e.layers.size(), 1u);
    const layer& l = e.layers.front();
    // Only the margin around the ink is a region: the outside, which grows over all the ink.
    EXPECT_EQ(l.v_peak.size(), 2u);
    EXPECT_EQ(l.v_discarded, (std::vector<char>{1, 0}));
    EXPECT_EQ(cv::countNonZero(l.labels != 1), 0);
    EXPECT_EQ(l.grow_level.size(), std::size_t(d.sketch.total()));
    EXPECT_EQ(cv::countNonZero(e.region_image.reshape(1) != 255), 0);
  }
}

}  // namespace

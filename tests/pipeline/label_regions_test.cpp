#include "pipeline/label_regions.h"

#include <cstdlib>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "support/sketch_fixtures.h"

namespace {

using fixtures::as_input_image;
using fixtures::run_region_steps;

const cv::Vec3f white(255, 255, 255);

cv::Vec3f bgr(const glm::vec3& c) { return cv::Vec3f(c.z, c.y, c.x); }

// The tables agree with the label image, ink is exactly label 0, no pixel is unlabelled.
void expect_consistent_labels(const layer& l) {
  const std::size_t n = l.v_peak.size();
  ASSERT_EQ(l.v_max_ink_dist.size(), n);
  ASSERT_EQ(l.v_nb_pixel.size(), n);
  ASSERT_EQ(l.v_color.size(), n);
  ASSERT_EQ(l.v_discarded.size(), n);
  std::vector<int> count(n, 0), depth(n, 0);
  for (int y = 0; y < l.labels.rows; ++y)
    for (int x = 0; x < l.labels.cols; ++x) {
      const int lab = l.labels.at<int>(y, x);
      ASSERT_GE(lab, 0);
      ASSERT_LT(lab, int(n));
      EXPECT_EQ(lab == 0, l.ink_dist.at<int>(y, x) == 0);
      ++count[lab];
      depth[lab] = std::max(depth[lab], l.ink_dist.at<int>(y, x));
    }
  for (std::size_t i = 0; i < n; ++i) {
    EXPECT_EQ(count[i], l.v_nb_pixel[i]) << "label " << i;
    EXPECT_EQ(depth[i], l.v_max_ink_dist[i]) << "label " << i;
    const glm::ivec2 peak = l.v_peak[i];
    EXPECT_EQ(l.labels.at<int>(peak.y, peak.x), int(i));
    EXPECT_EQ(l.ink_dist.at<int>(peak.y, peak.x), l.v_max_ink_dist[i]);
  }
  EXPECT_EQ(l.v_discarded[0], 1);
  EXPECT_EQ(l.v_discarded[outside_label(l)], 0);
}

TEST(LabelRegions, DrawingsGiveTheirRegions) {
  struct drawing {
    const char* name;
    cv::Mat sketch;
    std::size_t nb_labels;  // ink, outside and the enclosed regions
  };
  const std::vector<drawing> drawings = {
      {"closed ring", fixtures::closed_ring(), 3},
      {"two touching rings", fixtures::two_touching_rings(), 5},
      {"boxed T", fixtures::boxed_t(), 5},
      {"ring with a free end", fixtures::ring_with_free_end(), 3},
      {"split box 2", fixtures::split_box(2), 4},
  };
  for (const drawing& d : drawings) {
    SCOPED_TRACE(d.name);
    std::srand(7);
    fixtures::extraction e = run_region_steps(as_input_image(d.sketch), region_params(), 1);
    ASSERT_EQ(e.layers.size(), 1u);
    const layer& l = e.layers.front();
    EXPECT_EQ(l.v_peak.size(), d.nb_labels);
    EXPECT_EQ(outside_label(l), 1);
    EXPECT_EQ(l.v_peak[1], glm::ivec2(0, 0));  // the outside plateau peaks at its first pixel
    for (std::size_t i = 1; i < l.v_peak.size(); ++i) EXPECT_EQ(l.v_discarded[i], 0) << i;
    expect_consistent_labels(l);
  }
}

TEST(LabelRegions, DropsThinOrSmallRegionsAndPaintsKeptOnes) {
  // Ring inside: depth 16, 1593 pixels (measured once; the thresholds straddle them).
  struct thresholds {
    int least_depth, least_size;
    bool inside_dropped;
  };
  for (const thresholds& t : std::vector<thresholds>{{16, 1593, false}, {17, 1, true}, {1, 1594, true}}) {
    SCOPED_TRACE(testing::Message() << t.least_depth << " " << t.least_size);
    std::srand(3);
    region_params p;
    p.least_depth = t.least_depth;
    p.least_size = t.least_size;
    fixtures::extraction e = run_region_steps(as_input_image(fixtures::closed_ring()), p, 1);
    const layer& l = e.layers.front();
    ASSERT_EQ(l.v_peak.size(), 3u);
    ASSERT_EQ(l.v_max_ink_dist[2], 16);
    ASSERT_EQ(l.v_nb_pixel[2], 1593);
    EXPECT_EQ(l.v_discarded[2], t.inside_dropped ? 1 : 0);
    EXPECT_EQ(l.v_color[0], glm::vec3(0, 0, 0));
    EXPECT_EQ(l.v_color[1], outside_colour);
    if (t.inside_dropped) {
      EXPECT_EQ(l.v_color[2], glm::vec3(255, 255, 255));
    }

    // Painting: centre in the inside's colour, ink black, outside never painted.
    const cv::Mat& img = e.region_image;
    EXPECT_EQ(img.at<cv::Vec3f>(40, 40), bgr(l.v_color[2]));
    EXPECT_EQ(img.at<cv::Vec3f>(40, 40 - 25), cv::Vec3f(0, 0, 0));
    EXPECT_EQ(img.at<cv::Vec3f>(2, 2), white);
    // The last column and row of the ink box are left out.
    const int last_x = l.min_x + l.width, last_y = l.min_y + l.height;
    EXPECT_EQ(img.at<cv::Vec3f>(40, last_x), white);
    EXPECT_EQ(img.at<cv::Vec3f>(last_y, 40), white);
    EXPECT_EQ(img.at<cv::Vec3f>(40, last_x - 1), cv::Vec3f(0, 0, 0));
  }
}

TEST(LabelRegions, DiagonalContactKeepsRegionsApart) {
  // A one-pixel diagonal across a frame: the two triangles meet only at corners.
  cv::Mat s = fixtures::blank_sketch(40, 40);
  cv::rectangle(s, cv::Point(5, 5), cv::Point(34, 34), cv::Scalar(0), 1);
  cv::line(s, cv::Point(5, 5), cv::Point(34, 34), cv::Scalar(0), 1, cv::LINE_8);
  region_params p;
  p.least_depth = 1;
  p.least_size = 1;
  fixtures::extraction e = run_region_steps(as_input_image(s), p, 1);
  const layer& l = e.layers.front();
  EXPECT_EQ(l.v_peak.size(), 4u);
  const glm::ivec2 o(l.offset_x, l.offset_y);
  const glm::ivec2 above = glm::ivec2(20, 19) + o, below = glm::ivec2(19, 20) + o;
  EXPECT_NE(l.labels.at<int>(above.y, above.x), l.labels.at<int>(below.y, below.x));
  expect_consistent_labels(l);
}

TEST(LabelRegions, PeakIsThePlateauPixelTheFloodReachesFirst) {
  // One region over a 5 x 5 window with ink at (4, 4). Its deepest value 3 sits at (4, 1)
  // and (0, 3): a row-major scan would meet (4, 1) first, the flood from (0, 0) (3 steps
  // against 5) reaches (0, 3) first.
  std::list<layer> layers(1);
  layer& l = layers.front();
  l.ink_dist = cv::Mat(5, 5, CV_32SC1, cv::Scalar(1));
  l.ink_dist.at<int>(4, 4) = 0;
  l.ink_dist.at<int>(1, 4) = 3;
  l.ink_dist.at<int>(3, 0) = 3;
  cv::Mat region(5, 5, CV_32FC3);
  label_regions(region, layers, 1, 1);
  ASSERT_EQ(l.v_peak.size(), 2u);
  EXPECT_EQ(l.v_peak[0], glm::ivec2(4, 4));
  EXPECT_EQ(l.v_peak[1], glm::ivec2(0, 3));
  EXPECT_EQ(l.v_max_ink_dist, (std::vector<int32_t>{0, 3}));
  EXPECT_EQ(l.v_nb_pixel, (std::vector<int32_t>{1, 24}));
}

}  // namespace

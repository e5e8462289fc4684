#include "pipeline/split_regions.h"

#include <cstdlib>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "pipeline/label_regions.h"
#include "support/sketch_fixtures.h"

namespace {

using fixtures::as_input_image;
using fixtures::dumbbell;
using fixtures::run_region_steps;

TEST(SplitRegions, DumbbellNecks) {
  struct neck_case {
    const char* name;
    cv::Mat sketch;
    float ratio;
    int margin;
    std::size_t nb_labels;  // 3: not split (ink, outside, dumbbell); 4: split
    bool cut;               // neck pixels zeroed (kept even when the split is undone)
  };
  const std::vector<neck_case> cases = {
      {"narrow neck", dumbbell(14, 4, 10), 0.5f, 3, 4, true},
      {"neck of 6", dumbbell(14, 6, 10), 0.5f, 3, 4, true},
      {"wide neck", dumbbell(14, 10, 10), 0.5f, 3, 3, false},
      {"wide neck, big discs", dumbbell(30, 14, 10), 0.5f, 3, 4, true},
      {"ratio 0", dumbbell(14, 4, 10), 0.0f, 3, 3, false},
      {"margin above every height", dumbbell(14, 4, 10), 0.5f, 10, 3, false},
      {"small hill, split kept", dumbbell(30, 4, 10, 8), 0.5f, 3, 4, true},
      {"small hill below the margin, split undone", dumbbell(30, 4, 10, 7), 0.5f, 3, 3, true},
  };
  for (const neck_case& c : cases) {
    SCOPED_TRACE(c.name);
    std::srand(11);
    region_params p;
    p.neck_ratio = c.ratio;
    p.neck_margin = c.margin;
    const cv::Mat input = as_input_image(c.sketch);
    fixtures::extraction before = run_region_steps(input, p, 1);
    fixtures::extraction e = run_region_steps(input, p, 2);
    const layer& l = e.layers.front();
    const layer& b = before.layers.front();
    EXPECT_EQ(l.v_peak.size(), c.nb_labels);
    EXPECT_EQ(!l.neck_pixels.empty(), c.cut);
    for (const glm::ivec2& n : l.neck_pixels) {
      EXPECT_EQ(l.ink_dist.at<int>(n.y, n.x), 0);
      EXPECT_GT(b.ink_dist.at<int>(n.y, n.x), 0);
    }
    // Tables: a kept split moves pixels from the dumbbell (label 2) to the new label 3.
    ASSERT_EQ(l.v_nb_pixel.size(), c.nb_labels);
    ASSERT_EQ(l.v_discarded.size(), c.nb_labels);
    int moved = 0;
    for (int y = 0; y < l.labels.rows; ++y)
      for (int x = 0; x < l.labels.cols; ++x) {
        const int lab = l.labels.at<int>(y, x);
        EXPECT_EQ(lab == 3 ? 2 : lab, b.labels.at<int>(y, x));
        moved += lab == 3;
        EXPECT_EQ(l.region_mask.at<schar>(y, x), l.v_discarded[lab] ? 0 : 1);
      }
    if (c.nb_labels == 4) {
      EXPECT_EQ(l.v_nb_pixel[3], moved);
      EXPECT_EQ(l.v_nb_pixel[2] + moved, b.v_nb_pixel[2]);
      EXPECT_EQ(l.v_discarded[3], 0);
      const glm::ivec2 peak = l.v_peak[3];
      EXPECT_EQ(l.labels.at<int>(peak.y, peak.x), 3);
      EXPECT_EQ(l.ink_dist.at<int>(peak.y, peak.x), l.v_max_ink_dist[3]);
      EXPECT_GT(peak.x, l.v_peak[2].x);  // the right disc
    } else {
      EXPECT_EQ(l.v_nb_pixel, b.v_nb_pixel);
      EXPECT_EQ(l.v_peak, b.v_peak);
    }
  }
}

// A closed stroke lying inside a region, touching nothing, leaves necks of paper between
// it and the strokes around it: no cut there. Gaps in a ring still close, alone or in a
// frame.
TEST(SplitRegions, NoCutBetweenAClosedStrokeAndTheStrokesAroundIt) {
  struct island_case {
    const char* name;
    int frame_rows;  // frame around the ring, 0 for none
    int nb_gaps;     // gaps of 10 degrees in the ring, on opposite sides
    int nb_kept;     // kept regions, the outside included
  };
  const island_case cases[] = {
      {"ring in a frame, narrow necks above and below", 100, 0, 3},
      {"ring in a frame, wider necks", 112, 0, 3},
      {"ring with a gap in a frame", 100, 1, 3},
      {"ring of two arcs, alone", 0, 2, 2},
  };
  for (const island_case& c : cases) {
    SCOPED_TRACE(c.name);
    std::srand(5);
    cv::Mat s = fixtures::blank_sketch(c.frame_rows ? c.frame_rows + 40 : 140, 200);
    const cv::Point centre(100, s.rows / 2);
    if (c.frame_rows) cv::rectangle(s, {20, 20}, {179, 20 + c.frame_rows - 1}, cv::Scalar(0), 3);
    if (c.nb_gaps == 0) cv::circle(s, centre, 40, cv::Scalar(0), 3);
    if (c.nb_gaps == 1) cv::ellipse(s, centre, {40, 40}, 0, 5, 355, cv::Scalar(0), 3);
    if (c.nb_gaps == 2)
      for (int a : {0, 180}) cv::ellipse(s, centre, {40, 40}, 0, a + 5, a + 175, cv::Scalar(0), 3);
    fixtures::extraction e = run_region_steps(as_input_image(s), region_params(), 2);
    const layer& l = e.layers.front();
    int kept = 0;
    for (std::size_t i = 1; i < l.v_discarded.size(); ++i) kept += l.v_discarded[i] == 0;
    EXPECT_EQ(kept, c.nb_kept);
    // The ring's inside is a region of its own, and the frame's inside stays one region.
    const auto label_at = [&](int dx) {
      return l.labels.at<int>(centre.y + l.offset_y, centre.x + dx + l.offset_x);
    };
    EXPECT_NE(label_at(0), label_at(-60));
    if (c.frame_rows) {
      EXPECT_EQ(label_at(-60), label_at(60));
    }
  }
}

// A channel of paper between the sides of strokes is no gap: a jigsaw piece whose knob
// sits on a neck about one stroke wide stays one region. Gaps with a stroke end beside
// them still close: a ring with a gap, a partition that stops short of the wall.
TEST(SplitRegions, NoCutAlongAChannelBetweenStrokeSides) {
  struct channel_case {
    const char* name;
    int width;        // stroke width, input pixels
    bool channel;     // a knob on a narrow neck; otherwise the gapped drawing
    bool partition;   // the gapped drawing: a room with a partition; otherwise a ring
    bool separated;   // the two probe points end in different regions
  };
  const channel_case cases[] = {
      {"knob on a neck, thin strokes", 6, true, false, false},
      {"knob on a neck, thick strokes", 12, true, false, false},
      {"ring with a gap", 6, false, false, true},
      {"ring with a gap, thick stroke", 12, false, false, true},
      {"partition short of the wall", 6, false, true, true},
      {"partition short of the wall, thick strokes", 12, false, true, true},
  };
  for (const channel_case& c : cases) {
    SCOPED_TRACE(c.name);
    std::srand(7);
    const int w = c.width;
    cv::Mat s = fixtures::blank_sketch(520, 620);
    cv::Point a, b;  // probe points, one on each side of the neck
    if (c.channel) {
      cv::Mat piece = cv::Mat::zeros(s.size(), CV_8UC1);
      cv::rectangle(piece, {60, 140}, {300, 380}, cv::Scalar(255), cv::FILLED);
      const int neck = 3 * w + 24;  // paper about w wide between the neck's strokes
      cv::rectangle(piece, {280, 260 - w}, {300 + neck, 260 + w}, cv::Scalar(255), cv::FILLED);
      cv::circle(piece, {300 + neck + 70, 260}, 70, cv::Scalar(255), cv::FILLED);
      std::vector<std::vector<cv::Point>> outline;
      cv::findContours(piece, outline, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE);
      cv::polylines(s, outline, true, cv::Scalar(0), w, cv::LINE_AA);
      a = {180, 260}, b = {300 + neck + 70, 260};
    } else if (c.partition) {
      cv::rectangle(s, {60, 60}, {560, 460}, cv::Scalar(0), w, cv::LINE_AA);
      cv::line(s, {310, 460}, {310, 60 + w + 16}, cv::Scalar(0), w, cv::LINE_AA);
      a = {185, 260}, b = {435, 260};
    } else {
      cv::ellipse(s, {310, 260}, {150, 150}, 0, 8, 360, cv::Scalar(0), w, cv::LINE_AA);
      a = {310, 260}, b = {310, 260 - 150 - w - 12};
    }
    fixtures::extraction e = run_region_steps(as_input_image(s), region_params(), 2);
    const layer& l = e.layers.front();
    const auto label_at = [&](cv::Point p) { return l.labels.at<int>(p.y + l.offset_y, p.x + l.offset_x); };
    EXPECT_EQ(label_at(a) != label_at(b), c.separated);
    EXPECT_EQ(l.v_discarded[std::size_t(label_at(a))], 0);
    EXPECT_EQ(l.v_discarded[std::size_t(label_at(b))], 0);
  }
}

// On a page with wide open paper the outside region's descent takes hundreds of
// thousands of pixels on one level and a tried split floods as many: gapped rings far
// apart still close into regions of their own, and a large room cut by a partition that
// stops short of the wall still splits in two, and the paper around a closed ring is not
// cut off.
TEST(SplitRegions, GapsCloseOnALargePage) {
  std::srand(3);
  cv::Mat s = fixtures::blank_sketch(700, 700);
  cv::ellipse(s, {120, 120}, {70, 70}, 0, 10, 360, cv::Scalar(0), 6, cv::LINE_AA);
  cv::ellipse(s, {570, 570}, {90, 90}, 0, 190, 540, cv::Scalar(0), 6, cv::LINE_AA);
  cv::rectangle(s, {300, 40}, {660, 400}, cv::Scalar(0), 6, cv::LINE_AA);
  cv::line(s, {480, 400}, {480, 62}, cv::Scalar(0), 6, cv::LINE_AA);
  cv::circle(s, {150, 550}, 40, cv::Scalar(0), 6, cv::LINE_AA);
  fixtures::extraction e = run_region_steps(as_input_image(s), region_params(), 2);
  const layer& l = e.layers.front();
  const auto label_at = [&](cv::Point p) { return l.labels.at<int>(p.y + l.offset_y, p.x + l.offset_x); };
  // Ring A, ring B, the room's two halves, a closed ring in the open paper, open paper.
  const cv::Point probes[] = {{120, 120}, {570, 570}, {390, 220}, {570, 220}, {150, 550}, {60, 660}};
  std::vector<int> labels;
  for (const cv::Point& p : probes) {
    labels.push_back(label_at(p));
    EXPECT_EQ(l.v_discarded[std::size_t(labels.back())], 0);
  }
  for (std::size_t i = 0; i < labels.size(); ++i)
    for (std::size_t j = i + 1; j < labels.size(); ++j) EXPECT_NE(labels[i], labels[j]) << i << " " << j;
  EXPECT_EQ(labels.back(), l.labels.at<int>(0, 0));
  // The paper between the closed ring and the strokes around it is not cut off.
  for (const cv::Point& p : {cv::Point(150, 450), cv::Point(250, 550), cv::Point(150, 640)})
    EXPECT_EQ(label_at(p), labels.back());
}

TEST(SplitRegions, RegionMaskAndRepeatedDropTest) {
  // A thin ring inside: dropped at step 1, stays dropped, mask 0 on it and on the ink.
  region_params p;
  p.least_depth = 100;
  fixtures::extraction e = run_region_steps(as_input_image(fixtures::closed_ring()), p, 2);
  const layer& l = e.layers.front();
  EXPECT_EQ(l.v_discarded, (std::vector<char>{1, 0, 1}));
  ASSERT_EQ(l.region_mask.type(), CV_8SC1);
  EXPECT_EQ(l.region_mask.at<schar>(0, 0), 1);
  const glm::ivec2 centre = glm::ivec2(40, 40) + glm::ivec2(l.offset_x, l.offset_y);
  EXPECT_EQ(l.region_mask.at<schar>(centre.y, centre.x), 0);
  EXPECT_EQ(cv::countNonZero(l.region_mask), l.v_nb_pixel[1]);
}

TEST(ComputeStrokeDepth, CountsIntoStrokesFromKeptRegions) {
  struct depth_case {
    const char* name;
    int least_depth;
    int expected_max;  // greatest stroke depth in the window
  };
  // A frame split by a 3-wide bar: the bar's middle is 2 rings from either region.
  // With both inner regions dropped, depth counts from the outside only, across them.
  for (const depth_case& c : std::vector<depth_case>{{"both sides kept", 3, 2}, {"inner dropped", 100, 0}}) {
    SCOPED_TRACE(c.name);
    region_params p;
    p.least_depth = c.least_depth;
    fixtures::extraction e = run_region_steps(as_input_image(fixtures::split_box(3)), p, 2);
    const layer& l = e.layers.front();
    const cv::Mat& s = l.stroke_depth;
    ASSERT_EQ(s.type(), CV_32SC1);
    const glm::ivec2 o(l.offset_x, l.offset_y);
    const glm::ivec2 bar_middle = glm::ivec2(31, 20) + o;
    const glm::ivec2 left_region = glm::ivec2(15, 20) + o;
    if (c.least_depth == 3) {
      EXPECT_EQ(s.at<int>(bar_middle.y, bar_middle.x), 2);
      EXPECT_EQ(s.at<int>(bar_middle.y, bar_middle.x - 1), 1);
      EXPECT_EQ(s.at<int>(left_region.y, left_region.x), 0);
    } else {
      // The dropped region is crossed from the frame: its middle lies deep.
      EXPECT_GT(s.at<int>(left_region.y, left_region.x), 10);
      EXPECT_GT(s.at<int>(bar_middle.y, bar_middle.x), 10);
    }
    for (int y = 0; y < s.rows; ++y)
      for (int x = 0; x < s.cols; ++x) {
        EXPECT_GE(s.at<int>(y, x), 0);  // every stroke pixel is reached from the outside
        if (l.region_mask.at<schar>(y, x) != 0) {
          EXPECT_EQ(s.at<int>(y, x), 0);
        }
      }
  }
}

}  // namespace

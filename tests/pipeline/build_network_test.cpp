#include <cmath>
#include <iostream>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "graph/bezier.h"
#include "support/fragment_links.h"
#include "support/network_checker.h"
#include "support/network_fixtures.h"
#include "support/sketch_fixtures.h"

namespace {

// Largest distance from a sample to its fragment's cubic (nearest of 200 curve points),
// in pixels.
double worst_sample_distance(const f_curve& f) {
  std::vector<glm::dvec2> curve_points;
  const int three = 3;
  for (int i = 0; i <= 200; ++i) curve_points.push_back(bezier_eval(three, f.v_ctrl_point.data(), i / 200.0));
  double worst = 0;
  for (const glm::vec2& p : f.v_point) {
    double nearest = 1e30;
    for (const glm::dvec2& q : curve_points) nearest = std::min(nearest, std::hypot(q.x - p.x, q.y - p.y));
    worst = std::max(worst, nearest);
  }
  return worst;
}

cv::Mat open_stroke() {
  cv::Mat s = fixtures::blank_sketch(60, 80);
  cv::line(s, {10, 40}, {70, 20}, cv::Scalar(0), 3);
  return s;
}

cv::Mat square() {
  cv::Mat s = fixtures::blank_sketch(80, 80);
  cv::rectangle(s, {15, 15}, {65, 65}, cv::Scalar(0), 3);
  return s;
}

cv::Mat cross_in_box() {
  cv::Mat s = fixtures::blank_sketch(90, 90);
  cv::rectangle(s, {10, 10}, {80, 80}, cv::Scalar(0), 3);
  cv::line(s, {10, 45}, {80, 45}, cv::Scalar(0), 3);
  cv::line(s, {45, 10}, {45, 80}, cv::Scalar(0), 3);
  return s;
}

struct Drawing {
  const char* name;
  cv::Mat (*make)();
  std::size_t regions;  // kept regions, background included
};

TEST(BuildNetwork, EveryDrawingLinksConsistentlyAndFollowsItsStrokes) {
  const Drawing drawings[] = {
      {"square", square, 2},
      {"ring", [] { return fixtures::closed_ring(); }, 2},
      {"T", [] { return fixtures::boxed_t(); }, 4},
      {"cross", cross_in_box, 5},
      // Traced by the open-stroke pass: built from the pixel graph, with the outside as
      // its one region.
      {"open stroke", open_stroke, 1},
  };
  for (const Drawing& d : drawings) {
    SCOPED_TRACE(d.name);
    testing::internal::CaptureStdout();
    auto ex = fixtures::extract_network(d.make());
    const std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_EQ(ex->network.size(), 1u);
    const layer_graph& lg = ex->network.front();
    EXPECT_EQ(lg.regions.size(), d.regions);
    EXPECT_EQ(lg.curves.size(), lg.f_curves.size());
    EXPECT_EQ(lg.nconnections.size(), lg.frag_conns.size());
    EXPECT_FALSE(lg.f_curves.empty());
    for (const f_curve& f : lg.f_curves) {
      EXPECT_EQ(f.v_curve.size(), 1u);
      // Samples are stroke pixels (widths up to 3, plus the node clusters): every one
      // lies within 3 pixels of its cubic.
      EXPECT_LT(worst_sample_distance(f), 3.0);
    }
    EXPECT_EQ(check_network(lg), "");
    // The consistency report of the link step says nothing on a sound network.
    EXPECT_EQ(printed.find("bad"), std::string::npos) << printed;
  }
}

// The curves drawn in red over the sketch, four times enlarged, for a person to look at.
TEST(BuildNetwork, PictureOfTheCurvesOverTheSketch) {
  const cv::Mat sketch = cross_in_box();
  auto ex = fixtures::extract_network(sketch);
  const int scale = 4;
  cv::Mat picture;
  cv::cvtColor(sketch, picture, cv::COLOR_GRAY2BGR);
  cv::resize(picture, picture, {}, scale, scale, cv::INTER_NEAREST);
  picture = picture / 2 + cv::Scalar(127, 127, 127);
  for (const curve& c : ex->network.front().curves) {
    const curve_segment& s = c.v_segment.front();
    const int n = static_cast<int>(s.v_ctrl_point.size()) - 1;
    std::vector<cv::Point> line;
    for (int i = 0; i <= 50; ++i) {
      const glm::dvec2 p = bezier_eval(n, s.v_ctrl_point.data(), i / 50.0);
      line.emplace_back(static_cast<int>((p.x + 0.5) * scale), static_cast<int>((p.y + 0.5) * scale));
    }
    cv::polylines(picture, line, false, cv::Scalar(0, 0, 255), 1, cv::LINE_AA);
    cv::circle(picture, line.front(), 3, cv::Scalar(255, 0, 0), -1);
    cv::circle(picture, line.back(), 3, cv::Scalar(255, 0, 0), -1);
  }
  const std::string path = fixtures::temp_path("cross_curves.png");
  ASSERT_TRUE(cv::imwrite(path, picture));
  std::cout << "curves over the sketch: " << path << std::endl;
}

TEST(BuildNetwork, BackgroundFlagsOnlyOnTheOutsideBorder) {
  auto ex = fixtures::extract_network(fixtures::boxed_t());
  const layer_graph& lg = ex->network.front();
  int backgrounds = 0;
  for (const region& r : lg.regions) backgrounds += r.background;
  EXPECT_EQ(backgrounds, 1);
  for (const edge& e : lg.edges) {
    bool borders_background = false;
    for (const region* r : e.v_region) borders_background |= r->background;
    EXPECT_EQ(e.on_background, borders_background);
    EXPECT_EQ(e.v_frag_conn.size(), e.v_f_curve.size() + 1);
  }
}

// On this drawing a few winding strokes have the sample nearest both their nodes on the
// same half of the stroke; each fragment must still have one end at each junction, or
// the split at step 8 and the moves corrupt the links.
TEST(BuildNetwork, EveryFragmentHasOneEndAtEachJunction) {
  cv::Mat sketch = fixtures::random_drawing(400, 60, 10);
  cv::resize(sketch, sketch, {}, 2, 2, cv::INTER_NEAREST);
  testing::internal::CaptureStdout();
  auto ex = fixtures::extract_network(sketch, false);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(check_fragment_links(ex->network.front()), "");
  EXPECT_EQ(check_network(ex->network.front()), "");
}

TEST(BuildNetwork, OpenStrokeIsOneFragmentThroughAllInk) {
  auto ex = fixtures::extract_network(open_stroke(), false, region_params{}, 0);
  const layer_graph& lg = ex->network.front();
  ASSERT_EQ(lg.f_curves.size(), 1u);
  EXPECT_EQ(lg.edges.size(), 1u);
  EXPECT_EQ(lg.nodes.size(), 2u);
  EXPECT_EQ(lg.frag_conns.size(), 2u);
  EXPECT_TRUE(lg.regions.empty());
  const f_curve& f = lg.f_curves.front();
  EXPECT_EQ(f.v_point.size(), ex->layers.front().ink_pixels.size());
  for (float w : f.v_weight) EXPECT_EQ(w, 1.0f);
  EXPECT_EQ(lg.frag_conns.front().v_frag_end[0].end, 0);
  EXPECT_EQ(lg.frag_conns.back().v_frag_end[0].end, 3);
  EXPECT_LT(worst_sample_distance(f), 3.0);
}

TEST(BuildNetwork, SingleInkPixelGetsFiniteParameters) {
  std::list<layer> layers(1);
  layers.front().ink_pixels.insert(glm::ivec2(20, 20));
  layer_graph lg;
  lg.build_single_region(layers.front());
  ASSERT_EQ(lg.f_curves.front().v_t.size(), 1u);
  EXPECT_EQ(lg.f_curves.front().v_t[0], 0.0);
}

}  // namespace

namespace {

// Whether the fragment's sample pixels form one 8-connected run.
bool samples_form_one_run(const f_curve& f) {
  std::set<glm::ivec2> left;
  for (const glm::vec2& p : f.v_point) left.insert(glm::ivec2(std::lround(p.x), std::lround(p.y)));
  std::vector<glm::ivec2> stack{*left.begin()};
  left.erase(left.begin());
  while (!stack.empty()) {
    const glm::ivec2 p = stack.back();
    stack.pop_back();
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        const auto it = left.find(p + glm::ivec2(dx, dy));
        if (it == left.end()) continue;
        stack.push_back(*it);
        left.erase(it);
      }
  }
  return left.empty();
}

// Largest distance from a point of the fragment's cubic to the sketch's ink, in pixels.
double farthest_off_ink(const f_curve& f, const cv::Mat& sketch) {
  cv::Mat to_ink;
  cv::distanceTransform(sketch > 127, to_ink, cv::DIST_L2, 5);
  double worst = 0;
  for (int i = 0; i <= 200; ++i) {
    const glm::dvec2 p = bezier_eval(3, f.v_ctrl_point.data(), i / 200.0);
    const int x = int(std::lround(p.x)), y = int(std::lround(p.y));
    if (x < 0 || y < 0 || x >= sketch.cols || y >= sketch.rows) return 1e9;
    worst = std::max(worst, double(to_ink.at<float>(y, x)));
  }
  return worst;
}

TEST(BuildNetwork, StrokesWithoutRegionsGiveFragmentsThatFollowTheInkAfterTheSplit) {
  // Without an enclosed region, each ink component is one fragment parameterised by the
  // walking distance from one of its ends (batch form, no open-stroke pass), or the
  // strokes are traced (interactive form), or both when the passes trace only some.
  // Either way the parameters rise along the stroke, so the split cuts it into pieces
  // that are each one run of the stroke, and no cubic crosses the paper between strokes
  // or between the lobes of a wave.
  struct drawing {
    const char* name;
    cv::Mat sketch;
    std::size_t nb_components;
    bool batch_form_only = false;
  };
  const drawing drawings[] = {
      {"three wavy lines", fixtures::wavy_lines(), 3},
      {"wave of half circles", fixtures::half_circle_wave(3, 20, 4), 1},
      {"wide wave", fixtures::half_circle_wave(6, 24, 3), 1},
      // Branched: in the batch form the branch off the main run gets fragments of its
      // own. (Traced, its fork is judged on whole runs, with the drawn sheets.)
      {"T", fixtures::open_t(3, 100), 2, true},
      {"wide T", fixtures::open_t(6, 140), 2, true},
  };
  for (const drawing& d : drawings)
    for (int passes : {0, 1, 10}) {
      if (d.batch_form_only && passes != 0) continue;
      // One pass traces one stroke; the strokes left untraced get a fragment each.
      SCOPED_TRACE(std::string(d.name) + ", " + std::to_string(passes) + " open-stroke passes");
      testing::internal::CaptureStdout();
      auto ex = fixtures::extract_network(d.sketch, true, region_params{}, passes);
      testing::internal::GetCapturedStdout();
      const layer_graph& lg = ex->network.front();
      EXPECT_GE(lg.f_curves.size(), d.nb_components);
      for (const f_curve& f : lg.f_curves) {
        EXPECT_TRUE(samples_form_one_run(f));
        EXPECT_LE(farthest_off_ink(f, d.sketch), 2.0);
      }
      EXPECT_EQ(check_network(lg), "");
    }
}

TEST(BuildNetwork, SingleRegionFragmentsRunFromOneEndOfEachComponent) {
  // Two strokes: one fragment each, in the order of their first pixels; parameter 0 at
  // one end, 1 at the other, walking through the ink.
  cv::Mat sketch = fixtures::blank_sketch(40, 60);
  cv::line(sketch, {5, 5}, {30, 5}, cv::Scalar(0), 1);
  cv::line(sketch, {10, 20}, {10, 35}, cv::Scalar(0), 1);
  std::list<layer> layers(1);
  for (int y = 0; y < sketch.rows; ++y)
    for (int x = 0; x < sketch.cols; ++x)
      if (sketch.at<uchar>(y, x) == 0) layers.front().ink_pixels.insert({x, y});
  layer_graph lg;
  lg.build_single_region(layers.front());
  ASSERT_EQ(lg.f_curves.size(), 2u);
  EXPECT_EQ(lg.frag_conns.size(), 4u);
  EXPECT_EQ(lg.edges.size(), 2u);
  EXPECT_EQ(lg.nodes.size(), 4u);
  const f_curve& bar = lg.f_curves.front();
  ASSERT_EQ(bar.v_point.size(), 26u);
  for (std::size_t i = 0; i < bar.v_point.size(); ++i) {
    const double along = (bar.v_point[i].x - 5) / 25.0;
    EXPECT_NEAR(std::min(bar.v_t[i], 1 - bar.v_t[i]), std::min(along, 1 - along), 1e-12);
  }
  EXPECT_EQ(lg.f_curves.back().v_point.size(), 16u);
  for (const f_curve& f : lg.f_curves) {
    EXPECT_EQ(f.v_frag_conn.size(), 2u);
    EXPECT_EQ(f.v_frag_conn[0]->v_frag_end[0].end, 0);
    EXPECT_EQ(f.v_frag_conn[1]->v_frag_end[0].end, 3);
  }
}

}  // namespace

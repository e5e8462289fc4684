// Whole drawings from the image to the optimised network: extraction, a complete batch
// annealing run with a fixed seed, and what a user judges the result by.

#include <cmath>
#include <iostream>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "graph/bezier.h"
#include "pipeline/recuit.h"
#include "support/network_checker.h"
#include "support/network_fixtures.h"
#include "support/sketch_fixtures.h"
#include "support/temp_folder.h"

namespace {

cv::Mat square() {
  cv::Mat s = fixtures::blank_sketch(80, 80);
  cv::rectangle(s, {15, 15}, {65, 65}, cv::Scalar(0), 3);
  return s;
}

cv::Mat circle() { return fixtures::closed_ring(90, 32, 3); }

cv::Mat cross_in_box() {
  cv::Mat s = fixtures::blank_sketch(90, 90);
  cv::rectangle(s, {10, 10}, {80, 80}, cv::Scalar(0), 3);
  cv::line(s, {10, 45}, {80, 45}, cv::Scalar(0), 3);
  cv::line(s, {45, 10}, {45, 80}, cv::Scalar(0), 3);
  return s;
}

cv::Mat open_stroke() {
  cv::Mat s = fixtures::blank_sketch(60, 90);
  cv::ellipse(s, {45, 45}, {35, 25}, 0, 180, 360, cv::Scalar(0), 3);
  return s;
}

// Largest and mean distance from the samples of the curve's fragments to the curve's
// first segment (nearest of 400 points along it), in sketch pixels.
struct distances { double worst = 0, mean = 0; };
distances sample_distances(const curve& c) {
  const curve_segment& s = c.v_segment.front();
  const int n = static_cast<int>(s.v_ctrl_point.size()) - 1;
  std::vector<glm::dvec2> pts;
  for (int i = 0; i <= 400; ++i) pts.push_back(bezier_eval(n, s.v_ctrl_point.data(), i / 400.0));
  distances d;
  std::size_t n_samples = 0;
  for (const f_curve* f : c.v_f_curve)
    for (const glm::vec2& p : f->v_point) {
      double nearest = 1e30;
      for (const glm::dvec2& q : pts) nearest = std::min(nearest, std::hypot(q.x - p.x, q.y - p.y));
      d.worst = std::max(d.worst, nearest);
      d.mean += nearest;
      ++n_samples;
    }
  if (n_samples) d.mean /= n_samples;
  return d;
}

TEST(AnnealingDrawings, RunsLowerTheEnergyKeepTheNetworkSoundAndFollowTheStrokes) {
  struct Drawing { const char* name; cv::Mat (*make)(); };
  const Drawing drawings[] = {
      {"square", square}, {"circle", circle}, {"T", [] { return fixtures::boxed_t(); }},
      {"cross", cross_in_box}, {"open stroke", open_stroke},
  };
  for (const Drawing& d : drawings) {
    SCOPED_TRACE(d.name);
    testing::internal::CaptureStdout();
    auto ex = fixtures::extract_network(d.make());
    recuit opt(&ex->network);
    opt.read_config_v2(0.5f, 0.995f);
    opt.gen.seed(2026);
    const float initial = ex->network.energy(opt.lambda, opt.mu);
    {
      fixtures::temp_working_folder scratch("annealing_drawings");
      opt.run_all();
    }
    testing::internal::GetCapturedStdout();
    const layer_graph& lg = ex->network.front();
    EXPECT_EQ(opt.k, opt.nb_it);
    EXPECT_LE(ex->network.energy(opt.lambda, opt.mu), initial);
    EXPECT_EQ(check_network(lg), "");
    EXPECT_LE(lg.curves.size(), lg.f_curves.size());
    double worst = 0, worst_mean = 0;
    for (const curve& c : lg.curves) {
      const distances dist = sample_distances(c);
      worst = std::max(worst, dist.worst);
      worst_mean = std::max(worst_mean, dist.mean);
    }
    // Strokes are 3 pixels wide and junction clusters a few pixels across: every sample
    // lies within 5 sketch pixels of its curve, and on average within 1.5 pixels.
    EXPECT_LT(worst, 5.0);
    EXPECT_LT(worst_mean, 1.5);
    std::cout << d.name << ": " << lg.curves.size() << " curves, worst sample " << worst << " px, mean "
              << worst_mean << " px\n";
  }
}

// The bundled house, doubled as the batch program loads it.
cv::Mat house_doubled() {
  const cv::Mat sketch = cv::imread(VELLUMTRACE_SOURCE_DIR "/examples/house.png", cv::IMREAD_GRAYSCALE);
  cv::Mat doubled;
  if (!sketch.empty()) cv::resize(sketch, doubled, sketch.size() * 2, 0, 0, cv::INTER_NEAREST);
  return doubled;
}

TEST(AnnealingDrawings, NoMoveOrUndoMispricesTheNetworkItLeaves) {
  // Short runs (the demo's dt 0.999) now and then end in a state whose cheapest way out
  // climbs first; that is the schedule, provided every move prices the network it leaves:
  // after each iteration the optimiser's energy is the network's, and each curve's stored
  // error is its error measured afresh.
  struct Drawing { const char* name; cv::Mat sketch; unsigned seed; };
  const Drawing drawings[] = {{"house", house_doubled(), 29}, {"cross", cross_in_box(), 7}};
  for (const Drawing& d : drawings) {
    SCOPED_TRACE(d.name);
    ASSERT_FALSE(d.sketch.empty());
    testing::internal::CaptureStdout();
    auto ex = fixtures::extract_network(d.sketch);
    recuit opt(&ex->network);
    opt.read_config_v2(0.25f, 0.999f);
    opt.gen.seed(d.seed);
    int mispriced = 0, stale = 0;
    for (; opt.k < opt.nb_it; ++opt.k) {
      opt.step_batch();
      const float e = ex->network.energy(opt.lambda, opt.mu);
      if (std::fabs(e - opt.E) > 1e-5f * std::fabs(e)) ++mispriced;
      if (std::fabs(e - ex->network.energy_recomputed(opt.lambda, opt.mu)) > 1e-4f * std::fabs(e)) ++stale;
    }
    testing::internal::GetCapturedStdout();
    EXPECT_GT(opt.nb_it, 6000);
    EXPECT_EQ(mispriced, 0);
    EXPECT_EQ(stale, 0);
    EXPECT_EQ(check_network(ex->network.front()), "");
  }
}

}  // namespace

// Merge by hand of two curves that meet at a corner, after a seeded run and through a
// second run: the merged curve holds the chain, meets the other curves at its junctions,
// and nothing of the network leaves the ink but the corner one curve must cut.

#include "window_session.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QPushButton>
#include <QSlider>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "graph/bezier.h"
#include "graph/joint_system.h"
#include "support/network_checker.h"

namespace {

using window_test::window_session;

// Distance (network pixels) from each pixel of the doubled sketch to the nearest ink.
cv::Mat ink_distance(const cv::Mat& input_image) {
  cv::Mat paper;
  cv::threshold(input_image, paper, 0.5, 255, cv::THRESH_BINARY);
  paper.convertTo(paper, CV_8U);
  cv::Mat distance;
  cv::distanceTransform(paper, distance, cv::DIST_L2, cv::DIST_MASK_PRECISE);
  return distance;
}

float distance_at(const cv::Mat& distance, glm::dvec2 p) {
  const int x = std::clamp(static_cast<int>(std::lround(p.x)), 0, distance.cols - 1);
  const int y = std::clamp(static_cast<int>(std::lround(p.y)), 0, distance.rows - 1);
  return distance.at<float>(y, x);
}

// Farthest a curve's first segment gets from the ink.
float farthest_from_ink(const cv::Mat& distance, const curve& c) {
  const std::vector<glm::dvec2>& p = c.v_segment[0].v_ctrl_point;
  float farthest = 0;
  for (int i = 0; i <= 100; ++i)
    farthest = std::max(farthest, distance_at(distance, bezier_eval(static_cast<int>(p.size()) - 1, p.data(), i / 100.0f)));
  return farthest;
}

// The roof sides: the fragment through the drawing's topmost ink and the other fragment
// at its junction there, and the point where they meet.
struct corner_pair {
  f_curve* a = nullptr;
  f_curve* b = nullptr;
  glm::dvec2 corner;
};

corner_pair roof_sides(layer_graph& lg) {
  f_curve* top = nullptr;
  float least_y = std::numeric_limits<float>::max();
  for (f_curve& f : lg.f_curves)
    for (const glm::vec2& p : f.v_point)
      if (p.y < least_y) least_y = p.y, top = &f;
  const bool at_start = top->v_point.front().y < top->v_point.back().y;
  for (const frag_conn* j : top->v_frag_conn)
    for (const frag_end& e : j->v_frag_end)
      if (e.fragment == top && (e.end == 0) == at_start)
        for (const frag_end& o : j->v_frag_end)
          if (o.fragment != top) return {top, o.fragment, top->v_ctrl_point[e.end != 0 ? 3 : 0]};
  return {};
}

// The network as a merge of a and b must leave it.
void expect_merged_network(const gl_widget& gl, f_curve* a, f_curve* b, glm::dvec2 corner) {
  const layer_graph& lg = gl.network.front();
  EXPECT_EQ(check_network(lg), "");
  // One curve holds both and neither is held twice: no curve is left of one side alone.
  ASSERT_EQ(a->v_curve.size(), 1u);
  ASSERT_EQ(b->v_curve, a->v_curve);
  const curve& merged = *a->v_curve[0];
  EXPECT_EQ(merged.v_segment[0].degree, 3);  // the highest degree allowed
  // Every curve meets the others where they end together, within a stroke's width of the
  // point where the junction's fragments meet.
  for (const nconnection& n : lg.nconnections) {
    if (n.v_curve.size() < 2) continue;
    const frag_conn& j = *n.v_frag_conn[0];
    const frag_end& fe = j.v_frag_end[0];
    const glm::dvec2 junction = fe.fragment->v_ctrl_point[fe.end != 0 ? 3 : 0];
    const curve& first = *n.v_curve[0];
    const glm::dvec2 shared = first.v_segment[0].v_ctrl_point[curve_end_at(first, j)];
    EXPECT_LT(glm::length(shared - junction), 6.0) << "junction at " << junction.x << "," << junction.y << " moved";
    for (const curve* c : n.v_curve) {
      const glm::dvec2 p = c->v_segment[0].v_ctrl_point[curve_end_at(*c, j)];
      EXPECT_LT(glm::length(p - shared), 1e-6) << "a curve ends away from its junction at " << shared.x << "," << shared.y;
    }
  }
  // Every curve runs on the ink and ends on it.
  const cv::Mat distance = ink_distance(gl.input_image);
  for (const curve& c : lg.curves) {
    const std::vector<glm::dvec2>& p = c.v_segment[0].v_ctrl_point;
    EXPECT_LE(distance_at(distance, p.front()), 1.5f);
    EXPECT_LE(distance_at(distance, p.back()), 1.5f);
    if (&c != &merged) {
      EXPECT_LE(farthest_from_ink(distance, c), 3.0f);
    }
  }
  // Only near the corner may the merged curve leave the stroke (about 6 pixels wide).
  const std::vector<glm::dvec2>& p = merged.v_segment[0].v_ctrl_point;
  const double near_corner = glm::length(p.back() - p.front()) / 4;
  for (int i = 0; i <= 100; ++i) {
    const glm::dvec2 q = bezier_eval(static_cast<int>(p.size()) - 1, p.data(), i / 100.0f);
    if (distance_at(distance, q) > 6.0f) {
      EXPECT_LT(glm::length(q - corner), near_corner) << "off the ink at " << q.x << "," << q.y;
    }
  }
}

TEST(MergeEdit, RoofSidesMergedAfterARunStayOneCurveOnTheInkThroughARerun) {
  window_session s(69062);
  ASSERT_TRUE(s.open_sketch(s.folder.add_example("house.png")));
  s.gl->worker.optimiser.gen.seed(5);
  QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);
  ASSERT_TRUE(s.wait_for([&] { return s.gl->threads.empty(); }));
  layer_graph& lg = s.gl->network.front();
  const auto [a, b, corner] = roof_sides(lg);
  ASSERT_TRUE(a && b);
  ASSERT_FALSE(window_test::on_one_curve(a, b));  // the run keeps the corner

  s.ctrl_click(s.widget_point(s.index_midpoint(a)));
  s.ctrl_click(s.widget_point(s.index_midpoint(b)));
  ASSERT_EQ(s.gl->selection, (std::vector<std::pair<layer_graph*, f_curve*>>{{&lg, a}, {&lg, b}}));
  s.press("Merge");
  {
    SCOPED_TRACE("after the merge");
    expect_merged_network(*s.gl, a, b, corner);
  }

  // A second run from the start cannot part them, and its finishing passes keep the
  // junctions where the other curves put them.
  s.gl->worker.optimiser.gen.seed(5);
  s.gl->iteration_slider->setFocus();
  QTest::keyClick(s.gl->iteration_slider, Qt::Key_Home);
  ASSERT_TRUE(s.wait_for([&] { return s.gl->threads.empty(); }));
  SCOPED_TRACE("after a second run");
  expect_merged_network(*s.gl, a, b, corner);
  window_test::save_test_picture(s.screenshot(), "merge_rerun.png");
}

}  // namespace

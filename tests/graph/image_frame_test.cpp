#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "graph/bezier.h"
#include "graph/curve.h"
#include "graph/f_curve.h"
#include "graph/image_frame.h"

namespace {

using glm::dvec2;

const image_frame page{800, 600};

TEST(ImageFrame, CurveLeavesTheFrameOnlyWhereItsPointsDo) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct row {
    const char* what;
    std::vector<dvec2> ctrl;
    bool leaves;
  };
  const row rows[] = {
      {"a line from corner to corner", {{0, 0}, {800, 600}}, false},
      {"a point on the border", {{800, 0}}, false},
      {"inner points above the top, curve below it", {{10, 10}, {10, -2}, {20, -2}, {20, 10}}, false},
      {"inner points above the top, curve above it", {{10, 10}, {10, -5}, {20, -5}, {20, 10}}, true},
      {"a parabola bulging past the right side", {{700, 10}, {920, 20}, {700, 30}}, true},
      {"a parabola whose middle point alone is past the side", {{700, 10}, {890, 20}, {700, 30}}, false},
      // Nearly a parabola in x: the bulge's parameter must not be lost to cancellation.
      {"a near-parabola past the right side",
       {{731.402, 465.572}, {930.254, 412.852}, {779.808, 455.097}, {280.064, 592.307}}, true},
      {"an end left of the frame", {{-0.5, 10}, {10, 10}}, true},
      {"an end past the border by rounding", {{800 + 1e-7, 5}, {10, 5}}, false},
      {"a point that is not a number", {{nan, 5}, {10, 5}}, true},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(leaves_frame(page, r.ctrl.data(), static_cast<int>(r.ctrl.size())), r.leaves);
    // Sampling agrees wherever the answer is not a matter of tolerance.
    bool sampled_out = false;
    for (int i = 0; i <= 1000; ++i) {
      const dvec2 p = bezier_eval(static_cast<int>(r.ctrl.size()) - 1, r.ctrl.data(), i / 1000.0);
      sampled_out = sampled_out || !(p.x >= -1e-6 && p.x <= 800 + 1e-6 && p.y >= -1e-6 && p.y <= 600 + 1e-6);
    }
    EXPECT_EQ(sampled_out, r.leaves);
    EXPECT_FALSE(leaves_frame(image_frame(), r.ctrl.data(), static_cast<int>(r.ctrl.size())));
  }
}

TEST(ImageFrame, BoxLeastSquaresFindsTheConstrainedMinimum) {
  double c[2];
  const double one_a[] = {1}, one_b[] = {5}, one_lo[] = {0}, one_hi[] = {3};
  box_least_squares(1, one_a, one_b, one_lo, one_hi, c);
  EXPECT_DOUBLE_EQ(c[0], 3);
  // Unconstrained (4/3, -5/3); with both at least 0 the second sits on its bound and the
  // first is the minimum along the first axis.
  const double a[] = {2, 1, 1, 2}, b[] = {1, -2}, lo[] = {0, 0}, hi[] = {10, 10};
  box_least_squares(2, a, b, lo, hi, c);
  EXPECT_DOUBLE_EQ(c[0], 0.5);
  EXPECT_DOUBLE_EQ(c[1], 0);
  // A free optimum inside the box is the plain solution.
  const double wide_lo[] = {-10, -10};
  box_least_squares(2, a, b, wide_lo, hi, c);
  EXPECT_NEAR(c[0], 4.0 / 3, 1e-12);
  EXPECT_NEAR(c[1], -5.0 / 3, 1e-12);
}

// A stroke running into the right side of the page whose parameters only reach 0.4 at
// the border: the free cubic extrapolates far past it, as fits of blobs of ink do.
f_curve stroke_into_the_right_side(const image_frame& frame) {
  f_curve f;
  f.frame = frame;
  for (int i = 0; i <= 99; ++i) {
    const double x = 700 + i;
    f.v_point.emplace_back(x, 100 + 0.005 * (x - 750) * (x - 750));
    f.v_t.push_back(0.4 * i / 99.0);
    f.v_weight.push_back(1.0f);
  }
  return f;
}

double weighted_sum(const f_curve& f, const std::vector<dvec2>& ctrl) {
  double sum = 0;
  for (std::size_t i = 0; i < f.v_point.size(); ++i) {
    const dvec2 d = dvec2(f.v_point[i]) - bezier_eval(static_cast<int>(ctrl.size()) - 1, ctrl.data(), f.v_t[i]);
    sum += f.v_weight[i] * (d.x * d.x + d.y * d.y);
  }
  return sum;
}

TEST(ImageFrame, FragmentFitStaysOnThePage) {
  f_curve free_fit = stroke_into_the_right_side(image_frame());
  free_fit.fit_cubic();
  ASSERT_TRUE(leaves_frame(page, free_fit.v_ctrl_point.data(), 4));  // the fault shown

  f_curve f = stroke_into_the_right_side(page);
  f.fit_cubic();
  EXPECT_FALSE(leaves_frame(page, f.v_ctrl_point.data(), 4));
  EXPECT_NEAR(f.total_error, weighted_sum(f, f.v_ctrl_point), 1e-3 * (1 + f.total_error));
  EXPECT_FLOAT_EQ(f.mean_error, f.total_error / 100);
  // The best fit with its points in the frame: closer than the free fit clamped into it.
  std::vector<dvec2> clamped = free_fit.v_ctrl_point;
  for (dvec2& p : clamped) p = page.clamp(p);
  EXPECT_LT(f.total_error, weighted_sum(f, clamped));

  // Held ends move into the frame; two fragments sharing an end outside it still share it.
  f_curve a = f, b = f;
  a.v_ctrl_point[3] = b.v_ctrl_point[3] = dvec2(805, 90);
  a.keep_in_frame(true);
  b.keep_in_frame(true);
  EXPECT_EQ(a.v_ctrl_point[3], dvec2(800, 90));
  EXPECT_EQ(a.v_ctrl_point[3], b.v_ctrl_point[3]);
  EXPECT_FALSE(leaves_frame(page, a.v_ctrl_point.data(), 4));
}

TEST(ImageFrame, SegmentFitStaysOnThePageAtEveryDegree) {
  f_curve f = stroke_into_the_right_side(page);
  for (int degree : {1, 2, 3}) {
    SCOPED_TRACE(degree);
    curve_segment seg;
    seg.degree = degree;
    seg.v_frag_ref.push_back(frag_ref{&f, 0, 1, 0, 1, false});
    const float sum = seg.fit();
    EXPECT_FALSE(leaves_frame(page, seg.v_ctrl_point.data(), degree + 1));
    EXPECT_NEAR(sum, weighted_sum(f, seg.v_ctrl_point), 1e-3 * (1 + sum));
    EXPECT_NEAR(seg.error(), weighted_sum(f, seg.v_ctrl_point) / 100, 1e-3 * (1 + sum));

    // A joint fit's points past the border: pulled back with the end points held.
    for (dvec2& p : seg.v_ctrl_point) p.x += 60;
    seg.keep_in_frame(true);
    EXPECT_FALSE(leaves_frame(page, seg.v_ctrl_point.data(), degree + 1));
  }
}

}  // namespace

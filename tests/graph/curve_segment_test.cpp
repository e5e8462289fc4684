#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "graph/layer_graph.h"
#include "support/layer_fixtures.h"

namespace {

using glm::dvec2;

frag_ref ref(f_curve* f) { return frag_ref{f, 0, 1, 0, 1, false}; }

void expect_near(dvec2 a, dvec2 b, double tol) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
}

TEST(ParameterMap, EndsLandOnTheirShareOfTheSegment) {
  struct row {
    bool reversed;
    float t0, t1, u0, u1;
    bool full;
  };
  for (const row& r : {row{false, 0, 1, 0.25f, 0.75f, true}, row{true, 0, 1, 0.25f, 0.75f, true},
                       row{false, 0.2f, 0.6f, 0.5f, 1, false}, row{true, 0.2f, 0.6f, 0.5f, 1, false}}) {
    float slope, offset;
    EXPECT_EQ(frag_ref::parameter_map(slope, offset, r.reversed, r.t0, r.t1, r.u0, r.u1), r.full);
    EXPECT_NEAR(slope * r.t0 + offset, r.reversed ? r.u1 : r.u0, 1e-6);
    EXPECT_NEAR(slope * r.t1 + offset, r.reversed ? r.u0 : r.u1, 1e-6);
  }
}

TEST(JunctionTests, EndsAndSharedJunction) {
  layer_graph lg;
  const auto t = fixture::t_junction(lg, 5, false);
  f_curve *left = t.fragments[0], *right = t.fragments[1], *down = t.fragments[2];
  frag_conn *centre = t.junctions[0], *left_end = t.junctions[1];
  EXPECT_TRUE(meets_at_t1(left, centre));
  EXPECT_FALSE(meets_at_t0(left, centre));
  EXPECT_TRUE(meets_at_t0(right, centre));
  EXPECT_FALSE(meets_at_t1(right, left_end));  // absent
  EXPECT_FALSE(meets_at_t0(right, left_end));
  EXPECT_TRUE(same_end_at(right, down, centre));
  EXPECT_FALSE(same_end_at(left, right, centre));
  EXPECT_FALSE(same_end_at(left, right, left_end));
  EXPECT_EQ(shared_junction(ref(left), ref(down)), centre);
  layer_graph other;
  const auto c = fixture::chain_of_three(other, 5, false, false);
  EXPECT_EQ(shared_junction(ref(left), ref(c.fragments[0])), nullptr);
}

TEST(OrderFragments, TailToTailPairIsProportionalAndReversed) {
  // First runs J0 -> J1, second runs J2 -> J1: they meet at both t = 1 ends.
  layer_graph lg;
  lg.f_curves.resize(2);
  lg.frag_conns.resize(3);
  auto f = lg.f_curves.begin();
  f_curve& a = *f++;
  f_curve& b = *f;
  auto j = lg.frag_conns.begin();
  frag_conn& j0 = *j++;
  frag_conn& j1 = *j++;
  frag_conn& j2 = *j;
  fixture::sample_cubic(a, {dvec2(0, 0), dvec2(1, 0), dvec2(2, 0), dvec2(3, 0)}, 100);
  // Same speed per sample as a, so one line fits both exactly.
  fixture::sample_cubic(b, {dvec2(12, 0), dvec2(9, 0), dvec2(6, 0), dvec2(3, 0)}, 300);
  a.v_frag_conn = {&j0, &j1};
  b.v_frag_conn = {&j2, &j1};
  j0.v_frag_end = {{&a, 0}};
  j1.v_frag_end = {{&a, 3}, {&b, 3}};
  j2.v_frag_end = {{&b, 0}};

  curve_segment s;
  s.v_frag_ref = {ref(&a), ref(&b)};
  s.order_fragments();
  ASSERT_EQ(s.v_frag_ref.size(), 2u);
  EXPECT_EQ(s.v_frag_ref[0].fragment, &a);
  EXPECT_FALSE(s.v_frag_ref[0].reversed);
  EXPECT_TRUE(s.v_frag_ref[1].reversed);
  EXPECT_FLOAT_EQ(s.v_frag_ref[0].u0, 0);
  EXPECT_FLOAT_EQ(s.v_frag_ref[0].u1, 0.25f);
  EXPECT_FLOAT_EQ(s.v_frag_ref[1].u0, 0.25f);
  EXPECT_FLOAT_EQ(s.v_frag_ref[1].u1, 1);

  // Fitted, the line runs from a's start to b's start.
  s.degree = 1;
  EXPECT_NEAR(s.fit(), 0, 1e-3);
  expect_near(s.v_ctrl_point[0], dvec2(0, 0), 1e-4);
  expect_near(s.v_ctrl_point[1], dvec2(12, 0), 1e-4);

  // A single frag_ref keeps its flag and gets the whole range.
  curve_segment one;
  one.v_frag_ref = {frag_ref{&a, 0, 1, 0.3f, 0.4f, true}};
  one.order_fragments();
  EXPECT_TRUE(one.v_frag_ref[0].reversed);
  EXPECT_EQ(one.v_frag_ref[0].u0, 0);
  EXPECT_EQ(one.v_frag_ref[0].u1, 1);
}

TEST(OrderFragments, WalksBothWaysFromTheFirstAndDropsTheUnreached) {
  layer_graph lg;
  const auto parts = fixture::chain_of_three(lg, 20, /*reverse_middle=*/true, false);
  f_curve *a = parts.fragments[0], *b = parts.fragments[1], *c = parts.fragments[2];
  layer_graph elsewhere;
  f_curve* stray = fixture::t_junction(elsewhere, 5, false).fragments[0];

  curve_segment s;
  s.v_frag_ref = {ref(b), ref(stray), ref(c), ref(a)};
  s.order_fragments();
  // b's t = 1 end is at J1, so the forward walk reaches a and the backward walk c.
  ASSERT_EQ(s.v_frag_ref.size(), 3u);
  EXPECT_EQ(s.v_frag_ref[0].fragment, c);
  EXPECT_EQ(s.v_frag_ref[1].fragment, b);
  EXPECT_EQ(s.v_frag_ref[2].fragment, a);
  EXPECT_TRUE(s.v_frag_ref[0].reversed);
  EXPECT_FALSE(s.v_frag_ref[1].reversed);
  EXPECT_TRUE(s.v_frag_ref[2].reversed);
  // The dropped fragment's samples still count in the total.
  const float third = 20.0f / 65.0f;
  EXPECT_FLOAT_EQ(s.v_frag_ref[0].u1, third);
  EXPECT_FLOAT_EQ(s.v_frag_ref[2].u1, 3 * third);
}

TEST(SegmentFit, RecoversExactPolynomialsAtEachDegree) {
  // The chain of three, reversed in its middle, as one segment at every degree:
  // a cubic comes back exactly, and lower degrees fit exact samples of their own degree.
  const fixture::cubic cubic = fixture::chain_cubic();
  const fixture::cubic quadratic = {dvec2(0, 0), dvec2(30, 20 * 2.0 / 3), dvec2(60, 40.0 / 3 + 20),
                                    dvec2(90, 60)};  // degree-elevated (0,0) (45,20) (90,60)
  const fixture::cubic line = {dvec2(5, 7), dvec2(15, 10), dvec2(25, 13), dvec2(35, 16)};
  struct row {
    int degree;
    fixture::cubic shape;
    std::vector<dvec2> expected;
  };
  const std::vector<row> rows = {
      {3, cubic, {cubic.begin(), cubic.end()}},
      {2, quadratic, {dvec2(0, 0), dvec2(45, 20), dvec2(90, 60)}},
      {1, line, {dvec2(5, 7), dvec2(35, 16)}},
  };
  for (const row& r : rows) {
    layer_graph lg;
    const auto parts = fixture::chain_of_three(lg, 25, true, false);
    const fixture::cubic pieces[3] = {fixture::cubic_piece(r.shape, 0, 1.0 / 3),
                                      fixture::cubic_piece(r.shape, 2.0 / 3, 1.0 / 3),
                                      fixture::cubic_piece(r.shape, 2.0 / 3, 1)};
    curve_segment s;
    for (int k = 0; k < 3; ++k) {
      fixture::sample_cubic(*parts.fragments[k], pieces[k], 25);
      s.v_frag_ref.push_back(ref(parts.fragments[k]));
    }
    s.degree = r.degree;
    s.order_fragments();
    const float result = s.fit();
    ASSERT_EQ(s.v_ctrl_point.size(), r.expected.size()) << "degree " << r.degree;
    for (std::size_t k = 0; k < r.expected.size(); ++k) expect_near(s.v_ctrl_point[k], r.expected[k], 1e-3);
    EXPECT_NEAR(result, 0, 1e-2) << "degree " << r.degree;
    EXPECT_NEAR(s.error(), 0, 1e-6) << "degree " << r.degree;
  }
}

TEST(SegmentFit, LineSamplesAtDegreeThreeGiveControlPointsOnTheLine) {
  layer_graph lg;
  const auto t = fixture::t_junction(lg, 30, false);
  curve_segment s;
  s.v_frag_ref = {ref(t.fragments[0]), ref(t.fragments[1])};  // the horizontal bar
  s.order_fragments();
  s.fit();
  ASSERT_EQ(s.v_ctrl_point.size(), 4u);
  for (const dvec2& p : s.v_ctrl_point) EXPECT_NEAR(p.y, 50, 1e-4);
  EXPECT_NEAR(s.v_ctrl_point[0].x, 10, 1e-4);
  EXPECT_NEAR(s.v_ctrl_point[3].x, 90, 1e-4);
}

TEST(SegmentFit, WeightedCentroidAtDegreeZero) {
  layer_graph lg;
  lg.f_curves.emplace_back();
  f_curve& f = lg.f_curves.back();
  f.v_point = {{0, 0}, {10, 0}, {10, 20}};
  f.v_weight = {1, 1, 2};
  f.v_t = {0, 0.5, 1};
  curve_segment s;
  s.degree = 0;
  s.v_frag_ref = {frag_ref{&f, 0.6f, 0.7f, 0, 1, false}};  // degree 0 ignores the range
  const float result = s.fit();
  ASSERT_EQ(s.v_ctrl_point.size(), 1u);
  expect_near(s.v_ctrl_point[0], dvec2(7.5, 10), 1e-6);
  const float expected = 1 * (7.5f * 7.5f + 100) + 1 * (2.5f * 2.5f + 100) + 2 * (2.5f * 2.5f + 100);
  EXPECT_FLOAT_EQ(result, expected);
  EXPECT_NEAR(s.error(), expected / 3, 1e-4);
}

TEST(SegmentFit, NarrowRangeUsesOnlyItsSamples) {
  // A fragment that is a line up to t = 0.5 and then turns away: fitting [0, 0.5] alone
  // recovers the line.
  layer_graph lg;
  lg.f_curves.emplace_back();
  f_curve& f = lg.f_curves.back();
  for (int i = 0; i <= 20; ++i) {
    const double t = i / 20.0;
    f.v_t.push_back(t);
    f.v_weight.push_back(1);
    f.v_point.push_back(t <= 0.5 ? glm::vec2(100 * t, 0) : glm::vec2(50, 100 * (t - 0.5)));
  }
  curve_segment s;
  s.degree = 1;
  s.v_frag_ref = {frag_ref{&f, 0, 0.5f, 0, 1, false}};
  EXPECT_NEAR(s.fit(), 0, 1e-4);
  expect_near(s.v_ctrl_point[0], dvec2(0, 0), 1e-4);
  expect_near(s.v_ctrl_point[1], dvec2(50, 0), 1e-4);
  EXPECT_NEAR(s.error(), 0, 1e-8);
}

TEST(SegmentFit, TooFewSamplesGiveFiniteLowerDegreeCurves) {
  // Samples that cannot pin all coefficients: the fit drops to the highest degree they
  // determine and raises it back, so nothing infinite or NaN comes out.
  struct row {
    const char* what;
    std::vector<glm::vec2> points;
    std::vector<double> t;
    std::vector<float> w;
    int degree;
  };
  const std::vector<row> rows = {
      {"one sample, cubic", {{3, 4}}, {0.5}, {1}, 3},
      {"two parameters, cubic", {{0, 0}, {10, 20}, {10, 20}}, {0, 1, 1}, {1, 1, 1}, 3},
      {"three parameters, cubic", {{0, 0}, {5, 5}, {10, 0}}, {0, 0.5, 1}, {1, 1, 1}, 3},
      {"one parameter, line", {{2, 2}, {4, 6}}, {0.3, 0.3}, {1, 1}, 1},
      {"zero weights, quadratic", {{0, 0}, {1, 1}, {2, 0}, {3, 3}}, {0, 0.3, 0.6, 1}, {0, 0, 0, 0}, 2},
  };
  for (const row& r : rows) {
    layer_graph lg;
    lg.f_curves.emplace_back();
    f_curve& f = lg.f_curves.back();
    f.v_point = r.points;
    f.v_t = r.t;
    f.v_weight = r.w;
    curve_segment s;
    s.degree = r.degree;
    s.v_frag_ref = {ref(&f)};
    const float result = s.fit();
    ASSERT_EQ(static_cast<int>(s.v_ctrl_point.size()), r.degree + 1) << r.what;
    for (const dvec2& p : s.v_ctrl_point) {
      EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y)) << r.what;
    }
    EXPECT_TRUE(std::isfinite(result)) << r.what;
    EXPECT_TRUE(std::isfinite(s.error())) << r.what;
  }
  // The exact cases pass through their samples.
  {
    layer_graph lg;
    lg.f_curves.emplace_back();
    f_curve& f = lg.f_curves.back();
    f.v_point = {{0, 0}, {10, 20}};
    f.v_t = {0, 1};
    f.v_weight = {1, 1};
    curve_segment s;
    s.v_frag_ref = {ref(&f)};
    EXPECT_NEAR(s.fit(), 0, 1e-9);
    for (int k = 0; k < 4; ++k) expect_near(s.v_ctrl_point[k], dvec2(10, 20) * (k / 3.0), 1e-9);
  }
}

TEST(SegmentFit, EmptySegmentKeepsItsPointsAndErrorStaysVisible) {
  for (int degree = 0; degree <= 3; ++degree) {
    curve_segment s;
    s.degree = degree;
    EXPECT_EQ(s.fit(), 0) << degree;
    ASSERT_EQ(static_cast<int>(s.v_ctrl_point.size()), degree + 1);
    for (const dvec2& p : s.v_ctrl_point) expect_near(p, dvec2(0, 0), 0);
    EXPECT_TRUE(std::isnan(s.error())) << degree;

    // Points from an earlier fit survive a refit with no samples.
    s.v_ctrl_point.assign(degree + 1, dvec2(7, 8));
    s.fit();
    for (const dvec2& p : s.v_ctrl_point) expect_near(p, dvec2(7, 8), 0);
  }
  curve_segment unfitted;  // error() before any fit at this degree
  EXPECT_TRUE(std::isnan(unfitted.error()));
}

TEST(Curve, MergeSegmentsKeepsSegmentZerosDegreeAndOrdersTheChain) {
  layer_graph lg;
  const auto parts = fixture::chain_of_three(lg, 20, true, false);
  curve c;
  c.v_segment.resize(2);
  c.v_segment[0].degree = 2;
  c.v_segment[0].v_frag_ref = {ref(parts.fragments[2])};
  c.v_segment[1].degree = 3;
  c.v_segment[1].v_frag_ref = {ref(parts.fragments[0]), ref(parts.fragments[1])};
  c.v_point_list.resize(2);
  c.merge_segments();
  ASSERT_EQ(c.v_segment.size(), 1u);
  EXPECT_EQ(c.v_segment[0].degree, 2);
  EXPECT_EQ(c.v_segment[0].v_ctrl_point.size(), 3u);
  EXPECT_TRUE(c.v_point_list.empty());
  const auto& refs = c.v_segment[0].v_frag_ref;
  ASSERT_EQ(refs.size(), 3u);
  // From C the backward walk reaches B, then A.
  EXPECT_EQ(refs[0].fragment, parts.fragments[0]);
  EXPECT_EQ(refs[1].fragment, parts.fragments[1]);
  EXPECT_EQ(refs[2].fragment, parts.fragments[2]);

  curve empty;
  empty.merge_segments();
  ASSERT_EQ(empty.v_segment.size(), 1u);
  EXPECT_EQ(empty.v_segment[0].degree, 3);
}

TEST(Curve, RefitWithUnitWeightsIsTheMeanSquaredDistance) {
  // The chain's cubic fitted by one line: refit's mean equals the segment's own error.
  layer_graph lg;
  const auto parts = fixture::chain_of_three(lg, 20, false, false);
  curve c;
  for (f_curve* f : parts.fragments) c.add_fragment_to_last_segment(f, 1);
  c.refit();
  EXPECT_EQ(c.nb_point, 60u);
  EXPECT_GT(c.mean_error, 1.0);
  EXPECT_NEAR(c.mean_error, c.v_segment[0].error(), 1e-3 * c.mean_error);

  curve none;
  none.refit();  // no samples: not a number, for the energy to report
  EXPECT_TRUE(std::isnan(none.mean_error));
}

}  // namespace

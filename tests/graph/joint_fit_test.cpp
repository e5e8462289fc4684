#include "graph/joint_fit.h"

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "graph/bezier.h"
#include "graph/fragment_error.h"
#include "graph/layer_graph.h"
#include "support/fragment_lattice.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

void expect_points_near(const std::vector<glm::dvec2>& got, const fixture::cubic& want, double tol) {
  ASSERT_EQ(got.size(), 4u);
  for (int k = 0; k < 4; ++k) {
    EXPECT_NEAR(got[k].x, want[k].x, tol) << "point " << k;
    EXPECT_NEAR(got[k].y, want[k].y, tol) << "point " << k;
  }
}

// Curves over hand-made fragments: a quadratic from (0, 0) to J = (30, 10), and a cubic
// from J to (80, 0) whose fragment was sampled from (80, 0) to J and so runs reversed.
struct two_curves {
  layer_graph lg;
  fixture::cubic quad_as_cubic;  // the quadratic raised to degree 3, for sampling
  glm::dvec2 quad[3] = {{0, 0}, {15, 20}, {30, 10}};
  fixture::cubic cubic = {{{30, 10}, {45, 0}, {60, -10}, {80, 0}}};
  f_curve* fq;
  f_curve* fc;
  curve* cq;
  curve* cc;
  nconnection* at_j;

  two_curves() {
    quad_as_cubic = {quad[0], quad[0] + (quad[1] - quad[0]) * (2.0 / 3), quad[2] + (quad[1] - quad[2]) * (2.0 / 3),
                     quad[2]};
    fq = &add_sampled_fragment(lg, quad_as_cubic, 30);
    const fixture::cubic backwards = {cubic[3], cubic[2], cubic[1], cubic[0]};
    fc = &add_sampled_fragment(lg, backwards, 40);
    frag_conn& j = add_junction(lg, {{fq, 3}, {fc, 3}});
    add_junction(lg, {{fq, 0}});
    add_junction(lg, {{fc, 0}});
    cq = &add_curve(*fq, 2, false);
    cc = &add_curve(*fc, 3, true);
    lg.nconnections.emplace_back();
    at_j = &lg.nconnections.back();
    at_j->v_frag_conn = {&j};
    at_j->v_curve = {cq, cc};
  }

  curve& add_curve(f_curve& f, int degree, bool reversed) {
    lg.curves.emplace_back();
    curve& c = lg.curves.back();
    c.v_f_curve = {&f};
    f.v_curve.push_back(&c);
    c.v_segment.resize(1);
    c.v_segment[0].degree = degree;
    c.v_segment[0].v_frag_ref = {{&f, 0, 1, 0, 1, reversed}};
    return c;
  }
};

TEST(FitCurvesJointly, QuadraticAndReversedCubicShareTheirJunctionPoint) {
  two_curves w;
  fit_curves_jointly({w.at_j}, w.lg.curves);
  const std::vector<glm::dvec2>& pq = w.cq->v_segment[0].v_ctrl_point;
  const std::vector<glm::dvec2>& pc = w.cc->v_segment[0].v_ctrl_point;
  ASSERT_EQ(pq.size(), 3u);
  ASSERT_EQ(pc.size(), 4u);
  EXPECT_EQ(pc[0], pq[2]);  // the reversed fragment's end 3 is the cubic's start
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(pq[k].x, w.quad[k].x, 1e-3);
    EXPECT_NEAR(pq[k].y, w.quad[k].y, 1e-3);
  }
  expect_points_near(pc, w.cubic, 1e-3);
}

TEST(FitCurvesJointly, CurveAtNoGivenConnectionIsFittedAlone) {
  two_curves w;
  fit_curves_jointly({}, w.lg.curves);
  expect_points_near(w.cc->v_segment[0].v_ctrl_point, w.cubic, 1e-3);
  EXPECT_NEAR(w.cq->v_segment[0].v_ctrl_point[2].x, 30, 1e-3);
}

TEST(FitCurvesJointly, DiagnosticLines) {
  struct row {
    const char* name;
    void (*setup)(two_curves&);
    const char* expected;
  };
  const row rows[] = {
      {"one curve end found", [](two_curves& w) { w.at_j->v_curve = {w.cq}; },
       "error  azertyuiazertazert\nerror  azertyuiazertazert\n"},
      {"junction reached through a middle fragment",
       [](two_curves& w) {
         // Give the quadratic two more fragments around fq, so that fq sits in the middle.
         auto& refs = w.cq->v_segment[0].v_frag_ref;
         refs.insert(refs.begin(), refs[0]);
         refs.push_back(refs[0]);
         refs.front().fragment = refs.back().fragment = w.fc;
       },
       "zilfhaczmlfcj;azmcf;j\n"},
  };
  for (const row& r : rows) {
    two_curves w;
    r.setup(w);
    CaptureStdout();
    fit_curves_jointly({w.at_j}, w.lg.curves);
    EXPECT_EQ(GetCapturedStdout(), r.expected) << r.name;
  }
}

TEST(FitCurvesJointly, ClosedLoopListingOneEndTwiceStaysFinite) {
  layer_graph lg;
  const fixture::cubic loop = {{{0, 0}, {60, -40}, {60, 40}, {0, 0}}};
  f_curve& f = add_sampled_fragment(lg, loop, 50);
  frag_conn& j = add_junction(lg, {{&f, 0}, {&f, 3}});
  lg.curves.emplace_back();
  curve& c = lg.curves.back();
  c.v_f_curve = {&f};
  f.v_curve = {&c};
  c.v_segment.resize(1);
  c.v_segment[0].v_frag_ref = {{&f, 0, 1, 0, 1, false}};
  lg.nconnections.emplace_back();
  nconnection& n = lg.nconnections.back();
  n.v_frag_conn = {&j};
  n.v_curve = {&c, &c};

  fit_curves_jointly({&n}, lg.curves);
  expect_points_near(c.v_segment[0].v_ctrl_point, loop, 1e-3);
}

TEST(FitCurvesJointly, SingularCurveKeepsItsPoints) {
  two_curves w;
  w.fc->v_point.resize(2);  // the cubic's fragment keeps two samples
  w.fc->v_t.resize(2);
  w.fc->v_weight.resize(2);
  w.cc->v_segment[0].v_ctrl_point = {{1, 1}, {2, 2}, {3, 3}, {4, 4}};
  w.cq->v_segment[0].v_ctrl_point = {{5, 5}, {6, 6}, {7, 7}};
  const auto old_c = w.cc->v_segment[0].v_ctrl_point;
  const auto old_q = w.cq->v_segment[0].v_ctrl_point;
  CaptureStdout();
  fit_curves_jointly({w.at_j}, w.lg.curves);
  EXPECT_EQ(GetCapturedStdout(), "joint fit: singular system, 2 of 2 curves keep their previous control points\n");
  EXPECT_EQ(w.cc->v_segment[0].v_ctrl_point, old_c);
  EXPECT_EQ(w.cq->v_segment[0].v_ctrl_point, old_q);
}

TEST(FitCurvesJointlySmooth, MirrorsTheInnerNeighbourAcrossAStraightJoin) {
  // Two cubics through J = (50, 0) with collinear inner points on exact data.
  layer_graph lg;
  const fixture::cubic a = {{{0, 0}, {15, 20}, {35, 10}, {50, 0}}};
  const fixture::cubic b = {{{50, 0}, {65, -10}, {85, 5}, {100, 0}}};
  f_curve& fa = add_sampled_fragment(lg, a, 30);
  f_curve& fb = add_sampled_fragment(lg, b, 30);
  frag_conn& j = add_junction(lg, {{&fa, 3}, {&fb, 0}});
  curve* c[2];
  f_curve* f[2] = {&fa, &fb};
  for (int k = 0; k < 2; ++k) {
    lg.curves.emplace_back();
    c[k] = &lg.curves.back();
    c[k]->v_f_curve = {f[k]};
    f[k]->v_curve = {c[k]};
    c[k]->v_segment.resize(1);
    c[k]->v_segment[0].v_frag_ref = {{f[k], 0, 1, 0, 1, false}};
    c[k]->v_segment[0].v_ctrl_point.assign((k ? b : a).begin(), (k ? b : a).end());
  }
  lg.nconnections.emplace_back();
  nconnection& n = lg.nconnections.back();
  n.v_frag_conn = {&j};
  n.v_curve = {c[0], c[1]};

  fit_curves_jointly_smooth({&n}, lg.curves);
  const auto& pa = c[0]->v_segment[0].v_ctrl_point;
  const auto& pb = c[1]->v_segment[0].v_ctrl_point;
  EXPECT_EQ(pb[0], pa[3]);
  EXPECT_EQ(pb[1], 2.0 * pa[3] - pa[2]);
  expect_points_near(pa, a, 1e-3);
  expect_points_near(pb, b, 1e-3);
}

TEST(FragmentError, MeanSquaredErrorIsUnweightedPerSample) {
  layer_graph lg;
  const fixture::cubic ctrl = {{{0, 0}, {10, 30}, {40, 30}, {50, 0}}};
  f_curve& near = add_sampled_fragment(lg, ctrl, 10, 5.0f);
  f_curve& off = add_sampled_fragment(lg, ctrl, 30, 0.1f);
  near.v_ctrl_point.assign(ctrl.begin(), ctrl.end());
  off.v_ctrl_point.assign(ctrl.begin(), ctrl.end());
  for (glm::vec2& p : near.v_point) p.y += 1;
  for (glm::vec2& p : off.v_point) p.x -= 2;
  EXPECT_NEAR(near.mean_squared_error(), 1.0, 1e-4);
  EXPECT_NEAR(off.mean_squared_error(), 4.0, 1e-4);
  EXPECT_NEAR(fragments_mean_squared_error(lg.f_curves), (10 * 1.0 + 30 * 4.0) / 40, 1e-4);
  EXPECT_EQ(fragments_mean_squared_error(std::list<f_curve>(1)), 0.0);
}

}  // namespace

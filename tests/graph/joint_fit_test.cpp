#include "graph/joint_fit.h"

#include <cmath>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "graph/bezier.h"
#include "graph/fragment_error.h"
#include "graph/layer_graph.h"
#include "pipeline/view_settings.h"
#include "support/fragment_lattice.h"
#include "graph/joint_system.h"
#include "support/layer_fixtures.h"
#include "support/linked_lattice.h"
#include "support/network_checker.h"

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

std::vector<frag_conn*> all_junctions(layer_graph& lg) {
  std::vector<frag_conn*> out;
  for (frag_conn& j : lg.frag_conns) out.push_back(&j);
  return out;
}

// Three fragments leaving one junction at (50, 50), each with a lone far end.
struct three_way {
  layer_graph lg;
  fixture::cubic truth[3] = {
      {{{50, 50}, {60, 40}, {80, 35}, {100, 40}}},
      {{{10, 20}, {20, 25}, {40, 40}, {50, 50}}},  // arrives with its t = 1 end
      {{{50, 50}, {55, 70}, {50, 85}, {40, 100}}},
  };
  f_curve* f[3];
  three_way() {
    for (int k = 0; k < 3; ++k) f[k] = &add_sampled_fragment(lg, truth[k], 25 + 5 * k, 0.5f + k);
    add_junction(lg, {{f[0], 0}, {f[1], 3}, {f[2], 0}});
    add_junction(lg, {{f[0], 3}});
    add_junction(lg, {{f[1], 0}});
    add_junction(lg, {{f[2], 3}});
  }
};

TEST(FitFragmentsJointly, EndsMeetingAtAJunctionBecomeOnePointAndExactDataIsRecovered) {
  three_way w;
  for (f_curve* f : w.f) f->mean_error = -7;  // joint fit leaves errors alone...
  fit_fragments_jointly(all_junctions(w.lg));
  const glm::dvec2 shared = w.f[0]->v_ctrl_point[0];
  EXPECT_EQ(w.f[1]->v_ctrl_point[3], shared);  // bit for bit, through the copy
  EXPECT_EQ(w.f[2]->v_ctrl_point[0], shared);
  for (int k = 0; k < 3; ++k) expect_points_near(w.f[k]->v_ctrl_point, w.truth[k], 1e-3);
  // ...but the lone far ends refitted each fragment through fit_cubic first, which did.
  for (f_curve* f : w.f) EXPECT_NE(f->mean_error, -7);
}

TEST(FitFragmentsJointly, LoneFragmentsAreOnlyRefittedAlone) {
  layer_graph lg;
  const fixture::cubic truth = {{{0, 0}, {10, 30}, {40, 30}, {50, 0}}};
  f_curve& f = add_sampled_fragment(lg, truth, 40);
  add_junction(lg, {{&f, 0}});
  add_junction(lg, {{&f, 3}});
  add_junction(lg, {});
  fit_fragments_jointly(all_junctions(lg));
  expect_points_near(f.v_ctrl_point, truth, 1e-3);

  f_curve alone = f;
  alone.fit_cubic();
  EXPECT_EQ(f.v_ctrl_point, alone.v_ctrl_point);
  EXPECT_EQ(f.mean_error, alone.mean_error);
}

TEST(FitFragmentsJointly, LatticeIsNoWorseThanSeparateFitsOnExactData) {
  layer_graph separate, joint;
  build_fragment_lattice(separate, 5, 4, 11);
  build_fragment_lattice(joint, 5, 4, 11);
  for (f_curve& f : separate.f_curves) f.fit_cubic();
  fit_fragments_jointly(all_junctions(joint));

  const double e_separate = fragments_mean_squared_error(separate.f_curves);
  const double e_joint = fragments_mean_squared_error(joint.f_curves);
  EXPECT_LE(e_joint, e_separate + 1e-6);
  EXPECT_LT(e_joint, 1e-6);
  for (const frag_conn& j : joint.frag_conns) {
    const frag_end& first = j.v_frag_end[0];
    for (const frag_end& fe : j.v_frag_end)
      EXPECT_EQ(fe.fragment->v_ctrl_point[fe.end ? 3 : 0], first.fragment->v_ctrl_point[first.end ? 3 : 0]);
  }
}

// Fragments a and b close a loop beside a healthy three-way junction.
struct loop_pair : three_way {
  fixture::cubic truth_a = {{{200, 0}, {210, 10}, {220, 10}, {230, 0}}};
  fixture::cubic truth_b = {{{230, 0}, {220, -10}, {210, -10}, {200, 0}}};
  f_curve& fa;
  f_curve& fb;
  // b is sampled at the given parameters only.
  explicit loop_pair(const std::vector<double>& b_params)
      : fa(add_sampled_fragment(lg, truth_a, 20)), fb(add_sampled_fragment(lg, truth_b, 2)) {
    fb.v_t = b_params;
    fb.v_point.clear();
    for (double t : b_params) fb.v_point.push_back(glm::vec2(fixture::cubic_point(truth_b, t)));
    fb.v_weight.assign(b_params.size(), 1.0f);
    add_junction(lg, {{&fa, 3}, {&fb, 0}});
    add_junction(lg, {{&fa, 0}, {&fb, 3}});  // a loop: no lone refit touches the pair
  }
};

TEST(FitFragmentsJointly, UnderdeterminedFragmentIsFittedWithItsGroup) {
  // b's samples cannot fix both its inner points: samples at its ends only, one inner
  // sample, or many samples on three distinct parameters (as cuts of large drawings leave
  // them). Such a fragment used to freeze every fragment joined to it.
  const std::vector<double> b_params[] = {{0.0, 1.0}, {0.3}, {0, 0, 0.5, 0.5, 0.5, 1, 1, 1}};
  for (const std::vector<double>& params : b_params) {
    loop_pair w(params);
    CaptureStdout();
    fit_fragments_jointly(all_junctions(w.lg));
    EXPECT_EQ(GetCapturedStdout(), "") << params.size() << " samples";
    expect_points_near(w.fa.v_ctrl_point, w.truth_a, 1e-3);
    ASSERT_EQ(w.fb.v_ctrl_point.size(), 4u);
    EXPECT_EQ(w.fb.v_ctrl_point[0], w.fa.v_ctrl_point[3]);
    EXPECT_EQ(w.fb.v_ctrl_point[3], w.fa.v_ctrl_point[0]);
    for (std::size_t i = 0; i < params.size(); ++i) {
      const glm::dvec2 p = bezier_eval(3, w.fb.v_ctrl_point.data(), params[i]);
      EXPECT_NEAR(p.x, w.fb.v_point[i].x, 1e-3) << params.size() << " samples, sample " << i;
      EXPECT_NEAR(p.y, w.fb.v_point[i].y, 1e-3) << params.size() << " samples, sample " << i;
    }
    for (int k = 0; k < 3; ++k) expect_points_near(w.f[k]->v_ctrl_point, w.truth[k], 1e-3);
  }

  // Nothing fixes b's inner points but the straightest polygon: the chord at its thirds.
  loop_pair w({0.0, 1.0});
  fit_fragments_jointly(all_junctions(w.lg));
  const std::vector<glm::dvec2>& b = w.fb.v_ctrl_point;
  for (int k = 1; k < 3; ++k) {
    const glm::dvec2 on_chord = b[0] + (b[3] - b[0]) * (k / 3.0);
    EXPECT_NEAR(b[k].x, on_chord.x, 1e-6);
    EXPECT_NEAR(b[k].y, on_chord.y, 1e-6);
  }
}

TEST(FitFragmentsJointly, NonFiniteSampleKeepsItsGroupsPointsAndTheRestIsFitted) {
  loop_pair w({0.0, 0.3, 0.6, 1.0});
  w.fb.v_point[1].x = std::nanf("");
  const std::vector<glm::dvec2> old_a = {{1, 1}, {2, 2}, {3, 3}, {4, 4}};
  const std::vector<glm::dvec2> old_b = {{5, 5}, {6, 6}, {7, 7}, {8, 8}};
  w.fa.v_ctrl_point = old_a;
  w.fb.v_ctrl_point = old_b;
  CaptureStdout();
  fit_fragments_jointly(all_junctions(w.lg));
  EXPECT_EQ(GetCapturedStdout(), "joint fit: singular system, 2 of 5 fragments keep their previous control points\n");
  EXPECT_EQ(w.fa.v_ctrl_point, old_a);
  EXPECT_EQ(w.fb.v_ctrl_point, old_b);
  for (int k = 0; k < 3; ++k) expect_points_near(w.f[k]->v_ctrl_point, w.truth[k], 1e-3);
}

TEST(FitFragmentsJointly, FragmentWithoutSamplesCollapsesOntoItsJunction) {
  layer_graph lg;
  const fixture::cubic truth = {{{0, 0}, {1, 2}, {3, 2}, {4, 0}}};
  f_curve& full = add_sampled_fragment(lg, truth, 10);
  lg.f_curves.emplace_back();
  f_curve& empty = lg.f_curves.back();
  add_junction(lg, {{&full, 3}, {&empty, 0}});
  CaptureStdout();
  fit_fragments_jointly(all_junctions(lg));
  EXPECT_EQ(GetCapturedStdout(), "");
  expect_points_near(full.v_ctrl_point, truth, 1e-3);
  ASSERT_EQ(empty.v_ctrl_point.size(), 4u);
  for (const glm::dvec2& p : empty.v_ctrl_point) {
    EXPECT_NEAR(p.x, full.v_ctrl_point[3].x, 1e-6);
    EXPECT_NEAR(p.y, full.v_ctrl_point[3].y, 1e-6);
  }
}

TEST(FitFragmentsJointly, FixtureJunctionsComeOutWithOneEndPointEach) {
  struct row {
    const char* name;
    fixture::layer_parts (*build)(layer_graph&);
    bool exact;  // samples on one cubic per fragment (the loop's lie on a circle)
  };
  const row rows[] = {
      {"T junction", [](layer_graph& lg) { return fixture::t_junction(lg, 20, false); }, true},
      {"X junction", [](layer_graph& lg) { return fixture::x_junction(lg, 20, false); }, true},
      {"closed loop", [](layer_graph& lg) { return fixture::closed_loop(lg, 20, false); }, false},
      {"chain of three", [](layer_graph& lg) { return fixture::chain_of_three(lg, 20, true, false); }, true},
  };
  for (const row& r : rows) {
    layer_graph lg;
    r.build(lg);
    for (f_curve& f : lg.f_curves) f.v_ctrl_point.clear();
    fit_fragments_jointly(all_junctions(lg));
    for (const frag_conn& j : lg.frag_conns) {
      const frag_end& first = j.v_frag_end[0];
      for (const frag_end& fe : j.v_frag_end)
        EXPECT_EQ(fe.fragment->v_ctrl_point[fe.end ? 3 : 0], first.fragment->v_ctrl_point[first.end ? 3 : 0])
            << r.name;
    }
    if (r.exact) {
      EXPECT_LT(fragments_mean_squared_error(lg.f_curves), 1e-6) << r.name;
    }
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

TEST(FitCurvesJointly, LinkedChainSharesItsEndsAndStaysConsistent) {
  layer_graph lg;
  fixture::chain_of_three(lg, 20, true);
  std::vector<nconnection*> shared;
  for (nconnection& n : lg.nconnections)
    if (n.v_curve.size() >= 2) shared.push_back(&n);
  ASSERT_EQ(shared.size(), 2u);
  for (curve& c : lg.curves) c.v_segment[0].v_ctrl_point.clear();
  fit_curves_jointly(shared, lg.curves);
  EXPECT_EQ(check_network(lg), "");

  // Each curve is its fragment's piece of the chain cubic; the middle fragment runs from
  // J2 back to J1, and so does its curve.
  const fixture::cubic whole = fixture::chain_cubic();
  const fixture::cubic pieces[3] = {fixture::cubic_piece(whole, 0, 1.0 / 3),
                                    fixture::cubic_piece(whole, 2.0 / 3, 1.0 / 3),
                                    fixture::cubic_piece(whole, 2.0 / 3, 1)};
  const std::vector<glm::dvec2>* p[3];
  int k = 0;
  for (curve& c : lg.curves) {
    p[k] = &c.v_segment[0].v_ctrl_point;
    expect_points_near(*p[k], pieces[k], 1e-3);
    ++k;
  }
  EXPECT_EQ((*p[1])[3], (*p[0])[3]);  // J1
  EXPECT_EQ((*p[2])[0], (*p[1])[0]);  // J2
}

// A beam running into a junction from a free tip, its last stretch of parameter taken by
// faint junction pixels off its line (as a node cluster below the stroke gives it): pinned
// at the shared point, the fit must not swing the free end past the tip, at each degree.
TEST(FitCurvesJointly, LoneEndStaysWhereTheCurvesOwnFitPutsIt) {
  for (const int degree : {1, 2, 3}) {
    SCOPED_TRACE(degree);
    layer_graph lg;
    const fixture::layer_parts parts = fixture::t_junction(lg);
    f_curve& beam = *parts.fragments[0];  // from the free tip (10, 50) into the centre
    beam.v_point.clear();
    beam.v_weight.clear();
    beam.v_t.clear();
    for (int i = 0; i < 40; ++i) {  // the stroke, over 70 % of the parameter
      beam.v_point.emplace_back(10 + 40 * i / 39.0f, 50);
      beam.v_weight.push_back(1);
      beam.v_t.push_back(0.7 * i / 39);
    }
    for (int i = 1; i <= 30; ++i) {  // the junction's pixels, running down from it
      beam.v_point.emplace_back(50, 50 + i / 5.0f);
      beam.v_weight.push_back(0.01f);
      beam.v_t.push_back(0.7 + 0.3 * i / 30);
    }
    curve& c = lg.curves.front();
    c.nb_point = beam.v_point.size();
    c.v_segment[0].degree = degree;
    c.refit();
    const glm::dvec2 tip = c.v_segment[0].v_ctrl_point.front();
    ASSERT_NEAR(tip.x, 10, 1.0);

    std::vector<nconnection*> shared;
    for (nconnection& n : lg.nconnections)
      if (n.v_curve.size() >= 2) shared.push_back(&n);
    fit_curves_jointly(shared, lg.curves);
    const std::vector<glm::dvec2>& p = c.v_segment[0].v_ctrl_point;
    ASSERT_EQ(p.size(), static_cast<std::size_t>(degree + 1));
    EXPECT_NEAR(p.front().x, tip.x, 1e-6);
    EXPECT_NEAR(p.front().y, tip.y, 1e-6);
    // The other end still meets the two arms at the junction.
    for (curve& arm : lg.curves)
      if (&arm != &c) {
        EXPECT_EQ(arm.v_segment[0].v_ctrl_point.front(), p.back());
      }
  }
}

// A curve frozen in the view keeps its points exactly; its neighbours take its end
// points as theirs and are fitted to their samples from there.
TEST(FitCurvesJointly, FrozenCurveKeepsItsPointsAndItsNeighboursMeetIt) {
  for (const int frozen_index : {0, 1, 2}) {
    SCOPED_TRACE(frozen_index);
    layer_graph lg;
    fixture::chain_of_three(lg, 20, true);
    std::vector<nconnection*> shared;
    for (nconnection& n : lg.nconnections)
      if (n.v_curve.size() >= 2) shared.push_back(&n);
    fit_curves_jointly(shared, lg.curves);
    // Moved off its samples, as a user's frozen curve can be after earlier passes.
    curve* frozen = &*std::next(lg.curves.begin(), frozen_index);
    for (glm::dvec2& p : frozen->v_segment[0].v_ctrl_point) p += glm::dvec2(3, -2);
    const std::vector<glm::dvec2> held = frozen->v_segment[0].v_ctrl_point;
    view_settings view;
    view.fixed_curves.insert(frozen);
    main_gl_widget = &view;
    fit_curves_jointly(shared, lg.curves);
    main_gl_widget = nullptr;
    EXPECT_EQ(frozen->v_segment[0].v_ctrl_point, held);
    EXPECT_EQ(check_network(lg), "");
    const std::vector<glm::dvec2>* p[3];
    int k = 0;
    for (curve& c : lg.curves) p[k++] = &c.v_segment[0].v_ctrl_point;
    EXPECT_EQ((*p[1])[3], (*p[0])[3]);  // J1
    EXPECT_EQ((*p[2])[0], (*p[1])[0]);  // J2
    // Without the view the same fit moves it back onto its samples.
    fit_curves_jointly(shared, lg.curves);
    EXPECT_NE(frozen->v_segment[0].v_ctrl_point, held);
  }
}

// A curve merged by hand over a corner fits its samples badly: however they lie, the
// points where the other curves meet stay theirs, and the merged curve ends there.
TEST(FitCurvesJointly, CurveMergedByHandTakesTheJunctionsTheOthersGiveIt) {
  curve_network net;
  layer_graph& lg = add_linked_lattice(net, 3, 2, 9);
  // f1 runs up to node 0, f0 on to node 1, f2 on to node 2: two corners.
  const std::vector<f_curve*> chain = {fragment_at(lg, 1), fragment_at(lg, 0), fragment_at(lg, 2)};
  curve* merged = build_curve_from_chain(lg, chain, 3);
  ASSERT_NE(merged, nullptr);
  view_settings view;
  view.must_merge[chain[0]] = {chain[2]};
  view.must_merge[chain[2]] = {chain[0]};
  auto others_after_fit = [&] {
    main_gl_widget = &view;
    lg.fit_joined_curves();
    main_gl_widget = nullptr;
    std::vector<std::vector<glm::dvec2>> points;
    for (const curve& c : lg.curves)
      if (&c != merged) points.push_back(c.v_segment[0].v_ctrl_point);
    return points;
  };
  const std::vector<std::vector<glm::dvec2>> before = others_after_fit();
  for (f_curve* f : chain)
    for (glm::vec2& p : f->v_point) p += glm::vec2(0, 15);
  EXPECT_EQ(others_after_fit(), before);
  EXPECT_EQ(check_network(lg), "");
  for (const nconnection* n : merged->v_nconnection) {
    const frag_conn& j = *n->v_frag_conn[0];
    for (const curve* c : n->v_curve)
      EXPECT_EQ(c->v_segment[0].v_ctrl_point[curve_end_at(*c, j)],
                merged->v_segment[0].v_ctrl_point[curve_end_at(*merged, j)]);
  }
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

// One curve over one sampled fragment whose two ends meet at one junction, which lists
// the curve once per end.
nconnection& closed_loop_at_one_junction(layer_graph& lg, const fixture::cubic& shape) {
  f_curve& f = add_sampled_fragment(lg, shape, 50);
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
  return n;
}

TEST(FitCurvesJointly, ClosedLoopListingOneEndTwiceStaysFinite) {
  layer_graph lg;
  const fixture::cubic loop = {{{0, 0}, {60, -40}, {60, 40}, {0, 0}}};
  nconnection& n = closed_loop_at_one_junction(lg, loop);
  curve& c = lg.curves.back();

  fit_curves_jointly({&n}, lg.curves);
  expect_points_near(c.v_segment[0].v_ctrl_point, loop, 1e-3);
}

// A loop drawn a little open (its samples end 6 pixels from where they start), closed
// at one junction that lists the curve once per end: both ends become one point, in the
// plain and in the smooth joint fit.
TEST(FitCurvesJointly, ClosedLoopTiesBothEndsToOnePoint) {
  for (const bool smooth : {false, true}) {
    SCOPED_TRACE(smooth ? "smooth" : "plain");
    layer_graph lg;
    const fixture::cubic open_loop = {{{0, 0}, {60, -40}, {60, 40}, {6, 0}}};
    nconnection& n = closed_loop_at_one_junction(lg, open_loop);
    curve& c = lg.curves.back();

    CaptureStdout();
    if (smooth)
      fit_curves_jointly_smooth({&n}, lg.curves);
    else
      fit_curves_jointly({&n}, lg.curves);
    EXPECT_EQ(GetCapturedStdout(), "");
    const std::vector<glm::dvec2>& p = c.v_segment[0].v_ctrl_point;
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0], p[3]);
    // The shared point lies between the two open ends.
    EXPECT_NEAR(p[0].x, 3, 1.5);
    EXPECT_NEAR(p[0].y, 0, 1.5);
  }
}

TEST(FitCurvesJointly, UnderdeterminedCurveIsFittedWithItsNeighbour) {
  two_curves w;
  w.fc->v_point.resize(2);  // the cubic's fragment keeps two samples
  w.fc->v_t.resize(2);
  w.fc->v_weight.resize(2);
  CaptureStdout();
  fit_curves_jointly({w.at_j}, w.lg.curves);
  EXPECT_EQ(GetCapturedStdout(), "");
  const std::vector<glm::dvec2>& pq = w.cq->v_segment[0].v_ctrl_point;
  const std::vector<glm::dvec2>& pc = w.cc->v_segment[0].v_ctrl_point;
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(pq[k].x, w.quad[k].x, 1e-3);
    EXPECT_NEAR(pq[k].y, w.quad[k].y, 1e-3);
  }
  EXPECT_EQ(pc[0], pq[2]);
  for (int i = 0; i < 2; ++i) {  // the reversed fragment's t is 1 - u on the curve
    const glm::dvec2 p = bezier_eval(3, pc.data(), 1 - w.fc->v_t[i]);
    EXPECT_NEAR(p.x, w.fc->v_point[i].x, 1e-3) << "sample " << i;
    EXPECT_NEAR(p.y, w.fc->v_point[i].y, 1e-3) << "sample " << i;
  }
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

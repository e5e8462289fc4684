#include "graph/layer_graph.h"

#include <cmath>
#include <iostream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <glm/geometric.hpp>
#include <gtest/gtest.h>

#include "pipeline/view_settings.h"
#include "support/layer_fixtures.h"
#include "support/network_checker.h"

namespace {

double cross(glm::dvec2 a, glm::dvec2 b) { return a.x * b.y - a.y * b.x; }

// Two cubic one-fragment curves A and B meeting at one junction at the origin: A ends
// there with its t = 1 end, B starts there. Their inner neighbours are given.
struct two_curve_join {
  layer_graph lg;
  curve* a = nullptr;
  curve* b = nullptr;

  two_curve_join(glm::dvec2 a_neighbour, glm::dvec2 b_neighbour) {
    f_curve& fa = lg.f_curves.emplace_back();
    f_curve& fb = lg.f_curves.emplace_back();
    frag_conn& j = lg.frag_conns.emplace_back();
    j.v_frag_end = {{&fa, 3}, {&fb, 0}};
    a = &lg.curves.emplace_back();
    b = &lg.curves.emplace_back();
    nconnection& n = lg.nconnections.emplace_back();
    n.v_curve = {a, b};
    n.v_frag_conn = {&j};
    j.v_nconnection = {&n};
    j.v_curve = {a, b};
    fa.v_curve = {a};
    fb.v_curve = {b};
    for (auto [c, f] : {std::pair{a, &fa}, std::pair{b, &fb}}) {
      c->v_f_curve = {f};
      c->v_nconnection = {&n};
      curve_segment& s = c->v_segment.emplace_back();
      s.v_frag_ref.push_back(frag_ref{f});
    }
    a->v_segment[0].v_ctrl_point = {{-9, 3}, {-6, 1}, a_neighbour, {0, 0}};
    b->v_segment[0].v_ctrl_point = {{0, 0}, b_neighbour, {6, 2}, {9, 1}};
  }
  std::vector<glm::dvec2>& pa() { return a->v_segment[0].v_ctrl_point; }
  std::vector<glm::dvec2>& pb() { return b->v_segment[0].v_ctrl_point; }
};

TEST(AlignTwoCurveJoins, NearlyOppositeTangentsBecomeParallel) {
  const glm::dvec2 na(-1, 0);
  const glm::dvec2 nb = 2.0 * glm::dvec2(0.95, std::sqrt(1 - 0.95 * 0.95));  // cosine -0.95
  two_curve_join join(na, nb);
  const auto a_before = join.pa();
  const auto b_before = join.pb();
  join.lg.align_two_curve_joins();
  const glm::dvec2 u = glm::normalize(na - nb);
  EXPECT_NEAR(cross(join.pa()[2] - join.pa()[3], u), 0, 1e-12);
  EXPECT_NEAR(cross(join.pb()[1] - join.pb()[0], u), 0, 1e-12);
  EXPECT_NE(join.pa()[2], a_before[2]);
  EXPECT_NE(join.pb()[1], b_before[1]);
  for (int i : {0, 1, 3}) EXPECT_EQ(join.pa()[i], a_before[i]);
  for (int i : {0, 2, 3}) EXPECT_EQ(join.pb()[i], b_before[i]);
}

TEST(AlignTwoCurveJoins, LeavesJoinsAloneThatItCannotOrNeedNotAlign) {
  struct align_case {
    const char* name;
    glm::dvec2 na, nb;
  };
  const align_case cases[] = {
      {"cosine exactly -0.9", {-1, 0}, {0.9, std::sqrt(1 - 0.81)}},
      // Below -0.9 in double, but the cosine is compared once rounded to float.
      {"cosine -0.9000000003", {-1, 0}, {0.9000000003, std::sqrt(1 - 0.9000000003 * 0.9000000003)}},
      {"smooth enough already", {-1, 0}, {1, 1}},
      // Opposite tangents whose neighbours coincide: the projection line is undefined.
      {"coincident neighbours", {1, 0}, {1, 0}},
  };
  for (const align_case& c : cases) {
    two_curve_join join(c.na, c.nb);
    if (std::string(c.name) == "coincident neighbours") {
      // B's junction end sits at (2, 0) so that its tangent opposes A's.
      join.pb()[0] = {2, 0};
    }
    const auto a_before = join.pa();
    const auto b_before = join.pb();
    join.lg.align_two_curve_joins();
    EXPECT_EQ(join.pa(), a_before) << c.name;
    EXPECT_EQ(join.pb(), b_before) << c.name;
  }
}

TEST(AlignTwoCurveJoins, ReversedFirstFragmentPutsTheJunctionAtTheSegmentEnd) {
  // B's fragment meets the junction with its t = 0 end but is reversed in B's segment,
  // so the junction is B's control point 3 and its neighbour control point 2.
  two_curve_join join({-1, 0}, {5, 5});
  join.b->v_segment[0].v_frag_ref[0].reversed = true;
  join.pb() = {{9, 1}, {6, 2}, {0.95 * 2, 0.3 * 2}, {0, 0}};
  const auto b_before = join.pb();
  join.lg.align_two_curve_joins();
  EXPECT_EQ(join.pb()[1], b_before[1]);
  EXPECT_NE(join.pb()[2], b_before[2]);
}

TEST(AlignTwoCurveJoins, BothEndsOfAQuadraticInConnectionOrder) {
  // A ends at junction 0 at the origin, the quadratic B runs from there to junction 1 at
  // (10, 0), where C starts. B's one inner control point is the neighbour at both of its
  // ends: it is projected at connection 0 first, then, from there, at connection 1.
  layer_graph lg;
  f_curve* f[3];
  curve* c[3];
  for (int i = 0; i < 3; ++i) {
    f[i] = &lg.f_curves.emplace_back();
    c[i] = &lg.curves.emplace_back();
    f[i]->v_curve = {c[i]};
    c[i]->v_f_curve = {f[i]};
    c[i]->v_segment.emplace_back().v_frag_ref.push_back(frag_ref{f[i]});
  }
  for (int i = 0; i < 2; ++i) {
    frag_conn& j = lg.frag_conns.emplace_back();
    j.v_frag_end = {{f[i], 3}, {f[i + 1], 0}};
    nconnection& k = lg.nconnections.emplace_back();
    k.v_curve = {c[i], c[i + 1]};
    k.v_frag_conn = {&j};
    j.v_nconnection = {&k};
    c[i]->v_nconnection.push_back(&k);
    c[i + 1]->v_nconnection.push_back(&k);
  }
  c[1]->v_segment[0].degree = 2;
  const glm::dvec2 end0(0, 0), end1(10, 0), a_neighbour(-1, 0), c_neighbour(11, -0.2), middle(5, 1);
  c[0]->v_segment[0].v_ctrl_point = {{-9, 3}, {-6, 1}, a_neighbour, end0};
  c[1]->v_segment[0].v_ctrl_point = {end0, middle, end1};
  c[2]->v_segment[0].v_ctrl_point = {end1, c_neighbour, {16, 2}, {19, 1}};
  lg.align_two_curve_joins();

  auto projected = [](glm::dvec2 end, glm::dvec2 neighbour, glm::dvec2 u) {
    return end + glm::dot(neighbour - end, u) * u;
  };
  const glm::dvec2 u0 = glm::normalize(a_neighbour - middle);
  const glm::dvec2 once = projected(end0, middle, u0);
  const glm::dvec2 u1 = glm::normalize(once - c_neighbour);
  const glm::dvec2 twice = projected(end1, once, u1);
  EXPECT_NEAR(glm::distance(c[0]->v_segment[0].v_ctrl_point[2], projected(end0, a_neighbour, u0)), 0, 1e-12);
  EXPECT_NEAR(glm::distance(c[1]->v_segment[0].v_ctrl_point[1], twice), 0, 1e-12);
  EXPECT_NEAR(glm::distance(c[2]->v_segment[0].v_ctrl_point[1], projected(end1, c_neighbour, u1)), 0, 1e-12);
}

TEST(LayerGraphClear, EmptiesEveryListAndKeepsTheSizes) {
  two_curve_join join({-1, 0}, {1, 1});
  layer_graph& lg = join.lg;
  lg.edges.emplace_back();
  lg.nodes.emplace_back();
  lg.regions.emplace_back();
  lg.nregions.emplace_back();
  lg.shared_fragments.insert(&lg.f_curves.front());
  lg.height = 480;
  lg.width = 640;
  lg.owner = &lg;
  lg.topo = &lg;
  lg.clear();
  EXPECT_TRUE(lg.f_curves.empty());
  EXPECT_TRUE(lg.frag_conns.empty());
  EXPECT_TRUE(lg.edges.empty());
  EXPECT_TRUE(lg.nodes.empty());
  EXPECT_TRUE(lg.regions.empty());
  EXPECT_TRUE(lg.curves.empty());
  EXPECT_TRUE(lg.nregions.empty());
  EXPECT_TRUE(lg.nconnections.empty());
  EXPECT_TRUE(lg.shared_fragments.empty());
  EXPECT_EQ(lg.height, 480);
  EXPECT_EQ(lg.width, 640);
  EXPECT_EQ(lg.owner, &lg);
  EXPECT_EQ(lg.topo, static_cast<topo_graph*>(&lg));
}

// A layer with one fragment held by one line curve between two connections, one edge
// between two nodes and one network region of two connections and two pieces.
struct consistent_layer {
  layer_graph lg;
  curve* c = nullptr;
  consistent_layer() {
    f_curve& f = lg.f_curves.emplace_back();
    for (int i = 0; i <= 10; ++i) {
      f.v_point.push_back({float(i), 1.0f});
      f.v_t.push_back(i / 10.0);
      f.v_weight.push_back(1.0f);
    }
    c = &lg.curves.emplace_back();
    nconnection& n0 = lg.nconnections.emplace_back();
    nconnection& n1 = lg.nconnections.emplace_back();
    c->v_nconnection = {&n0, &n1};
    n0.v_curve = {c};
    n1.v_curve = {c};
    c->v_f_curve = {&f};
    f.v_curve = {c};
    c->nb_point = f.v_point.size();
    curve_segment& s = c->v_segment.emplace_back();
    s.degree = 1;
    s.v_frag_ref = {frag_ref{&f}};
    c->mean_error = -1;
    edge& e = lg.edges.emplace_back();
    e.v_node = {&lg.nodes.emplace_back(), &lg.nodes.emplace_back()};
    nregion& r = lg.nregions.emplace_back();
    r.v_nconnection = {&n0, &n1};
    r.v_curve_external.resize(2);
  }
};

TEST(LayerGraphCheck, ConsistentLayerPrintsNothingButIsRefitted) {
  consistent_layer layer;
  testing::internal::CaptureStdout();
  layer.lg.check();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_NEAR(layer.c->mean_error, 0.0, 1e-9);
  EXPECT_NEAR(layer.c->v_segment[0].v_ctrl_point[1].x, 10.0, 1e-6);
}

TEST(LayerGraphCheck, ReportsEveryBrokenCountInOrder) {
  consistent_layer layer;
  layer_graph& lg = layer.lg;
  lg.edges.front().v_node.pop_back();                 // one node
  lg.edges.emplace_back().v_node.resize(3);           // three nodes
  layer.c->v_nconnection.push_back(layer.c->v_nconnection.front());  // three connections
  lg.curves.emplace_back();                           // no connection
  lg.nregions.front().v_curve_external.pop_back();    // two connections, one piece
  lg.nregions.emplace_back().v_curve_external.resize(4);
  testing::internal::CaptureStdout();
  lg.check();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "bad nb_node: 1 should be 2\n"
            "bad nb_node: 3 should be 2\n"
            "bad nb_conn: 3 should be 2\n"
            "bad nb_conn: 0 should be 2\n"
            "nb_conn: 2 and nb_external_curve: 1 should be the same at the ini step\n"
            "nb_conn: 0 and nb_external_curve: 4 should be the same at the ini step\n");
}

// One fragment with samples along a polyline, parameters by sample index, weight 1.
void fill_polyline(f_curve& f, const std::vector<glm::vec2>& corners, int samples_per_leg) {
  for (std::size_t leg = 0; leg + 1 < corners.size(); ++leg) {
    for (int i = 0; i < samples_per_leg; ++i) {
      const float s = static_cast<float>(i) / static_cast<float>(samples_per_leg);
      f.v_point.push_back(corners[leg] + (corners[leg + 1] - corners[leg]) * s);
    }
  }
  f.v_point.push_back(corners.back());
  const std::size_t n = f.v_point.size();
  for (std::size_t i = 0; i < n; ++i) {
    f.v_t.push_back(static_cast<double>(i) / static_cast<double>(n - 1));
    f.v_weight.push_back(1.0f);
  }
}

TEST(SplitFragments, CutsUntilEveryPieceFitsAndRefitsAll) {
  // Uses the shipped config/threshold_split_curve.conf (error threshold 1 px^2).
  struct split_case {
    const char* name;
    std::vector<glm::vec2> corners;
    std::size_t min_fragments;
    std::size_t max_fragments;
  };
  const split_case cases[] = {
      {"straight", {{0, 0}, {60, 0}}, 1, 1},
      {"one corner", {{0, 0}, {40, 0}, {40, 40}}, 2, 3},
      // Three corners: a head that needs a second cut waits for the next sweep.
      {"zigzag", {{0, 0}, {40, 0}, {40, 40}, {80, 40}, {80, 0}}, 4, 8},
  };
  for (const split_case& c : cases) {
    layer_graph lg;
    fill_polyline(lg.f_curves.emplace_back(), c.corners, 40);
    std::size_t samples = lg.f_curves.front().v_point.size();
    lg.split_fragments();
    EXPECT_GE(lg.f_curves.size(), c.min_fragments) << c.name;
    EXPECT_LE(lg.f_curves.size(), c.max_fragments) << c.name;
    EXPECT_EQ(lg.frag_conns.size(), lg.f_curves.size() - 1) << c.name;
    std::size_t total = 0;
    for (const f_curve& f : lg.f_curves) {
      ASSERT_EQ(f.v_ctrl_point.size(), 4u) << c.name;
      EXPECT_LT(f.mean_error, 1.0f) << c.name;
      total += f.v_point.size();
    }
    EXPECT_EQ(total, samples) << c.name;
  }
}

TEST(SplitFragments, TailsAreTriedInTheSameSweepHeadsInTheNext) {
  // A zigzag of four legs, first cut at its middle corner. The tail is cut again in the
  // same sweep (its pieces follow it in the list); the head waits for the next sweep, so
  // its own tail comes last. Fragments are named by their first sample.
  layer_graph lg;
  fill_polyline(lg.f_curves.emplace_back(), {{0, 0}, {40, 0}, {40, 40}, {80, 40}, {80, 0}}, 40);
  lg.split_fragments();
  std::vector<glm::vec2> starts;
  for (const f_curve& f : lg.f_curves) starts.push_back(f.v_point.front());
  EXPECT_EQ(starts, (std::vector<glm::vec2>{{0, 0}, {40, 40}, {80, 40}, {40, 0}}));
}

// The passes at the end of an interactive run leave the curves the user froze exactly as
// they are, each pass on its own and all of them in a row; the other curves still move.
TEST(LayerPasses, FrozenCurvesStayAsTheyAre) {
  using pass = void (layer_graph::*)();
  const std::pair<const char*, std::vector<pass>> cases[] = {
      {"refit_curves", {&layer_graph::refit_curves}},
      {"slide_one_lone_end", {&layer_graph::slide_one_lone_end}},
      {"slide_both_lone_ends", {&layer_graph::slide_both_lone_ends}},
      {"fit_joined_curves", {&layer_graph::fit_joined_curves}},
      {"end of a run", {&layer_graph::fit_joined_curves, &layer_graph::slide_one_lone_end,
                        &layer_graph::slide_both_lone_ends, &layer_graph::refit_curves,
                        &layer_graph::fit_and_slide_ends}},
  };
  for (const auto& [name, passes] : cases) {
    for (const bool first : {true, false}) {  // an end curve with a lone end, or the middle one
      SCOPED_TRACE(std::string(name) + (first ? ", first curve" : ", middle curve"));
      layer_graph lg;
      fixture::chain_of_three(lg, 20, true);
      lg.fit_joined_curves();
      curve* frozen = first ? &lg.curves.front() : &*std::next(lg.curves.begin());
      for (glm::dvec2& p : frozen->v_segment[0].v_ctrl_point) p += glm::dvec2(2, 1);
      const std::vector<glm::dvec2> held = frozen->v_segment[0].v_ctrl_point;
      view_settings view;
      view.fixed_curves.insert(frozen);
      main_gl_widget = &view;
      testing::internal::CaptureStdout();
      for (const pass p : passes) (lg.*p)();
      testing::internal::GetCapturedStdout();
      main_gl_widget = nullptr;
      EXPECT_EQ(frozen->v_segment[0].v_ctrl_point, held);
      EXPECT_EQ(check_network(lg), "");
    }
  }
}

TEST(LayerPasses, EmptyLayerPassesDoNothing) {
  layer_graph lg;
  lg.height = 7;
  testing::internal::CaptureStdout();
  lg.fit_fragments();
  lg.fit_fragments_at_junctions();
  lg.split_fragments();
  lg.refit_curves();
  lg.align_two_curve_joins();
  lg.fit_joined_curves();
  lg.slide_one_lone_end();
  lg.slide_both_lone_ends();
  lg.check();
  lg.fit_each_junction();
  lg.fit_each_junction_fixed_far_ends();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(lg.f_curves.empty());
  EXPECT_TRUE(lg.frag_conns.empty());
  EXPECT_TRUE(lg.curves.empty());
  EXPECT_EQ(lg.height, 7);
}

TEST(LayerPasses, JunctionFitsShareTheEndPointsAtTheTJunction) {
  // Fragment fit: the three arms' end control points at the centre become one point.
  {
    layer_graph lg;
    const fixture::layer_parts parts = fixture::t_junction(lg, 20, false);
    for (f_curve* f : parts.fragments) f->v_ctrl_point[1] += glm::dvec2(3, -2);
    lg.fit_fragments_at_junctions();
    const glm::dvec2 centre = parts.fragments[0]->v_ctrl_point[3];
    EXPECT_EQ(parts.fragments[1]->v_ctrl_point[0], centre);
    EXPECT_EQ(parts.fragments[2]->v_ctrl_point[0], centre);
    EXPECT_NEAR(centre.x, 50, 1e-6);
    EXPECT_NEAR(centre.y, 50, 1e-6);
  }
  // Curve fit: only the centre, where three curves end, is joined; the arm ends, where
  // one curve ends each, are skipped (joining them would print the error marker).
  {
    layer_graph lg;
    fixture::t_junction(lg);
    testing::internal::CaptureStdout();
    lg.fit_joined_curves();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(check_network(lg), "");
    auto c = lg.curves.begin();
    const glm::dvec2 centre = c->v_segment[0].v_ctrl_point[3];
    EXPECT_EQ((++c)->v_segment[0].v_ctrl_point[0], centre);
    EXPECT_EQ((++c)->v_segment[0].v_ctrl_point[0], centre);
    EXPECT_NEAR(centre.x, 50, 1e-6);
    EXPECT_NEAR(centre.y, 50, 1e-6);
  }
}

TEST(LayerPasses, JunctionTangentEnergyOfTheTJunction) {
  // Exact straight arms: no fit error; at the centre the right arm continues the left
  // one (cross product 0) and the down arm is at right angles (1): mean 0.5.
  layer_graph lg;
  fixture::t_junction(lg, 20, false);
  EXPECT_NEAR(lg.junction_tangent_energy(), 0.5, 1e-6);
}

}  // namespace

#include "graph/layer_graph.h"

#include <cmath>
#include <iostream>
#include <string>

#include <glm/geometric.hpp>
#include <gtest/gtest.h>

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

}  // namespace

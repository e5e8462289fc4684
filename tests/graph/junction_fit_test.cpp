#include "graph/junction_fit.h"

#include <gtest/gtest.h>

#include "graph/layer_graph.h"
#include "support/fragment_lattice.h"

namespace {

void expect_points_near(const std::vector<glm::dvec2>& got, const fixture::cubic& want, double tol) {
  ASSERT_EQ(got.size(), 4u);
  for (int k = 0; k < 4; ++k) {
    EXPECT_NEAR(got[k].x, want[k].x, tol) << "point " << k;
    EXPECT_NEAR(got[k].y, want[k].y, tol) << "point " << k;
  }
}

// Three fragments meeting at (50, 50); the second arrives with its t = 1 end.
struct three_way {
  layer_graph lg;
  fixture::cubic truth[3] = {
      {{{50, 50}, {60, 40}, {80, 35}, {100, 40}}},
      {{{10, 20}, {20, 25}, {40, 40}, {50, 50}}},
      {{{50, 50}, {55, 70}, {50, 85}, {40, 100}}},
  };
  f_curve* f[3];
  frag_conn* j;
  three_way() {
    for (int k = 0; k < 3; ++k) f[k] = &add_sampled_fragment(lg, truth[k], 20 + 7 * k);
    j = &add_junction(lg, {{f[0], 0}, {f[1], 3}, {f[2], 0}});
  }
};

TEST(FragConnFitJoint, SharesOneJunctionPointAndRecoversExactCubics) {
  three_way w;
  w.j->fit_joint();
  EXPECT_EQ(w.f[1]->v_ctrl_point[3], w.f[0]->v_ctrl_point[0]);
  EXPECT_EQ(w.f[2]->v_ctrl_point[0], w.f[0]->v_ctrl_point[0]);
  for (int k = 0; k < 3; ++k) expect_points_near(w.f[k]->v_ctrl_point, w.truth[k], 1e-4);
}

TEST(FragConnFitJoint, OneFragmentIsTheSingleFit) {
  layer_graph lg;
  f_curve& f = add_sampled_fragment(lg, {{{0, 0}, {5, 9}, {20, 9}, {30, 2}}}, 15, 2.0f);
  frag_conn& j = add_junction(lg, {{&f, 3}});
  f_curve alone = f;
  alone.fit_cubic();
  j.fit_joint();
  EXPECT_EQ(f.v_ctrl_point, alone.v_ctrl_point);
  j.fit_joint_fixed_far_ends();
  EXPECT_EQ(f.v_ctrl_point, alone.v_ctrl_point);
}

TEST(FragConnFitJointFixedFarEnds, HoldsFarPointsAndFitsTheRest) {
  // Far points held at their true places: exact data is recovered, which needs the held
  // points' pull on the shared point to be taken off its equations too.
  three_way w;
  for (int k = 0; k < 3; ++k) w.f[k]->v_ctrl_point.assign(w.truth[k].begin(), w.truth[k].end());
  for (int k = 0; k < 3; ++k) w.f[k]->v_ctrl_point[1] = w.f[k]->v_ctrl_point[2] = {0, 0};
  w.f[0]->v_ctrl_point[0] = w.f[1]->v_ctrl_point[3] = {-9, -9};
  w.j->fit_joint_fixed_far_ends();
  for (int k = 0; k < 3; ++k) expect_points_near(w.f[k]->v_ctrl_point, w.truth[k], 1e-4);
  EXPECT_EQ(w.f[1]->v_ctrl_point[3], w.f[0]->v_ctrl_point[0]);

  // Far points held elsewhere stay exactly where they are held.
  const glm::dvec2 held[3] = {{101, 41}, {11, 19}, {39, 101}};
  w.f[0]->v_ctrl_point[3] = held[0];
  w.f[1]->v_ctrl_point[0] = held[1];
  w.f[2]->v_ctrl_point[3] = held[2];
  w.j->fit_joint_fixed_far_ends();
  EXPECT_EQ(w.f[0]->v_ctrl_point[3], held[0]);
  EXPECT_EQ(w.f[1]->v_ctrl_point[0], held[1]);
  EXPECT_EQ(w.f[2]->v_ctrl_point[3], held[2]);
  EXPECT_EQ(w.f[2]->v_ctrl_point[0], w.f[0]->v_ctrl_point[0]);
}

TEST(FragConnChooseEnds, PicksTheTightestCombination) {
  struct row {
    const char* name;
    std::vector<std::pair<glm::dvec2, glm::dvec2>> ends;  // control points 0 and 3
    std::vector<int> expected;
  };
  const row rows[] = {
      {"one fragment: two zero spreads, the first wins", {{{0, 0}, {9, 9}}}, {0}},
      {"two fragments whose points 3 coincide", {{{0, 0}, {5, 5}}, {{10, 0}, {5, 5}}}, {3, 3}},
      {"mixed ends", {{{5, 5}, {0, 0}}, {{9, 9}, {5, 5}}, {{5, 6}, {20, 20}}}, {0, 3, 0}},
  };
  for (const row& r : rows) {
    layer_graph lg;
    lg.frag_conns.emplace_back();
    frag_conn& j = lg.frag_conns.back();
    for (const auto& e : r.ends) {
      lg.f_curves.emplace_back();
      lg.f_curves.back().v_ctrl_point = {e.first, {1, 1}, {2, 2}, e.second};
      j.v_frag_end.push_back({&lg.f_curves.back(), 3});
    }
    j.choose_ends();
    std::vector<int> got;
    for (const frag_end& fe : j.v_frag_end) got.push_back(fe.end);
    EXPECT_EQ(got, r.expected) << r.name;
  }
}

TEST(FragConnAddPair, AppendsOnlyMissingFragmentsThenChoosesEnds) {
  layer_graph lg;
  f_curve& a = add_sampled_fragment(lg, {{{0, 0}, {3, 4}, {7, 4}, {10, 0}}}, 12);
  f_curve& b = add_sampled_fragment(lg, {{{20, 0}, {17, 4}, {13, 4}, {10, 0}}}, 12);
  lg.frag_conns.emplace_back();
  frag_conn& j = lg.frag_conns.back();
  j.v_frag_end = {{&a, 3}};
  j.add_fragment_pair(&a, &b);
  ASSERT_EQ(j.v_frag_end.size(), 2u);
  EXPECT_EQ(j.v_frag_end[1].fragment, &b);
  EXPECT_EQ(j.v_frag_end[1].end, 0);

  j.add_pair_refit_and_choose_ends(&b, &a);  // nothing new; refit, then both ends at (10, 0)
  ASSERT_EQ(j.v_frag_end.size(), 2u);
  EXPECT_EQ(j.v_frag_end[0].end, 3);
  EXPECT_EQ(j.v_frag_end[1].end, 3);
}

}  // namespace

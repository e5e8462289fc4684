#include "graph/two_curve_fit.h"

#include <gtest/gtest.h>

#include "graph/layer_graph.h"
#include "support/fragment_lattice.h"

namespace {

// Two cubics meeting at J = (50, 0), the second's inner point at (1 - r) J + r N.
struct tied_pair {
  layer_graph lg;
  fixture::cubic a = {{{0, 0}, {15, 20}, {35, 10}, {50, 0}}};
  fixture::cubic b;
  curve* c[2];
  nconnection* n;
  explicit tied_pair(float ratio) {
    const glm::dvec2 j = a[3], nb = a[2];
    // The second curve runs from (100, 0) into J, so J is its control point 3.
    b = {{{100, 0}, {85, 5}, (1.0 - ratio) * j + static_cast<double>(ratio) * nb, j}};
    f_curve* f[2] = {&add_sampled_fragment(lg, a, 40), &add_sampled_fragment(lg, b, 40)};
    frag_conn& junction = add_junction(lg, {{f[0], 3}, {f[1], 3}});
    for (int k = 0; k < 2; ++k) {
      lg.curves.emplace_back();
      c[k] = &lg.curves.back();
      c[k]->v_f_curve = {f[k]};
      f[k]->v_curve = {c[k]};
      c[k]->v_segment.resize(1);
      c[k]->v_segment[0].v_frag_ref = {{f[k], 0, 1, 0, 1, false}};
    }
    lg.nconnections.emplace_back();
    n = &lg.nconnections.back();
    n->v_frag_conn = {&junction};
    n->v_curve = {c[0], c[1]};
  }
};

TEST(FitTwoCurvesC1, RecoversTiedExactDataDirectAndReduced) {
  using fit = float (*)(curve&, curve&, const nconnection&, float);
  for (fit solve : {fit(fit_two_curves_c1), fit(fit_two_curves_c1_reduced)}) {
    for (float ratio : {-1.0f, -0.5f}) {
      tied_pair w(ratio);
      const float error = solve(*w.c[0], *w.c[1], *w.n, ratio);
      EXPECT_LT(error, 0.05f) << ratio;
      const auto& pa = w.c[0]->v_segment[0].v_ctrl_point;
      const auto& pb = w.c[1]->v_segment[0].v_ctrl_point;
      for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(pa[k].x, w.a[k].x, 0.05) << ratio << " a" << k;
        EXPECT_NEAR(pb[k].y, w.b[k].y, 0.05) << ratio << " b" << k;
      }
      EXPECT_EQ(pb[3], pa[3]);
    }
  }
}

TEST(FitTwoCurvesC1, RefusesWithoutTwoCubicsAtTheJunction) {
  tied_pair w(-1);
  w.c[1]->v_segment[0].degree = 2;
  EXPECT_EQ(fit_two_curves_c1(*w.c[0], *w.c[1], *w.n, -1), -1);
  EXPECT_EQ(fit_two_curves_c1_reduced(*w.c[0], *w.c[0], *w.n, -1), -1);
  EXPECT_TRUE(w.c[0]->v_segment[0].v_ctrl_point.empty());
}

}  // namespace

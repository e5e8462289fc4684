#include "graph/joint_fit_svd.h"

#include <gtest/gtest.h>

#include "graph/bezier.h"
#include "graph/joint_fit.h"
#include "graph/layer_graph.h"
#include "support/fragment_lattice.h"

namespace {

TEST(FitFragmentsJointlySvd, AgreesWithTheSparseFitOnUnitWeights) {
  layer_graph sparse, dense;
  build_fragment_lattice(sparse, 3, 2, 5);
  build_fragment_lattice(dense, 3, 2, 5);
  // Noisy, unweighted samples, so that the shared points are a real compromise.
  for (layer_graph* lg : {&sparse, &dense}) {
    int i = 0;
    for (f_curve& f : lg->f_curves)
      for (std::size_t s = 0; s < f.v_point.size(); ++s, ++i) {
        f.v_weight[s] = 1;
        f.v_point[s].y += static_cast<float>((i * 7919 % 13) - 6) * 0.1f;
      }
  }
  std::vector<frag_conn*> js, jd;
  for (frag_conn& j : sparse.frag_conns) js.push_back(&j);
  for (frag_conn& j : dense.frag_conns) jd.push_back(&j);
  fit_fragments_jointly(js);
  fit_fragments_jointly_svd(jd);
  auto fs = sparse.f_curves.begin();
  for (const f_curve& f : dense.f_curves) {
    for (int k = 0; k < 4; ++k) {
      EXPECT_NEAR(f.v_ctrl_point[k].x, fs->v_ctrl_point[k].x, 1e-6);
      EXPECT_NEAR(f.v_ctrl_point[k].y, fs->v_ctrl_point[k].y, 1e-6);
    }
    ++fs;
  }
}

TEST(FitPolylinesJointlySvd, TwoListsShareTheirJunctionPoint) {
  const fixture::cubic a = {{{0, 0}, {10, 20}, {30, 20}, {40, 0}}};
  const fixture::cubic b = {{{40, 0}, {50, -20}, {70, -20}, {80, 5}}};
  std::vector<std::vector<glm::dvec2>> lists(2);
  std::vector<std::vector<double>> params(2);
  for (int i = 0; i <= 20; ++i) {
    const double t = i / 20.0;
    lists[0].push_back(bezier_eval(3, a.data(), t));
    lists[1].push_back(bezier_eval(3, b.data(), 1 - t));  // runs from b's end to J
    params[0].push_back(t);
    params[1].push_back(t);
  }
  std::vector<std::vector<glm::dvec2>> out;
  fit_polylines_jointly_svd(lists, params, {{{0, 3}, {1, 3}}}, out);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[1][3], out[0][3]);
  for (int k = 0; k < 4; ++k) {
    EXPECT_NEAR(out[0][k].x, a[k].x, 1e-6);
    EXPECT_NEAR(out[1][k].y, b[3 - k].y, 1e-6);
  }
}

}  // namespace

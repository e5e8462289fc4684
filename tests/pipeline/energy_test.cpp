#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "graph/curve_network.h"
#include "pipeline/recuit.h"
#include "pipeline/view_settings.h"
#include "support/layer_fixtures.h"
#include "support/wavy_grid.h"

namespace {

struct curve_spec {
  int degree;
  double mean_error;
};

// One layer holding unlinked curves with the given degrees and mean errors, and
// `shared` fragments in its shared set.
curve_network hand_network(const std::vector<curve_spec>& curves, int shared = 0) {
  curve_network net;
  layer_graph& L = net.emplace_back();
  for (const curve_spec& s : curves) {
    curve& c = L.curves.emplace_back();
    c.v_segment.resize(1);
    c.v_segment[0].degree = s.degree;
    c.mean_error = s.mean_error;
  }
  for (int i = 0; i < shared; ++i) L.shared_fragments.insert(&L.f_curves.emplace_back());
  return net;
}

struct energy_case {
  const char* name;
  std::vector<curve_spec> curves;
  int shared;
  float lambda;
  float mu;
  bool with_view;
  float expected;
};

TEST(NetworkEnergy, HandWorkedValues) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<energy_case> cases = {
      {"empty layer", {}, 0, 0.5f, 1.0f, false, 0.0f},
      {"one cubic", {{3, 0.5}}, 0, 0.5f, 0.0f, false, 1.0833333f},
      {"degrees 1 and 2", {{1, 0.0}, {2, 1.0}}, 0, 0.25f, 0.0f, false,
       (1.0f + 1.3333334f) * 0.25f + 0.75f * 1.0f},
      {"degree 0 weighs nothing", {{0, 0.5}}, 0, 0.5f, 0.0f, false, 0.25f},
      {"degree 0 with the view", {{0, 0.5}}, 0, 0.5f, 0.0f, true,
       0.5f * (1.0f - 1.0f / 3.0f) + 0.25f},
      {"view matches the built-in weights", {{1, 0.0}, {2, 0.0}, {3, 0.0}}, 0, 1.0f, 0.0f,
       true, 1.0f + 1.3333334f + 1.6666666f},
      {"shared fragments priced by mu", {{3, 0.5}}, 2, 0.5f, 0.25f, false,
       (2 * 0.25f + 1.6666666f) * 0.5f + 0.5f * 0.5f},
      {"infinite error adds only the weight", {{3, inf}, {1, 0.5}}, 0, 0.5f, 0.0f, false,
       (1.6666666f + 1.0f) * 0.5f + 0.5f * 0.5f},
      {"NaN error adds only the weight", {{2, nan}}, 0, 0.5f, 0.0f, false, 1.3333334f * 0.5f},
  };
  for (const energy_case& c : cases) {
    SCOPED_TRACE(c.name);
    view_settings view;
    main_gl_widget = c.with_view ? &view : nullptr;
    curve_network net = hand_network(c.curves, c.shared);
    EXPECT_FLOAT_EQ(net.energy(c.lambda, c.mu), c.expected);
    main_gl_widget = nullptr;
  }
  EXPECT_EQ(curve_network().energy(0.5f, 1.0f), 0.0f);
}

TEST(NetworkEnergy, NonFiniteErrorIsReportedOncePerCurveAndEvaluation) {
  curve_network net = hand_network({{3, std::numeric_limits<double>::infinity()},
                                    {3, std::numeric_limits<double>::quiet_NaN()},
                                    {3, 1.0}});
  testing::internal::CaptureStdout();
  net.energy(0.5f, 0.0f);
  net.energy(0.5f, 0.0f);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "non finite\nnon finite\nnon finite\nnon finite\n");

  testing::internal::CaptureStdout();
  net.energy_recomputed(0.5f, 0.0f);  // unfitted segments: not finite, silently left out
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(NetworkEnergy, RecomputedMeasuresTheFirstSegmentAfresh) {
  curve_network net;
  fixture::chain_of_three(net.emplace_back());
  const float lambda = 0.3f;
  const float mu = 0.1f;
  const float stored = net.energy(lambda, mu);
  EXPECT_NEAR(net.energy_recomputed(lambda, mu), stored, 1e-4f * std::fabs(stored) + 1e-6f);

  // Stale mean errors change energy() but not the recomputed energy.
  for (curve& c : net.front().curves) c.mean_error += 10.0;
  EXPECT_NEAR(net.energy(lambda, mu) - stored, 3 * 10.0f * (1 - lambda), 1e-3f);
  EXPECT_NEAR(net.energy_recomputed(lambda, mu), stored, 1e-4f * std::fabs(stored) + 1e-6f);
}

// With the terms kept between evaluations, every evaluation during a run of moves must
// give the bits of a full evaluation: two layers (the sums run across the layer
// boundary), a seeded run of batch steps with the view's degree penalty changed midway.
TEST(EnergyTracking, EveryEvaluationEqualsAFullOneThroughARunOfMoves) {
  curve_network net;
  // Large enough that the terms are kept (a small network is simply walked).
  fixture::wavy_grid(net.emplace_back(), 16, 12);  // 356 curves
  fixture::wavy_grid(net.emplace_back(), 8, 8);    // 112 curves
  view_settings view;
  recuit opt(&net);
  opt.read_config_v2(0.5f, 0.99f);
  opt.gen.seed(14);
  testing::internal::CaptureStdout();
  const energy_tracking tracking(&net);
  int mismatches = 0;
  for (int i = 0; i < 1500; ++i) {
    if (i == 700) main_gl_widget = &view;  // another weight table from here on
    opt.step_batch();
    ++opt.k;
    const float tracked = net.energy(opt.lambda, opt.mu);
    float full;
    {
      const energy_tracking none(nullptr);  // the innermost scope serves: no terms kept
      full = net.energy(opt.lambda, opt.mu);
    }
    if (std::memcmp(&tracked, &full, sizeof full) != 0 && ++mismatches <= 3)
      ADD_FAILURE() << "step " << i << ": tracked " << tracked << ", full " << full;
  }
  main_gl_widget = nullptr;
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(mismatches, 0);
  // The moves did change the network, and it stayed large enough to be tracked.
  const std::size_t curves = net.front().curves.size() + net.back().curves.size();
  EXPECT_LT(curves, 468u);
  EXPECT_GE(curves, 128u);
}

}  // namespace

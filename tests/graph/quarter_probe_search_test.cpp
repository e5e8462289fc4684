#include "graph/quarter_probe_search.h"

#include <cmath>
#include <functional>

#include <gtest/gtest.h>

namespace {

struct search_case {
  const char* name;
  std::function<double(double, int)> cost;  // (x, evaluation index) -> cost
  double expected_middle;
  int expected_evaluations;
};

TEST(QuarterProbeSearch, FollowsOnlyAProbeThatBeatsBothOthers) {
  const search_case cases[] = {
      {"flat within the margin", [](double x, int) { return 0.004 * x; }, 0.5, 3},
      // Both quarter probes beat the middle but tie with each other: no winner.
      {"tied quarter probes", [](double x, int) { return -10 * std::abs(x - 0.5); }, 0.5, 3},
      // Left probe always best while 50 m > 0.01: twelve moves, then the stopping step.
      {"steep growth", [](double x, int) { return 100 * x; }, 0.5 / 4096, 27},
      {"steep fall", [](double x, int) { return 100 * (1 - x); }, 1 - 0.5 / 4096, 27},
      // The middle stays best by a wide margin: the bracket shrinks around 0.5 until
      // the probes come within the margin of it.
      {"middle best", [](double x, int) { return 1e6 * std::abs(x - 0.5); }, 0.5, -1},
      // A probe that beats the middle by 0.02 but the other probe by only 0.005.
      {"near tie with the far probe",
       [](double x, int) { return x < 0.3 ? 0.0 : (x > 0.7 ? 0.005 : 0.02); }, 0.5, 3},
  };
  for (const search_case& c : cases) {
    int evaluations = 0;
    double cost = -1;
    const double m = quarter_probe_search(0.0, 1.0, cost, [&](double x) {
      return c.cost(x, evaluations++);
    });
    EXPECT_DOUBLE_EQ(m, c.expected_middle) << c.name;
    EXPECT_DOUBLE_EQ(cost, c.cost(m, 0)) << c.name;
    if (c.expected_evaluations > 0) {
      EXPECT_EQ(evaluations, c.expected_evaluations) << c.name;
    }
    EXPECT_EQ(evaluations % 2, 1) << c.name;
  }
}

TEST(QuarterProbeSearch, StopsAfterAHundredSteps) {
  // The middle always wins by 1, even after the bracket has shrunk to nothing.
  int evaluations = 0;
  double cost = -1;
  const double m = quarter_probe_search(0.0, 1.0, cost, [&](double) {
    return evaluations++ == 0 ? 0.0 : 1.0;
  });
  EXPECT_EQ(evaluations, 1 + 2 * 100);
  EXPECT_DOUBLE_EQ(m, 0.5);
  EXPECT_DOUBLE_EQ(cost, 0.0);
}

TEST(QuarterProbeSearch, WorksOnFloatParametersOverASubrange) {
  float cost = -1;
  const float m = quarter_probe_search(0.25f, 0.75f, cost, [](float x) {
    return (x - 0.3f) * (x - 0.3f) * 1000.0f;
  });
  EXPECT_NEAR(m, 0.3f, 0.01f);
  EXPECT_GE(m, 0.25f);
  EXPECT_FLOAT_EQ(cost, (m - 0.3f) * (m - 0.3f) * 1000.0f);
}

}  // namespace

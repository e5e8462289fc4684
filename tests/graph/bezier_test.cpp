#include "graph/bezier.h"

#include <cmath>
#include <sstream>

#include <gtest/gtest.h>

namespace {

TEST(BernsteinBasis, CubicAtHalfAndPartitionOfUnity) {
  std::vector<double> v(4);
  bernstein_basis(0.5, v, 3);
  EXPECT_DOUBLE_EQ(v[0], 0.125);
  EXPECT_DOUBLE_EQ(v[1], 0.375);
  EXPECT_DOUBLE_EQ(v[2], 0.375);
  EXPECT_DOUBLE_EQ(v[3], 0.125);
  for (int n = 0; n <= 31; ++n) {
    std::vector<double> w(n + 1);
    for (double t : {0.0, 0.13, 0.5, 0.77, 1.0}) {
      bernstein_basis(t, w, n);
      double sum = 0;
      for (double x : w) sum += x;
      EXPECT_NEAR(sum, 1.0, 1e-9) << "n " << n << " t " << t;
    }
  }
}

TEST(BernsteinBasis, LeavesEntriesPastDegreeAlone) {
  std::vector<double> v(6, 42.0);
  bernstein_basis(0.3, v, 2);
  EXPECT_EQ(v[3], 42.0);
  EXPECT_EQ(v[5], 42.0);
}

TEST(BernsteinBasis, Degree31UsesTheLastRowAndDegree32Complains) {
  EXPECT_EQ(binomial_rows[31][15], 300540195);
  EXPECT_EQ(binomial_rows[31][16], 300540195);
  std::vector<double> v(32);
  bernstein_basis(0.5, v, 31);
  EXPECT_DOUBLE_EQ(v[15], 300540195.0 / std::pow(2.0, 31));

  std::vector<double> w(33, 7.0);
  testing::internal::CaptureStderr();
  bernstein_basis(0.5, w, 32);
  bernstein_basis_derivative(0.5, w, 32);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err,
            "bezier curve have to have a degree lower than 32\n"
            "bezier curve have to have a degree lower than 32\n");
  for (double x : w) EXPECT_TRUE(std::isfinite(x));
}

TEST(BernsteinDerivative, KnownValues) {
  struct Case { int n; double t; std::vector<double> expected; };
  const Case cases[] = {
      {0, 0.4, {0}},
      {1, 0.0, {-1, 1}},
      {1, 0.9, {-1, 1}},
      {2, 0.5, {-1, 0, 1}},
      {3, 0.0, {-3, 3, 0, 0}},
      {3, 1.0, {0, 0, -3, 3}},
  };
  for (const Case& c : cases) {
    std::vector<double> v(c.n + 1);
    bernstein_basis_derivative(c.t, v, c.n);
    for (int i = 0; i <= c.n; ++i) EXPECT_DOUBLE_EQ(v[i], c.expected[i]) << c.n << " " << c.t;
  }
}

TEST(BezierEval, EndsAreExactAndOutsideIsExtrapolated) {
  const std::vector<glm::dvec2> p = {{0.1, 0.7}, {3.3, 9.1}, {7.7, -2.2}, {10.9, 4.3}};
  const int n = 3;
  EXPECT_EQ(bezier_eval(n, p.data(), 0.0), p[0]);
  EXPECT_EQ(bezier_eval(n, p.data(), 1.0), p[3]);
  const std::vector<glm::dvec2> line = {{0, 0}, {2, 4}};
  const int one = 1;
  const glm::dvec2 q = bezier_eval(one, line.data(), 1.5);
  EXPECT_DOUBLE_EQ(q.x, 3);
  EXPECT_DOUBLE_EQ(q.y, 6);
  const int zero = 0;
  EXPECT_EQ(bezier_eval(zero, line.data(), 0.3), line[0]);
}

TEST(BezierTangent, SegmentAndCubicEnds) {
  const std::vector<glm::dvec2> seg = {{1, 2}, {4, 6}};
  for (float t : {0.0f, 0.25f, 1.0f, 2.0f}) EXPECT_EQ(bezier_tangent(seg, t), glm::dvec2(3, 4));
  const std::vector<glm::dvec2> p = {{0, 0}, {1, 2}, {3, 3}, {4, 0}};
  EXPECT_EQ(bezier_tangent(p, 0.0f), 3.0 * (p[1] - p[0]));
  EXPECT_EQ(bezier_tangent(p, 1.0f), 3.0 * (p[3] - p[2]));
  const std::vector<glm::dvec2> point = {{5, 5}};
  EXPECT_EQ(bezier_tangent(point, 0.5f), glm::dvec2(0, 0));
}

TEST(CubicBasis, MatchesTable) {
  for (double t : {-0.5, 0.0, 0.3, 1.0, 1.7}) {
    double c[4];
    cubic_basis(t, c);
    std::vector<double> v(4);
    bernstein_basis(t, v, 3);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(c[i], v[i], 1e-12);
  }
}

TEST(JetColor, Bands) {
  struct Case { float x; glm::vec3 rgb; };
  const Case cases[] = {
      {0.0f, {0, 0, 0.5f}},   {0.125f, {0, 0, 1}},  {0.5f, {0.5f, 1, 0.5f}},
      {1.0f, {0.5f, 0, 0}},   {-0.01f, {0, 0, 0}},  {1.01f, {0.9f, 0.9f, 0.9f}},
      {0.375f, {0, 1, 1}},    {0.625f, {1, 1, 0}},  {0.875f, {1, 0, 0}},
  };
  for (const Case& c : cases) {
    const glm::vec3 got = jet_color(c.x);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], c.rgb[i], 1e-6) << "x " << c.x << " channel " << i;
  }
}

}  // namespace

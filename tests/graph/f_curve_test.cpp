#include "graph/f_curve.h"

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "graph/bezier.h"
#include "graph/cubic_least_squares.h"
#include "graph/layer_graph.h"
#include "graph/point_cubic_fit.h"
#include "support/fragment_links.h"

namespace {

using glm::dvec2;
using polygons = std::vector<std::vector<dvec2>>;

const std::vector<dvec2> k_cubic = {{10, 20}, {40, 90}, {120, 70}, {150, 10}};

dvec2 cubic_at(const std::vector<dvec2>& c, double t) { return bezier_eval(3, c.data(), t); }

// n samples of ctrl at parameters spread over [0, 1] (uneven, so that fits do not rely on
// a uniform spacing), weights from the generator when given.
f_curve sampled(const std::vector<dvec2>& ctrl, int n, std::mt19937* rng = nullptr) {
  f_curve f;
  std::uniform_real_distribution<float> weight(0.2f, 3.0f);
  for (int i = 0; i < n; ++i) {
    const double t = n == 1 ? 0.5 : std::pow(static_cast<double>(i) / (n - 1), 1.3);
    f.v_t.push_back(t);
    f.v_point.push_back(glm::vec2(cubic_at(ctrl, t)));
    f.v_weight.push_back(rng ? weight(*rng) : 1.0f);
  }
  return f;
}

// A stroke with a sharp corner at t = corner: no single cubic fits it.
f_curve corner_stroke(int n, double corner) {
  f_curve f;
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / (n - 1);
    const double x = t < corner ? 100 * t / corner : 100.0;
    const double y = t < corner ? 0.0 : 100 * (t - corner) / (1 - corner);
    f.v_t.push_back(t);
    f.v_point.push_back(glm::vec2(static_cast<float>(x), static_cast<float>(y)));
    f.v_weight.push_back(1.0f);
  }
  return f;
}

bool all_finite(const std::vector<dvec2>& ctrl) {
  for (const dvec2& p : ctrl)
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return false;
  return true;
}

void expect_same_curve(const std::vector<dvec2>& got, const std::vector<dvec2>& want,
                       double tolerance, const std::string& what) {
  ASSERT_EQ(got.size(), 4u) << what;
  for (int k = 0; k < 4; ++k) {
    EXPECT_NEAR(got[k].x, want[k].x, tolerance) << what << " point " << k;
    EXPECT_NEAR(got[k].y, want[k].y, tolerance) << what << " point " << k;
  }
}

// --- weighted fit ---------------------------------------------------------------------

TEST(FitCubic, RecoversTheSampledCubicWithAnyPositiveWeights) {
  std::mt19937 rng(20261210);
  for (int n : {4, 7, 100, 1000}) {
    for (bool weighted : {false, true}) {
      f_curve f = sampled(k_cubic, n, weighted ? &rng : nullptr);
      f.fit_cubic();
      const std::string what = "n " + std::to_string(n) + (weighted ? " weighted" : "");
      expect_same_curve(f.v_ctrl_point, k_cubic, n == 4 ? 0.05 : 0.02, what);
      // Expanded form of the error: near 0, possibly slightly negative.
      EXPECT_NEAR(f.total_error, 0.0f, 0.05f * n) << what;
      EXPECT_EQ(f.mean_error, f.total_error / static_cast<float>(n)) << what;
    }
  }
}

TEST(FitCubic, ErrorIsTheWeightedSumAndTheMeanDividesBySampleCount) {
  // Samples off the cubic by known offsets: a cubic cannot follow an alternating
  // offset, so the fit keeps most of it.
  f_curve f = sampled(k_cubic, 200);
  for (std::size_t i = 0; i < f.v_point.size(); ++i) {
    f.v_point[i].y += (i % 2 ? 1.0f : -1.0f);
    f.v_weight[i] = 2.5f;
  }
  f.fit_cubic();
  double direct = 0;
  for (std::size_t i = 0; i < f.v_point.size(); ++i) {
    const dvec2 d = dvec2(f.v_point[i]) - cubic_at(f.v_ctrl_point, f.v_t[i]);
    direct += f.v_weight[i] * (d.x * d.x + d.y * d.y);
  }
  EXPECT_NEAR(f.total_error, direct, 1e-2 * direct);
  EXPECT_NEAR(f.total_error, 2.5 * 200, 0.05 * 2.5 * 200);
  EXPECT_EQ(f.mean_error, f.total_error / 200.0f);  // not by the weight sum, 500
}

TEST(FitCubic, MismatchedSampleListsPrintAaAndChangeNothing) {
  const std::vector<std::pair<int, int>> extra = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  for (const auto& [dt, dw] : extra) {
    f_curve f = sampled(k_cubic, 10);
    f.v_ctrl_point = {{1, 1}};
    f.total_error = 7;
    f.mean_error = 3;
    if (dt > 0) f.v_t.push_back(0.5);
    if (dt < 0) f.v_t.pop_back();
    if (dw > 0) f.v_weight.push_back(1);
    if (dw < 0) f.v_weight.pop_back();
    testing::internal::CaptureStdout();
    f.fit_cubic();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "aa\n");
    ASSERT_EQ(f.v_ctrl_point.size(), 1u);
    EXPECT_EQ(f.total_error, 7);
    EXPECT_EQ(f.mean_error, 3);
  }
}

TEST(FitCubic, SingularSystemsGiveTheLowerDegreeFitAndStayFinite) {
  struct sample {
    double t;
    glm::vec2 p;
    float w;
  };
  struct case_ {
    const char* name;
    std::vector<sample> samples;
  };
  const std::vector<case_> cases = {
      {"one parameter", {{0.3, {10, 20}, 1}, {0.3, {14, 24}, 1}}},
      {"two parameters", {{0.0, {0, 0}, 1}, {1.0, {30, 60}, 2}, {1.0, {30, 60}, 1}}},
      {"three parameters", {{0.0, {0, 0}, 1}, {0.5, {10, 5}, 1}, {1.0, {20, 0}, 1}}},
      {"four parameters, one of zero weight",
       {{0.0, {0, 0}, 1}, {0.4, {10, 5}, 1}, {0.7, {3, 3}, 0}, {1.0, {20, 0}, 1}}},
  };
  for (const case_& c : cases) {
    f_curve f;
    for (const sample& s : c.samples) {
      f.v_t.push_back(s.t);
      f.v_point.push_back(s.p);
      f.v_weight.push_back(s.w);
    }
    f.fit_cubic();
    ASSERT_TRUE(all_finite(f.v_ctrl_point)) << c.name;
    ASSERT_TRUE(std::isfinite(f.total_error) && std::isfinite(f.mean_error)) << c.name;
    // With at most three distinct weighted parameters the curve interpolates the
    // weighted mean at each: the error is what the scatter leaves.
    for (const sample& s : c.samples) {
      if (s.w == 0) continue;
      double sw = 0;
      dvec2 mean(0, 0);
      for (const sample& o : c.samples)
        if (o.t == s.t && o.w != 0) {
          sw += o.w;
          mean += static_cast<double>(o.w) * dvec2(o.p);
        }
      const dvec2 at = cubic_at(f.v_ctrl_point, s.t);
      EXPECT_NEAR(at.x, mean.x / sw, 1e-6) << c.name << " t " << s.t;
      EXPECT_NEAR(at.y, mean.y / sw, 1e-6) << c.name << " t " << s.t;
    }
    EXPECT_EQ(f.mean_error, f.total_error / static_cast<float>(c.samples.size())) << c.name;
  }
  // The scatter of the one-parameter case: two samples 2*sqrt(2) from their mean.
  f_curve f;
  f.v_t = {0.3, 0.3};
  f.v_point = {{10, 20}, {14, 24}};
  f.v_weight = {1, 1};
  f.fit_cubic();
  EXPECT_FLOAT_EQ(f.total_error, 16.0f);
  // A line fitted through two parameters is a line written as a cubic.
  f_curve line;
  line.v_t = {0.0, 1.0};
  line.v_point = {{0, 0}, {30, 60}};
  line.v_weight = {1, 1};
  line.fit_cubic();
  expect_same_curve(line.v_ctrl_point, {{0, 0}, {10, 20}, {20, 40}, {30, 60}}, 1e-9, "line");
}

TEST(FitCubic, NoWeightedSampleKeepsThePointsWithZeroError) {
  f_curve empty;
  empty.fit_cubic();
  ASSERT_EQ(empty.v_ctrl_point.size(), 4u);
  EXPECT_TRUE(all_finite(empty.v_ctrl_point));
  EXPECT_EQ(empty.total_error, 0);
  EXPECT_EQ(empty.mean_error, 0);

  f_curve unweighted = sampled(k_cubic, 5);
  unweighted.v_weight.assign(5, 0.0f);
  unweighted.v_ctrl_point = k_cubic;
  unweighted.fit_cubic();
  EXPECT_EQ(unweighted.v_ctrl_point, k_cubic);
  EXPECT_EQ(unweighted.total_error, 0);
  EXPECT_EQ(unweighted.mean_error, 0);
}

// --- range fits and errors ------------------------------------------------------------

// Every four-point range fit, run on the same samples (the twins on the samples widened
// to double points).
using range_fit = void (*)(const f_curve&, glm::dvec2*, double, double);
const std::vector<std::pair<const char*, range_fit>> k_range_fits = {
    {"float", [](const f_curve& f, dvec2* o, double a, double b) { f.fit_cubic_range(f.v_t, o, a, b); }},
    {"svd", [](const f_curve& f, dvec2* o, double a, double b) { f.fit_cubic_range_svd(f.v_t, o, a, b); }},
    {"float points",
     [](const f_curve& f, dvec2* o, double a, double b) {
       fit_cubic_range_points(std::vector<dvec2>(f.v_point.begin(), f.v_point.end()), f.v_t, o, a, b);
     }},
    {"svd points",
     [](const f_curve& f, dvec2* o, double a, double b) {
       fit_cubic_range_svd_points(std::vector<dvec2>(f.v_point.begin(), f.v_point.end()), f.v_t, o, a,
                                  b);
     }},
};

TEST(FitCubicRange, RecoversTheCubicOverASubrangeAndIgnoresWeights) {
  f_curve f = sampled(k_cubic, 300);
  for (float& w : f.v_weight) w = 0.0f;  // unweighted: weights play no part
  const double t0 = 0.2, t1 = 0.7;
  for (const auto& [name, fit] : k_range_fits) {
    std::vector<dvec2> out(4);
    fit(f, out.data(), t0, t1);
    for (double u : {0.0, 0.3, 0.5, 1.0}) {
      const dvec2 got = cubic_at(out, u), want = cubic_at(k_cubic, t0 + u * (t1 - t0));
      EXPECT_NEAR(got.x, want.x, 0.02) << name << " u " << u;
      EXPECT_NEAR(got.y, want.y, 0.02) << name << " u " << u;
    }
  }
}

TEST(FitCubicRange, DegenerateRangesWriteNothingOrALowerDegreeFit) {
  f_curve f = sampled(k_cubic, 50);
  const std::vector<dvec2> marker = {{-1, -1}, {-2, -2}, {-3, -3}, {-4, -4}};
  for (const auto& [name, fit] : k_range_fits) {
    std::vector<dvec2> out = marker;
    fit(f, out.data(), 0.4, 0.4);
    EXPECT_EQ(out, marker) << name << ": t0 == t1";
    fit(f, out.data(), 1.5, 2.0);
    EXPECT_EQ(out, marker) << name << ": no sample in range";
    // Two samples only: the line through them, not an inverse of a singular matrix.
    f_curve two;
    two.v_t = {0.1, 0.9};
    two.v_point = {{0, 0}, {30, 60}};
    two.v_weight = {1, 1};
    fit(two, out.data(), 0.0, 1.0);
    ASSERT_TRUE(all_finite(out)) << name;
    EXPECT_NEAR(cubic_at(out, 0.1).y, 0.0, 1e-4) << name;
    EXPECT_NEAR(cubic_at(out, 0.9).x, 30.0, 1e-4) << name;
  }
  EXPECT_EQ(cubic_range_error(f, f.v_t, marker.data(), 0.4, 0.4), 0.0);
  EXPECT_TRUE(std::isnan(cubic_range_error(f, f.v_t, marker.data(), 1.5, 2.0)));
  const std::vector<dvec2> pts(f.v_point.begin(), f.v_point.end());
  EXPECT_EQ(cubic_range_error_points(pts, f.v_t, marker.data(), 0.4, 0.4), 0.0);
  EXPECT_TRUE(std::isnan(cubic_range_error_points(pts, f.v_t, marker.data(), 1.5, 2.0)));
}

TEST(CubicRangeError, IsTheUnweightedMeanSquaredDistanceInTheClosedRange) {
  f_curve f;
  f.v_t = {0.0, 0.2, 0.5, 0.8, 1.0};
  f.v_point = {{0, 1}, {3, 4}, {0, 2}, {1, 1}, {9, 9}};
  f.v_weight = {5, 5, 5, 5, 5};
  const std::vector<dvec2> origin(4, dvec2(0, 0));
  // [0.2, 0.8] holds samples 1, 2, 3 (both ends included): (25 + 4 + 2) / 3.
  EXPECT_DOUBLE_EQ(cubic_range_error(f, f.v_t, origin.data(), 0.2, 0.8), 31.0 / 3);
  const std::vector<dvec2> pts(f.v_point.begin(), f.v_point.end());
  EXPECT_DOUBLE_EQ(cubic_range_error_points(pts, f.v_t, origin.data(), 0.2, 0.8), 31.0 / 3);
  // The cubic is reparametrised onto the range: a line from (0, 0) at t0 to (6, 0) at t1.
  const std::vector<dvec2> line = {{0, 0}, {2, 0}, {4, 0}, {6, 0}};
  // Sample 2 at u = 0.5 sits 2 from (3, 0) squared: 9 + 4 = 13; sample 1 at (0, 0):
  // 9 + 16 = 25; sample 3 at (6, 0): 25 + 1 = 26.
  EXPECT_NEAR(cubic_range_error(f, f.v_t, line.data(), 0.2, 0.8), (25.0 + 13 + 26) / 3, 1e-5);
}

TEST(SplitError, WeighsThePartsBySampleCountWithTheCutSampleOnTheRight) {
  f_curve f;
  f.v_t = {0.0, 0.25, 0.5, 0.75, 1.0};
  f.v_point = {{0, 1}, {0, 1}, {0, 2}, {0, 3}, {0, 3}};
  f.v_weight = {1, 1, 1, 1, 1};
  const polygons fits = {std::vector<dvec2>(4, dvec2(0, 0)), std::vector<dvec2>(4, dvec2(0, 3))};
  // Cut at 0.5: left [0, 0.5] errors 1, 1, 4 (sample at 0.5 included), mean 2; right
  // [0.5, 1] errors 1, 0, 0, mean 1/3; counts 2 left, 3 right.
  const double want = (1.0 / 3) * (3.0 / 5) + (2.0 / 5) * 2.0;
  const split_context context{&f, &f.v_t, &fits, 0.0, 1.0};
  EXPECT_DOUBLE_EQ(split_error(context, 0.5), want);
  const std::vector<dvec2> pts(f.v_point.begin(), f.v_point.end());
  const point_split_context point_context{&pts, &f.v_t, &fits, 0.0, 1.0};
  EXPECT_DOUBLE_EQ(split_error_points(point_context, 0.5), want);
}

// --- cut search -----------------------------------------------------------------------

// The search with recording stand-ins for the fits and errors.
struct recorded_search {
  std::vector<std::pair<double, double>> fits;  // every range fitted, in order
  std::vector<double> cuts;                     // every cut evaluated, in order
  double result = 0;
  polygons scratch;

  template <class CutError>
  recorded_search(const std::vector<double>& params, double t0, double t1, double e_all,
                  const CutError& cut_error, float threshold = 0, float gain = 0,
                  float margin = 0, int min_samples = 0) {
    cubic_ls::find_split(
        params, scratch, t0, t1, result, threshold, gain, margin, min_samples,
        [&](dvec2*, double a, double b) { fits.emplace_back(a, b); },
        [&](const dvec2*, double, double) { return e_all; },
        [&](double l) {
          cuts.push_back(l);
          return cut_error(l);
        });
  }
};

std::vector<double> uniform_params(int n) {
  std::vector<double> t;
  for (int i = 0; i < n; ++i) t.push_back(static_cast<double>(i) / (n - 1));
  return t;
}

TEST(FindSplit, ProbesTheMiddleThenTheQuartersWithFitsOverTheWholeRange) {
  const auto params = uniform_params(101);
  // Error falls towards 0.3: the left quarter wins first.
  recorded_search s(params, 0, 1, 10, [](double l) { return 10 * (l - 0.3) * (l - 0.3); });
  ASSERT_GE(s.cuts.size(), 5u);
  EXPECT_EQ(s.cuts[0], 0.5);
  EXPECT_EQ(s.cuts[1], 0.25);
  EXPECT_EQ(s.cuts[2], 0.75);
  // After moving left the bracket is [0, 0.5] around 0.25.
  EXPECT_EQ(s.cuts[3], 0.125);
  EXPECT_EQ(s.cuts[4], 0.375);
  ASSERT_EQ(s.fits.size(), 1 + 2 * s.cuts.size());
  EXPECT_EQ(s.fits[0], std::make_pair(0.0, 1.0));
  for (std::size_t k = 0; k < s.cuts.size(); ++k) {
    EXPECT_EQ(s.fits[1 + 2 * k], std::make_pair(0.0, s.cuts[k]));
    EXPECT_EQ(s.fits[2 + 2 * k], std::make_pair(s.cuts[k], 1.0));
  }
  EXPECT_NEAR(s.result, 0.3, 0.02);
}

TEST(FindSplit, MovesByTheCaseThatHoldsAndStopsWithin0001) {
  const auto params = uniform_params(101);
  struct case_ {
    const char* name;
    double (*error)(double);
    double result;
    std::size_t cuts;
  };
  const std::vector<case_> cases = {
      {"flat: stops at the middle", [](double) { return 5.0; }, 0.5, 3},
      {"differences of 0.001 do not move",
       [](double l) { return l == 0.25 ? 5.0 - 0.001 : 5.0; }, 0.5, 3},
      {"right quarter wins, then its bracket halves around it",
       [](double l) { return l == 0.75 ? 1.0 : 5.0; }, 0.75, std::size_t(-1)},
      {"middle wins: bracket halves around it", [](double l) { return l == 0.5 ? 1.0 : 5.0; },
       0.5, std::size_t(-1)},
      {"a probe error that is not a number stops it",
       [](double l) { return l == 0.5 ? 5.0 : std::nan(""); }, 0.5, 3},
  };
  for (const case_& c : cases) {
    recorded_search s(params, 0, 1, 10, c.error);
    EXPECT_EQ(s.result, c.result) << c.name;
    if (c.cuts != std::size_t(-1)) {
      EXPECT_EQ(s.cuts.size(), c.cuts) << c.name;
    }
  }
  // When the middle keeps winning, the probes close in on it until they fall on it.
  recorded_search s(params, 0, 1, 10, [](double l) { return l == 0.5 ? 1.0 : 5.0; });
  EXPECT_EQ(s.cuts[3], 0.375);
  EXPECT_EQ(s.cuts[4], 0.625);
  EXPECT_EQ(s.cuts.back(), 0.5);
}

TEST(FindSplit, EndsWhenTheBracketCanShrinkNoMore) {
  // A bracket of three adjacent doubles: the quarter probes round onto its ends, and a
  // middle that beats them would otherwise halve the bracket forever.
  const double t0 = 0.5;
  const double m = std::nextafter(t0, 1.0), t1 = std::nextafter(m, 1.0);
  const std::vector<double> params = {t0, m, t1};
  recorded_search s(params, t0, t1, 10, [m](double l) { return l == m ? 1.0 : 5.0; });
  EXPECT_EQ(s.result, m);
  EXPECT_LE(s.cuts.size(), 5u);
}

TEST(FindSplit, ThresholdsDecideTheCut) {
  const f_curve f = corner_stroke(201, 0.6);
  polygons scratch;
  double result = 0;
  // The whole-range error, for the error threshold and gain cases.
  f.find_split(f.v_t, scratch, 0, 1, result, 1e9f, 0, 0, 0);
  ASSERT_EQ(result, -1);
  const double e_all = cubic_range_error(f, f.v_t, scratch[0].data(), 0, 1);
  ASSERT_GT(e_all, 1.0);

  struct case_ {
    const char* name;
    float threshold, gain, margin;
    int min_samples;
    bool cut;
    std::size_t scratch_size;
  };
  const std::vector<case_> cases = {
      {"permissive", 0.5f, 0.1f, 0.05f, 5, true, 2},
      {"whole error below the threshold", static_cast<float>(e_all) * 1.01f, 0, 0, 0, false, 2},
      {"gain not reached", 0.5f, static_cast<float>(e_all), 0, 0, false, 1},
      {"too near an end", 0.5f, 0, 0.45f, 0, false, 1},
      {"too few samples on a side", 0.5f, 0, 0, 90, false, 1},
  };
  for (const case_& c : cases) {
    scratch.clear();
    f.find_split(f.v_t, scratch, 0, 1, result, c.threshold, c.gain, c.margin, c.min_samples);
    EXPECT_EQ(result != -1, c.cut) << c.name << " result " << result;
    EXPECT_EQ(scratch.size(), c.scratch_size) << c.name;
    if (c.cut) {
      EXPECT_NEAR(result, 0.6, 0.01) << c.name;
    }
    for (const auto& polygon : scratch) EXPECT_TRUE(all_finite(polygon)) << c.name;
  }
  // A rejected cut leaves the whole-range fit in the scratch list.
  f.find_split(f.v_t, scratch, 0, 1, result, 0.5f, 0, 0, 90);
  std::vector<dvec2> whole(4);
  f.fit_cubic_range(f.v_t, whole.data(), 0, 1);
  EXPECT_EQ(scratch[0], whole);

  // The point twin runs the same search.
  const std::vector<dvec2> pts(f.v_point.begin(), f.v_point.end());
  find_split_points(pts, f.v_t, scratch, 0, 1, result, 0.5f, 0.1f, 0.05f, 5);
  EXPECT_NEAR(result, 0.6, 0.01);
}

TEST(FindSplit, RejectsACutWithAnEmptySide) {
  // Samples only in [0, 0.3]: the cut at 0.5 has no sample on its right, its error is
  // not a number, and the search ends there; that proves no gain, so no cut.
  f_curve f = corner_stroke(61, 0.5);
  for (double& t : f.v_t) t *= 0.3;
  polygons scratch;
  double result = 0;
  f.find_split(f.v_t, scratch, 0, 1, result, 0.1f, 0, 0, 0);
  EXPECT_EQ(result, -1);
  ASSERT_EQ(scratch.size(), 1u);
  EXPECT_TRUE(all_finite(scratch[0]));
}

// --- cut of a fragment ----------------------------------------------------------------

// One edge of one fragment between two junctions, held by one curve.
struct one_edge_layer {
  layer_graph lg;
  f_curve* f;
  frag_conn* start;
  frag_conn* far;
  edge* e;
  curve* c;

  one_edge_layer() {
    lg.f_curves.emplace_back();
    f = &lg.f_curves.back();
    lg.frag_conns.emplace_back();
    start = &lg.frag_conns.back();
    lg.frag_conns.emplace_back();
    far = &lg.frag_conns.back();
    lg.edges.emplace_back();
    e = &lg.edges.back();
    lg.curves.emplace_back();
    c = &lg.curves.back();
    f->v_t = {0.0, 0.25, 0.5, 0.75, 1.0};
    f->v_point = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}};
    f->v_weight = {1, 2, 3, 4, 5};
    f->v_ctrl_point = {{0, 0}, {1, 0}, {3, 0}, {4, 0}};
    f->mean_error = 0.5f;
    f->total_error = 2.5f;
    f->v_edge = {e};
    f->v_curve = {c};
    f->v_frag_conn = {start, far};
    start->v_frag_end = {{f, 0}};
    far->v_frag_end = {{f, 3}};
    start->v_edge = {e};
    far->v_edge = {e};
    e->v_f_curve = {f};
    e->v_frag_conn = {start, far};
    c->v_f_curve = {f};
  }
};

TEST(SplitAt, MovesTheSamplesFromTAndRelinksEverything) {
  one_edge_layer l;
  ASSERT_EQ(check_fragment_links(l.lg), "");
  l.f->split_at(l.lg, 0.5);
  ASSERT_EQ(check_fragment_links(l.lg), "");
  ASSERT_EQ(l.lg.f_curves.size(), 2u);
  ASSERT_EQ(l.lg.frag_conns.size(), 3u);
  f_curve* tail = &l.lg.f_curves.back();
  frag_conn* cut = &l.lg.frag_conns.back();

  // Samples: strictly before t stay, rescaled; the one at t starts the tail.
  EXPECT_EQ(l.f->v_t, (std::vector<double>{0.0, 0.5}));
  EXPECT_EQ(l.f->v_weight, (std::vector<float>{1, 2}));
  EXPECT_EQ(tail->v_t, (std::vector<double>{0.0, 0.5, 1.0}));
  EXPECT_EQ(tail->v_point, (std::vector<glm::vec2>{{2, 0}, {3, 0}, {4, 0}}));
  EXPECT_EQ(tail->v_weight, (std::vector<float>{3, 4, 5}));

  // Junctions: the far one now names the tail, keeping end 3.
  EXPECT_EQ(l.f->v_frag_conn, (std::vector<frag_conn*>{l.start, cut}));
  EXPECT_EQ(tail->v_frag_conn, (std::vector<frag_conn*>{l.far, cut}));
  ASSERT_EQ(l.far->v_frag_end.size(), 1u);
  EXPECT_EQ(l.far->v_frag_end[0].fragment, tail);
  EXPECT_EQ(l.far->v_frag_end[0].end, 3);
  ASSERT_EQ(cut->v_frag_end.size(), 2u);
  EXPECT_EQ(cut->v_frag_end[0].fragment, l.f);
  EXPECT_EQ(cut->v_frag_end[0].end, 3);
  EXPECT_EQ(cut->v_frag_end[1].fragment, tail);
  EXPECT_EQ(cut->v_frag_end[1].end, 0);
  EXPECT_TRUE(cut->v_node.empty() && cut->v_nconnection.empty() && cut->v_curve.empty());

  // New items at the ends of the edge's and the curve's lists.
  EXPECT_EQ(l.e->v_f_curve, (std::vector<f_curve*>{l.f, tail}));
  EXPECT_EQ(l.e->v_frag_conn, (std::vector<frag_conn*>{l.start, l.far, cut}));
  EXPECT_EQ(cut->v_edge, (std::vector<edge*>{l.e}));
  EXPECT_EQ(l.c->v_f_curve, (std::vector<f_curve*>{l.f, tail}));
  EXPECT_EQ(tail->v_curve, (std::vector<curve*>{l.c}));

  // Nothing refitted.
  EXPECT_EQ(l.f->v_ctrl_point.size(), 4u);
  EXPECT_EQ(l.f->total_error, 2.5f);
  EXPECT_TRUE(tail->v_ctrl_point.empty());
  EXPECT_EQ(tail->total_error, 0);
  EXPECT_EQ(tail->mean_error, 0);
}

TEST(SplitAt, LastParameterLeftIsBelowOne) {
  one_edge_layer l;
  l.f->split_at(l.lg, 0.6);
  EXPECT_EQ(l.f->v_t.size(), 3u);
  EXPECT_LT(l.f->v_t.back(), 1.0);
  EXPECT_DOUBLE_EQ(l.f->v_t.back(), 0.5 / 0.6);
  EXPECT_DOUBLE_EQ(l.lg.f_curves.back().v_t.front(), (0.75 - 0.6) / 0.4);
}

TEST(SplitAt, DoesNothingUnlessTIsInsideTheFragment) {
  for (double t : {0.0, 1.0, -0.5, 1.5, std::nan("")}) {
    one_edge_layer l;
    l.f->split_at(l.lg, t);
    EXPECT_EQ(l.lg.f_curves.size(), 1u) << t;
    EXPECT_EQ(l.lg.frag_conns.size(), 2u) << t;
    EXPECT_EQ(l.f->v_t.size(), 5u) << t;
    EXPECT_EQ(check_fragment_links(l.lg), "") << t;
  }
}

TEST(SplitAt, JunctionWithoutAnEntryForTheFragmentDropsOut) {
  one_edge_layer l;
  l.lg.frag_conns.emplace_back();
  frag_conn* stray = &l.lg.frag_conns.back();
  l.f->v_frag_conn.push_back(stray);
  l.f->split_at(l.lg, 0.5);
  EXPECT_EQ(l.f->v_frag_conn, (std::vector<frag_conn*>{l.start, &l.lg.frag_conns.back()}));
  EXPECT_EQ(check_fragment_links(l.lg), "");
}

TEST(SplitAt, ClosedStrokeIsRelinkedAtBothEnds) {
  // Both ends of the fragment at one junction, listed once or twice by the fragment.
  for (bool listed_twice : {false, true}) {
    one_edge_layer l;
    l.lg.frag_conns.remove_if([&](const frag_conn& j) { return &j == l.far; });
    l.start->v_frag_end = {{l.f, 0}, {l.f, 3}};
    l.e->v_frag_conn = {l.start, l.start};
    l.f->v_frag_conn = listed_twice ? std::vector<frag_conn*>{l.start, l.start}
                                    : std::vector<frag_conn*>{l.start};
    l.f->split_at(l.lg, 0.5);
    const std::string what = listed_twice ? "listed twice" : "listed once";
    EXPECT_EQ(check_fragment_links(l.lg), "") << what;
    f_curve* tail = &l.lg.f_curves.back();
    EXPECT_EQ(l.start->v_frag_end[0].fragment, l.f) << what;
    EXPECT_EQ(l.start->v_frag_end[1].fragment, tail) << what;
    EXPECT_EQ(l.f->v_frag_conn.size(), 2u) << what;
    EXPECT_EQ(tail->v_frag_conn.size(), 2u) << what;
  }
}

TEST(SplitIfBetter, CutsACorneredStrokeOnceAndLeavesACubicWhole) {
  const auto with_samples = [](one_edge_layer& l, const f_curve& samples) {
    l.f->v_t = samples.v_t;
    l.f->v_point = samples.v_point;
    l.f->v_weight = samples.v_weight;
  };
  one_edge_layer smooth;
  with_samples(smooth, sampled(k_cubic, 100));
  smooth.f->split_if_better(smooth.lg, 0.5f, 0.1f, 0.05f, 5);
  EXPECT_EQ(smooth.lg.f_curves.size(), 1u);
  EXPECT_EQ(smooth.lg.frag_conns.size(), 2u);

  one_edge_layer cornered;
  with_samples(cornered, corner_stroke(201, 0.6));
  cornered.f->split_if_better(cornered.lg, 0.5f, 0.1f, 0.05f, 5);
  ASSERT_EQ(cornered.lg.f_curves.size(), 2u);
  EXPECT_EQ(cornered.lg.frag_conns.size(), 3u);
  EXPECT_EQ(check_fragment_links(cornered.lg), "");
  // Each part is a straight run now: refitted, both fit closely.
  for (f_curve& part : cornered.lg.f_curves) {
    part.fit_cubic();
    EXPECT_LT(part.mean_error, 1.0f);
  }
}

// --- piecewise fits -------------------------------------------------------------------

TEST(FitPieces, OneCubicWhenNoCutElseTwoToFourFinitePolygons) {
  const f_curve smooth = sampled(k_cubic, 100);
  polygons out;
  smooth.fit_pieces(out, 0.5f, 0.1f, 0.05f, 5);
  ASSERT_EQ(out.size(), 1u);
  expect_same_curve(out[0], k_cubic, 1e-4, "smooth");

  // Corners at 0.3 and 0.7: a cut, then a cut in at least one half.
  f_curve zigzag;
  for (int i = 0; i < 301; ++i) {
    const double t = i / 300.0;
    const double y = t < 0.3 ? t : t < 0.7 ? 0.6 - t : t - 0.8;
    zigzag.v_t.push_back(t);
    zigzag.v_point.push_back(glm::vec2(static_cast<float>(300 * t), static_cast<float>(300 * y)));
    zigzag.v_weight.push_back(1);
  }
  testing::internal::CaptureStdout();
  zigzag.fit_pieces(out, 0.5f, 0.1f, 0.05f, 5);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_GE(out.size(), 2u);
  EXPECT_LE(out.size(), 4u);
  EXPECT_TRUE(printed.empty() || printed == "3.0\n" || printed == "3.1\n" || printed == "3.2\n")
      << printed;
  for (const auto& polygon : out) {
    EXPECT_EQ(polygon.size(), 4u);
    EXPECT_TRUE(all_finite(polygon));
  }

  const std::vector<dvec2> pts(zigzag.v_point.begin(), zigzag.v_point.end());
  polygons out_points;
  testing::internal::CaptureStdout();
  fit_pieces_points(pts, zigzag.v_t, out_points, 0.5f, 0.1f, 0.05f, 5);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), printed);
  EXPECT_EQ(out_points.size(), out.size());
}

}  // namespace

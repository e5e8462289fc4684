#include "pipeline/allowed_degrees.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "graph/curve_network.h"
#include "pipeline/recuit.h"
#include "pipeline/view_settings.h"
#include "support/network_checker.h"
#include "support/wavy_grid.h"

namespace {

// Points main_gl_widget at a settings record allowing `degrees` for the test's scope.
struct scoped_view {
  view_settings settings;
  explicit scoped_view(const std::set<int>& degrees = {1, 2, 3}) {
    for (int d = 1; d <= 3; ++d) settings.allowed_degree[d] = degrees.count(d) ? 2 : 0;
    main_gl_widget = &settings;
  }
  ~scoped_view() { main_gl_widget = nullptr; }
};

std::set<int> degrees_in(const curve_network& net) {
  std::set<int> out;
  for (const layer_graph& lg : net)
    for (const curve& c : lg.curves) out.insert(c.v_segment.at(0).degree);
  return out;
}

// FNV-1a over every curve's degree, fragment count, mean error and control points in
// list order, and the optimiser's energy: equal digests mean equal results, bit for bit.
std::uint64_t digest(const curve_network& net, float E) {
  std::uint64_t h = 1469598103934665603ull;
  auto add = [&](const void* p, std::size_t n) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 1099511628211ull;
  };
  for (const layer_graph& lg : net)
    for (const curve& c : lg.curves) {
      const curve_segment& s = c.v_segment.at(0);
      const std::uint64_t n = c.v_f_curve.size();
      add(&s.degree, sizeof s.degree);
      add(&n, sizeof n);
      add(&c.mean_error, sizeof c.mean_error);
      for (const glm::dvec2& p : s.v_ctrl_point) add(&p, sizeof p);
    }
  add(&E, sizeof E);
  return h;
}

// A seeded interactive run on a wavy 5 x 5 lattice of cubic curves, set up without the
// view (as the worker's optimiser is built), with a fixed schedule.
struct seeded_run {
  curve_network net;
  recuit opt{&net};
  seeded_run() {
    fixture::wavy_grid(net.emplace_back(), 5);
    opt.read_config_v2(0.5f, 0.999f);  // tables and E0
    opt.gen.seed(2718);
    opt.Ti = opt.T = 1.0f;
    opt.dt = 0.999f;
    opt.lambda = 0.5f;
    opt.mu = 0.01f;
    opt.nb_it = 400;  // short: many curves never get a degree move of their own
    opt.k = 0;
    opt.print_interval = 100;
    opt.progress_scale = 100.0 / opt.nb_it;
  }
  // Time slices from k up to (not past) `until`.
  void slices_until(int until) {
    testing::internal::CaptureStdout();
    const int end = opt.nb_it;
    opt.nb_it = until;
    while (opt.k < opt.nb_it) opt.run_time_slice();
    opt.nb_it = end;
    testing::internal::GetCapturedStdout();
  }
};

TEST(NearestAllowedDegree, TheDegreeItselfElseTheNearestLowerElseHigher) {
  struct row {
    int allowed[4];
    int d, expected;
  };
  const row rows[] = {
      {{0, 1, 1, 1}, 3, 3}, {{0, 1, 1, 1}, 1, 1}, {{0, 1, 0, 0}, 3, 1}, {{0, 0, 1, 0}, 3, 2},
      {{0, 0, 1, 0}, 1, 2}, {{0, 1, 0, 1}, 2, 1}, {{0, 0, 0, 1}, 1, 3}, {{0, 0, 1, 1}, 1, 2},
      {{0, 1, 1, 0}, 3, 2}, {{0, 0, 0, 0}, 2, 2},  // none allowed: left as it is
      {{0, 0, 1, 0}, 0, 0},                        // a centroid is no box's degree
  };
  for (const row& r : rows)
    EXPECT_EQ(nearest_allowed_degree(r.allowed, r.d), r.expected)
        << "degree " << r.d << " under {" << r.allowed[1] << r.allowed[2] << r.allowed[3] << "}";
  EXPECT_EQ(allowed_degree_for(2), 2);  // no view: every degree
  scoped_view view({1});
  EXPECT_EQ(allowed_degree_for(2), 1);
}

// Unticked degrees leave the network at once; with all three ticked, or without the
// view, nothing is refitted.
TEST(RefitAtAllowedDegrees, RefitsOnlyCurvesAtUntickedDegrees) {
  curve_network net;
  layer_graph& lg = net.emplace_back();
  fixture::wavy_grid(lg, 3);
  lg.curves.front().refit_at_degree(2);
  const std::uint64_t before = digest(net, 0);
  EXPECT_EQ(refit_at_allowed_degrees(net), 0u);
  {
    scoped_view all;
    EXPECT_EQ(refit_at_allowed_degrees(net), 0u);
  }
  EXPECT_EQ(digest(net, 0), before);

  scoped_view view({1, 3});
  EXPECT_EQ(refit_at_allowed_degrees(net), 1u);  // the quadratic, to a line
  EXPECT_EQ(degrees_in(net), (std::set<int>{1, 3}));
  const curve& line = lg.curves.front();
  EXPECT_EQ(line.v_segment[0].v_ctrl_point.size(), 2u);
  curve fresh = line;
  fresh.refit();
  EXPECT_EQ(fresh.mean_error, line.mean_error);  // refitted at its new degree
  EXPECT_EQ(check_network(lg), "");
}

// A frozen curve keeps its control points bit for bit when its degree is unticked: by
// the refit itself, and through a run's time slices (which refit before and after).
TEST(RefitAtAllowedDegrees, LeavesFrozenCurvesExactlyAsTheyAre) {
  const auto points_of = [](const curve& c) { return c.v_segment.at(0).v_ctrl_point; };
  const auto same_bits = [](const std::vector<glm::dvec2>& a, const std::vector<glm::dvec2>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(glm::dvec2)) == 0;
  };
  {
    curve_network net;
    layer_graph& lg = net.emplace_back();
    fixture::wavy_grid(lg, 3);
    curve& frozen = lg.curves.front();
    const std::vector<glm::dvec2> before = points_of(frozen);
    ASSERT_EQ(before.size(), 4u);
    scoped_view view({1, 2});
    view.settings.fixed_curves.insert(&frozen);
    EXPECT_EQ(refit_at_allowed_degrees(net), lg.curves.size() - 1);
    EXPECT_TRUE(same_bits(points_of(frozen), before));
    EXPECT_EQ(frozen.v_segment[0].degree, 3);
    for (const curve& c : lg.curves) {
      if (&c == &frozen) continue;
      EXPECT_EQ(c.v_segment[0].degree, 2);
    }
    EXPECT_EQ(check_network(lg), "");
  }
  seeded_run run;
  scoped_view view({1, 2});
  curve& frozen = run.net.front().curves.front();
  const std::vector<glm::dvec2> before = points_of(frozen);
  view.settings.fixed_curves.insert(&frozen);
  run.slices_until(run.opt.nb_it);
  // Never a move's curve nor a partner, so never erased: the pointer still holds.
  ASSERT_EQ(&run.net.front().curves.front(), &frozen);
  EXPECT_TRUE(same_bits(points_of(frozen), before));
  std::size_t cubics = 0;
  for (const curve& c : run.net.front().curves) cubics += c.v_segment.at(0).degree == 3;
  EXPECT_EQ(cubics, 1u);  // the frozen one only
  EXPECT_EQ(check_network(run.net.front()), "");
}

// A run with degrees unticked holds only the ticked ones at its end, however they are
// ticked, also when a box is unticked halfway through.
TEST(AllowedDegreesInARun, TheResultHoldsOnlyTickedDegrees) {
  struct row {
    std::set<int> first_half, second_half;
  };
  const row rows[] = {
      {{1}, {1}},       {{2}, {2}},       {{3}, {3}},          {{1, 2}, {1, 2}}, {{1, 3}, {1, 3}},
      {{2, 3}, {2, 3}}, {{1, 2, 3}, {1, 2}}, {{1, 2, 3}, {2}}, {{1}, {1, 3}},
  };
  for (const row& r : rows) {
    seeded_run run;
    scoped_view view(r.first_half);
    run.slices_until(run.opt.nb_it / 2);
    for (int d = 1; d <= 3; ++d) view.settings.allowed_degree[d] = r.second_half.count(d) ? 2 : 0;
    run.slices_until(run.opt.nb_it);
    const std::set<int> got = degrees_in(run.net);
    std::string why = "ticked";
    for (int d : r.first_half) why += " " + std::to_string(d);
    why += ", then";
    for (int d : r.second_half) why += " " + std::to_string(d);
    for (int d : got) EXPECT_TRUE(r.second_half.count(d)) << why << ": degree " << d << " in the result";
    EXPECT_EQ(check_network(run.net.front()), "") << why;
    const float e = run.net.energy(run.opt.lambda, run.opt.mu);
    EXPECT_NEAR(run.opt.E, e, 1e-4 * std::max(1.0f, std::fabs(e))) << why;
  }
}

// All three ticked: the run is the one the optimiser always made, bit for bit, and it
// does use more than one degree (so the rows above are a real restriction).
TEST(AllowedDegreesInARun, AllTickedChangesNothing) {
  seeded_run run;
  scoped_view view;
  run.slices_until(run.opt.nb_it);
  EXPECT_GE(degrees_in(run.net).size(), 2u);
  // The digest of this run as the optimiser made it before it applied the boxes.
  EXPECT_EQ(digest(run.net, run.opt.E), 0x8ad522fe0ecaf933ull) << std::hex << digest(run.net, run.opt.E);
}

}  // namespace

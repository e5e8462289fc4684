#include "pipeline/recuit.h"

#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "graph/curve_network.h"
#include "pipeline/recuit_config.h"
#include "pipeline/view_settings.h"

namespace {

// Two layers: fragments with total errors 3 and 6 (10 and 20 samples) and two
// connections; then one fragment of 30 exact samples and one connection.
curve_network two_layer_network() {
  curve_network net;
  auto add_fragment = [](layer_graph& L, float total_error, int samples) {
    f_curve& f = L.f_curves.emplace_back();
    f.v_point.resize(samples);
    f.v_weight.assign(samples, 1.0f);
    f.total_error = total_error;
  };
  layer_graph& a = net.emplace_back();
  add_fragment(a, 3.0f, 10);
  add_fragment(a, 6.0f, 20);
  a.nconnections.resize(2);
  layer_graph& b = net.emplace_back();
  add_fragment(b, 0.0f, 30);
  b.nconnections.resize(1);
  return net;
}

TEST(RecuitSetup, BatchSetupFromTheShippedSchedule) {
  curve_network net = two_layer_network();
  recuit opt(&net);
  opt.k = 7;
  opt.read_config_v2(0.5f, 0.9999f);
  const recuit_v2_config c = read_recuit_v2_config();

  EXPECT_EQ(opt.cumulative_fcurves, (std::vector<int>{2, 3}));
  EXPECT_EQ(opt.fragment_dist.a(), 0);
  EXPECT_EQ(opt.fragment_dist.b(), 2);
  EXPECT_EQ(opt.end_dist.b(), 2);
  EXPECT_EQ(opt.k, 0);
  EXPECT_EQ(opt.lambda, 0.5f);
  EXPECT_EQ(opt.dt, 0.9999f);
  EXPECT_EQ(opt.Ti, c.Ti);
  EXPECT_EQ(opt.T, opt.Ti);  // the first step starts at the initial temperature
  EXPECT_EQ(opt.mu, c.mu);
  if (c.Ti == 1.0f && c.T_final == 0.001f) {
    EXPECT_EQ(opt.nb_it, 69062);
    EXPECT_EQ(opt.print_interval, 1000);
  }
  EXPECT_DOUBLE_EQ(opt.progress_scale, 100.0 / opt.nb_it);
  // 3/60 + 6/60 + 2 lambda + 0/60 + lambda: no (1 - lambda), no mu, no degree weights.
  EXPECT_FLOAT_EQ(opt.E, 0.15f + 3 * 0.5f);
}

TEST(RecuitSetup, BatchSetupWithoutFiniteScheduleRunsNothing) {
  curve_network net = two_layer_network();
  recuit opt(&net);
  for (float dt : {1.0f, 1.5f, 0.0f, -0.5f}) {
    SCOPED_TRACE(dt);
    testing::internal::CaptureStderr();
    opt.read_config_v2(0.5f, dt);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("nb_it set to 0"), std::string::npos);
    EXPECT_EQ(opt.nb_it, 0);
    EXPECT_EQ(opt.progress_scale, 0.0);
    EXPECT_GE(opt.print_interval, 1000);
  }
}

// A network without fragments (a file may hold any count and energy) gets the schedule's
// count and no energy; the bounds and the progress members stay as they were.
TEST(RecuitSetup, EmptyNetworkKeepsBoundsAndTakesTheScheduleCount) {
  curve_network net;
  net.emplace_back();  // a layer without fragments
  recuit opt(&net);
  opt.E = 42.0f;
  opt.progress_scale = 3.0;
  opt.print_interval = 5;
  opt.nb_it = 200000000;
  view_settings view;
  int hook_calls = 0;
  view.on_optimiser_setup = [&](int, float) { ++hook_calls; };
  main_gl_widget = &view;
  testing::internal::CaptureStdout();
  opt.read_config();
  EXPECT_EQ(opt.nb_it, read_recuit_config().nb_it);
  EXPECT_EQ(opt.E, 0.0f);
  opt.E = 42.0f;
  opt.nb_it = 200000000;
  opt.read_config_v2(0.5f, 0.9999f);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  main_gl_widget = nullptr;
  const recuit_v2_config c = read_recuit_v2_config();
  if (c.Ti == 1.0f && c.T_final == 0.001f) {
    EXPECT_EQ(opt.nb_it, 69062);
  }
  EXPECT_LT(opt.nb_it, 200000000);

  EXPECT_EQ(hook_calls, 0);
  EXPECT_EQ(opt.cumulative_fcurves, (std::vector<int>{0}));
  EXPECT_EQ(opt.fragment_dist.b(), INT_MAX);
  EXPECT_EQ(opt.end_dist.b(), INT_MAX);
  // The energy printed after the set-up is that of no fragments, not the last drawing's.
  EXPECT_EQ(opt.E, 0.0f);
  EXPECT_EQ(opt.progress_scale, 3.0);
  EXPECT_EQ(opt.print_interval, 5);
}

TEST(RecuitSetup, InteractiveSetupTellsTheViewAndPrintsTheParameters) {
  curve_network net = two_layer_network();
  recuit opt(&net);  // no view yet: nothing printed, nothing told
  const recuit_config c = read_recuit_config();

  view_settings view;
  view.pending_iteration = 12;
  view.pending_lambda = 0.7f;
  int told_nb_it = -5;
  float told_lambda = -5;
  view.on_optimiser_setup = [&](int n, float l) {
    told_nb_it = n;
    told_lambda = l;
  };
  main_gl_widget = &view;
  testing::internal::CaptureStdout();
  opt.read_config();
  const std::string out = testing::internal::GetCapturedStdout();
  main_gl_widget = nullptr;

  EXPECT_EQ(told_nb_it, c.nb_it);
  EXPECT_EQ(told_lambda, c.lambda);
  EXPECT_EQ(view.pending_iteration, -1);
  EXPECT_EQ(view.pending_lambda, -1);
  EXPECT_EQ(opt.Ti, c.T);
  EXPECT_FLOAT_EQ(opt.E, 0.15f + 3 * c.lambda);
  EXPECT_GE(opt.print_interval, 1);
  EXPECT_EQ(out.rfind("(Ti,dt)=(", 0), 0u) << out;
  EXPECT_NE(out.find("), nb_it=" + std::to_string(c.nb_it) + ", (lambda,mu)=("),
            std::string::npos) << out;
  EXPECT_NE(out.find("), E0="), std::string::npos) << out;
}

}  // namespace

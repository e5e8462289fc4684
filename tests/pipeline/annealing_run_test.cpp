#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "graph/curve_network.h"
#include "io/output_names.h"
#include "pipeline/recuit.h"
#include "support/layer_fixtures.h"
#include "support/network_checker.h"
#include "support/temp_folder.h"
#include "support/wavy_grid.h"

namespace {

namespace fs = std::filesystem;

TEST(AnnealingRun, CompleteBatchRunLowersTheEnergyAndWritesItsFiles) {
  curve_network net;
  layer_graph& L = net.emplace_back();
  fixture::wavy_grid(L, 6);  // 60 curves
  recuit opt(&net);
  opt.read_config_v2(0.5f, 0.999f);
  opt.gen.seed(12345);
  ASSERT_EQ(opt.nb_it, 6904);  // (ln 0.001 - ln 1) / ln 0.999 with the shipped temperatures
  const float initial = net.energy(opt.lambda, opt.mu);

  fixtures::temp_working_folder scratch("annealing_run");
  testing::internal::CaptureStdout();
  opt.run_all();
  testing::internal::GetCapturedStdout();

  EXPECT_EQ(opt.k, opt.nb_it);
  EXPECT_EQ(check_network(L), "");
  const float final_energy = net.energy(opt.lambda, opt.mu);
  EXPECT_LE(final_energy, initial);
  EXPECT_LT(L.curves.size(), 60u);
  // The lattice lines are gentle waves: every curve stays within about a pixel of its
  // samples (mean squared distance below 1 pixel squared).
  for (const curve& c : L.curves) EXPECT_LT(c.v_segment[0].error(), 1.0);

  EXPECT_TRUE(fs::is_regular_file("0.svg"));
  EXPECT_FALSE(fs::exists("10000.svg"));
  std::ifstream csv("energy_decrease.csv");
  int lines = 0;
  float last = 0;
  for (std::string line; std::getline(csv, line); ++lines) last = std::stof(line);
  EXPECT_EQ(lines, opt.nb_it);
  EXPECT_NEAR(last, opt.E, 1e-5f * std::fabs(opt.E));  // six significant digits
}

// A picture with its colours blanked (they are shuffled afresh for every picture): the
// geometry of its elements, in their order.
std::string geometry_of(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  std::string s = text.str();
  for (const std::string key : {" stroke=\"", " fill=\""})
    for (std::size_t at = s.find(key); at != std::string::npos; at = s.find(key, at + key.size())) {
      const std::size_t value = at + key.size();
      s.erase(value, s.find('"', value) - value);
    }
  return s;
}

TEST(AnnealingRun, FirstPictureShowsTheFinishingPassesInOrderBeforeTheRefit) {
  // The T's three arms meet at its centre: the joint curve fit gives their centre ends
  // one point, the slide moves each lone end; the refit after the picture fits every
  // curve alone again. A second run of the same seed takes those steps by hand.
  curve_network run, by_hand;
  for (curve_network* net : {&run, &by_hand}) {
    layer_graph& T = net->emplace_back();
    fixture::t_junction(T);
    fixture::make_wavy(T);
  }
  recuit a(&run), b(&by_hand);
  a.read_config_v2(0.5f, 0.999f);
  b.read_config_v2(0.5f, 0.999f);
  a.gen.seed(3);
  b.gen.seed(3);
  a.nb_it = 1;
  fixtures::temp_working_folder scratch("first_picture");
  testing::internal::CaptureStdout();
  a.run_all();
  b.step_batch();
  layer_graph& L = by_hand.front();
  L.fit_joined_curves();
  L.slide_one_lone_end();
  L.slide_both_lone_ends();
  by_hand.save_curves_svg("by_hand.svg", false);
  const std::string passes_only = geometry_of("by_hand.svg");
  L.refit_curves();
  by_hand.save_curves_svg("refitted.svg", false);
  testing::internal::GetCapturedStdout();
  ASSERT_NE(passes_only, geometry_of("refitted.svg"));  // the passes show in the picture
  EXPECT_EQ(geometry_of("0.svg"), passes_only);
  auto c = run.front().curves.begin();
  for (const curve& h : L.curves) EXPECT_EQ((c++)->v_segment[0].v_ctrl_point, h.v_segment[0].v_ctrl_point);
}

TEST(AnnealingRun, RunWithoutFragmentsWritesAnEmptyEnergyFile) {
  curve_network net;
  net.emplace_back();
  recuit opt(&net);
  opt.read_config_v2(0.5f, 0.999f);  // no fragment: nb_it stays as the set-up left it
  opt.nb_it = 50;
  fixtures::temp_working_folder scratch("annealing_run_empty");
  opt.run_all();
  EXPECT_EQ(opt.k, 50);
  std::ifstream csv("energy_decrease.csv");
  int lines = 0;
  for (std::string line; std::getline(csv, line);) ++lines;
  EXPECT_EQ(lines, 50);  // one energy per iteration, each iteration a no-op
}

TEST(AnnealingRun, RunsNoProgramCallsEndConsistent) {
  curve_network net;
  fixture::wavy_grid(net.emplace_back(), 4);
  recuit opt(&net);
  opt.read_config_v2(0.5f, 0.99f);
  opt.gen.seed(77);
  opt.k = 25;
  testing::internal::CaptureStdout();
  opt.run();  // from k = 0 to nb_it
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(opt.k, opt.nb_it);
  EXPECT_EQ(check_network(net.front()), "");

  // anneal reads config/recuit.conf and writes its pictures below the output root.
  const std::string saved_root = output_root;
  fixtures::temp_working_folder scratch("anneal_root");
  fs::create_directories("tmp/recuit_end");
  fs::create_directories("tmp/recuit_final_snap");
  output_root = scratch.folder.string() + "/";
  set_current_sketch("lattice");
  curve_network other;
  fixture::wavy_grid(other.emplace_back(), 3);
  testing::internal::CaptureStdout();
  other.anneal();
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(check_network(other.front()), "");
  EXPECT_TRUE(fs::is_regular_file("tmp/recuit_final_snap/latticecurvature.svg"));
  output_root = saved_root;
  clear_current_sketch();
}

}  // namespace

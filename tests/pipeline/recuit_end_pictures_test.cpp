#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "graph/curve_network.h"
#include "io/output_names.h"
#include "support/layer_fixtures.h"
#include "support/network_checker.h"
#include "support/topology_builder.h"

namespace {

namespace fs = std::filesystem;

TEST(RecuitEndPictures, WritesTheSetAndKeepsTheNetworkConsistent) {
  const std::string saved_root = output_root;
  const fs::path root =
      fs::path(testing::TempDir()) / ("recuit_end_root_" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "tmp/recuit_end");
  fs::create_directories(root / "tmp/recuit_final_snap");
  output_root = root.string() + "/";
  set_current_sketch("drawing");

  curve_network net;
  fixture::t_junction(net.emplace_back());
  fixture::chain_of_three(net.emplace_back());
  for (layer_graph& L : net) L.height = L.width = 128;
  testing::internal::CaptureStdout();
  net.write_recuit_end("_s");
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.substr(0, 1), "\n");

  const char* end_files[] = {"drawing.svg",
                             "drawing_s_conn.svg",
                             "drawing_s_conn_blue.svg",
                             "drawing_s_conn_snap.svg",
                             "drawing_s_conn_snap_blue.svg",
                             "drawing_s_conn_snap_double.svg",
                             "drawing_s_conn_snap_double_blue.svg"};
  for (const char* name : end_files)
    EXPECT_TRUE(fs::is_regular_file(root / "tmp/recuit_end" / name)) << name;
  for (const char* name : {"drawing_s.svg", "drawing_scurvature.svg"})
    EXPECT_TRUE(fs::is_regular_file(root / "tmp/recuit_final_snap" / name)) << name;
  for (const layer_graph& L : net) EXPECT_EQ(check_network(L), "");

  // Without the folders the pictures are skipped and the passes still run.
  fs::remove_all(root / "tmp");
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  net.write_recuit_end("");
  testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
  for (const layer_graph& L : net) EXPECT_EQ(check_network(L), "");

  output_root = saved_root;
  clear_current_sketch();
  fs::remove_all(root);
}


std::string text_of(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A bar of three fragments from (0, 0) to (30, 0), one curve, with two stems running
// into it whose samples stop 2 pixels short of it: the stem at (6, 2) .. (6, 10) meets
// a cap curve at its top (one lone end, at the bar); the stem at (24, -2) .. (24, -10)
// ends alone at both ends. Fitted alone, the stems stop short of the bar; the slides
// put their lone ends on it, one pass each.
void stems_on_a_bar(layer_graph& L) {
  using namespace topology_builder;
  frag_conn* left = add_junction(L);
  frag_conn* a = add_junction(L);
  frag_conn* b = add_junction(L);
  frag_conn* top = add_junction(L);
  add_fragment(L, left, a, {0, 0}, {10, 0});
  add_fragment(L, a, b, {10, 0}, {20, 0});
  add_fragment(L, b, add_junction(L), {20, 0}, {30, 0});
  add_fragment(L, a, top, {6, 2}, {6, 10}, 21);
  add_fragment(L, top, add_junction(L), {6, 10}, {12, 14});
  add_fragment(L, b, add_junction(L), {24, -2}, {24, -10}, 21);
  fixture::link_one_curve_per_fragment(L);
  auto bar = L.curves.begin();
  bar->absorb(L, &*std::next(bar));
  bar->absorb(L, &*std::next(bar));
  L.refit_curves();
}

TEST(RecuitEndPictures, EachPictureShowsTheNetworkAfterItsPass) {
  // A wavy T (each arm with one lone end) and the stems on a bar; a second copy takes
  // the passes by hand. The blue pictures are compared byte for byte.
  const std::string saved_root = output_root;
  const fs::path root = fs::path(testing::TempDir()) / ("recuit_end_order_" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "tmp/recuit_end");
  fs::create_directories(root / "tmp/recuit_final_snap");
  output_root = root.string() + "/";
  set_current_sketch("drawing");

  curve_network run, by_hand;
  for (curve_network* net : {&run, &by_hand}) {
    layer_graph& T = net->emplace_back();
    fixture::t_junction(T);
    fixture::make_wavy(T);
    stems_on_a_bar(net->emplace_back());
    for (layer_graph& L : *net) L.height = L.width = 128;
  }
  testing::internal::CaptureStdout();
  run.write_recuit_end("_s");
  std::vector<std::string> expected;
  auto picture = [&] {
    by_hand.save_curves_svg((root / "by_hand.svg").string(), true);
    expected.push_back(text_of(root / "by_hand.svg"));
  };
  picture();
  for (layer_graph& L : by_hand) L.fit_joined_curves();
  picture();
  for (layer_graph& L : by_hand) L.slide_one_lone_end();
  picture();
  for (layer_graph& L : by_hand) L.slide_both_lone_ends();
  picture();
  testing::internal::GetCapturedStdout();

  const fs::path end = root / "tmp/recuit_end";
  const std::string written[] = {text_of(end / "drawing_s_conn_blue.svg"), text_of(end / "drawing_s_conn_snap_blue.svg"),
                                 text_of(end / "drawing_s_conn_snap_double_blue.svg")};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(written[i], expected[i + 1]) << "picture " << i;
    EXPECT_NE(expected[i + 1], expected[i]) << "pass " << i << " changes nothing here";
  }
  EXPECT_EQ(text_of(root / "tmp/recuit_final_snap/drawing_s.svg"), expected[3]);

  output_root = saved_root;
  clear_current_sketch();
  fs::remove_all(root);
}

}  // namespace

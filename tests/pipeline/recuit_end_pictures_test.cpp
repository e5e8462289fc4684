#include <filesystem>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "graph/curve_network.h"
#include "io/output_names.h"
#include "support/layer_fixtures.h"
#include "support/network_checker.h"

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

}  // namespace

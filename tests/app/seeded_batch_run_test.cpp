// Seeded batch runs give the same files, byte for byte, as the stored ones in
// tests/fixtures/batch/: the result SVG, the ".error" file, energy_decrease.csv and the
// picture after the 10000th iteration of three drawings taken through the batch path
// (extraction, annealing with a shortened schedule, finishing passes). Any change of the
// results shows here, so work that is meant to change only the speed can be checked
// against the files.
//
// The SVGs' curve colours come from a std::random_device; they are replaced by
// "#colour" before the comparison, so only the geometry and the order count.
//
// After a change that is meant to change the results, write the files again with
//   VELLUMTRACE_UPDATE_FIXTURES=1 build/src/app/app_tests --gtest_filter='SeededBatchRun.*'
// run from the repository root, and commit them.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include "app/batch_tests.h"
#include "app/data_thread.h"
#include "graph/curve_network.h"
#include "support/sketch_fixtures.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

const fs::path fixture_dir = fs::path(VELLUMTRACE_SOURCE_DIR) / "tests" / "fixtures" / "batch";

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Every stroke="#rrggbb" of an SVG text as stroke="#colour".
std::string without_colours(std::string svg) {
  const std::string key = "stroke=\"#";
  for (std::size_t at = svg.find(key); at != std::string::npos; at = svg.find(key, at + 1)) {
    const std::size_t start = at + key.size();
    const std::size_t end = svg.find('"', start);
    if (end == std::string::npos) break;
    svg.replace(start, end - start, "colour");
  }
  return svg;
}

void spit(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary);
  out << bytes;
  ASSERT_TRUE(out.good()) << p;
}

bool updating() {
  const char* v = std::getenv("VELLUMTRACE_UPDATE_FIXTURES");
  return v != nullptr && *v != '\0' && std::string(v) != "0";
}

struct run_files {
  std::string svg, error, energies;
  std::string picture;  // the run's picture after the 10000th iteration, "10000.svg"
};

// One batch test on the sketch file at `path` (absolute), in a scratch working folder
// holding a copy of the repository's config/: C rand() and the optimiser's engine
// seeded with `seed`.
run_files seeded_batch_run(const std::string& path, float lambda, float dt, unsigned seed) {
  fixtures::temp_working_folder scratch("seeded_batch_run");
  fs::copy(fs::path(VELLUMTRACE_SOURCE_DIR) / "config", "config", fs::copy_options::recursive);
  run_files files;
  testing::internal::CaptureStdout();
  {
    cv::Mat input_image, region_image, boundary_image;
    curve_network network;
    data_thread worker(&network, &input_image, &region_image, nullptr);
    std::srand(seed);
    if (!extract_batch_network(path, input_image, region_image, boundary_image, network, worker)) {
      testing::internal::GetCapturedStdout();
      ADD_FAILURE() << "cannot extract " << path;
      return files;
    }
    worker.optimiser.gen.seed(seed);
    optimise_batch_network(network, worker.optimiser, lambda, dt);
    write_batch_results("result", network, worker.optimiser);
  }
  testing::internal::GetCapturedStdout();
  files.svg = without_colours(slurp("result.svg"));
  files.error = slurp("result.error");
  files.energies = slurp("energy_decrease.csv");
  files.picture = without_colours(slurp("10000.svg"));
  return files;
}

void check_or_update(const std::string& name, const run_files& files) {
  const std::pair<std::string, const std::string*> parts[] = {
      {name + ".svg", &files.svg},
      {name + ".error", &files.error},
      {name + "_energy_decrease.csv", &files.energies},
      {name + "_10000.svg", &files.picture},
  };
  for (const auto& [file, bytes] : parts) {
    SCOPED_TRACE(file);
    ASSERT_FALSE(bytes->empty());
    if (updating()) {
      fs::create_directories(fixture_dir);
      spit(fixture_dir / file, *bytes);
      continue;
    }
    ASSERT_TRUE(fs::exists(fixture_dir / file)) << "no stored file; see the head of this test";
    // EXPECT_TRUE rather than EXPECT_EQ: a whole SVG in the failure message helps nobody.
    const std::string stored = slurp(fixture_dir / file);
    EXPECT_TRUE(stored == *bytes) << "differs from the stored file (" << bytes->size() << " bytes against "
                                  << stored.size() << ")";
  }
}

// With dt 0.9995 and the shipped temperatures 1 to 0.001 a run has 13812 iterations, so
// it passes the pictures and finishing passes after the first and the 10000th.
constexpr float short_dt = 0.9995f;

TEST(SeededBatchRun, IconOfADozenStrokes) {
  const std::string path = fixtures::temp_path("seeded_icon.png");
  ASSERT_TRUE(cv::imwrite(path, fixtures::icon_sketch()));
  check_or_update("icon", seeded_batch_run(path, 0.25f, short_dt, 1));
  fs::remove(path);
}

TEST(SeededBatchRun, HouseExample) {
  const std::string path = (fs::path(VELLUMTRACE_SOURCE_DIR) / "examples" / "house.png").string();
  check_or_update("house", seeded_batch_run(path, 0.5f, short_dt, 7));
}

TEST(SeededBatchRun, RandomStrokes) {
  const std::string path = fixtures::temp_path("seeded_random.png");
  ASSERT_TRUE(cv::imwrite(path, fixtures::random_drawing(256, 25, 3)));
  check_or_update("random", seeded_batch_run(path, 0.25f, short_dt, 2026));
  fs::remove(path);
}

}  // namespace

#include "qt_support/work_folder.h"

#include <fstream>

#include <unistd.h>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include "io/output_names.h"

namespace qt_test {

namespace fs = std::filesystem;

work_folder::work_folder(const std::string& prefix, int nb_it) {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  dir = fs::path(testing::TempDir()) /
        (prefix + "_" + info->test_suite_name() + "_" + info->name() + "_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "in");
  fs::copy(fs::path(VELLUMTRACE_SOURCE_DIR) / "config", dir / "config", fs::copy_options::recursive);
  fs::create_directory_symlink(fs::path(VELLUMTRACE_SOURCE_DIR) / "shader", dir / "shader");
  std::ofstream(dir / "config" / "recuit.conf") << "recuit " << nb_it << " 1 0.9999 0.25 0.01\n";
  std::ofstream(dir / "config" / "input_sketch.conf") << "out\n0\n";
  std::ofstream(dir / "config" / "default_dir_open.conf") << "in\n";
  fs::current_path(dir);
  read_input_sketch_conf();
}

work_folder::~work_folder() {
  fs::current_path(here);
  if (!testing::Test::HasFailure()) fs::remove_all(dir);
}

std::string work_folder::add_sketch(const std::string& file_name, const cv::Mat& sketch) const {
  const fs::path p = dir / "in" / file_name;
  EXPECT_TRUE(cv::imwrite(p.string(), sketch));
  return p.string();
}

std::string work_folder::add_example(const std::string& file_name) const {
  const fs::path to = dir / "in" / file_name;
  fs::copy_file(fs::path(VELLUMTRACE_SOURCE_DIR) / "examples" / file_name, to);
  return to.string();
}

std::string work_folder::path(const std::string& relative) const { return (dir / relative).string(); }

bool work_folder::exists(const std::string& relative) const { return fs::exists(dir / relative); }

}  // namespace qt_test

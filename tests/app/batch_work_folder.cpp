#include "batch_work_folder.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include "app/batch_tests.h"
#include "app/data_thread.h"
#include "graph/curve_network.h"
#include "io/graph_stream.h"

namespace batch_fixture {

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

work_folder::work_folder() {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  dir = fs::path(testing::TempDir()) / (std::string("batch_") + info->test_suite_name() + "_" + info->name() + "_" +
                                           std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "in");
  fs::copy(fs::path(VELLUMTRACE_SOURCE_DIR) / "config", dir / "config", fs::copy_options::recursive);
  std::ofstream(dir / "config" / "recuit_v2.conf") << short_schedule << "\n";
  std::ofstream(dir / "config" / "default_dir_open.conf") << "in\n";
  list_sketches({});
}

work_folder::~work_folder() {
  if (!testing::Test::HasFailure()) fs::remove_all(dir);
}

void work_folder::list_sketches(const std::vector<std::string>& names) const {
  std::ofstream out(dir / "config" / "input_sketch.conf");
  out << "out\n" << names.size() << "\n";
  for (const std::string& n : names) out << n << "\n";
}

void work_folder::add_sketch(const std::string& name, const cv::Mat& sketch) const {
  ASSERT_TRUE(cv::imwrite((dir / "in" / name).string(), sketch));
}

std::string work_folder::add_graph(const std::string& name, const cv::Mat& sketch) const {
  const fs::path png = dir / "in" / (name + ".png");
  EXPECT_TRUE(cv::imwrite(png.string(), sketch));
  cv::Mat input_image, region_image, boundary_image;
  curve_network network;
  data_thread worker(&network, &input_image, &region_image, nullptr);
  EXPECT_TRUE(extract_batch_network(png.string(), input_image, region_image, boundary_image,
                                    network, worker));
  fs::remove(png);
  EXPECT_FALSE(network.empty());

  std::ostringstream out(std::ios::binary);
  write_string(out, png.string());
  write_string(out, name);
  write_count(out, network.size());
  for (const layer_graph& lg : network) lg.write(out);
  worker.save(out);
  add_file(name, out.str());
  return out.str();
}

void work_folder::add_file(const std::string& name, const std::string& bytes) const {
  std::ofstream(dir / "in" / name, std::ios::binary) << bytes;
}

namespace {

// std::system's wait status of the shell running `command`, its address space limited in
// the child before the shell starts.
int system_within(const std::string& command, unsigned long long address_space) {
  const pid_t child = fork();
  if (child == 0) {
    const rlimit limit{address_space, address_space};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int raw = -1;
  if (child < 0 || waitpid(child, &raw, 0) != child) return -1;
  return raw;
}

}  // namespace

run_result work_folder::run(const std::string& arguments, unsigned long long address_space) const {
  const std::string command = "cd '" + dir.string() + "' && '" + VELLUMTRACE_BATCH_EXE + "' " +
                              arguments + " > stdout.txt 2> stderr.txt";
  const int raw = address_space == 0 ? std::system(command.c_str()) : system_within(command, address_space);
  run_result r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = slurp(dir / "stdout.txt");
  r.err = slurp(dir / "stderr.txt");
  return r;
}

bool work_folder::exists(const std::string& relative) const { return fs::exists(dir / relative); }

std::string work_folder::read(const std::string& relative) const { return slurp(dir / relative); }

std::vector<std::string> work_folder::result_files() const {
  std::vector<std::string> names;
  const fs::path results = dir / "out" / "error_speed";
  if (!fs::exists(results)) return names;
  for (const fs::directory_entry& e : fs::directory_iterator(results))
    if (e.is_regular_file()) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace batch_fixture

#pragma once
// A temporary working folder in which the tests run vellumtrace_batch as a user would:
// a copy of the repository's config/ with a short annealing schedule, the input folder
// "in/" (config/default_dir_open.conf) and the output root "out/"
// (config/input_sketch.conf), which starts without its error_speed/ folders.

#include <filesystem>
#include <string>
#include <vector>

#include <opencv2/core/mat.hpp>

namespace batch_fixture {

// The schedule of the copied config/recuit_v2.conf: with dt 0.9 a run has 6 iterations.
constexpr const char* short_schedule = "1 0.5 0.01";

struct run_result {
  int status = -1;   // exit status of the program
  std::string out;   // its standard output
  std::string err;   // its standard error
};

struct work_folder {
  std::filesystem::path dir;

  // A fresh folder named after the running test and this process (test runs of other
  // builds may share the temporary folder), holding the copied config/. Removed at the
  // end unless the test failed.
  work_folder();
  ~work_folder();
  work_folder(const work_folder&) = delete;
  work_folder& operator=(const work_folder&) = delete;

  // Writes config/input_sketch.conf: output root "out", the count, the names.
  void list_sketches(const std::vector<std::string>& names) const;
  // Writes a sketch (CV_8UC1 or CV_8UC3) as in/<name>.
  void add_sketch(const std::string& name, const cv::Mat& sketch) const;

  // Extracts the sketch's network in this process, as a batch test does, and saves it
  // with its worker as the .graph file in/<name>; returns the file's bytes.
  std::string add_graph(const std::string& name, const cv::Mat& sketch) const;
  // Writes in/<name> with these bytes.
  void add_file(const std::string& name, const std::string& bytes) const;

  // Runs vellumtrace_batch with these arguments (separated by blanks) in the folder; with
  // an address space limit (bytes, setrlimit RLIMIT_AS) when it is not 0.
  run_result run(const std::string& arguments, unsigned long long address_space = 0) const;

  // Below the folder.
  bool exists(const std::string& relative) const;
  std::string read(const std::string& relative) const;
  // Files of out/error_speed/ (not its subfolders), sorted by name.
  std::vector<std::string> result_files() const;
};

}  // namespace batch_fixture

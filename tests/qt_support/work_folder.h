#pragma once
// A fresh working folder for one Qt session test, laid out as the programs expect theirs.

#include <filesystem>
#include <string>

#include <opencv2/core/mat.hpp>

namespace qt_test {

// A copy of config/ with an annealing run of nb_it iterations, the input folder "in/"
// (config/default_dir_open.conf), the output root "out/" and a link to shader/, named
// <prefix>_<suite>_<test>_<pid> under the test temporary folder. The process works in it
// for the test's length; removed afterwards unless the test failed.
struct work_folder {
  std::filesystem::path here = std::filesystem::current_path();
  std::filesystem::path dir;

  work_folder(const std::string& prefix, int nb_it);
  ~work_folder();
  // Writes a sketch (CV_8UC1) into in/ and returns its absolute path.
  std::string add_sketch(const std::string& file_name, const cv::Mat& sketch) const;
  // Copies a sketch of examples/ into in/ and returns its absolute path.
  std::string add_example(const std::string& file_name) const;
  std::string path(const std::string& relative) const;
  bool exists(const std::string& relative) const;
};

}  // namespace qt_test

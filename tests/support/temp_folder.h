#pragma once
// A fresh temporary working folder for the length of a test, for code that writes into
// the working folder (the batch run's pictures and energy file).

#include <filesystem>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

namespace fixtures {

struct temp_working_folder {
  std::filesystem::path here = std::filesystem::current_path();
  std::filesystem::path folder;
  // The process id keeps test runs of several checkouts at once apart.
  explicit temp_working_folder(const char* name)
      : folder(std::filesystem::path(testing::TempDir()) /
               (std::string(name) + "_" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
  }
  ~temp_working_folder() {
    std::filesystem::current_path(here);
    std::filesystem::remove_all(folder);
  }
};

}  // namespace fixtures

#include "graph/split_thresholds.h"

#include <cstdio>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace {

std::string write_file(const std::string& name, const std::string& text) {
  const std::string path = testing::TempDir() + name;
  std::ofstream(path) << text;
  return path;
}

TEST(SplitThresholds, ShippedFileHoldsFourValues) {
  const split_thresholds defaults;
  testing::internal::CaptureStderr();
  const split_thresholds read = read_split_thresholds();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_FLOAT_EQ(read.error_threshold, defaults.error_threshold);
  EXPECT_FLOAT_EQ(read.min_gain, defaults.min_gain);
  EXPECT_FLOAT_EQ(read.end_margin, defaults.end_margin);
  EXPECT_EQ(read.min_samples, defaults.min_samples);
}

TEST(SplitThresholds, FullFileAndExtraContent) {
  const std::string path = write_file("split_full.conf", "2.5 0.5\n0.1 12 garbage 99\n");
  const split_thresholds read = read_split_thresholds(path);
  EXPECT_FLOAT_EQ(read.error_threshold, 2.5f);
  EXPECT_FLOAT_EQ(read.min_gain, 0.5f);
  EXPECT_FLOAT_EQ(read.end_margin, 0.1f);
  EXPECT_EQ(read.min_samples, 12);
  std::remove(path.c_str());
}

TEST(SplitThresholds, MissingOrShortFileKeepsDefaults) {
  const split_thresholds defaults;

  testing::internal::CaptureStderr();
  const split_thresholds missing = read_split_thresholds(testing::TempDir() + "no_such.conf");
  EXPECT_NE(testing::internal::GetCapturedStderr().find("no_such.conf: cannot open"),
            std::string::npos);
  EXPECT_FLOAT_EQ(missing.error_threshold, defaults.error_threshold);
  EXPECT_FLOAT_EQ(missing.min_gain, defaults.min_gain);
  EXPECT_FLOAT_EQ(missing.end_margin, defaults.end_margin);
  EXPECT_EQ(missing.min_samples, defaults.min_samples);

  // Two values read, the third is not a number: it and the fourth keep their defaults.
  const std::string path = write_file("split_short.conf", "3 0.75 x");
  testing::internal::CaptureStderr();
  const split_thresholds shortened = read_split_thresholds(path);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("end margin missing"), std::string::npos);
  EXPECT_FLOAT_EQ(shortened.error_threshold, 3.0f);
  EXPECT_FLOAT_EQ(shortened.min_gain, 0.75f);
  EXPECT_FLOAT_EQ(shortened.end_margin, defaults.end_margin);
  EXPECT_EQ(shortened.min_samples, defaults.min_samples);
  std::remove(path.c_str());

  const std::string empty = write_file("split_empty.conf", "");
  testing::internal::CaptureStderr();
  const split_thresholds from_empty = read_split_thresholds(empty);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("error threshold missing"),
            std::string::npos);
  EXPECT_FLOAT_EQ(from_empty.error_threshold, defaults.error_threshold);
  EXPECT_EQ(from_empty.min_samples, defaults.min_samples);
  std::remove(empty.c_str());
}

TEST(SplitThresholds, MinimumSamplesBelowOneIsRaised) {
  const std::string path = write_file("split_zero.conf", "1 0.1 0.05 0");
  testing::internal::CaptureStderr();
  const split_thresholds read = read_split_thresholds(path);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("below 1"), std::string::npos);
  EXPECT_EQ(read.min_samples, 1);
  std::remove(path.c_str());
}

}  // namespace

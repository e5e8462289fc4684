#include "app/add_white_border.h"

#include <cstdio>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

namespace {

// Other builds' test runs may share the temporary folder.
std::string temp_file(const std::string& name) {
  return testing::TempDir() + std::to_string(getpid()) + "_" + name;
}

TEST(AddWhiteBorder, PaintsTheOuterFrameOnly) {
  const std::string in = temp_file("border_in.png");
  const std::string out = temp_file("border_out.png");
  cv::imwrite(in, cv::Mat(5, 4, CV_8UC3, cv::Scalar(10, 20, 30)));
  std::string a0 = "tool", a1 = in, a2 = out;
  char* argv[] = {a0.data(), a1.data(), a2.data()};
  ASSERT_EQ(add_white_border(3, argv), 0);

  const cv::Mat m = cv::imread(out, cv::IMREAD_COLOR);
  ASSERT_EQ(m.size(), cv::Size(4, 5));
  for (int r = 0; r < m.rows; ++r) {
    for (int c = 0; c < m.cols; ++c) {
      const bool frame = r == 0 || r == m.rows - 1 || c == 0 || c == m.cols - 1;
      EXPECT_EQ(m.at<cv::Vec3b>(r, c), frame ? cv::Vec3b(255, 255, 255) : cv::Vec3b(10, 20, 30))
          << r << "," << c;
    }
  }
}

TEST(AddWhiteBorder, RefusesOtherArgumentCountsAndUnreadableImages) {
  const std::string out = temp_file("border_never.png");
  std::remove(out.c_str());
  std::string a0 = "tool", a1 = temp_file("no_such_image.png"), a2 = out;
  char* argv[] = {a0.data(), a1.data(), a2.data(), a2.data()};
  EXPECT_EQ(add_white_border(1, argv), 1);
  EXPECT_EQ(add_white_border(2, argv), 1);
  EXPECT_EQ(add_white_border(4, argv), 1);
  EXPECT_EQ(add_white_border(3, argv), 1);  // missing input
  EXPECT_FALSE(cv::imread(out).data);
}

}  // namespace

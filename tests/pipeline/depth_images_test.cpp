#include "pipeline/depth_images.h"

#include <vector>

#include <gtest/gtest.h>

namespace {

std::vector<int> row(const cv::Mat& m) { return std::vector<int>(m.begin<int>(), m.end<int>()); }

// A 1 x 7 strip: kept region 1, three ink pixels (label 0), kept region 2.
struct strip {
  cv::Mat input = (cv::Mat_<float>(1, 7) << 1, 1, 0, 0, 0, 1, 1);
  cv::Mat labels = (cv::Mat_<int>(1, 7) << 1, 1, 0, 0, 0, 2, 2);
  std::vector<char> discarded = {1, 0, 0};
};

TEST(DepthImages, StrokeDepthFromKeptPaper) {
  strip s;
  cv::Mat distance, colour;
  compute_image_stroke_depth(s.input, s.labels, s.discarded, distance, colour);
  EXPECT_EQ(row(distance), (std::vector<int>{0, 0, 1, 2, 1, 0, 0}));
  ASSERT_EQ(colour.type(), CV_32FC3);
  EXPECT_EQ(colour.at<cv::Vec3f>(0, 0), cv::Vec3f(0, 0, 0));
  EXPECT_NE(colour.at<cv::Vec3f>(0, 3), cv::Vec3f(0, 0, 0));
  // A discarded region's paper is not a seed: it is measured like ink.
  s.discarded[2] = 1;
  compute_image_stroke_depth(s.input, s.labels, s.discarded, distance, colour);
  EXPECT_EQ(distance.at<int>(0, 6), 5);
}

TEST(DepthImages, TwoRegionWidthAndSum) {
  strip s;
  cv::Mat source = (cv::Mat_<int>(1, 7) << 0, 0, 0, 1, 0, 0, 0);
  cv::Mat width, colour;
  compute_two_region_width(source, s.labels, s.discarded, width, colour);
  // From the middle of the stroke both regions lie two rings away: the second is met at ring 2.
  EXPECT_EQ(row(width), (std::vector<int>{0, 0, 0, 2, 0, 0, 0}));
  compute_two_region_width_all(source, s.labels, s.discarded, width, colour);
  EXPECT_EQ(width.at<int>(0, 3), 2);
  EXPECT_EQ(width.at<int>(0, 1), 4);  // next to the stroke: across it to region 2
  EXPECT_EQ(width.at<int>(0, 0), 0);  // deeper in region 1 the flood never enters the stroke

  cv::Mat a = (cv::Mat_<int>(1, 3) << 1, 2, 0), b = (cv::Mat_<int>(1, 3) << 1, 0, 0), sum;
  sum_depth_images(a, b, sum, colour);
  EXPECT_EQ(row(sum), (std::vector<int>{2, 2, 0}));
  EXPECT_NE(colour.at<cv::Vec3f>(0, 0), cv::Vec3f(0, 0, 0));
  EXPECT_EQ(colour.at<cv::Vec3f>(0, 2), cv::Vec3f(0, 0, 0));
  cv::Mat flat = (cv::Mat_<int>(1, 3) << 4, 4, 4);
  sum_depth_images(flat, flat * 0, sum, colour);
  EXPECT_EQ(colour.at<cv::Vec3f>(0, 0), cv::Vec3f(0, 0, 0));  // constant sum: nothing painted
}

}  // namespace

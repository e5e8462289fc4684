#include "app/add_white_border.h"

#include <iostream>

#include <opencv2/imgcodecs.hpp>

int add_white_border(int argc, char** argv) {
  if (argc != 3) return 1;
  cv::Mat image = cv::imread(argv[1], cv::IMREAD_COLOR);
  if (image.empty()) {
    std::cerr << argv[1] << ": cannot read the image" << std::endl;
    return 1;
  }
  const cv::Vec3b white(255, 255, 255);
  const int last_row = image.rows - 1;
  const int last_col = image.cols - 1;
  for (int c = 0; c <= last_col; ++c) {
    image.at<cv::Vec3b>(0, c) = white;
    image.at<cv::Vec3b>(last_row, c) = white;
  }
  for (int r = 1; r < last_row; ++r) {
    image.at<cv::Vec3b>(r, 0) = white;
    image.at<cv::Vec3b>(r, last_col) = white;
  }
  try {
    if (cv::imwrite(argv[2], image)) return 0;
  } catch (const cv::Exception&) {
    // An unknown extension throws; reported below like any failed write.
  }
  std::cerr << argv[2] << ": cannot write the image" << std::endl;
  return 1;
}

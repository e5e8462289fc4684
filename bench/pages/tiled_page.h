#pragma once
// Large test pages for the benchmarks: a grid of 512 x 512 cells, each holding one of
// four drawings (the OpenCV-drawn icon and the three bundled examples, nearly doubled), in a
// fixed cycle. A page of twice the side holds four times the same ink, so costs can be
// compared per unit of ink. Cells cut by the page's right or bottom edge are cropped.

#include <string>

#include <opencv2/core/mat.hpp>

// One grey sketch (CV_8UC1, 255 paper) of rows x cols. `examples` is the folder with
// house.png, fish.png and boat.png; a missing example leaves its cells blank.
cv::Mat tiled_page(int rows, int cols, const std::string& examples = "examples");

#include "pages/tiled_page.h"

#include <algorithm>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "support/sketch_fixtures.h"

namespace {

constexpr int cell = 512;

// The example centred on a blank cell, nearly doubled (the largest example then still
// fits its cell with a margin).
cv::Mat example_cell(const std::string& path) {
  cv::Mat out(cell, cell, CV_8UC1, cv::Scalar(255));
  cv::Mat ex = cv::imread(path, cv::IMREAD_GRAYSCALE);
  if (ex.empty()) return out;
  cv::resize(ex, ex, cv::Size(), 1.9, 1.9, cv::INTER_LINEAR);
  const int w = std::min(ex.cols, cell), h = std::min(ex.rows, cell);
  ex(cv::Rect(0, 0, w, h)).copyTo(out(cv::Rect((cell - w) / 2, (cell - h) / 2, w, h)));
  return out;
}

}  // namespace

cv::Mat tiled_page(int rows, int cols, const std::string& examples) {
  const std::vector<cv::Mat> cells = {fixtures::icon_sketch(), example_cell(examples + "/house.png"),
                                      example_cell(examples + "/fish.png"),
                                      example_cell(examples + "/boat.png")};
  cv::Mat page(rows, cols, CV_8UC1, cv::Scalar(255));
  int k = 0;
  for (int y = 0; y < rows; y += cell)
    for (int x = 0; x < cols; x += cell, ++k) {
      const cv::Mat& c = cells[k % cells.size()];
      const int w = std::min(cell, cols - x), h = std::min(cell, rows - y);
      c(cv::Rect(0, 0, w, h)).copyTo(page(cv::Rect(x, y, w, h)));
    }
  return page;
}

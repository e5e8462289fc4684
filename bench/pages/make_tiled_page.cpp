// Writes one tiled benchmark page: make_tiled_page rows cols out.png [examples folder].

#include <cstdlib>
#include <iostream>

#include <opencv2/imgcodecs.hpp>

#include "pages/tiled_page.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: make_tiled_page rows cols out.png [examples folder]" << std::endl;
    return 1;
  }
  const int rows = std::atoi(argv[1]), cols = std::atoi(argv[2]);
  if (rows <= 0 || cols <= 0) {
    std::cerr << "make_tiled_page: rows and cols must be positive" << std::endl;
    return 1;
  }
  const cv::Mat page = tiled_page(rows, cols, argc > 4 ? argv[4] : "examples");
  if (!cv::imwrite(argv[3], page)) {
    std::cerr << "make_tiled_page: cannot write " << argv[3] << std::endl;
    return 1;
  }
  return 0;
}

#include "gl/png_snapshot.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <algorithm>

namespace {

// The image's first row is the data's last: GL reads rows bottom-up.
bool save_flipped(const std::string& path, const unsigned char* data, int width, int height, int type,
                  int bytes_per_pixel) {
  if (data == nullptr || width <= 0 || height <= 0) return true;
  cv::Mat image(height, width, type);
  const size_t row_bytes = static_cast<size_t>(width) * bytes_per_pixel;
  for (int row = 0; row < height; ++row)
    std::copy(data + static_cast<size_t>(height - 1 - row) * row_bytes,
              data + static_cast<size_t>(height - row) * row_bytes, image.ptr<unsigned char>(row));
  // A write that fails (a missing folder) goes unnoticed, as callers expect.
  try {
    cv::imwrite(path, image, {cv::IMWRITE_PNG_COMPRESSION, 0});
  } catch (const cv::Exception&) {
  }
  return true;
}

}  // namespace

bool save_rgba_png(const std::string& path, const unsigned char* data, int& width, int& height) {
  return save_flipped(path, data, width, height, CV_8UC4, 4);
}

bool save_gray_png(const std::string& path, const unsigned char* data, int& width, int& height) {
  return save_flipped(path, data, width, height, CV_8UC1, 1);
}

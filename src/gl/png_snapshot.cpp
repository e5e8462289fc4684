#include "gl/png_snapshot.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <iostream>
#include <vector>

#include "io/replacing_file.h"

namespace {

// ".png" of "snap.png": what chooses the encoder, as for cv::imwrite. Empty without a dot
// in the file name, which no encoder takes.
std::string extension_of(const std::string& path) {
  const std::size_t dot = path.find_last_of('.');
  const std::size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return path.substr(dot);
}

// The image's first row is the data's last: GL reads rows bottom-up.
bool save_flipped(const std::string& path, const unsigned char* data, int width, int height, int type,
                  int bytes_per_pixel) {
  if (data == nullptr || width <= 0 || height <= 0) {
    std::cerr << "png: could not write file " << path << ": the image is empty" << std::endl;
    return false;
  }
  cv::Mat image(height, width, type);
  const size_t row_bytes = static_cast<size_t>(width) * bytes_per_pixel;
  for (int row = 0; row < height; ++row)
    std::copy(data + static_cast<size_t>(height - 1 - row) * row_bytes,
              data + static_cast<size_t>(height - row) * row_bytes, image.ptr<unsigned char>(row));
  // Encoded in memory, then put in place of an older snapshot only once whole. A write
  // that fails (a missing folder, a full disk, a file the user may not write) is named
  // on standard error.
  std::vector<unsigned char> encoded;
  std::string why;
  try {
    if (!cv::imencode(extension_of(path), image, encoded, {cv::IMWRITE_PNG_COMPRESSION, 0}))
      why = "the image could not be encoded";
  } catch (const cv::Exception& e) {
    why = e.what();
  }
  if (why.empty()) replace_file_contents(path, std::string(encoded.begin(), encoded.end()), &why);
  if (why.empty()) return true;
  std::cerr << "png: could not write file " << path << ": " << why << std::endl;
  return false;
}

}  // namespace

bool save_rgba_png(const std::string& path, const unsigned char* data, int& width, int& height) {
  return save_flipped(path, data, width, height, CV_8UC4, 4);
}

bool save_gray_png(const std::string& path, const unsigned char* data, int& width, int& height) {
  return save_flipped(path, data, width, height, CV_8UC1, 1);
}

#include "pipeline/load_sketch.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace {

// The line on standard error, and the reason for the caller.
bool refuse(const char* path, const std::string& reason, std::string* why) {
  std::cerr << "cannot load sketch \"" << path << "\": " << reason << std::endl;
  if (why) *why = reason;
  return false;
}

uint32_t be32(const std::vector<uchar>& b, std::size_t at) {
  return (uint32_t(b[at]) << 24) | (uint32_t(b[at + 1]) << 16) | (uint32_t(b[at + 2]) << 8) |
         uint32_t(b[at + 3]);
}

uint32_t be16(const std::vector<uchar>& b, std::size_t at) {
  return (uint32_t(b[at]) << 8) | uint32_t(b[at + 1]);
}

bool is_jpeg(const std::vector<uchar>& b) { return b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8; }

// At the 0xFF at `at`: steps over a fill byte or a marker that has no length (start of
// image, TEM, restarts) and returns true; false, not moving, at a marker with a segment.
bool skip_marker_without_length(const std::vector<uchar>& b, std::size_t& at) {
  const uchar marker = b[at + 1];
  if (marker == 0xFF) {
    ++at;
    return true;
  }
  if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
    at += 2;
    return true;
  }
  return false;
}

// Size stated by a PNG or JPEG header, so that a huge image is refused before the
// decoder allocates it. False when the header gives no size (other formats).
bool header_size(const std::vector<uchar>& b, uint32_t& w, uint32_t& h) {
  static const uchar png_sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (b.size() >= 24 && std::equal(png_sig, png_sig + 8, b.begin())) {
    w = be32(b, 16);
    h = be32(b, 20);
    return true;
  }
  if (!is_jpeg(b)) return false;
  std::size_t at = 2;
  while (at + 4 <= b.size()) {
    if (b[at] != 0xFF) return false;
    if (skip_marker_without_length(b, at)) continue;
    const uchar marker = b[at + 1];
    const uint32_t len = be16(b, at + 2);
    const bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                     marker != 0xCC;
    if (sof && at + 9 <= b.size()) {
      h = be16(b, at + 5);
      w = be16(b, at + 7);
      return true;
    }
    if (marker == 0xDA || len < 2) return false;
    at += 2 + len;
  }
  return false;
}

// Where the entropy-coded data of a scan that starts at `at` ends: at the next marker
// (0xFF followed by neither a stuffed 0x00, a restart marker nor a fill byte), or at the
// end of the bytes.
std::size_t end_of_scan(const std::vector<uchar>& b, std::size_t at) {
  for (; at + 1 < b.size(); ++at) {
    if (b[at] != 0xFF) continue;
    const uchar next = b[at + 1];
    if (next != 0x00 && next != 0xFF && !(next >= 0xD0 && next <= 0xD7)) return at;
  }
  return b.size();
}

// Whether a JPEG stream reaches its end-of-image marker after its last scan. libjpeg
// decodes a file cut short from the part that is there, with only a warning, and fills
// the rest with grey. Bytes after the marker are allowed; stray bytes between segments
// are skipped as the decoder skips them.
bool jpeg_reaches_end(const std::vector<uchar>& b) {
  std::size_t at = 2;  // after the start-of-image marker
  while (at + 2 <= b.size()) {
    if (b[at] != 0xFF) {
      ++at;
      continue;
    }
    const uchar marker = b[at + 1];
    if (marker == 0xD9) return true;
    if (skip_marker_without_length(b, at)) continue;
    if (at + 4 > b.size()) return false;
    const std::size_t len = be16(b, at + 2);
    if (len < 2) return false;
    at += 2 + len;
    if (marker == 0xDA) at = end_of_scan(b, at);
  }
  return false;
}

bool too_large(uint64_t w, uint64_t h) {
  return w > uint64_t(max_sketch_side) || h > uint64_t(max_sketch_side) ||
         w * h > uint64_t(max_sketch_pixels);
}

std::string size_text(uint64_t w, uint64_t h) {
  return std::to_string(w) + " x " + std::to_string(h) + " pixels, more than the " +
         std::to_string(max_sketch_side) + " pixels a side or " + std::to_string(max_sketch_pixels) +
         " pixels that are read; scale or crop it to at most " + std::to_string(max_sketch_side) +
         " pixels a side and " + std::to_string(max_sketch_pixels) + " pixels (4096 x 3072)";
}

// Any decoded image to 8-bit grey: alpha composited over white, colour through the
// RGB-to-grey code on channels in OpenCV's blue, green, red order.
bool to_grey_bytes(const cv::Mat& decoded, cv::Mat& grey) {
  cv::Mat img;
  switch (decoded.depth()) {
    case CV_8U: img = decoded; break;
    case CV_16U: decoded.convertTo(img, CV_32F, 1.0 / 65535.0); break;
    case CV_32F: decoded.convertTo(img, CV_32F); break;
    default: return false;
  }
  if (img.depth() == CV_8U && img.channels() != 2 && img.channels() != 4) {
    // The common case, kept in bytes.
  } else {
    // Float in [0, 1] (bytes scaled), alpha over white, back to bytes.
    if (img.depth() == CV_8U) img.convertTo(img, CV_32F, 1.0 / 255.0);
    const int nc = img.channels();
    if (nc == 2 || nc == 4) {
      std::vector<cv::Mat> ch;
      cv::split(img, ch);
      cv::Mat alpha = cv::min(cv::max(ch.back(), 0.0), 1.0);
      cv::Mat paper = 1.0 - alpha;
      ch.pop_back();
      for (cv::Mat& c : ch) c = c.mul(alpha) + paper;
      cv::merge(ch, img);
    }
    img.convertTo(img, CV_8U, 255.0);  // saturating, rounded
  }
  switch (img.channels()) {
    case 1: grey = img; return true;
    case 3: cv::cvtColor(img, grey, cv::COLOR_RGB2GRAY); return true;
    default: return false;
  }
}

}  // namespace

bool load_sketch(const char* path, cv::Mat* output, std::string* why) {
  output->release();
  if (why) why->clear();
  if (path == nullptr) {
    std::cerr << "cannot load sketch: no file name given" << std::endl;
    if (why) *why = "no file name given";
    return false;
  }
  std::error_code ec;
  const std::filesystem::file_status st = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(st)) {
    return refuse(path, "no such file", why);
  }
  if (std::filesystem::is_directory(st)) {
    return refuse(path, "it is a folder, not an image file", why);
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return refuse(path, "the file cannot be opened", why);
  }
  std::vector<uchar> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    return refuse(path, "read error", why);
  }
  if (bytes.empty()) {
    return refuse(path, "the file is empty", why);
  }
  uint32_t w = 0, h = 0;
  if (header_size(bytes, w, h) && too_large(w, h)) {
    return refuse(path, size_text(w, h), why);
  }
  if (is_jpeg(bytes) && !jpeg_reaches_end(bytes)) {
    return refuse(path,
                  "the JPEG file is cut short (it ends before its end-of-image marker), so part "
                  "of the picture is missing",
                  why);
  }

  // JPEG has no alpha: read it in colour mode, which also applies its EXIF orientation.
  // Everything else keeps its alpha channel and depth so they can be handled here.
  cv::Mat decoded;
  try {
    decoded = cv::imdecode(bytes, is_jpeg(bytes) ? cv::IMREAD_COLOR : cv::IMREAD_UNCHANGED);
  } catch (const cv::Exception& e) {
    // Not enough memory for the pixels is no fault of the file: the caller says so.
    if (e.code == cv::Error::StsNoMem) throw std::bad_alloc();
    decoded.release();
  }
  bytes = std::vector<uchar>();
  if (decoded.empty()) {
    return refuse(path, "not an image that can be decoded", why);
  }
  if (too_large(uint64_t(decoded.cols), uint64_t(decoded.rows))) {
    return refuse(path, size_text(decoded.cols, decoded.rows), why);
  }
  cv::Mat grey;
  if (!to_grey_bytes(decoded, grey)) {
    return refuse(path, "unsupported pixel format", why);
  }

  output->create(2 * grey.rows, 2 * grey.cols, CV_32FC1);
  const float scale = 0.003921569f;
  for (int r = 0; r < grey.rows; ++r) {
    const uchar* g = grey.ptr<uchar>(r);
    float* o0 = output->ptr<float>(2 * r);
    float* o1 = output->ptr<float>(2 * r + 1);
    for (int c = 0; c < grey.cols; ++c) {
      const float v = g[c] * scale;
      o0[2 * c] = o0[2 * c + 1] = o1[2 * c] = o1[2 * c + 1] = v;
    }
  }
  return true;
}

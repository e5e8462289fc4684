#include "support/sketch_fixtures.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <vector>

#include <opencv2/imgproc.hpp>
#include <unistd.h>

#include "pipeline/extract_layers.h"
#include "pipeline/grow_regions.h"
#include "pipeline/label_regions.h"
#include "pipeline/split_regions.h"

namespace fixtures {

namespace {
const cv::Scalar ink(0);
const cv::Scalar paper(255);

void bar(cv::Mat& s, int x0, int y0, int x1, int y1) {
  cv::rectangle(s, cv::Point(x0, y0), cv::Point(x1, y1), ink, cv::FILLED);
}
}  // namespace

cv::Mat blank_sketch(int rows, int cols) { return cv::Mat(rows, cols, CV_8UC1, paper); }

cv::Mat closed_ring(int size, int radius, int thickness) {
  cv::Mat s = blank_sketch(size, size);
  cv::circle(s, cv::Point(size / 2, size / 2), radius, ink, thickness);
  return s;
}

cv::Mat two_touching_rings(int thickness) {
  cv::Mat s = blank_sketch(80, 120);
  cv::circle(s, cv::Point(45, 40), 25, ink, thickness);
  cv::circle(s, cv::Point(75, 40), 25, ink, thickness);
  return s;
}

cv::Mat boxed_t(int width) {
  cv::Mat s = blank_sketch(70, 90);
  const int w = width - 1;
  bar(s, 10, 10, 80, 10 + w);          // top
  bar(s, 10, 60 - w, 80, 60);          // bottom
  bar(s, 10, 10, 10 + w, 60);          // left
  bar(s, 80 - w, 10, 80, 60);          // right
  bar(s, 10, 30, 80, 30 + w);          // cross bar
  bar(s, 45, 30, 45 + w, 60);          // stem of the T
  return s;
}

cv::Mat ring_with_free_end(int thickness) {
  cv::Mat s = closed_ring(100, 40, thickness);
  cv::line(s, cv::Point(50, 10), cv::Point(50, 55), ink, thickness);
  return s;
}

cv::Mat frame_with_hanging_strokes() {
  cv::Mat s = blank_sketch(130, 210);
  bar(s, 10, 10, 199, 12);    // top
  bar(s, 10, 117, 199, 119);  // bottom
  bar(s, 10, 10, 12, 119);    // left
  bar(s, 197, 10, 199, 119);  // right
  bar(s, 50, 13, 52, 72);     // 60 long
  bar(s, 105, 13, 107, 60);   // 48
  bar(s, 160, 13, 162, 48);   // 36
  return s;
}

std::size_t pixel_runs(const std::set<glm::ivec2>& pixels) {
  std::set<glm::ivec2> left = pixels;
  std::size_t runs = 0;
  while (!left.empty()) {
    ++runs;
    std::vector<glm::ivec2> stack{*left.begin()};
    left.erase(left.begin());
    while (!stack.empty()) {
      const glm::ivec2 p = stack.back();
      stack.pop_back();
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const auto it = left.find(p + glm::ivec2(dx, dy));
          if (it == left.end()) continue;
          stack.push_back(*it);
          left.erase(it);
        }
    }
  }
  return runs;
}

cv::Mat dumbbell(int radius, int neck_width, int neck_length, int radius_b) {
  if (radius_b < 0) radius_b = radius;
  const int gap = radius + radius_b + neck_length;
  const int cols = gap + radius + radius_b + 40, rows = 2 * std::max(radius, radius_b) + 40;
  cv::Mat s = blank_sketch(rows, cols);
  bar(s, 10, 10, cols - 11, rows - 11);
  const cv::Point a(20 + radius, rows / 2), b(20 + radius + gap, rows / 2);
  cv::circle(s, a, radius, paper, cv::FILLED);
  cv::circle(s, b, radius_b, paper, cv::FILLED);
  cv::rectangle(s, cv::Point(a.x, rows / 2 - neck_width / 2),
                cv::Point(b.x, rows / 2 - neck_width / 2 + neck_width - 1), paper, cv::FILLED);
  return s;
}

cv::Mat split_box(int width, int rows, int cols) {
  cv::Mat s = blank_sketch(rows, cols);
  const int w = width - 1;
  bar(s, 5, 5, cols - 6, 5 + w);
  bar(s, 5, rows - 6 - w, cols - 6, rows - 6);
  bar(s, 5, 5, 5 + w, rows - 6);
  bar(s, cols - 6 - w, 5, cols - 6, rows - 6);
  bar(s, cols / 2, 5, cols / 2 + w, rows - 6);
  return s;
}

cv::Mat random_drawing(int size, int nb_strokes, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> pos(0, size - 1), len(10, size / 6), width(1, 3), kind(0, 2),
      angle(0, 359);
  cv::Mat s = blank_sketch(size, size);
  for (int i = 0; i < nb_strokes; ++i) {
    const cv::Point c(pos(rng), pos(rng));
    const int l = len(rng), w = width(rng);
    switch (kind(rng)) {
      case 0: {
        const double a = angle(rng) * CV_PI / 180.0;
        cv::line(s, c, c + cv::Point(int(l * std::cos(a)), int(l * std::sin(a))), ink, w);
        break;
      }
      case 1: cv::circle(s, c, l / 2 + 3, ink, w); break;
      default: {
        const int a0 = angle(rng);
        cv::ellipse(s, c, cv::Size(l, l / 2 + 2), angle(rng), a0, a0 + 200, ink, w);
      }
    }
  }
  return s;
}

cv::Mat phone_scan(const cv::Mat& sketch, unsigned seed) {
  cv::Mat grey;
  sketch.convertTo(grey, CV_32F, (235.0 - 40.0) / 255.0, 40.0);
  cv::Mat noise(sketch.size(), CV_32F);
  cv::RNG rng(seed);
  rng.fill(noise, cv::RNG::NORMAL, 0.0, 4.0);
  cv::Mat scan;
  cv::Mat(grey + noise).convertTo(scan, CV_8U);  // rounds and saturates
  return scan;
}

cv::Mat icon_sketch() {
  cv::Mat s = blank_sketch(512, 512);
  const cv::Scalar ink(0);
  const int w = 3;
  const int aa = cv::LINE_AA;
  cv::rectangle(s, {16, 16}, {495, 495}, ink, w, aa);                          // frame
  cv::line(s, {16, 360}, {495, 360}, ink, w, aa);                              // horizon
  cv::circle(s, {410, 90}, 42, ink, w, aa);                                    // sun
  cv::rectangle(s, {120, 220}, {300, 360}, ink, w, aa);                        // house
  cv::line(s, {105, 232}, {210, 130}, ink, w, aa);                             // roof
  cv::line(s, {210, 130}, {315, 232}, ink, w, aa);
  cv::rectangle(s, {150, 280}, {195, 360}, ink, w, aa);                        // door
  cv::rectangle(s, {225, 250}, {280, 305}, ink, w, aa);                        // window
  cv::line(s, {252, 250}, {252, 305}, ink, w, aa);
  cv::line(s, {225, 277}, {280, 277}, ink, w, aa);
  cv::ellipse(s, {256, 495}, {200, 80}, 0, 180, 360, ink, w, aa);              // hill
  cv::line(s, {400, 360}, {400, 290}, ink, w, aa);                             // trunk
  cv::circle(s, {400, 250}, 40, ink, w, aa);                                   // crown
  return s;
}

cv::Mat as_input_image(const cv::Mat& sketch) {
  cv::Mat out(sketch.rows, sketch.cols, CV_32FC1);
  for (int y = 0; y < sketch.rows; ++y)
    for (int x = 0; x < sketch.cols; ++x) out.at<float>(y, x) = sketch.at<uchar>(y, x) * 0.003921569f;
  return out;
}

extraction run_region_steps(const cv::Mat& input_image, const region_params& p, int last_step) {
  extraction e;
  cv::Mat input = input_image;
  extract_layers(&input, &e.layers, &e.region_image, 100, false);
  compute_ink_distance(e.layers, input.rows, input.cols);
  if (last_step >= 1) label_regions(e.region_image, e.layers, p.least_depth, p.least_size);
  if (last_step >= 2) {
    split_regions(&e.region_image, e.layers, p.least_depth, p.least_size, p.neck_ratio, p.neck_margin);
    compute_stroke_depth(e.layers);
  }
  if (last_step >= 3) grow_regions(e.layers, &e.region_image);
  return e;
}

std::string temp_path(const std::string& name) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("vellumtrace_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  return (dir / name).string();
}

cv::Mat wavy_lines(int width, int cols) {
  const int gap = std::max(24, 5 * width);
  cv::Mat s = blank_sketch(3 * gap + 20, cols);
  for (int k = 0; k < 3; ++k) {
    std::vector<cv::Point> line;
    for (int x = 10 + width; x <= cols - 10 - width; x += 2)
      line.emplace_back(x, 10 + gap / 2 + gap * k + int(gap / 4 * std::sin(x * 0.06 + k)));
    cv::polylines(s, line, false, ink, width);
  }
  return s;
}

cv::Mat half_circle_wave(int width, int radius, int halves) {
  const int margin = radius / 2 + width + 6;
  cv::Mat s = blank_sketch(2 * radius + 2 * margin, 2 * radius * halves + 2 * margin);
  for (int i = 0; i < halves; ++i) {
    const cv::Point centre(margin + radius + 2 * radius * i, margin + radius);
    const bool up = i % 2 == 0;
    cv::ellipse(s, centre, {radius, radius}, 0, up ? 180 : 0, up ? 360 : 180, ink, width);
  }
  return s;
}

cv::Mat open_t(int width, int size) {
  cv::Mat s = blank_sketch(size, size);
  const int m = size / 8 + width;
  cv::line(s, {m, m}, {size - m, m}, ink, width);
  cv::line(s, {size / 2, m}, {size / 2, size - m}, ink, width);
  return s;
}

cv::Mat rings_on_a_hub(int width, int radius, int nb_rings) {
  const int size = 6 * radius + 4 * width + 20;
  cv::Mat s = blank_sketch(size, size);
  const cv::Point hub(size / 2, size / 2);
  const double turn = 2 * CV_PI / nb_rings;
  for (int i = 0; i < nb_rings; ++i) {
    const double a = -CV_PI / 2 + turn * i;
    const cv::Point centre(hub.x + int(2 * radius * std::cos(a)), hub.y + int(2 * radius * std::sin(a)));
    const cv::Point rim(hub.x + int(radius * std::cos(a)), hub.y + int(radius * std::sin(a)));
    cv::circle(s, centre, radius, ink, width);
    cv::line(s, hub, rim, ink, width);
  }
  return s;
}

}  // namespace fixtures

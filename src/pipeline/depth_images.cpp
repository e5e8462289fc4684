#include "pipeline/depth_images.h"

#include <algorithm>

#include <opencv2/core.hpp>

#include "graph/bezier.h"
#include "pipeline/extract_layers.h"
#include "pipeline/layer.h"
#include "pipeline/pixel_neighbourhoods.h"

namespace {

bool is_kept(const std::vector<char>& discarded, int label) {
  return label >= 0 && label < int(discarded.size()) && discarded[label] == 0;
}

// Colours every non-zero value v as jet_color(v / max) x 255.
void paint_by_max(const cv::Mat& values, cv::Mat& colour) {
  colour = cv::Mat(values.rows, values.cols, CV_32FC3, cv::Scalar(0, 0, 0));
  int max = 0;
  for (int y = 0; y < values.rows; ++y)
    for (int x = 0; x < values.cols; ++x) max = std::max(max, values.at<int>(y, x));
  if (max == 0) return;
  for (int y = 0; y < values.rows; ++y)
    for (int x = 0; x < values.cols; ++x) {
      const int v = values.at<int>(y, x);
      if (v != 0) paint_colour(colour, glm::ivec2(x, y), jet_color(float(v) / float(max)) * 255.0f);
    }
}

// Ring at which the flood from p, passing through label-0 and discarded pixels, meets a
// second kept label; 0 when it never does. Resets the pixels it marked in `seen`.
int two_region_width_at(glm::ivec2 p, const cv::Mat& labels, const std::vector<char>& discarded,
                        cv::Mat& seen, std::vector<glm::ivec2>& touched) {
  const int rows = labels.rows, cols = labels.cols;
  int first = -1, found = 0;
  touched.assign(1, p);
  seen.at<uchar>(p.y, p.x) = 1;
  std::vector<glm::ivec2> ring{p}, next;
  for (int k = 1; !ring.empty() && found == 0; ++k) {
    next.clear();
    for (std::size_t i = 0; i < ring.size() && found == 0; ++i)
      for (glm::ivec2 q : window_3x3(ring[i], rows, cols)) {
        uchar& s = seen.at<uchar>(q.y, q.x);
        if (s != 0) continue;
        s = 1;
        touched.push_back(q);
        const int l = labels.at<int>(q.y, q.x);
        if (!is_kept(discarded, l)) {
          next.push_back(q);
        } else if (first == -1) {
          first = l;
        } else if (l != first) {
          found = k;
          break;
        }
      }
    ring.swap(next);
  }
  for (const glm::ivec2& q : touched) seen.at<uchar>(q.y, q.x) = 0;
  return found;
}

void two_region_width(const cv::Mat& source, const cv::Mat& labels,
                      const std::vector<char>& discarded, cv::Mat& width, cv::Mat& colour,
                      bool also_kept) {
  width = cv::Mat(labels.rows, labels.cols, CV_32SC1, cv::Scalar(0));
  cv::Mat seen(labels.rows, labels.cols, CV_8UC1, cv::Scalar(0));
  std::vector<glm::ivec2> touched;
  for (int y = 0; y < labels.rows; ++y)
    for (int x = 0; x < labels.cols; ++x) {
      const bool wanted = source.at<int>(y, x) != 0 ||
                          (also_kept && is_kept(discarded, labels.at<int>(y, x)));
      if (wanted)
        width.at<int>(y, x) = two_region_width_at(glm::ivec2(x, y), labels, discarded, seen, touched);
    }
  paint_by_max(width, colour);
}

}  // namespace

void compute_image_stroke_depth(const cv::Mat& input_image, const cv::Mat& labels,
                                const std::vector<char>& discarded, cv::Mat& distance,
                                cv::Mat& colour) {
  const float threshold = read_ink_threshold();
  const int rows = input_image.rows, cols = input_image.cols;
  distance = cv::Mat(rows, cols, CV_32SC1, cv::Scalar(-1));
  std::vector<glm::ivec2> ring;
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x)
      if (!is_ink(input_image.at<float>(y, x), threshold) && is_kept(discarded, labels.at<int>(y, x))) {
        distance.at<int>(y, x) = 0;
        ring.emplace_back(x, y);
      }
  ring_flood(std::move(ring), [&](glm::ivec2 p, int k, std::vector<glm::ivec2>& next) {
    for (glm::ivec2 q : window_3x3(p, rows, cols)) {
      int& v = distance.at<int>(q.y, q.x);
      if (v != -1) continue;
      v = k;
      next.push_back(q);
    }
  });
  paint_by_max(distance, colour);
}

void compute_two_region_width(const cv::Mat& source, const cv::Mat& labels,
                              const std::vector<char>& discarded, cv::Mat& width,
                              cv::Mat& colour) {
  two_region_width(source, labels, discarded, width, colour, false);
}

void compute_two_region_width_all(const cv::Mat& source, const cv::Mat& labels,
                                  const std::vector<char>& discarded, cv::Mat& width,
                                  cv::Mat& colour) {
  two_region_width(source, labels, discarded, width, colour, true);
}

void sum_depth_images(const cv::Mat& a, const cv::Mat& b, cv::Mat& sum, cv::Mat& colour) {
  sum = a + b;
  colour = cv::Mat(sum.rows, sum.cols, CV_32FC3, cv::Scalar(0, 0, 0));
  double lo = 0, hi = 0;
  if (sum.empty()) return;
  cv::minMaxLoc(sum, &lo, &hi);
  if (lo == hi) return;
  const int min = int(lo);
  for (int y = 0; y < sum.rows; ++y)
    for (int x = 0; x < sum.cols; ++x) {
      const int v = sum.at<int>(y, x);
      if (v != 0) paint_colour(colour, glm::ivec2(x, y), jet_color(float(v - min) * 0.035f) * 255.0f);
    }
}

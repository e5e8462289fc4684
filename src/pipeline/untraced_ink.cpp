#include "pipeline/untraced_ink.h"

#include <cmath>

#include <opencv2/imgproc.hpp>

#include "graph/curve_network.h"

namespace {

// Beyond the distance to the paper at a sample: the sample may sit a pixel off the centre
// line, and the distance is measured to the nearest paper pixel's centre.
constexpr float cover_margin = 2.0f;

std::size_t count_layer(const layer& l, const layer_graph* graph) {
  if (l.ink_pixels.empty()) return 0;
  if (!graph) return l.ink_pixels.size();
  // The layer's box with one pixel of paper around it, so that ink on the box's edge
  // has paper next to it.
  const cv::Point origin(l.min_x - 1, l.min_y - 1);
  cv::Mat ink(l.height + 3, l.width + 3, CV_8UC1, cv::Scalar(0));
  for (const glm::ivec2& p : l.ink_pixels) ink.at<uchar>(p.y - origin.y, p.x - origin.x) = 255;
  cv::Mat to_paper;
  cv::distanceTransform(ink, to_paper, cv::DIST_L2, 3, CV_32F);

  cv::Mat covered(ink.size(), CV_8UC1, cv::Scalar(0));
  const cv::Rect box(0, 0, ink.cols, ink.rows);
  for (const f_curve& f : graph->f_curves) {
    for (const glm::vec2& s : f.v_point) {
      const cv::Point p(static_cast<int>(std::lround(s.x)) - origin.x,
                        static_cast<int>(std::lround(s.y)) - origin.y);
      if (!box.contains(p)) continue;
      const float radius = to_paper.at<float>(p) + cover_margin;
      cv::circle(covered, p, static_cast<int>(std::ceil(radius)), cv::Scalar(255), cv::FILLED);
    }
  }
  std::size_t untraced = 0;
  for (const glm::ivec2& p : l.ink_pixels)
    if (covered.at<uchar>(p.y - origin.y, p.x - origin.x) == 0) ++untraced;
  return untraced;
}

}  // namespace

untraced_ink count_untraced_ink(const std::list<layer>& layers, const curve_network& network) {
  untraced_ink result;
  auto graph = network.begin();
  for (const layer& l : layers) {
    const layer_graph* g = graph != network.end() ? &*graph++ : nullptr;
    result.ink += l.ink_pixels.size();
    result.untraced += count_layer(l, g);
  }
  return result;
}

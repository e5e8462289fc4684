#include "pipeline/compute_graph_distance.h"

#include <vector>

#include "pipeline/pixel_neighbourhoods.h"

namespace {

// Stroke pixels: everything but the inside of a kept region.
bool is_stroke(const layer& l, glm::ivec2 q) {
  return l.stroke_depth.at<int32_t>(q.y, q.x) != 0 || l.region_mask.at<schar>(q.y, q.x) == 0;
}

// Ring distance from `seeds` (already 0 in dist) through stroke pixels still at -1.
// `reached`, when given, gets 1 at every pixel the flood sets.
void flood_strokes(const layer& l, cv::Mat& dist, std::vector<glm::ivec2> seeds, cv::Mat* reached = nullptr) {
  const int rows = dist.rows, cols = dist.cols;
  ring_flood(std::move(seeds), [&](glm::ivec2 p, int k, std::vector<glm::ivec2>& next) {
    for (glm::ivec2 q : window_3x3(p, rows, cols)) {
      int32_t& d = dist.at<int32_t>(q.y, q.x);
      // The inside of a kept region is not crossed: distances run along the strokes.
      if (d != -1 || !is_stroke(l, q)) continue;
      d = k;
      if (reached) reached->at<uchar>(q.y, q.x) = 1;
      next.push_back(q);
    }
  });
}

// The pixel farthest from `from` walking through the stroke (8-connected stroke pixels)
// that holds it: the last the walk reaches. `walk` is -1 on the stroke and is left so.
glm::ivec2 farthest_by_walking(const layer& l, cv::Mat& walk, glm::ivec2 from) {
  const int rows = walk.rows, cols = walk.cols;
  std::vector<glm::ivec2> reached{from};
  walk.at<int32_t>(from.y, from.x) = 0;
  for (std::size_t i = 0; i < reached.size(); ++i)
    for (glm::ivec2 q : window_3x3(reached[i], rows, cols)) {
      int32_t& w = walk.at<int32_t>(q.y, q.x);
      if (w != -1 || !is_stroke(l, q)) continue;
      w = 0;
      reached.push_back(q);
    }
  for (glm::ivec2 p : reached) walk.at<int32_t>(p.y, p.x) = -1;
  return reached.back();
}

// One end of every stroke that no graph pixel reached (`dist` -1 on it): its pixel
// farthest, walking through it, from its pixel farthest from its first one.
std::vector<glm::ivec2> ends_of_unreached_strokes(const layer& l, const cv::Mat& dist) {
  const int rows = dist.rows, cols = dist.cols;
  cv::Mat walk(rows, cols, CV_32SC1, cv::Scalar(-1));
  cv::Mat done(rows, cols, CV_8UC1, cv::Scalar(0));
  std::vector<glm::ivec2> ends, component;
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) {
      const glm::ivec2 first(x, y);
      if (done.at<uchar>(y, x) || dist.at<int32_t>(y, x) != -1 || !is_stroke(l, first)) continue;
      component.assign(1, first);
      done.at<uchar>(y, x) = 1;
      for (std::size_t i = 0; i < component.size(); ++i)
        for (glm::ivec2 q : window_3x3(component[i], rows, cols)) {
          uchar& seen = done.at<uchar>(q.y, q.x);
          if (seen || !is_stroke(l, q)) continue;
          seen = 1;
          component.push_back(q);
        }
      ends.push_back(farthest_by_walking(l, walk, farthest_by_walking(l, walk, first)));
    }
  return ends;
}

// Clears `from_end` and graph_dist (to -1) over the stroke measured from its own end that
// holds `start`: the added pixels reach it now, so it is measured from them instead.
void forget_own_end_measure(layer& l, cv::Mat& from_end, glm::ivec2 start, std::vector<char>* dirty_rows) {
  cv::Mat& dist = l.graph_dist;
  const int rows = dist.rows, cols = dist.cols;
  std::vector<glm::ivec2> stroke{start};
  from_end.at<uchar>(start.y, start.x) = 0;
  dist.at<int32_t>(start.y, start.x) = -1;
  if (dirty_rows) (*dirty_rows)[start.y] = 1;
  for (std::size_t i = 0; i < stroke.size(); ++i)
    for (glm::ivec2 q : window_3x3(stroke[i], rows, cols)) {
      uchar& own = from_end.at<uchar>(q.y, q.x);
      if (!own) continue;
      own = 0;
      dist.at<int32_t>(q.y, q.x) = -1;
      if (dirty_rows) (*dirty_rows)[q.y] = 1;
      stroke.push_back(q);
    }
}

}  // namespace

void compute_layer_graph_distance(layer& l, cv::Mat* from_end) {
  const int rows = l.ink_dist.rows, cols = l.ink_dist.cols;
  l.graph_dist = cv::Mat(rows, cols, CV_32SC1, cv::Scalar(-1));
  cv::Mat& dist = l.graph_dist;
  if (from_end) from_end->release();

  std::vector<glm::ivec2> seeds;
  seeds.reserve(l.graph.edge_pixels.size() + l.graph.junction_pixels.size());
  for (const glm::ivec2& p : l.graph.edge_pixels) seeds.push_back(p);
  for (const glm::ivec2& p : l.graph.junction_pixels) seeds.push_back(p);
  for (const glm::ivec2& p : seeds) dist.at<int32_t>(p.y, p.x) = 0;
  flood_strokes(l, dist, std::move(seeds));

  // A stroke that touches no boundary (a drawing without enclosed regions, or a stroke
  // standing alone in one) is measured from one of its own ends, so that the trace
  // runs from the other end back along it.
  // (Only with the stroke images of step 2 in place, as a layer read from a file may
  // lack them.)
  if (l.stroke_depth.size() != dist.size() || l.region_mask.size() != dist.size()) return;
  if (from_end) *from_end = cv::Mat(rows, cols, CV_8UC1, cv::Scalar(0));
  std::vector<glm::ivec2> ends = ends_of_unreached_strokes(l, dist);
  for (const glm::ivec2& p : ends) {
    dist.at<int32_t>(p.y, p.x) = 0;
    if (from_end) from_end->at<uchar>(p.y, p.x) = 1;
  }
  flood_strokes(l, dist, std::move(ends), from_end);
}

void update_layer_graph_distance(layer& l, cv::Mat& from_end, const std::vector<glm::ivec2>& added,
                                 std::vector<char>* dirty_rows) {
  if (from_end.empty()) {
    compute_layer_graph_distance(l, &from_end);
    if (dirty_rows) dirty_rows->assign(std::size_t(l.graph_dist.rows), 1);
    return;
  }
  cv::Mat& dist = l.graph_dist;
  const int rows = dist.rows, cols = dist.cols;
  // A stroke measured from its own end that an added pixel lies on or floods into is
  // now reached from the graph: its old values do not bound the new ones.
  for (const glm::ivec2& p : added)
    for (glm::ivec2 q : window_3x3(p, rows, cols))
      if (from_end.at<uchar>(q.y, q.x)) forget_own_end_measure(l, from_end, q, dirty_rows);

  std::vector<glm::ivec2> seeds;
  for (const glm::ivec2& p : added) {
    int32_t& d = dist.at<int32_t>(p.y, p.x);
    if (d == 0) continue;  // a graph pixel already, or listed twice
    d = 0;
    if (dirty_rows) (*dirty_rows)[p.y] = 1;
    seeds.push_back(p);
  }
  // Distances only fall when sources are added: a breadth-first flood from the new ones
  // that goes on wherever it improves a distance gives the distances from all of them.
  ring_flood(std::move(seeds), [&](glm::ivec2 p, int k, std::vector<glm::ivec2>& next) {
    for (glm::ivec2 q : window_3x3(p, rows, cols)) {
      int32_t& d = dist.at<int32_t>(q.y, q.x);
      if ((d != -1 && d <= k) || !is_stroke(l, q)) continue;
      d = k;
      if (dirty_rows) (*dirty_rows)[q.y] = 1;
      next.push_back(q);
    }
  });
}

void compute_graph_distance(std::list<layer>& layers) {
  for (layer& l : layers) compute_layer_graph_distance(l);
}

#include "pipeline/trace_edge_one_node.h"

#include <set>
#include <vector>

#include "pipeline/pixel_neighbourhoods.h"
#include "pipeline/view_settings.h"

namespace {

using pixel_set = std::set<glm::ivec2>;

// Turns edge pixel p of the open stroke's pair into a junction pixel of that pair.
void move_to_junctions(pixel_graph& g, const ipair& key, glm::ivec2 p) {
  g.edge_pixels.erase(p);
  g.edge_pixels_by_pair[key].erase(p);
  g.junction_pixels.insert(p);
  g.junction_pixels_by_pair[key].insert(p);
}

bool trace_layer(layer& l, int least_distance) {
  const cv::Mat& dist = l.graph_dist;
  const int rows = dist.rows, cols = dist.cols;
  auto d = [&](glm::ivec2 q) { return dist.at<int32_t>(q.y, q.x); };
  auto s = [&](glm::ivec2 q) { return l.stroke_depth.at<int32_t>(q.y, q.x); };

  int32_t m = -1;
  glm::ivec2 seed(0, 0);
  for (int y = 0; y < rows; ++y) {
    const int32_t* row = dist.ptr<int32_t>(y);
    for (int x = 0; x < cols; ++x)
      if (row[x] > m) {
        m = row[x];
        seed = glm::ivec2(x, y);
      }
  }
  // m < 0: no graph pixel at all, nothing to measure a stroke from.
  if (m <= 0 || m < least_distance) return false;

  const int32_t label = l.labels.at<int32_t>(seed.y, seed.x);
  const ipair key(label, label);
  pixel_graph& g = l.graph;

  // Plateau of the greatest distance around the seed.
  pixel_set plateau{seed};
  std::vector<glm::ivec2> stack{seed};
  while (!stack.empty()) {
    const glm::ivec2 p = stack.back();
    stack.pop_back();
    for (glm::ivec2 q : window_3x3(p, rows, cols))
      if (d(q) == m && plateau.insert(q).second) stack.push_back(q);
  }

  // Tip: the plateau pixel nearest its mean, the seed winning ties.
  const glm::ivec2 c = centroid(plateau.begin(), plateau.end());
  auto dist2 = [&](glm::ivec2 p) {
    const float dx = static_cast<float>(p.x - c.x), dy = static_cast<float>(p.y - c.y);
    return dx * dx + dy * dy;
  };
  glm::ivec2 best = seed;
  float best_d2 = dist2(seed);
  for (const glm::ivec2& p : plateau) {
    const float d2 = dist2(p);
    if (d2 < best_d2) {
      best = p;
      best_d2 = d2;
    }
  }

  // Ridge walk down to the graph along the stroke's middle line.
  pixel_set path{best}, front{best}, candidates;
  std::vector<glm::ivec2> path_queue;
  glm::ivec2 end = best;
  for (int32_t k = m - 1; k >= 0; --k) {
    int32_t deepest = -1;
    candidates.clear();
    for (const glm::ivec2& p : front)
      for (glm::ivec2 q : window_3x3(p, rows, cols))
        if (d(q) <= k && !path.count(q) && s(q) >= deepest) {
          deepest = s(q);
          end = q;
          candidates.insert(q);
        }
    pixel_set next;
    for (const glm::ivec2& q : candidates)
      if (s(q) == deepest) next.insert(q);
    candidates.clear();
    for (const glm::ivec2& p : next)
      for (glm::ivec2 q : window_3x3(p, rows, cols))
        if (d(q) == k && s(q) > deepest) candidates.insert(q);
    next.insert(candidates.begin(), candidates.end());
    front.swap(next);
    path.insert(front.begin(), front.end());
    path_queue.insert(path_queue.end(), front.begin(), front.end());
  }

  pixel_set ends = front;
  for (const glm::ivec2& p : front) path.erase(p);

  if (l.traced_pixels.count(end)) {
    // The walk ran into an earlier open stroke: its end and the graph pixels within four
    // steps of it (off the new path) join one junction cluster of this stroke's pair.
    for (const glm::ivec2& p : front) move_to_junctions(g, key, p);
    for (const glm::ivec2& p : front) {
      pixel_set cluster{p};
      std::vector<glm::ivec2> added{p}, next_added;
      for (int i = 0; i < 4; ++i) {
        next_added.clear();
        for (const glm::ivec2& r : added)
          for (glm::ivec2 q : window_3x3(r, rows, cols))
            if (d(q) == 0 && !path.count(q) && cluster.insert(q).second) next_added.push_back(q);
        added.swap(next_added);
      }
      for (const glm::ivec2& q : cluster) move_to_junctions(g, key, q);
    }
  } else if (!g.junction_pixels.count(end)) {
    // The walk ended on a boundary: spread over the graph pixels from the path until
    // the pixels beside them show a second label, so that the junction cluster spans
    // the boundary band where the stroke meets it.
    std::set<int32_t> seen_labels;
    for (glm::ivec2 q : window_3x3(end, rows, cols))
      if (d(q) != 0) seen_labels.insert(l.labels.at<int32_t>(q.y, q.x));
    path_queue.insert(path_queue.end(), front.begin(), front.end());
    std::vector<glm::ivec2> level = std::move(path_queue), next_level;
    while (seen_labels.size() == 1 && !level.empty()) {
      next_level.clear();
      for (const glm::ivec2& r : level)
        for (glm::ivec2 q : window_3x3(r, rows, cols)) {
          if (d(q) != 0)
            seen_labels.insert(l.labels.at<int32_t>(q.y, q.x));
          else if (ends.insert(q).second)
            next_level.push_back(q);
        }
      level.swap(next_level);
    }
    for (const glm::ivec2& q : ends) {
      if (g.junction_pixels.count(q)) continue;
      g.edge_pixels.erase(q);
      g.junction_pixels.insert(q);
      for (auto& [pair, pixels] : g.edge_pixels_by_pair)
        if (pixels.erase(q)) g.junction_pixels_by_pair[pair].insert(q);
    }
  }

  // The tip is a junction pixel by itself: the node of the stroke's free end.
  path.erase(best);
  ends.insert(best);
  std::set<glm::ivec2>& junctions = g.junction_pixels_by_pair[key];
  junctions.insert(best);
  junctions.insert(ends.begin(), ends.end());
  g.junction_pixels.insert(best);
  std::set<glm::ivec2>& edges = g.edge_pixels_by_pair[key];
  for (const glm::ivec2& p : path) {
    edges.insert(p);
    g.edge_pixels.insert(p);
    l.traced_pixels.insert(p);
  }
  return true;
}

}  // namespace

bool trace_edge_one_node(std::list<layer>& layers) {
  // Only the interactive worker traces; without a view, use the view's starting value.
  const int least_distance =
      main_gl_widget ? main_gl_widget->size_edge_one_node : view_settings().size_edge_one_node;
  bool traced = false;
  for (layer& l : layers) {
    if (l.v_peak.size() <= 1) continue;
    if (trace_layer(l, least_distance)) traced = true;
  }
  return traced;
}

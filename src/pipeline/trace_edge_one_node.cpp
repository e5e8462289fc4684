#include "pipeline/trace_edge_one_node.h"

#include <algorithm>
#include <set>
#include <vector>

#include <glm/common.hpp>

#include "pipeline/compute_graph_distance.h"
#include "pipeline/pixel_neighbourhoods.h"
#include "pipeline/view_settings.h"

namespace {

using pixel_set = std::set<glm::ivec2>;

// Turns edge pixel p of the open stroke's pair into a junction pixel of that pair.
void move_to_junctions(pixel_graph& g, const ipair& key, glm::ivec2 p, std::vector<glm::ivec2>& added) {
  g.edge_pixels.erase(p);
  g.edge_pixels_by_pair[key].erase(p);
  if (g.junction_pixels.insert(p).second) added.push_back(p);
  g.junction_pixels_by_pair[key].insert(p);
}

// The pixels of `set` 8-connected to `start` through `set` (all of `set` when start is
// not in it).
pixel_set connected_part(const pixel_set& set, glm::ivec2 start) {
  if (!set.count(start)) return set;
  pixel_set part{start};
  std::vector<glm::ivec2> stack{start};
  while (!stack.empty()) {
    const glm::ivec2 p = stack.back();
    stack.pop_back();
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        const glm::ivec2 q = p + glm::ivec2(dx, dy);
        if (set.count(q) && part.insert(q).second) stack.push_back(q);
      }
  }
  return part;
}

// Where a ridge walk ended: its last front, the pixel it ended at (the last that met or
// raised the deepest stroke depth), all its fronts in order, and where its first step
// went.
struct ridge_walk {
  pixel_set front;
  glm::ivec2 end;
  std::vector<glm::ivec2> path_queue;
  glm::ivec2 first_step;
};

// Keeps a walk off the way another walk left the tip: within `radius` (chessboard) of the
// tip, pixels on that walk's side of the tip are not stepped on. A radius below 0 keeps
// nothing off.
struct other_side {
  glm::ivec2 tip{0, 0}, away{0, 0};
  int radius = -1;
  bool blocks(glm::ivec2 q) const {
    const glm::ivec2 v = q - tip;
    return std::max(std::abs(v.x), std::abs(v.y)) <= radius && v.x * away.x + v.y * away.y > 0;
  }
};

// One ridge walk from the tip down to the graph, one graph-distance level at a time from
// `first_level`, along the deepest stroke pixels. `path` holds the pixels not to step on
// and gains the fronts.
ridge_walk walk_down(const layer& l, glm::ivec2 best, int32_t first_level, pixel_set& path,
                     const other_side& side = other_side()) {
  const cv::Mat& dist = l.graph_dist;
  const int rows = dist.rows, cols = dist.cols;
  auto d = [&](glm::ivec2 q) { return dist.at<int32_t>(q.y, q.x); };
  auto s = [&](glm::ivec2 q) { return l.stroke_depth.at<int32_t>(q.y, q.x); };
  ridge_walk walk{{best}, best, {}, best};
  pixel_set candidates;
  for (int32_t k = first_level; k >= 0; --k) {
    int32_t deepest = -1;
    candidates.clear();
    // Off the strokes (the paper of a kept region, which the graph distance never
    // reaches) only the first step may go, round the pixels next to the tip that are
    // taken: a walk through the paper would come to other strokes across it.
    const bool paper_allowed = k == first_level;
    for (const glm::ivec2& p : walk.front)
      for (glm::ivec2 q : window_3x3(p, rows, cols))
        if (d(q) <= k && (paper_allowed || d(q) >= 0) && !path.count(q) && s(q) >= deepest && !side.blocks(q)) {
          deepest = s(q);
          walk.end = q;
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
    // Keep to one side: at the middle of a stroke between two parts of the graph both
    // ways lead down, and a front on both would leave two half-walked ends.
    walk.front = connected_part(next, walk.end);
    if (k == first_level) walk.first_step = walk.end;
    path.insert(walk.front.begin(), walk.front.end());
    walk.path_queue.insert(walk.path_queue.end(), walk.front.begin(), walk.front.end());
  }
  return walk;
}

// Whether the second walk from the tip reached the graph far from where the first did
// (a stroke between two parts of the graph) rather than running back along the first
// walk's flank (a dangling stroke, whose tip is its free end).
bool reaches_graph_elsewhere(const layer& l, const ridge_walk& first, const ridge_walk& second, glm::ivec2 tip) {
  if (second.front.empty() || l.graph_dist.at<int32_t>(second.end.y, second.end.x) != 0) return false;
  const glm::ivec2 gap = glm::abs(first.end - second.end);
  const int32_t width = 2 * std::max(l.stroke_depth.at<int32_t>(tip.y, tip.x), 1);
  return std::max(gap.x, gap.y) > 2 * width + 8;
}

// Where a walk ran into an earlier open stroke within a stroke's width of that stroke's
// own junction, the piece of it left between the two junction clusters is no stroke:
// kept as an edge, it is a sliver at the end of which the optimiser hangs the strokes,
// off their middle lines. The earlier strokes' edge pixels (off `path`) within as many
// steps of the new cluster as it took to reach the other junction then join the
// junction, so that the two clusters become one.
void join_nearby_junction(layer& l, const ipair& key, const pixel_set& cluster, const pixel_set& path,
                          int32_t width, std::vector<glm::ivec2>& added) {
  pixel_graph& g = l.graph;
  const int rows = l.graph_dist.rows, cols = l.graph_dist.cols;
  pixel_set walked = cluster;
  std::vector<glm::ivec2> level(cluster.begin(), cluster.end()), next;
  for (int step = 0; step < width && !level.empty(); ++step) {
    next.clear();
    for (const glm::ivec2& r : level)
      for (glm::ivec2 q : window_3x3(r, rows, cols)) {
        if (walked.count(q) || path.count(q)) continue;
        if (g.junction_pixels.count(q)) {
          if (cluster.count(r)) continue;  // touching the cluster: one node with it already
          for (const glm::ivec2& p : walked)
            if (!cluster.count(p)) move_to_junctions(g, key, p, added);
          return;
        }
        if (!g.edge_pixels.count(q) || !l.traced_pixels.count(q)) continue;
        walked.insert(q);
        next.push_back(q);
      }
    level.swap(next);
  }
}

// The width of the stroke a walk went down: twice the median stroke depth on its path
// (the tip of a free end is shallower than the stroke).
int32_t stroke_width(const layer& l, const ridge_walk& walk) {
  if (walk.path_queue.empty()) return 2;
  std::vector<int32_t> depth;
  depth.reserve(walk.path_queue.size());
  for (const glm::ivec2& p : walk.path_queue) depth.push_back(l.stroke_depth.at<int32_t>(p.y, p.x));
  std::nth_element(depth.begin(), depth.begin() + std::ptrdiff_t(depth.size() / 2), depth.end());
  return 2 * std::max(depth[depth.size() / 2], 1);
}

// Joins the end of a walk to the graph (the walk's last front and the pixels it adds
// become junction pixels of the stroke's pair, collected in `ends`).
void attach_end(layer& l, const ipair& key, ridge_walk& walk, const pixel_set& path, pixel_set& ends,
                std::vector<glm::ivec2>& added) {
  const cv::Mat& dist = l.graph_dist;
  const int rows = dist.rows, cols = dist.cols;
  auto d = [&](glm::ivec2 q) { return dist.at<int32_t>(q.y, q.x); };
  pixel_graph& g = l.graph;
  const pixel_set& front = walk.front;
  const glm::ivec2 end = walk.end;
  if (l.traced_pixels.count(end)) {
    // The walk ran into an earlier open stroke: its end and the graph pixels within four
    // steps of it (off the new path) join one junction cluster of this stroke's pair,
    // which takes in a junction just beyond it.
    for (const glm::ivec2& p : front) move_to_junctions(g, key, p, added);
    pixel_set joined = front;
    for (const glm::ivec2& p : front) {
      pixel_set cluster{p};
      std::vector<glm::ivec2> reached{p}, next_reached;
      for (int i = 0; i < 4; ++i) {
        next_reached.clear();
        for (const glm::ivec2& r : reached)
          for (glm::ivec2 q : window_3x3(r, rows, cols))
            if (d(q) == 0 && !path.count(q) && cluster.insert(q).second) next_reached.push_back(q);
        reached.swap(next_reached);
      }
      // Already graph pixels: their distances do not change.
      std::vector<glm::ivec2> unused;
      for (const glm::ivec2& q : cluster) move_to_junctions(g, key, q, unused);
      joined.insert(cluster.begin(), cluster.end());
    }
    join_nearby_junction(l, key, joined, path, stroke_width(l, walk), added);
  } else if (!g.junction_pixels.count(end)) {
    // The walk ended on a boundary: spread over the graph pixels from the path until
    // the pixels beside them show a second label, so that the junction cluster spans
    // the boundary band where the stroke meets it.
    std::set<int32_t> seen_labels;
    for (glm::ivec2 q : window_3x3(end, rows, cols))
      if (d(q) != 0) seen_labels.insert(l.labels.at<int32_t>(q.y, q.x));
    walk.path_queue.insert(walk.path_queue.end(), front.begin(), front.end());
    std::vector<glm::ivec2> level = std::move(walk.path_queue), next_level;
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
      added.push_back(q);
      for (auto& [pair, pixels] : g.edge_pixels_by_pair)
        if (pixels.erase(q)) g.junction_pixels_by_pair[pair].insert(q);
    }
  }
}

// The greatest graph distance and its first pixel in row-major order, from the rows'
// greatest values when they are known (only that row is then read).
void farthest_pixel(const cv::Mat& dist, const std::vector<int32_t>* row_max, int32_t& m, glm::ivec2& seed) {
  m = -1;
  seed = glm::ivec2(0, 0);
  int first_row = 0, last_row = dist.rows;
  if (row_max) {
    int best_row = -1;
    for (int y = 0; y < dist.rows; ++y)
      if ((*row_max)[y] > m) {
        m = (*row_max)[y];
        best_row = y;
      }
    if (best_row < 0) return;
    m = -1;
    first_row = best_row;
    last_row = best_row + 1;
  }
  for (int y = first_row; y < last_row; ++y) {
    const int32_t* row = dist.ptr<int32_t>(y);
    for (int x = 0; x < dist.cols; ++x)
      if (row[x] > m) {
        m = row[x];
        seed = glm::ivec2(x, y);
      }
  }
}

bool trace_layer(layer& l, int least_distance, std::vector<glm::ivec2>& added,
                 const std::vector<int32_t>* row_max) {
  const cv::Mat& dist = l.graph_dist;
  const int rows = dist.rows, cols = dist.cols;
  auto d = [&](glm::ivec2 q) { return dist.at<int32_t>(q.y, q.x); };

  int32_t m = -1;
  glm::ivec2 seed(0, 0);
  farthest_pixel(dist, row_max, m, seed);
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
  pixel_set path{best};
  ridge_walk walk = walk_down(l, best, m - 1, path);
  pixel_set ends = walk.front;
  for (const glm::ivec2& p : walk.front) path.erase(p);

  // A stroke between two parts of the graph (not a dangling one) has its farthest pixel
  // in its middle: walk down the other side as well, or the half left over would be
  // traced piecemeal from its own middle, and its last short piece not at all.
  pixel_set other_path = path;
  other_path.insert(walk.front.begin(), walk.front.end());
  // The other side may start on the tip's plateau, one step past the tip's window, and
  // must not run back along the first walk's flank.
  const int32_t width = 2 * std::max(l.stroke_depth.at<int32_t>(best.y, best.x), 1);
  ridge_walk other = walk_down(l, best, m, other_path, {best, walk.first_step - best, 2 * width + 2});
  const bool bridge = reaches_graph_elsewhere(l, walk, other, best);
  if (bridge) {
    for (const glm::ivec2& p : other.front) other_path.erase(p);
    for (const glm::ivec2& p : walk.front) other_path.erase(p);
    path.swap(other_path);
  }

  attach_end(l, key, walk, path, ends, added);
  if (bridge) {
    // Only now: made junction pixels with the first end, the second end's front would
    // count as joined already, and its cluster would not span the boundary band it meets
    // (the band would then pass beside the node as one edge around the region).
    ends.insert(other.front.begin(), other.front.end());
    attach_end(l, key, other, path, ends, added);
  }

  // The tip is a junction pixel by itself: the node of the stroke's free end.
  path.erase(best);
  ends.insert(best);
  std::set<glm::ivec2>& junctions = g.junction_pixels_by_pair[key];
  junctions.insert(best);
  junctions.insert(ends.begin(), ends.end());
  if (g.junction_pixels.insert(best).second) added.push_back(best);
  std::set<glm::ivec2>& edges = g.edge_pixels_by_pair[key];
  for (const glm::ivec2& p : path) {
    edges.insert(p);
    if (g.edge_pixels.insert(p).second) added.push_back(p);
    l.traced_pixels.insert(p);
  }
  return true;
}

}  // namespace

bool trace_edge_one_node(std::list<layer>& layers, std::vector<std::vector<glm::ivec2>>* added,
                         const std::vector<std::vector<int32_t>>* row_max) {
  // Only the interactive worker traces; without a view, use the view's starting value.
  const int least_distance =
      main_gl_widget ? main_gl_widget->size_edge_one_node : view_settings().size_edge_one_node;
  bool traced = false;
  std::vector<glm::ivec2> scratch;
  if (added) added->assign(layers.size(), {});
  std::size_t i = 0;
  for (auto l = layers.begin(); l != layers.end(); ++l, ++i) {
    std::vector<glm::ivec2>& out = added ? (*added)[i] : scratch;
    if (l->v_peak.size() <= 1) continue;
    if (trace_layer(*l, least_distance, out, row_max ? &(*row_max)[i] : nullptr)) traced = true;
    if (!added) scratch.clear();
  }
  return traced;
}

namespace {

// The greatest graph distance of every window row whose entry in `dirty` is set.
void update_row_maxima(const cv::Mat& dist, std::vector<char>& dirty, std::vector<int32_t>& row_max) {
  row_max.resize(std::size_t(dist.rows), -1);
  for (int y = 0; y < dist.rows; ++y) {
    if (!dirty[y]) continue;
    dirty[y] = 0;
    const int32_t* row = dist.ptr<int32_t>(y);
    row_max[y] = dist.cols > 0 ? *std::max_element(row, row + dist.cols) : -1;
  }
}

}  // namespace

int trace_open_strokes(std::list<layer>& layers, int max_passes) {
  std::vector<cv::Mat> from_end(layers.size());
  std::vector<std::vector<glm::ivec2>> added;
  // Per layer, the greatest distance of each window row, so that finding the farthest
  // pixel reads the rows that changed, not the page.
  std::vector<std::vector<int32_t>> row_max(layers.size());
  std::vector<std::vector<char>> dirty(layers.size());
  int traced = 0;
  for (int pass = 0; max_passes < 0 || pass < max_passes; ++pass) {
    std::size_t i = 0;
    for (layer& l : layers) {
      if (pass == 0) {
        compute_layer_graph_distance(l, &from_end[i]);
        dirty[i].assign(std::size_t(l.graph_dist.rows), 1);
      } else {
        update_layer_graph_distance(l, from_end[i], added[i], &dirty[i]);
      }
      update_row_maxima(l.graph_dist, dirty[i], row_max[i]);
      ++i;
    }
    if (!trace_edge_one_node(layers, &added, &row_max)) break;
    ++traced;
  }
  return traced;
}

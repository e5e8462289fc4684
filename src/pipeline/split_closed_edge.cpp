#include "pipeline/split_closed_edge.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <vector>

#include "pipeline/pixel_neighbourhoods.h"

namespace {

int32_t squared_distance(glm::ivec2 a, glm::ivec2 b) {
  const int32_t dx = a.x - b.x, dy = a.y - b.y;
  return dx * dx + dy * dy;
}

bool within_two(glm::ivec2 a, glm::ivec2 b) {
  return std::abs(a.x - b.x) <= 2 && std::abs(a.y - b.y) <= 2;
}

}  // namespace

void split_closed_edge(pixel_graph& graph, std::map<int32_t, ipair>& edge_pairs, int32_t f,
                       int32_t& edge_count, int rows, int cols) {
  if (!graph.nodes_of_edge[f].empty()) return;
  const ipair pair = edge_pairs[f];
  const std::set<glm::ivec2>& pair_pixels = graph.edge_pixels_by_pair[pair];

  // Only f's own pixels are candidates: the pair may hold other boundaries, and nodes
  // placed on them would leave f without ends.
  std::vector<glm::ivec2> own;
  for (const glm::ivec2& p : pair_pixels) {
    auto it = graph.edge_of_pixel.find(p);
    if (it != graph.edge_of_pixel.end() && it->second == f) own.push_back(p);
  }
  if (own.empty()) return;

  const glm::ivec2 p0 = own.front();
  glm::ivec2 p1 = p0;
  float far = 0;
  for (const glm::ivec2& p : own) {
    const float d = static_cast<float>(squared_distance(p, p0));
    if (d > far) {
      far = d;
      p1 = p;
    }
  }
  glm::ivec2 p2 = p0;
  far = 0;
  for (const glm::ivec2& p : own) {
    const float d =
        static_cast<float>(std::min(squared_distance(p, p0), squared_distance(p, p1)));
    if (d > far) {
      far = d;
      p2 = p;
    }
  }

  const int32_t g = edge_count++;
  const int32_t n0 = static_cast<int32_t>(graph.v_node_centroid.size()), n1 = n0 + 1;
  graph.v_node_centroid.emplace_back(p0);
  graph.v_node_centroid.emplace_back(p1);
  graph.v_node_pixel.push_back(p0);
  graph.v_node_pixel.push_back(p1);

  graph.nodes_of_edge[g].insert({n0, n1});
  graph.nodes_of_edge[f].insert({n0, n1});
  graph.edges_of_node[n0].insert({f, g});
  graph.edges_of_node[n1].insert({f, g});

  for (const glm::ivec2& p : {p0, p1}) graph.make_junction_pixel(pair, p);
  graph.node_of_pixel[p0] = n0;
  graph.node_of_pixel[p1] = n1;
  graph.edges_of_pair[pair].insert(g);

  // An edge of one or two pixels has no pixel left between its two nodes.
  if (p2 == p0 || p2 == p1) return;

  graph.edge_of_pixel[p2] = g;
  std::vector<glm::ivec2> stack{p2};
  while (!stack.empty()) {
    const glm::ivec2 c = stack.back();
    stack.pop_back();
    // Near the nodes the flood stops spreading, so it cannot leak past them into the
    // other arc.
    const bool spreads = !within_two(c, p0) && !within_two(c, p1);
    for (glm::ivec2 q : window_3x3(c, rows, cols)) {
      auto it = graph.edge_of_pixel.find(q);
      if (it == graph.edge_of_pixel.end() || it->second != f || !pair_pixels.count(q)) continue;
      it->second = g;
      if (spreads) stack.push_back(q);
    }
  }
}

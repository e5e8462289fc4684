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

bool within(glm::ivec2 a, glm::ivec2 b, int radius) {
  return std::abs(a.x - b.x) <= radius && std::abs(a.y - b.y) <= radius;
}

// The pixels of edge f (among pair_pixels) that the flood from p2 reaches when it stops
// spreading within chessboard `radius` of p0 or p1.
std::set<glm::ivec2> arc_through(const pixel_graph& graph, int32_t f, const std::set<glm::ivec2>& pair_pixels,
                                 glm::ivec2 p0, glm::ivec2 p1, glm::ivec2 p2, int radius, int rows,
                                 int cols) {
  std::set<glm::ivec2> arc{p2};
  std::vector<glm::ivec2> stack{p2};
  while (!stack.empty()) {
    const glm::ivec2 c = stack.back();
    stack.pop_back();
    const bool spreads = !within(c, p0, radius) && !within(c, p1, radius);
    for (glm::ivec2 q : window_3x3(c, rows, cols)) {
      auto it = graph.edge_of_pixel.find(q);
      if (it == graph.edge_of_pixel.end() || it->second != f || !pair_pixels.count(q)) continue;
      if (arc.insert(q).second && spreads) stack.push_back(q);
    }
  }
  return arc;
}

// Whether the arc went round past a node into the other arc: every pixel of f away from
// the nodes is in it.
bool leaked(const std::vector<glm::ivec2>& own, const std::set<glm::ivec2>& arc, glm::ivec2 p0, glm::ivec2 p1,
            int radius) {
  for (const glm::ivec2& p : own)
    if (!within(p, p0, radius) && !within(p, p1, radius) && !arc.count(p)) return false;
  return true;
}

// With a hold wider than the usual one the arcs stop short of the nodes, and one may not
// touch its node at all: the held pixels that the arc did not take join the node they lie
// by as junction pixels, so that both arcs reach both nodes through them.
void absorb_held_pixels(pixel_graph& graph, const ipair& pair, int32_t f, const std::vector<glm::ivec2>& own,
                        const std::set<glm::ivec2>& arc, glm::ivec2 p0, glm::ivec2 p1, int32_t n0,
                        int32_t n1, int radius) {
  for (const glm::ivec2& p : own) {
    if (p == p0 || p == p1 || arc.count(p)) continue;
    const bool by_p0 = within(p, p0, radius), by_p1 = within(p, p1, radius);
    if (!by_p0 && !by_p1) continue;
    auto it = graph.edge_of_pixel.find(p);
    if (it == graph.edge_of_pixel.end() || it->second != f) continue;
    graph.make_junction_pixel(pair, p);
    const bool nearer_p0 = squared_distance(p, p0) <= squared_distance(p, p1);
    graph.node_of_pixel[p] = by_p0 && (!by_p1 || nearer_p0) ? n0 : n1;
  }
  // As for any cluster: the mean of its pixels, and its greatest pixel stands for it.
  for (const int32_t n : {n0, n1}) {
    glm::vec2 sum(0, 0);
    int count = 0;
    for (const auto& [p, id] : graph.node_of_pixel)
      if (id == n) {
        sum += glm::vec2(p);
        ++count;
        graph.v_node_pixel[n] = p;
      }
    graph.v_node_centroid[n] = sum / static_cast<float>(count);
  }
}

// Where a thick band turns a sharp corner its pixels beside a node reach farther than
// two pixels from it; the hold grows until the arc stays on its side, up to this.
constexpr int largest_hold = 12;

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

  // A wider hold only where the usual one lets the flood round a node.
  std::set<glm::ivec2> arc;
  int radius = 2;
  for (; radius <= largest_hold; ++radius) {
    arc = arc_through(graph, f, pair_pixels, p0, p1, p2, radius, rows, cols);
    if (!leaked(own, arc, p0, p1, radius)) break;
  }
  if (radius > 2 && radius <= largest_hold) absorb_held_pixels(graph, pair, f, own, arc, p0, p1, n0, n1, radius);
  for (const glm::ivec2& q : arc) graph.edge_of_pixel[q] = g;
}

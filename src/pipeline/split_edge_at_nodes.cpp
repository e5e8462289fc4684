#include "pipeline/split_edge_at_nodes.h"

#include <algorithm>
#include <deque>
#include <set>


namespace {

// Held back around a node: the pixels a run may not cross there.
constexpr int held_radius = 2;
// A run ends at a node with a pixel this close (one step past the held-back pixels).
constexpr int end_radius = held_radius + 1;

// One edge's pixels on a small grid around them, with what lies near each pixel.
class edge_grid {
 public:
  edge_grid(const pixel_graph& g, const std::set<int32_t>& nodes, const std::vector<glm::ivec2>& pixels)
      : pixels_(pixels) {
    lo_ = hi_ = pixels.front();
    for (glm::ivec2 p : pixels) {
      lo_ = glm::ivec2(std::min(lo_.x, p.x), std::min(lo_.y, p.y));
      hi_ = glm::ivec2(std::max(hi_.x, p.x), std::max(hi_.y, p.y));
    }
    lo_ -= glm::ivec2(end_radius);
    hi_ += glm::ivec2(end_radius);
    index_.assign(static_cast<std::size_t>(width()) * (hi_.y - lo_.y + 1), -1);
    for (std::size_t i = 0; i < pixels.size(); ++i) index_[cell(pixels[i])] = static_cast<int>(i);
    near_.resize(pixels.size());
    held_.assign(pixels.size(), 0);
    // Node pixels of the edge's nodes inside the grid, found column by column.
    for (int x = lo_.x; x <= hi_.x; ++x)
      for (auto it = g.node_of_pixel.lower_bound(glm::ivec2(x, lo_.y));
           it != g.node_of_pixel.end() && it->first.x == x && it->first.y <= hi_.y; ++it)
        if (nodes.count(it->second)) mark_node(it->first, it->second);
  }

  std::size_t size() const { return pixels_.size(); }
  glm::ivec2 pixel(int i) const { return pixels_[i]; }
  // Local index of window pixel p, -1 when p is not one of the edge's pixels.
  int at(glm::ivec2 p) const {
    if (p.x < lo_.x || p.y < lo_.y || p.x > hi_.x || p.y > hi_.y) return -1;
    return index_[cell(p)];
  }
  const std::vector<int32_t>& near(int i) const { return near_[i]; }
  bool held(int i) const { return held_[i] != 0; }
  void hold(int i) { held_[i] = 1; }

  // Records node n at pixel p: pixels within end_radius end there, those within
  // held_radius are held back.
  void mark_node(glm::ivec2 p, int32_t n) {
    for (int dy = -end_radius; dy <= end_radius; ++dy)
      for (int dx = -end_radius; dx <= end_radius; ++dx) {
        const int i = at(p + glm::ivec2(dx, dy));
        if (i < 0) continue;
        if (std::find(near_[i].begin(), near_[i].end(), n) == near_[i].end()) near_[i].push_back(n);
        if (std::max(std::abs(dx), std::abs(dy)) <= held_radius) held_[i] = 1;
      }
  }

 private:
  int width() const { return hi_.x - lo_.x + 1; }
  std::size_t cell(glm::ivec2 p) const {
    return static_cast<std::size_t>(p.y - lo_.y) * width() + (p.x - lo_.x);
  }
  const std::vector<glm::ivec2>& pixels_;
  glm::ivec2 lo_, hi_;
  std::vector<int> index_;
  std::vector<std::vector<int32_t>> near_;
  std::vector<char> held_;
};

// An 8-connected run of pixels that are not held back, with the nodes it ends at.
struct run {
  std::vector<int> members;  // local indices, in the order the flood reached them
  std::vector<int32_t> ends;  // ascending
};

// 8-neighbours of local pixel i among the edge's pixels.
template <class Visit>
void for_each_neighbour(const edge_grid& grid, int i, Visit visit) {
  const glm::ivec2 p = grid.pixel(i);
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) {
      if (dx == 0 && dy == 0) continue;
      const int j = grid.at(p + glm::ivec2(dx, dy));
      if (j >= 0) visit(j);
    }
}

// The runs among `candidates` (local indices in pixel order) that are not held back.
std::vector<run> runs_of(const edge_grid& grid, const std::vector<int>& candidates) {
  std::vector<char> allowed(grid.size(), 0), seen(grid.size(), 0);
  for (int i : candidates)
    if (!grid.held(i)) allowed[i] = 1;
  std::vector<run> runs;
  for (int s : candidates) {
    if (!allowed[s] || seen[s]) continue;
    run r;
    seen[s] = 1;
    r.members.push_back(s);
    for (std::size_t k = 0; k < r.members.size(); ++k)
      for_each_neighbour(grid, r.members[k], [&](int j) {
        if (allowed[j] && !seen[j]) {
          seen[j] = 1;
          r.members.push_back(j);
        }
      });
    std::set<int32_t> ends;
    for (int i : r.members) ends.insert(grid.near(i).begin(), grid.near(i).end());
    r.ends.assign(ends.begin(), ends.end());
    runs.push_back(std::move(r));
  }
  return runs;
}

// Walking distance through the run from its pixels that end at node n; -1 elsewhere.
// The pixels come back in the order the walk reached them.
std::vector<int> walk_from(const edge_grid& grid, const run& r, int32_t n, std::vector<int>& order) {
  std::vector<int> distance(grid.size(), -1);
  std::vector<char> in_run(grid.size(), 0);
  for (int i : r.members) in_run[i] = 1;
  std::vector<int> sorted = r.members;
  std::sort(sorted.begin(), sorted.end());
  order.clear();
  for (int i : sorted) {
    const std::vector<int32_t>& near = grid.near(i);
    if (std::find(near.begin(), near.end(), n) == near.end()) continue;
    distance[i] = 0;
    order.push_back(i);
  }
  for (std::size_t k = 0; k < order.size(); ++k)
    for_each_neighbour(grid, order[k], [&](int j) {
      if (in_run[j] && distance[j] < 0) {
        distance[j] = distance[order[k]] + 1;
        order.push_back(j);
      }
    });
  return distance;
}

// The node of `candidates` whose nearest pixel of the run lies farthest from `from`
// along it (the first of equals).
int32_t farthest_end(const edge_grid& grid, const run& r, int32_t from, const std::vector<int32_t>& candidates) {
  std::vector<int> order;
  const std::vector<int> distance = walk_from(grid, r, from, order);
  int32_t best = from;
  int best_distance = -1;
  for (int32_t n : candidates) {
    if (n == from) continue;
    int nearest = -1;
    for (int i : order) {
      const std::vector<int32_t>& near = grid.near(i);
      if (std::find(near.begin(), near.end(), n) != near.end()) {
        nearest = distance[i];
        break;
      }
    }
    if (nearest > best_distance) {
      best_distance = nearest;
      best = n;
    }
  }
  return best;
}

// Makes window pixel p a node of its own (junction pixel of `pair`); returns its id.
int32_t add_node(pixel_graph& g, const ipair& pair, glm::ivec2 p) {
  const int32_t n = static_cast<int32_t>(g.v_node_centroid.size());
  g.v_node_centroid.emplace_back(p);
  g.v_node_pixel.push_back(p);
  g.make_junction_pixel(pair, p);
  g.node_of_pixel[p] = n;
  return n;
}

// Splits the runs into arcs between two nodes each, adding a node at the far end of
// every run that ends at one node only. Pixels of runs too small to carry an arc are
// held back.
std::vector<run> arcs_of(pixel_graph& g, const ipair& pair, edge_grid& grid, std::vector<char>& node_pixel) {
  std::vector<int> all(grid.size());
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
  std::vector<run> pending_runs = runs_of(grid, all);
  std::deque<run> pending(pending_runs.begin(), pending_runs.end());
  std::vector<run> arcs;
  while (!pending.empty()) {
    run r = std::move(pending.front());
    pending.pop_front();
    if (r.ends.size() >= 3) {
      // The band passes beside the other nodes without being cut there: cut it across,
      // where the walk from one far end reaches each of them.
      const int32_t a = farthest_end(grid, r, r.ends.front(), r.ends);
      const int32_t b = farthest_end(grid, r, a, r.ends);
      std::vector<int> order;
      const std::vector<int> distance = walk_from(grid, r, a, order);
      for (int32_t n : r.ends) {
        if (n == a || n == b) continue;
        // Across the middle of the pixels that end at n, so that both pieces end there.
        long sum = 0, count = 0;
        for (int i : r.members)
          if (std::find(grid.near(i).begin(), grid.near(i).end(), n) != grid.near(i).end()) {
            sum += distance[i];
            ++count;
          }
        const long at = sum / count;
        for (int i : r.members)
          if (distance[i] >= at - 1 && distance[i] <= at + 1) grid.hold(i);
      }
      std::vector<int> members = r.members;
      std::sort(members.begin(), members.end());
      std::vector<run> parts = runs_of(grid, members);
      if (parts.size() > 1 || (parts.size() == 1 && parts[0].ends.size() < r.ends.size())) {
        pending.insert(pending.begin(), parts.begin(), parts.end());
        continue;
      }
      // Nothing to cut across: the arc runs between the two far ends.
      if (parts.size() == 1) r = std::move(parts[0]);
      r.ends = {std::min(a, b), std::max(a, b)};
    }
    if (r.ends.size() == 2) {
      arcs.push_back(std::move(r));
      continue;
    }
    if (r.ends.size() == 1) {
      std::vector<int> order;
      const std::vector<int> distance = walk_from(grid, r, r.ends.front(), order);
      int far = -1;
      for (int i : order)
        if (far < 0 || distance[i] > distance[far]) far = i;
      if (far >= 0 && distance[far] > 0) {
        node_pixel[far] = 1;
        grid.hold(far);
        grid.mark_node(grid.pixel(far), add_node(g, pair, grid.pixel(far)));
        std::vector<int> members = r.members;
        std::sort(members.begin(), members.end());
        std::vector<run> parts = runs_of(grid, members);
        pending.insert(pending.begin(), parts.begin(), parts.end());
        continue;
      }
    }
    for (int i : r.members) grid.hold(i);
  }
  return arcs;
}

}  // namespace

bool split_edge_at_nodes(pixel_graph& g, std::map<int32_t, ipair>& edge_pairs, int32_t f,
                         const std::vector<glm::ivec2>& pixels, int32_t& edge_count) {
  const std::set<int32_t> nodes = g.nodes_of_edge[f];
  if (nodes.empty() || pixels.empty()) return false;
  const ipair pair = edge_pairs[f];
  edge_grid grid(g, nodes, pixels);
  const std::size_t nb_nodes_before = g.v_node_centroid.size();
  std::vector<char> node_pixel(grid.size(), 0);
  std::vector<run> arcs = arcs_of(g, pair, grid, node_pixel);
  // Too short to hold a run of its own: left as it is.
  if (arcs.empty()) return false;
  if (arcs.size() == 1 && g.v_node_centroid.size() == nb_nodes_before &&
      std::set<int32_t>(arcs[0].ends.begin(), arcs[0].ends.end()) == nodes)
    return false;

  // Arc ids: the first keeps f.
  std::vector<int32_t> id_of_arc;
  for (std::size_t a = 0; a < arcs.size(); ++a) {
    const int32_t id = a == 0 ? f : edge_count++;
    id_of_arc.push_back(id);
    if (id != f) {
      edge_pairs[id] = pair;
      g.edges_of_pair[pair].insert(id);
    }
  }

  // Every remaining pixel joins the arc that reaches it first.
  std::vector<int32_t> owner(grid.size(), -1);
  std::vector<int> queue;
  for (std::size_t a = 0; a < arcs.size(); ++a)
    for (int i : arcs[a].members) {
      owner[i] = id_of_arc[a];
      queue.push_back(i);
    }
  for (std::size_t k = 0; k < queue.size(); ++k)
    for_each_neighbour(grid, queue[k], [&](int j) {
      if (owner[j] < 0 && !node_pixel[j]) {
        owner[j] = owner[queue[k]];
        queue.push_back(j);
      }
    });
  for (std::size_t i = 0; i < grid.size(); ++i) {
    if (node_pixel[i]) continue;
    g.edge_of_pixel[grid.pixel(static_cast<int>(i))] = owner[i] < 0 ? f : owner[i];
  }

  for (int32_t n : nodes) g.edges_of_node[n].erase(f);
  g.nodes_of_edge[f].clear();
  for (std::size_t a = 0; a < arcs.size(); ++a)
    for (int32_t n : arcs[a].ends) {
      g.nodes_of_edge[id_of_arc[a]].insert(n);
      g.edges_of_node[n].insert(id_of_arc[a]);
    }
  return true;
}

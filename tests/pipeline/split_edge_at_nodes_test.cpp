#include "pipeline/split_edge_at_nodes.h"

#include <gtest/gtest.h>

namespace {

using pixels = std::set<glm::ivec2>;
using ids = std::set<int32_t>;

// A pixel graph with one edge (id 0, pair (1, 2)) of the given pixels and the given
// junction clusters, linked as the node step links them.
struct hand_graph {
  pixel_graph g;
  std::map<int32_t, ipair> pairs{{0, {1, 2}}};
  std::vector<glm::ivec2> edge;
  int32_t edge_count = 1;

  hand_graph(const pixels& band, const std::vector<pixels>& clusters) {
    edge.assign(band.begin(), band.end());
    for (const glm::ivec2& p : band) {
      g.edge_pixels.insert(p);
      g.edge_pixels_by_pair[{1, 2}].insert(p);
      g.edge_of_pixel[p] = 0;
    }
    g.edges_of_pair[{1, 2}] = {0};
    for (std::size_t n = 0; n < clusters.size(); ++n) {
      glm::vec2 sum(0, 0);
      for (const glm::ivec2& p : clusters[n]) {
        g.junction_pixels.insert(p);
        g.node_of_pixel[p] = static_cast<int32_t>(n);
        sum += glm::vec2(p);
      }
      g.v_node_centroid.push_back(sum / static_cast<float>(clusters[n].size()));
      g.v_node_pixel.push_back(*clusters[n].rbegin());
      g.nodes_of_edge[0].insert(static_cast<int32_t>(n));
      g.edges_of_node[static_cast<int32_t>(n)].insert(0);
    }
  }
};

pixels block(int x0, int y0, int x1, int y1) {
  pixels out;
  for (int x = x0; x <= x1; ++x)
    for (int y = y0; y <= y1; ++y) out.insert({x, y});
  return out;
}

// Every pixel of the band is a node pixel or in an edge between two nodes, and the links
// are mirrored.
void expect_every_pixel_between_two_nodes(const hand_graph& h) {
  for (const glm::ivec2& p : h.edge) {
    if (h.g.node_of_pixel.count(p)) continue;
    ASSERT_TRUE(h.g.edge_of_pixel.count(p)) << p.x << "," << p.y;
    const int32_t e = h.g.edge_of_pixel.at(p);
    ASSERT_EQ(h.g.nodes_of_edge.at(e).size(), 2u) << "edge " << e;
    for (int32_t n : h.g.nodes_of_edge.at(e)) EXPECT_TRUE(h.g.edges_of_node.at(n).count(e));
  }
}

TEST(SplitEdgeAtNodes, EveryPixelEndsInAnEdgeBetweenTwoNodes) {
  struct shape {
    const char* name;
    pixels band;
    std::vector<pixels> clusters;
    std::size_t nb_nodes, nb_edges;  // afterwards
  };
  // A ring two pixels wide that leaves and re-enters one cluster.
  pixels ring = block(0, 0, 30, 30);
  for (const glm::ivec2& p : block(2, 2, 28, 28)) ring.erase(p);
  const pixels ring_cluster = block(14, 0, 16, 1);
  for (const glm::ivec2& p : ring_cluster) ring.erase(p);
  const shape shapes[] = {
      // A traced stroke whose far end got no node: a node at its far end, one edge.
      {"free end", block(2, 0, 40, 1), {block(0, 0, 1, 1)}, 2, 1},
      // A loop through one node: a node across it and two arcs.
      {"loop", ring, {ring_cluster}, 2, 2},
      // A band four pixels wide with a node at each end and one beside its middle that
      // does not cut it: cut across there, two edges.
      {"node beside the band", block(2, 1, 60, 4), {block(0, 1, 1, 4), block(61, 1, 62, 4), block(30, 0, 31, 0)},
       3, 2},
  };
  for (const shape& s : shapes) {
    SCOPED_TRACE(s.name);
    hand_graph h(s.band, s.clusters);
    EXPECT_TRUE(split_edge_at_nodes(h.g, h.pairs, 0, h.edge, h.edge_count));
    EXPECT_EQ(h.g.v_node_pixel.size(), s.nb_nodes);
    EXPECT_EQ(static_cast<std::size_t>(h.edge_count), s.nb_edges);
    EXPECT_EQ(h.g.edges_of_pair.at({1, 2}).size(), s.nb_edges);
    expect_every_pixel_between_two_nodes(h);
    // Every node ends up joined to an edge.
    for (std::size_t n = 0; n < s.nb_nodes; ++n) EXPECT_FALSE(h.g.edges_of_node[static_cast<int32_t>(n)].empty());
  }
}

TEST(SplitEdgeAtNodes, FreeEndGetsItsNodeAtTheFarEndAndAPlainEdgeIsLeftAlone) {
  hand_graph h(block(2, 0, 40, 1), {block(0, 0, 1, 1)});
  ASSERT_TRUE(split_edge_at_nodes(h.g, h.pairs, 0, h.edge, h.edge_count));
  const glm::ivec2 far = h.g.v_node_pixel[1];
  EXPECT_EQ(far.x, 40);
  EXPECT_TRUE(h.g.junction_pixels.count(far));
  EXPECT_TRUE(h.g.junction_pixels_by_pair.at({1, 2}).count(far));
  EXPECT_FALSE(h.g.edge_pixels.count(far));
  EXPECT_FALSE(h.g.edge_of_pixel.count(far));
  EXPECT_EQ(h.g.nodes_of_edge.at(0), (ids{0, 1}));

  // An edge between two nodes, and one without nodes, are not touched.
  hand_graph plain(block(2, 0, 40, 1), {block(0, 0, 1, 1), block(41, 0, 42, 1)});
  const pixel_graph before = plain.g;
  EXPECT_FALSE(split_edge_at_nodes(plain.g, plain.pairs, 0, plain.edge, plain.edge_count));
  EXPECT_EQ(plain.g.edge_of_pixel, before.edge_of_pixel);
  EXPECT_EQ(plain.edge_count, 1);
  hand_graph closed(block(2, 0, 40, 1), {});
  EXPECT_FALSE(split_edge_at_nodes(closed.g, closed.pairs, 0, closed.edge, closed.edge_count));
}

}  // namespace

#include "pipeline/extract_nodes.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <gtest/gtest.h>

#include "pipeline/extract_boundary_pixels.h"
#include "support/hand_layers.h"

namespace {

using pixels = std::set<glm::ivec2>;
using ids = std::set<int32_t>;

cv::Vec3f at(const cv::Mat& image, glm::ivec2 p) { return image.at<cv::Vec3f>(p.y, p.x); }
bool is_black(const cv::Vec3f& v) { return v == cv::Vec3f(0, 0, 0); }

// A layer of `rows` x `cols` whose graph holds, on row 1, a junction cluster at x = 0..1,
// `run` edge pixels of the pair (1, 2) at x = 2 .. run + 1 and a second cluster after them.
layer line_layer(int run, int rows = 3, int cols = 40) {
  layer l = hand_layer(std::vector<std::string>(rows, std::string(cols, '1')), 3);
  pixel_graph& g = l.graph;
  for (int x = 0; x < run + 4; ++x) {
    const glm::ivec2 p(x, 1);
    if (x < 2 || x >= run + 2) {
      g.junction_pixels.insert(p);
    } else {
      g.edge_pixels.insert(p);
      g.edge_pixels_by_pair[{1, 2}].insert(p);
    }
  }
  return l;
}

TEST(ExtractNodes, ShortBoundariesAreAbsorbedIntoOneNode) {
  const int32_t least = read_min_nb_pixel_in_edge();
  ASSERT_GT(least, 1) << "the shipped threshold absorbs boundaries";
  cv::Mat region(3, 40, CV_32FC3, cv::Scalar(7, 7, 7));
  struct outcome {
    int run;
    std::size_t nb_edges, nb_nodes;
  };
  // Exactly the threshold stays an edge between two nodes; one pixel fewer fuses the
  // two clusters and the boundary into one node.
  for (const outcome& c : {outcome{least, 1, 2}, outcome{least - 1, 0, 1}}) {
    SCOPED_TRACE(c.run);
    std::list<layer> layers{line_layer(c.run)};
    extract_nodes(&region, &layers);
    const pixel_graph& g = layers.front().graph;
    EXPECT_EQ(g.v_node_pixel.size(), c.nb_nodes);
    EXPECT_EQ(g.v_node_color.size(), c.nb_nodes);
    std::set<int32_t> edge_ids;
    for (const auto& e : g.edge_of_pixel) edge_ids.insert(e.second);
    EXPECT_EQ(edge_ids.size(), c.nb_edges);
    // The per-pair entry stays even when absorbed.
    EXPECT_EQ(g.edge_pixels_by_pair.at({1, 2}).size(), static_cast<std::size_t>(c.run));
    if (c.nb_nodes == 2) {
      EXPECT_EQ(g.nodes_of_edge.at(0), (ids{0, 1}));
      EXPECT_EQ(g.edges_of_node.at(0), ids{0});
      EXPECT_EQ(g.edges_of_pair.at({1, 2}), ids{0});
      // A node with fewer than two edges is white.
      EXPECT_EQ(g.v_node_color[0], glm::vec3(255, 255, 255));
    } else {
      const float n = static_cast<float>(c.run + 4);
      // The centroid is the mean pixel; the node pixel the greatest in (x, y) order.
      EXPECT_FLOAT_EQ(g.v_node_centroid[0].x, (n - 1) * n / 2 / n);
      EXPECT_FLOAT_EQ(g.v_node_centroid[0].y, 1.0f);
      EXPECT_EQ(g.v_node_pixel[0], glm::ivec2(c.run + 3, 1));
      EXPECT_TRUE(g.edge_pixels.empty());
    }
  }
}

TEST(ExtractNodes, IslandBoundaryIsSplitIntoTwoEdgesBetweenTwoNodes) {
  // Region 2 is a 6 by 6 island inside region 1: its boundary touches no junction.
  std::vector<std::string> rows(14, std::string(14, '1'));
  for (int y = 4; y < 10; ++y) rows[y].replace(4, 6, "222222");
  std::list<layer> layers{hand_layer(rows, 3)};
  cv::Mat region(14, 14, CV_32FC3, cv::Scalar(7, 7, 7)), boundary;
  extract_boundary_pixels(layers, &region, &boundary);
  const pixels ring = layers.front().graph.edge_pixels;
  ASSERT_EQ(ring.size(), 48u);
  ASSERT_TRUE(layers.front().graph.junction_pixels.empty());

  std::srand(1);
  extract_nodes(&region, &layers);
  const pixel_graph& g = layers.front().graph;
  // Nodes at the first pixel and at the pixel farthest from it.
  ASSERT_EQ(g.v_node_pixel, (std::vector<glm::ivec2>{{3, 3}, {10, 10}}));
  EXPECT_EQ(g.v_node_centroid[1], glm::vec2(10, 10));
  EXPECT_EQ(g.node_of_pixel, (std::map<glm::ivec2, int32_t>{{{3, 3}, 0}, {{10, 10}, 1}}));
  EXPECT_EQ(g.junction_pixels, (pixels{{3, 3}, {10, 10}}));
  EXPECT_EQ(g.junction_pixels_by_pair.at({1, 2}), (pixels{{3, 3}, {10, 10}}));
  EXPECT_EQ(g.edge_pixels_by_pair.at({1, 2}).size(), 46u);
  EXPECT_EQ(g.edges_of_pair.at({1, 2}), (ids{0, 1}));
  for (int32_t id : {0, 1}) {
    EXPECT_EQ(g.nodes_of_edge.at(id), (ids{0, 1}));
    EXPECT_EQ(g.edges_of_node.at(id), (ids{0, 1}));
  }
  // The new edge takes the arc through the pixel farthest from both nodes, (3, 10);
  // the other arc keeps the old id and its black colour.
  EXPECT_EQ(g.edge_of_pixel.at({3, 10}), 1);
  EXPECT_EQ(g.edge_of_pixel.at({10, 3}), 0);
  std::size_t arc[2] = {0, 0};
  for (const glm::ivec2& p : ring) {
    if (p == glm::ivec2(3, 3) || p == glm::ivec2(10, 10)) continue;
    const int32_t id = g.edge_of_pixel.at(p);
    ++arc[id];
    EXPECT_EQ(is_black(at(region, p)), id == 0) << p.x << "," << p.y;
  }
  EXPECT_GT(arc[0], 10u);
  EXPECT_GT(arc[1], 10u);
  // Both nodes join two edges: coloured.
  for (const glm::vec3& c : g.v_node_color) EXPECT_NE(c, glm::vec3(255, 255, 255));
}

TEST(ExtractNodes, LoopThroughOneJunctionClusterIsCutIntoTwoArcsAtANewNode) {
  // A closed run of edge pixels around a square, longer than the absorption threshold,
  // broken at one pixel by a junction: both of its ends touch the one node. With one
  // node it would make no fragment, and the loop would vanish from the result.
  const int side = read_min_nb_pixel_in_edge() / 4 + 4;
  layer l = hand_layer(std::vector<std::string>(side + 3, std::string(side + 3, '1')), 3);
  pixels ring;
  for (int x = 1; x <= side; ++x)
    for (int y = 1; y <= side; ++y) {
      if (x != 1 && x != side && y != 1 && y != side) continue;
      const glm::ivec2 p(x, y);
      if (p == glm::ivec2(3, 1)) {
        l.graph.junction_pixels.insert(p);
      } else {
        l.graph.edge_pixels.insert(p);
        l.graph.edge_pixels_by_pair[{1, 2}].insert(p);
        ring.insert(p);
      }
    }
  std::list<layer> layers{l};
  cv::Mat region(side + 3, side + 3, CV_32FC3, cv::Scalar(7, 7, 7));
  extract_nodes(&region, &layers);
  const pixel_graph& g = layers.front().graph;
  // The new node lies at the pixel farthest from the junction walking along the loop,
  // about the far corner (side, side).
  ASSERT_EQ(g.v_node_pixel.size(), 2u);
  const glm::ivec2 far = g.v_node_pixel[1];
  EXPECT_LE(std::abs(far.x - side) + std::abs(far.y - side), 3) << far.x << "," << far.y;
  EXPECT_EQ(g.node_of_pixel.at(far), 1);
  EXPECT_TRUE(g.junction_pixels.count(far));
  EXPECT_TRUE(g.junction_pixels_by_pair.at({1, 2}).count(far));
  EXPECT_FALSE(g.edge_pixels_by_pair.at({1, 2}).count(far));
  // Two arcs, each between the junction and the new node, holding every other pixel.
  EXPECT_EQ(g.edges_of_pair.at({1, 2}), (ids{0, 1}));
  for (int32_t id : {0, 1}) EXPECT_EQ(g.nodes_of_edge.at(id), (ids{0, 1}));
  for (int32_t n : {0, 1}) EXPECT_EQ(g.edges_of_node.at(n), (ids{0, 1}));
  std::size_t arc[2] = {0, 0};
  for (const glm::ivec2& p : ring) {
    if (p == far) continue;
    ASSERT_TRUE(g.edge_of_pixel.count(p)) << p.x << "," << p.y;
    ++arc[g.edge_of_pixel.at(p)];
  }
  EXPECT_GT(arc[0], static_cast<std::size_t>(side));
  EXPECT_GT(arc[1], static_cast<std::size_t>(side));
  // The arc that keeps the old id stays black, the new one is coloured; both nodes
  // join two edges.
  EXPECT_NE(g.edge_of_pixel.at({1, 3}), g.edge_of_pixel.at({side, 3}));
  EXPECT_NE(is_black(at(region, {1, 3})), is_black(at(region, {side, 3})));
  for (const glm::vec3& c : g.v_node_color) EXPECT_NE(c, glm::vec3(255, 255, 255));
}

TEST(ExtractNodes, ClosedBoundarySplitsOnItsOwnPixelsWhenItsPairHasAnother) {
  // The pair (1, 2) holds two boundaries: a run between two clusters at the far left,
  // which comes first in pixel order, and a closed ring farther right.
  layer l = line_layer(read_min_nb_pixel_in_edge(), 30, 60);
  pixels ring;
  for (int x = 40; x <= 50; ++x)
    for (int y = 10; y <= 20; ++y)
      if (x == 40 || x == 50 || y == 10 || y == 20) ring.insert({x, y});
  for (const glm::ivec2& p : ring) {
    l.graph.edge_pixels.insert(p);
    l.graph.edge_pixels_by_pair[{1, 2}].insert(p);
  }
  std::list<layer> layers{l};
  cv::Mat region(30, 60, CV_32FC3, cv::Scalar(7, 7, 7));
  extract_nodes(&region, &layers);
  const pixel_graph& g = layers.front().graph;
  ASSERT_EQ(g.v_node_pixel.size(), 4u);
  EXPECT_EQ(g.v_node_pixel[2], glm::ivec2(40, 10));
  EXPECT_EQ(g.v_node_pixel[3], glm::ivec2(50, 20));
  // The run keeps its two clusters; the ring's two arcs run between the new nodes.
  EXPECT_EQ(g.nodes_of_edge.at(0), (ids{0, 1}));
  EXPECT_EQ(g.nodes_of_edge.at(1), (ids{2, 3}));
  EXPECT_EQ(g.nodes_of_edge.at(2), (ids{2, 3}));
  EXPECT_EQ(g.edge_of_pixel.at({40, 20}), 2);
  EXPECT_EQ(g.edge_of_pixel.at({50, 10}), 1);
}

TEST(MinNbPixelInEdge, MissingOrUnreadableFileGivesTheDefault) {
  const std::string path = testing::TempDir() + "min_nb_pixel_in_edge.conf";
  struct file_case {
    const char* text;
    int32_t value;
  };
  for (const file_case& c : {file_case{"25\n", 25}, file_case{"-3", -3},
                             file_case{"", default_min_nb_pixel_in_edge},
                             file_case{"many", default_min_nb_pixel_in_edge}}) {
    std::ofstream(path) << c.text;
    EXPECT_EQ(read_min_nb_pixel_in_edge(path.c_str()), c.value) << c.text;
  }
  std::remove(path.c_str());
  EXPECT_EQ(read_min_nb_pixel_in_edge(path.c_str()), default_min_nb_pixel_in_edge);
}

}  // namespace

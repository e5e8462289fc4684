// Extraction steps 4 to 6 on drawings run through the real steps 0 to 3.
#include <cstdio>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "pipeline/compute_graph_distance.h"
#include "pipeline/compute_sample_weights.h"
#include "pipeline/extract_boundary_pixels.h"
#include "pipeline/extract_nodes.h"
#include "pipeline/load_sketch.h"
#include "pipeline/paint_nodes.h"
#include "pipeline/trace_edge_one_node.h"
#include "pipeline/view_settings.h"
#include "support/sketch_fixtures.h"

namespace {

using ids = std::set<int32_t>;

// Steps 0 to 6 with all ink in one layer; `passes` dangling-stroke passes at step 4
// (as the interactive worker runs them), tracing from graph distance `least` on.
fixtures::extraction run_input_steps(const cv::Mat& input, int passes = 0, int least = 30) {
  fixtures::extraction e = fixtures::run_region_steps(input, region_params());
  cv::Mat boundary;
  extract_boundary_pixels(e.layers, &e.region_image, &boundary);
  view_settings view;
  view.size_edge_one_node = least;
  main_gl_widget = &view;
  for (int i = 0; i < passes; ++i) {
    compute_graph_distance(e.layers);
    if (!trace_edge_one_node(e.layers)) break;
  }
  main_gl_widget = nullptr;
  extract_nodes(&e.region_image, &e.layers);
  paint_nodes(&e.region_image, e.layers);
  compute_sample_weights(e.layers);
  return e;
}

fixtures::extraction run_steps(const cv::Mat& sketch, int passes = 0, int least = 30) {
  return run_input_steps(fixtures::as_input_image(sketch), passes, least);
}

// The links of the pixel graph agree both ways, every pixel of an edge or a node is of
// the right kind, and every such pixel, and only those, is weighted.
void check_pixel_graph(const layer& l) {
  const pixel_graph& g = l.graph;
  for (const auto& [p, e] : g.edge_of_pixel) {
    EXPECT_TRUE(g.edge_pixels.count(p));
    EXPECT_FALSE(g.junction_pixels.count(p));
  }
  for (const glm::ivec2& p : g.junction_pixels) EXPECT_TRUE(g.node_of_pixel.count(p));
  EXPECT_EQ(g.edges_of_node.size(), g.v_node_pixel.size());
  EXPECT_EQ(g.v_node_color.size(), g.v_node_pixel.size());
  for (const auto& [e, nodes] : g.nodes_of_edge)
    for (int32_t n : nodes) EXPECT_TRUE(g.edges_of_node.at(n).count(e));
  for (const auto& [n, edges] : g.edges_of_node)
    for (int32_t e : edges) EXPECT_TRUE(g.nodes_of_edge.at(e).count(n));
  // A node's pixel is its greatest in (x, y) order.
  for (const auto& [p, n] : g.node_of_pixel)
    EXPECT_FALSE(std::less<glm::ivec2>()(g.v_node_pixel[n], p));
  EXPECT_EQ(l.sample_weight.size(), g.edge_of_pixel.size() + g.node_of_pixel.size());
  for (const auto& [p, e] : g.edge_of_pixel) {
    const float w = l.sample_weight.at(p);
    EXPECT_TRUE(w > 0.0f && w <= 1.0f) << w;
  }
  for (const auto& [p, n] : g.node_of_pixel) {
    const float w = l.sample_weight.at(p);
    EXPECT_TRUE(w > 0.0f && w <= 0.01f) << w;
  }
}

std::size_t nb_edges(const pixel_graph& g) {
  ids seen;
  for (const auto& [p, e] : g.edge_of_pixel) seen.insert(e);
  return seen.size();
}

TEST(PixelGraphExtraction, DrawingsGiveTheirNodesAndEdges) {
  struct drawing {
    const char* name;
    cv::Mat sketch;
    std::size_t nb_nodes, nb_edges, edges_per_node;
  };
  const drawing drawings[] = {
      // The ring's closed boundary is cut into two edges between two new nodes.
      {"closed ring", fixtures::closed_ring(), 2, 2, 2},
      {"two touching rings", fixtures::two_touching_rings(), 2, 4, 4},
      {"T, strokes 2 wide", fixtures::boxed_t(2), 4, 6, 3},
      {"T, strokes 3 wide", fixtures::boxed_t(3), 4, 6, 3},
      {"box split by a bar", fixtures::split_box(3), 2, 3, 3},
  };
  for (const drawing& d : drawings) {
    SCOPED_TRACE(d.name);
    std::srand(7);
    fixtures::extraction e = run_steps(d.sketch);
    ASSERT_EQ(e.layers.size(), 1u);
    const layer& l = e.layers.front();
    const pixel_graph& g = l.graph;
    check_pixel_graph(l);
    EXPECT_EQ(g.v_node_pixel.size(), d.nb_nodes);
    EXPECT_EQ(nb_edges(g), d.nb_edges);
    for (const auto& [e2, nodes] : g.nodes_of_edge) EXPECT_EQ(nodes.size(), 2u) << e2;
    for (const auto& [n, edges] : g.edges_of_node) EXPECT_EQ(edges.size(), d.edges_per_node) << n;
    // No open strokes without tracing.
    for (const auto& [pair, pixels] : g.edge_pixels_by_pair) EXPECT_NE(pair.first, pair.second);
  }
}

TEST(PixelGraphExtraction, SavedDrawingsLoadAndCrossingStrokesMeetAtOneNode) {
  // Two strokes crossing at 60 degrees inside a frame, saved as PNG and as JPEG and read
  // back doubled: the short boundary between the two T junctions of the crossing is
  // absorbed, which leaves one node of four edges there.
  cv::Mat sketch = fixtures::blank_sketch(120, 120);
  const cv::Scalar ink(0);
  cv::rectangle(sketch, cv::Point(10, 10), cv::Point(110, 110), ink, 2);
  cv::line(sketch, cv::Point(10, 60), cv::Point(110, 60), ink, 2);
  cv::line(sketch, cv::Point(31, 10), cv::Point(89, 110), ink, 2);
  ASSERT_GE(read_min_nb_pixel_in_edge(), 12);
  for (const char* name : {"crossing.png", "crossing.jpg"}) {
    SCOPED_TRACE(name);
    const std::string path = fixtures::temp_path(name);
    ASSERT_TRUE(cv::imwrite(path, sketch));
    cv::Mat input;
    ASSERT_TRUE(load_sketch(path.c_str(), &input));
    fixtures::extraction e = run_input_steps(input);
    ASSERT_EQ(e.layers.size(), 1u);
    const pixel_graph& g = e.layers.front().graph;
    check_pixel_graph(e.layers.front());
    // Four T junctions on the frame and the crossing.
    ASSERT_EQ(g.v_node_pixel.size(), 5u);
    std::multiset<std::size_t> degrees;
    for (const auto& [n, edges] : g.edges_of_node) degrees.insert(edges.size());
    EXPECT_EQ(degrees, (std::multiset<std::size_t>{3, 3, 3, 3, 4}));
    for (const auto& [id, nodes] : g.nodes_of_edge) EXPECT_EQ(nodes.size(), 2u) << id;
    std::remove(path.c_str());
  }
}

TEST(PixelGraphExtraction, DegenerateDrawingsEndInDefinedGraphs) {
  // Ink along the image border: boundary and node pixels lie on the last image row and
  // column, and the window reaches past the image there.
  cv::Mat frame = fixtures::blank_sketch(40, 50);
  cv::rectangle(frame, cv::Point(0, 0), cv::Point(49, 39), cv::Scalar(0), 2);
  cv::line(frame, cv::Point(25, 0), cv::Point(25, 39), cv::Scalar(0), 2);
  struct drawing {
    const char* name;
    cv::Mat sketch;
    std::size_t nb_layers;
  };
  const drawing drawings[] = {
      {"frame on the image border", frame, 1},
      {"no ink", fixtures::blank_sketch(20, 20), 0},
      {"all ink", cv::Mat(20, 20, CV_8UC1, cv::Scalar(0)), 1},
      {"one ink pixel", cv::Mat(1, 1, CV_8UC1, cv::Scalar(0)), 1},
  };
  for (const drawing& d : drawings) {
    SCOPED_TRACE(d.name);
    fixtures::extraction e = run_steps(d.sketch, 2, 0);
    ASSERT_EQ(e.layers.size(), d.nb_layers);
    for (const layer& l : e.layers) check_pixel_graph(l);
  }
  fixtures::extraction e = run_steps(frame);
  const pixel_graph& g = e.layers.front().graph;
  // Two regions inside the frame: their boundary along the bar, between two nodes.
  EXPECT_EQ(g.v_node_pixel.size(), 2u);
  EXPECT_EQ(nb_edges(g), 3u);
}

TEST(PixelGraphExtraction, StrokeWithAFreeEndIsTracedAsAnOpenEdge) {
  fixtures::extraction e = run_steps(fixtures::ring_with_free_end(), 3);
  const layer& l = e.layers.front();
  const pixel_graph& g = l.graph;
  check_pixel_graph(l);
  const glm::ivec2 offset(l.offset_x, l.offset_y);
  const glm::ivec2 centre = glm::ivec2(30, 50) + offset;  // inside the ring, left of the stroke
  const int32_t inside = l.labels.at<int32_t>(centre.y, centre.x);
  ASSERT_TRUE(g.edge_pixels_by_pair.count({inside, inside}));
  EXPECT_GT(g.edge_pixels_by_pair.at({inside, inside}).size(), 30u);
  EXPECT_FALSE(l.traced_pixels.empty());

  // The open stroke runs between its free tip (a node of one edge) and the node where
  // it meets the ring. The ring's boundary leaves and re-enters that node: it gets a
  // second node across the ring and becomes two arcs between the two, so that it is not
  // lost at step 7.
  ASSERT_EQ(g.v_node_pixel.size(), 3u);
  const ids& stroke = g.edges_of_pair.at({inside, inside});
  ASSERT_EQ(stroke.size(), 1u);
  EXPECT_EQ(g.nodes_of_edge.at(*stroke.begin()).size(), 2u);
  const ids& ring = g.edges_of_pair.at({1, inside});
  ASSERT_EQ(ring.size(), 2u);
  for (int32_t arc : ring) EXPECT_EQ(g.nodes_of_edge.at(arc), g.nodes_of_edge.at(*ring.begin()));
  EXPECT_EQ(g.nodes_of_edge.at(*ring.begin()).size(), 2u);
  std::size_t tips = 0;
  for (const auto& [n, edges] : g.edges_of_node) tips += edges.size() == 1;
  EXPECT_EQ(tips, 1u);
  // The tip lies at the free end of the stroke, sketch (50, 55).
  const glm::ivec2 free_end = glm::ivec2(50, 55) + offset;
  bool tip_found = false;
  for (const glm::ivec2& p : g.v_node_pixel)
    tip_found |= std::abs(p.x - free_end.x) <= 2 && std::abs(p.y - free_end.y) <= 2;
  EXPECT_TRUE(tip_found);
}

TEST(PixelGraphExtraction, SecondOpenStrokeJoinsTheFirstAtAFork) {
  // A stroke hanging from the ring with a branch off its middle: the second pass runs
  // into the first open stroke and makes a fork node there.
  cv::Mat sketch = fixtures::closed_ring(160, 70, 3);
  cv::line(sketch, cv::Point(80, 10), cv::Point(80, 90), cv::Scalar(0), 3);
  cv::line(sketch, cv::Point(80, 50), cv::Point(105, 75), cv::Scalar(0), 3);

  // The ring, touched once, gets a second node across it (two arcs between the two).
  fixtures::extraction one = run_steps(sketch, 1, 15);
  EXPECT_EQ(one.layers.front().graph.v_node_pixel.size(), 3u);

  fixtures::extraction e = run_steps(sketch, 3, 15);
  const pixel_graph& g = e.layers.front().graph;
  check_pixel_graph(e.layers.front());
  ASSERT_EQ(g.v_node_pixel.size(), 5u);
  std::multiset<std::size_t> degrees;
  for (const auto& [n, edges] : g.edges_of_node) degrees.insert(edges.size());
  // The two tips, the ring's second node, the fork, and the node where the stroke meets
  // the ring (the stroke and both arcs).
  EXPECT_EQ(degrees, (std::multiset<std::size_t>{1, 1, 2, 3, 3}));
  EXPECT_EQ(nb_edges(g), 5u);
}

}  // namespace

namespace {

// Largest distance from an ink pixel of the sketch to the nearest edge or node pixel of
// the layer's graph (window pixels taken back to the image, which is the sketch here).
double farthest_ink_from_graph(const cv::Mat& sketch, const layer& l) {
  cv::Mat away(sketch.size(), CV_8UC1, cv::Scalar(255));
  const glm::ivec2 offset(l.offset_x, l.offset_y);
  auto mark = [&](glm::ivec2 w) {
    const glm::ivec2 p = w - offset;
    if (p.x >= 0 && p.y >= 0 && p.x < sketch.cols && p.y < sketch.rows) away.at<uchar>(p.y, p.x) = 0;
  };
  for (const auto& entry : l.graph.edge_of_pixel) mark(entry.first);
  for (const auto& entry : l.graph.node_of_pixel) mark(entry.first);
  cv::Mat distance;
  cv::distanceTransform(away, distance, cv::DIST_L2, 5);
  double worst = 0;
  for (int y = 0; y < sketch.rows; ++y)
    for (int x = 0; x < sketch.cols; ++x)
      if (sketch.at<uchar>(y, x) < 128) worst = std::max(worst, double(distance.at<float>(y, x)));
  return worst;
}

cv::Mat doubled(const cv::Mat& sketch) {
  cv::Mat out;
  cv::resize(sketch, out, {}, 2, 2, cv::INTER_NEAREST);
  return out;
}

TEST(PixelGraphExtraction, StrokesThatBoundNoRegionAreTracedAlongTheirInk) {
  // Strokes that touch no boundary are traced from one of their own ends; a stroke
  // between two parts of the graph is traced down both sides of its middle, so that no
  // piece too short to trace is left over. Every ink pixel lies within half the stroke's
  // width plus 3 pixels of the graph, and a quarter of the width more where the trace of
  // a wide stroke cuts a bend or strokes meet in a blob of ink.
  struct drawing {
    const char* name;
    cv::Mat sketch;
    int passes;
    std::size_t nb_edges;
    std::multiset<std::size_t> degrees;  // edges per node
    int width = 3;
  };
  const drawing drawings[] = {
      {"three wavy lines", fixtures::wavy_lines(), 10, 3, {1, 1, 1, 1, 1, 1}},
      {"T", fixtures::open_t(), 10, 3, {1, 1, 1, 3}},
      // Two rings joined through the hub by one straight stroke: one pass traces all of
      // it; each ring keeps two arcs.
      {"two rings joined", fixtures::rings_on_a_hub(3, 40, 2), 1, 6, {2, 2, 2, 3, 3}},
      // Three rings on a hub, doubled as a sketch is loaded: after the first stroke, the
      // second runs between the hub and a ring, and its other side must not be left
      // untraced (nor walked down along the first side's flank).
      {"three rings on a hub", doubled(fixtures::rings_on_a_hub(4, 48, 3)), 10, 10, {2, 2, 2, 2, 3, 3, 3, 3}, 8},
  };
  for (const drawing& d : drawings) {
    SCOPED_TRACE(d.name);
    fixtures::extraction e = run_steps(d.sketch, d.passes);
    ASSERT_EQ(e.layers.size(), 1u);
    const layer& l = e.layers.front();
    check_pixel_graph(l);
    for (const auto& [id, nodes] : l.graph.nodes_of_edge) EXPECT_EQ(nodes.size(), 2u) << id;
    EXPECT_EQ(nb_edges(l.graph), d.nb_edges);
    std::multiset<std::size_t> degrees;
    for (const auto& [n, edges] : l.graph.edges_of_node) degrees.insert(edges.size());
    EXPECT_EQ(degrees, d.degrees);
    EXPECT_LE(farthest_ink_from_graph(d.sketch, l), d.width / 2.0 + 3 + d.width / 4.0);
  }
}

}  // namespace

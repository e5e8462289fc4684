#include "pipeline/trace_edge_one_node.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <sstream>

#include "pipeline/compute_graph_distance.h"
#include "pipeline/extract_boundary_pixels.h"
#include "pipeline/extract_nodes.h"
#include "pipeline/region_params.h"
#include "pipeline/view_settings.h"
#include "support/extraction_steps.h"
#include "support/hand_layers.h"
#include "support/sketch_fixtures.h"

namespace {

using pixels = std::set<glm::ivec2>;

// Sets the view's least trace distance for one test, and takes the view away after.
struct view_guard {
  view_settings settings;
  explicit view_guard(int least) {
    settings.size_edge_one_node = least;
    main_gl_widget = &settings;
  }
  ~view_guard() { main_gl_widget = nullptr; }
};

// Region 2 (x < 5) beside region 1, their boundary at x = 4..5 inside a vertical stroke,
// and a dangling stroke three pixels high (rows 9 to 11, depth 1, 2, 1) from the boundary
// to x = 45, inside region 1.
std::list<layer> dangling_stroke_layer() {
  std::vector<std::string> rows(20, std::string(60, '1'));
  for (std::string& r : rows) r.replace(0, 5, "22222");
  std::list<layer> layers{hand_layer(rows, 3)};
  layer& l = layers.front();
  cv::Mat region(20, 60, CV_32FC3), boundary;
  extract_boundary_pixels(layers, &region, &boundary);
  l.stroke_depth.colRange(4, 6).setTo(1);
  l.region_mask.colRange(4, 6).setTo(0);
  for (int x = 6; x <= 45; ++x)
    for (int y = 9; y <= 11; ++y) {
      l.stroke_depth.at<int32_t>(y, x) = y == 10 ? 2 : 1;
      l.region_mask.at<schar>(y, x) = 0;
    }
  return layers;
}

TEST(ComputeGraphDistance, DistanceRunsAlongStrokesFromTheGraph) {
  std::list<layer> layers = dangling_stroke_layer();
  compute_graph_distance(layers);
  const cv::Mat& d = layers.front().graph_dist;
  ASSERT_EQ(d.type(), CV_32SC1);
  EXPECT_EQ(d.at<int32_t>(10, 5), 0);
  EXPECT_EQ(d.at<int32_t>(10, 4), 0);
  EXPECT_EQ(d.at<int32_t>(9, 6), 1);
  EXPECT_EQ(d.at<int32_t>(10, 45), 40);
  // The inside of kept regions is not crossed.
  EXPECT_EQ(d.at<int32_t>(10, 3), -1);
  EXPECT_EQ(d.at<int32_t>(12, 20), -1);
  EXPECT_EQ(d.at<int32_t>(10, 46), -1);
}

TEST(TraceEdgeOneNode, DanglingStrokeIsTracedFromItsTipToTheBoundary) {
  view_guard view(30);
  std::list<layer> layers = dangling_stroke_layer();
  compute_graph_distance(layers);
  ASSERT_TRUE(trace_edge_one_node(layers));
  const layer& l = layers.front();
  const pixel_graph& g = l.graph;

  // The middle line of the stroke, without its tip, is an open stroke of region 1.
  pixels middle;
  for (int x = 6; x <= 44; ++x) middle.insert({x, 10});
  EXPECT_EQ(g.edge_pixels_by_pair.at({1, 1}), middle);
  EXPECT_EQ(l.traced_pixels, middle);

  // The tip, the end of the walk on the boundary, and the boundary pixels around it up
  // to where region 2 shows: junction pixels of the stroke.
  pixels ends{{45, 10}, {5, 7}, {5, 8}, {5, 9}, {5, 10}, {5, 11}, {5, 12}, {5, 13}};
  for (int y = 7; y <= 13; ++y) ends.insert({4, y});
  EXPECT_EQ(g.junction_pixels_by_pair.at({1, 1}), ends);
  EXPECT_EQ(g.junction_pixels, ends);
  // The boundary pixels that became junction pixels moved under their own pair too.
  ends.erase({45, 10});
  EXPECT_EQ(g.junction_pixels_by_pair.at({1, 2}), ends);
  for (const glm::ivec2& p : ends) {
    EXPECT_FALSE(g.edge_pixels.count(p));
    EXPECT_FALSE(g.edge_pixels_by_pair.at({1, 2}).count(p));
  }
  EXPECT_EQ(g.edge_pixels.size(), 2u * 20u - 14u + 39u);
}

// A stroke between two outlines: region 2 (x < 5) and region 3 (x > 54) beside region
// 1, and a stroke (rows 9 to 11) from one boundary band to the other.
TEST(TraceEdgeOneNode, StrokeBetweenTwoOutlinesGetsAJunctionAcrossEachBand) {
  view_guard view(10);
  std::vector<std::string> rows(20, std::string(60, '1'));
  for (std::string& r : rows) r.replace(0, 5, "22222").replace(55, 5, "33333");
  std::list<layer> layers{hand_layer(rows, 3)};
  layer& l = layers.front();
  cv::Mat region(20, 60, CV_32FC3), boundary;
  extract_boundary_pixels(layers, &region, &boundary);
  for (int x : {4, 5, 54, 55}) {
    l.stroke_depth.col(x).setTo(1);
    l.region_mask.col(x).setTo(0);
  }
  for (int x = 6; x <= 53; ++x)
    for (int y = 9; y <= 11; ++y) {
      l.stroke_depth.at<int32_t>(y, x) = y == 10 ? 2 : 1;
      l.region_mask.at<schar>(y, x) = 0;
    }
  compute_graph_distance(layers);
  ASSERT_TRUE(trace_edge_one_node(layers));
  const pixel_graph& g = l.graph;

  // Both ends cut their band from side to side where the stroke meets it, so that the
  // band falls into two edges there rather than passing beside the stroke's node.
  for (int x : {4, 5, 54, 55}) {
    SCOPED_TRACE("column " + std::to_string(x));
    EXPECT_TRUE(g.junction_pixels.count({x, 10}));
    EXPECT_FALSE(g.edge_pixels.count({x, 10}));
  }
  // The whole stroke between the bands is one open stroke of region 1.
  for (int x = 6; x <= 53; ++x)
    EXPECT_TRUE(g.edge_pixels_by_pair.at({1, 1}).count({x, 10}) || g.junction_pixels.count({x, 10})) << x;
}

TEST(TraceEdgeOneNode, LeastDistanceDecidesWhetherTheStrokeIsTraced) {
  struct least_case {
    int least;
    bool traced;
  };
  // The tip lies at graph distance 40.
  for (const least_case& c : {least_case{30, true}, least_case{40, true}, least_case{41, false},
                              least_case{0, true}}) {
    SCOPED_TRACE(c.least);
    view_guard view(c.least);
    std::list<layer> layers = dangling_stroke_layer();
    compute_graph_distance(layers);
    const pixel_graph before = layers.front().graph;
    EXPECT_EQ(trace_edge_one_node(layers), c.traced);
    EXPECT_EQ(layers.front().graph.edge_pixels != before.edge_pixels, c.traced);
  }
}

TEST(TraceEdgeOneNode, LayerWithoutGraphOrWithOnlyTheInkLabelIsNotTraced) {
  view_guard view(0);
  std::list<layer> layers = dangling_stroke_layer();
  layers.front().v_peak.resize(1);
  compute_graph_distance(layers);
  EXPECT_FALSE(trace_edge_one_node(layers));

  // No graph pixel at all: every distance is -1.
  std::list<layer> empty{hand_layer(std::vector<std::string>(5, "11111"), 2)};
  compute_graph_distance(empty);
  EXPECT_EQ(cv::countNonZero(empty.front().graph_dist == -1), 25);
  view.settings.size_edge_one_node = -5;
  EXPECT_FALSE(trace_edge_one_node(empty));
}

}  // namespace

namespace {

TEST(ComputeGraphDistance, StrokeTouchingNoGraphIsMeasuredFromOneOfItsEnds) {
  // One region only and a stroke three pixels high from x = 6 to 45 (rows 9 to 11) that
  // touches no boundary: nothing to measure it from but itself.
  std::list<layer> layers{hand_layer(std::vector<std::string>(20, std::string(60, '1')), 3)};
  layer& l = layers.front();
  for (int x = 6; x <= 45; ++x)
    for (int y = 9; y <= 11; ++y) {
      l.stroke_depth.at<int32_t>(y, x) = y == 10 ? 2 : 1;
      l.region_mask.at<schar>(y, x) = 0;
    }
  compute_graph_distance(layers);
  const cv::Mat& d = l.graph_dist;
  // Walking from its first pixel (6, 9), the farthest is at x = 45, and the farthest from
  // that one at x = 6: distances run from there along the stroke.
  EXPECT_TRUE(d.at<int32_t>(9, 6) == 0 || d.at<int32_t>(10, 6) == 0 || d.at<int32_t>(11, 6) == 0);
  EXPECT_EQ(d.at<int32_t>(10, 45), 39);
  EXPECT_EQ(d.at<int32_t>(10, 20), 14);
  EXPECT_EQ(d.at<int32_t>(5, 20), -1);
  EXPECT_TRUE(l.graph.junction_pixels.empty());

  // The trace then runs from the far end back along the stroke's middle.
  view_guard view(30);
  ASSERT_TRUE(trace_edge_one_node(layers));
  const pixel_graph& g = l.graph;
  ASSERT_TRUE(g.edge_pixels_by_pair.count({1, 1}));
  for (int x = 8; x <= 43; ++x) EXPECT_TRUE(g.edge_pixels_by_pair.at({1, 1}).count({x, 10})) << x;
  EXPECT_TRUE(g.junction_pixels.count({45, 10}));
}

}  // namespace

namespace {

// Steps 0 to 3 and the boundaries of step 4 on a sketch, all ink in one layer or one
// layer per ink component.
std::list<layer> boundaries_of(const cv::Mat& sketch, bool separate) {
  const region_params p;
  cv::Mat input = fixtures::as_input_image(sketch), region_image, boundary_image;
  std::list<layer> layers;
  std::srand(1);
  fixtures::run_steps_to_boundary_pixels(input, layers, region_image, &boundary_image, p, 10, separate);
  return layers;
}

std::string file_bytes(const std::list<layer>& layers) {
  std::ostringstream out;
  for (const layer& l : layers) l.write(out);
  return out.str();
}

// Open strokes that end in the paper, hang off closed shapes, cross each other and
// stand alone in a region or on blank paper.
cv::Mat open_strokes_sketch() {
  cv::Mat s = fixtures::blank_sketch(300, 300);
  const cv::Scalar ink(0);
  cv::rectangle(s, {20, 20}, {140, 140}, ink, 3);
  cv::line(s, {80, 140}, {80, 220}, ink, 3);    // hangs below the box
  cv::line(s, {40, 60}, {110, 60}, ink, 3);     // alone inside the box
  cv::line(s, {170, 30}, {280, 120}, ink, 3);   // alone on the paper
  cv::line(s, {170, 120}, {280, 30}, ink, 3);   // crossing it
  cv::ellipse(s, {200, 230}, {60, 40}, 0, 0, 250, ink, 3);  // an open arc
  for (int x = 30; x < 130; x += 20) cv::line(s, {x, 250}, {x + 15, 290}, ink, 2);  // hatching
  return s;
}

}  // namespace

// The passes update the distances only around each new stroke; they must leave exactly
// what recomputing everything before every trace leaves (distances, pixel sets, traced
// pixels), whatever the pass count, with one or several layers.
TEST(TraceOpenStrokes, LeavesTheLayersOfTheFullRecomputationAtEveryPassCount) {
  view_guard view(30);
  const struct {
    const char* name;
    cv::Mat sketch;
  } cases[] = {{"open strokes", open_strokes_sketch()},
               {"random drawing", fixtures::random_drawing(384, 80, 3)},
               {"ring with a free end", fixtures::ring_with_free_end()},
               {"open T", fixtures::open_t()}};
  for (const auto& c : cases)
    for (bool separate : {false, true})
      for (int passes : {1, 3, 100}) {
        SCOPED_TRACE(std::string(c.name) + (separate ? ", separate layers" : ", one layer") + ", " +
                     std::to_string(passes) + " passes");
        std::list<layer> full = boundaries_of(c.sketch, separate);
        std::list<layer> updated = full;
        for (layer& l : updated) l.graph_dist = l.graph_dist.clone();
        int full_passes = 0;
        for (int i = 0; i < passes; ++i) {
          compute_graph_distance(full);
          if (!trace_edge_one_node(full)) break;
          ++full_passes;
        }
        EXPECT_EQ(trace_open_strokes(updated, passes), full_passes);
        EXPECT_TRUE(file_bytes(updated) == file_bytes(full));
      }
}

TEST(TraceOpenStrokes, TracesEveryOpenStrokeOfTheFixtureWithinTheCeiling) {
  view_guard view(30);
  std::list<layer> layers = boundaries_of(open_strokes_sketch(), false);
  const int traced = trace_open_strokes(layers, 100);
  EXPECT_GE(traced, 5);
  EXPECT_LT(traced, 100);
  EXPECT_EQ(trace_open_strokes(layers, 0), 0);
}


// A beam resting on the corner of a triangle outline and running on past it on both
// sides: the first end traced walks down from the beam's middle line to the corner, and
// the second runs into that walk close to where it met the outline. What is left of the
// first walk between the two junction clusters must not stay an edge of its own: a sliver
// of a few pixels, from which the optimiser hangs the beam off its middle line.
TEST(TraceOpenStrokes, NoSliverOfAStrokeIsLeftBetweenTwoJunctionsAtACorner) {
  view_guard view(30);
  for (int width : {6, 8, 12}) {
    SCOPED_TRACE("width " + std::to_string(width));
    cv::Mat s = fixtures::blank_sketch(300, 320);
    const cv::Point apex(150, 100);
    cv::polylines(s, std::vector<cv::Point>{apex, {80, 260}, {220, 260}}, true, cv::Scalar(0), width);
    cv::line(s, {40, apex.y - width + 1}, {300, apex.y - width + 1}, cv::Scalar(0), width);
    fixtures::extraction ex = fixtures::run_region_steps(fixtures::as_input_image(s), region_params{});
    cv::Mat boundary;
    extract_boundary_pixels(ex.layers, &ex.region_image, &boundary);
    ASSERT_EQ(ex.layers.size(), 1u);
    ASSERT_EQ(trace_open_strokes(ex.layers, 100), 2);
    extract_nodes(&ex.region_image, &ex.layers);
    const pixel_graph& g = ex.layers.front().graph;
    std::map<int32_t, std::size_t> size;
    for (const auto& [p, e] : g.edge_of_pixel) ++size[e];
    for (const auto& [pair, edges] : g.edges_of_pair) {
      if (pair.first != pair.second) continue;
      for (int32_t e : edges) {
        EXPECT_GE(size[e], std::size_t(width)) << "open-stroke edge " << e;
        EXPECT_EQ(g.nodes_of_edge.at(e).size(), 2u) << "open-stroke edge " << e;
      }
    }
  }
}

namespace {

TEST(TraceOpenStrokes, PassesEndAtTheCeilingOrAtTheFirstThatTracesNothing) {
  // Three hanging strokes: each of the first three passes traces one, the fourth none.
  struct pass_case {
    int most_passes;
    int passes_traced;
    std::size_t strokes;
  };
  const cv::Mat input = fixtures::as_input_image(fixtures::frame_with_hanging_strokes());
  for (const pass_case& c : {pass_case{0, 0, 0}, pass_case{1, 1, 1}, pass_case{2, 2, 2},
                             pass_case{3, 3, 3}, pass_case{5, 3, 3}, pass_case{-1, 3, 3}}) {
    SCOPED_TRACE("most passes " + std::to_string(c.most_passes));
    view_guard view(30);
    fixtures::extraction ex = fixtures::run_region_steps(input, region_params{});
    cv::Mat boundary;
    extract_boundary_pixels(ex.layers, &ex.region_image, &boundary);
    ASSERT_EQ(ex.layers.size(), 1u);
    EXPECT_EQ(trace_open_strokes(ex.layers, c.most_passes), c.passes_traced);
    EXPECT_EQ(fixtures::pixel_runs(ex.layers.front().traced_pixels), c.strokes);
  }
}

}  // namespace

namespace {

TEST(TraceEdgeOneNode, TheWalksStayOnTheStrokeNotOnThePaperBesideIt) {
  // A stroke alone on the paper, its free end a few pixels short of a ring. The walk
  // down the far side of the tip finds no stroke there; going on through the paper it
  // came to the ring, or round it, and the paper it crossed was traced as stroke.
  struct row {
    int radius, gap, length, width;
  };
  for (const row& r : {row{12, 4, 170, 3}, row{18, 3, 100, 2}, row{12, 8, 60, 2}}) {
    SCOPED_TRACE("ring radius " + std::to_string(r.radius) + ", gap " + std::to_string(r.gap));
    cv::Mat s = fixtures::blank_sketch(200, 360);
    const cv::Scalar ink(0);
    cv::circle(s, {300, 100}, r.radius, ink, r.width);
    const int tip = 300 - r.radius - r.width / 2 - 1 - r.gap;
    cv::line(s, {tip - r.length, 100}, {tip - r.width / 2, 100}, ink, r.width);
    std::list<layer> layers = boundaries_of(s, false);
    const view_guard view(30);
    EXPECT_GE(trace_open_strokes(layers, 4), 1);
    const layer& l = layers.front();
    for (const glm::ivec2& p : l.traced_pixels)
      EXPECT_TRUE(l.stroke_depth.at<int32_t>(p.y, p.x) != 0 || l.region_mask.at<schar>(p.y, p.x) == 0)
          << "traced paper at " << p.x - l.offset_x << ", " << p.y - l.offset_y;
  }
}

}  // namespace

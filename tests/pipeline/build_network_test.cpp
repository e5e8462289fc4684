#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>

#include <glm/geometric.hpp>
#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "graph/bezier.h"
#include "support/fragment_links.h"
#include "support/network_checker.h"
#include "support/network_fixtures.h"
#include "support/sketch_fixtures.h"

namespace {

// Largest distance from a sample to its fragment's cubic (nearest of 200 curve points),
// in pixels.
double worst_sample_distance(const f_curve& f) {
  std::vector<glm::dvec2> curve_points;
  const int three = 3;
  for (int i = 0; i <= 200; ++i) curve_points.push_back(bezier_eval(three, f.v_ctrl_point.data(), i / 200.0));
  double worst = 0;
  for (const glm::vec2& p : f.v_point) {
    double nearest = 1e30;
    for (const glm::dvec2& q : curve_points) nearest = std::min(nearest, std::hypot(q.x - p.x, q.y - p.y));
    worst = std::max(worst, nearest);
  }
  return worst;
}

cv::Mat open_stroke() {
  cv::Mat s = fixtures::blank_sketch(60, 80);
  cv::line(s, {10, 40}, {70, 20}, cv::Scalar(0), 3);
  return s;
}

cv::Mat square() {
  cv::Mat s = fixtures::blank_sketch(80, 80);
  cv::rectangle(s, {15, 15}, {65, 65}, cv::Scalar(0), 3);
  return s;
}

cv::Mat cross_in_box() {
  cv::Mat s = fixtures::blank_sketch(90, 90);
  cv::rectangle(s, {10, 10}, {80, 80}, cv::Scalar(0), 3);
  cv::line(s, {10, 45}, {80, 45}, cv::Scalar(0), 3);
  cv::line(s, {45, 10}, {45, 80}, cv::Scalar(0), 3);
  return s;
}

struct Drawing {
  const char* name;
  cv::Mat (*make)();
  std::size_t regions;  // kept regions, background included
};

TEST(BuildNetwork, EveryDrawingLinksConsistentlyAndFollowsItsStrokes) {
  const Drawing drawings[] = {
      {"square", square, 2},
      {"ring", [] { return fixtures::closed_ring(); }, 2},
      {"T", [] { return fixtures::boxed_t(); }, 4},
      {"cross", cross_in_box, 5},
      // Traced by the open-stroke pass: built from the pixel graph, with the outside as
      // its one region.
      {"open stroke", open_stroke, 1},
  };
  for (const Drawing& d : drawings) {
    SCOPED_TRACE(d.name);
    testing::internal::CaptureStdout();
    auto ex = fixtures::extract_network(d.make());
    const std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_EQ(ex->network.size(), 1u);
    const layer_graph& lg = ex->network.front();
    EXPECT_EQ(lg.regions.size(), d.regions);
    EXPECT_EQ(lg.curves.size(), lg.f_curves.size());
    EXPECT_EQ(lg.nconnections.size(), lg.frag_conns.size());
    EXPECT_FALSE(lg.f_curves.empty());
    for (const f_curve& f : lg.f_curves) {
      EXPECT_EQ(f.v_curve.size(), 1u);
      // Samples are stroke pixels (widths up to 3, plus the node clusters): every one
      // lies within 3 pixels of its cubic.
      EXPECT_LT(worst_sample_distance(f), 3.0);
    }
    EXPECT_EQ(check_network(lg), "");
    // The consistency report of the link step says nothing on a sound network.
    EXPECT_EQ(printed.find("bad"), std::string::npos) << printed;
  }
}

// The curves drawn in red over the sketch, four times enlarged, for a person to look at.
TEST(BuildNetwork, PictureOfTheCurvesOverTheSketch) {
  const cv::Mat sketch = cross_in_box();
  auto ex = fixtures::extract_network(sketch);
  const int scale = 4;
  cv::Mat picture;
  cv::cvtColor(sketch, picture, cv::COLOR_GRAY2BGR);
  cv::resize(picture, picture, {}, scale, scale, cv::INTER_NEAREST);
  picture = picture / 2 + cv::Scalar(127, 127, 127);
  for (const curve& c : ex->network.front().curves) {
    const curve_segment& s = c.v_segment.front();
    const int n = static_cast<int>(s.v_ctrl_point.size()) - 1;
    std::vector<cv::Point> line;
    for (int i = 0; i <= 50; ++i) {
      const glm::dvec2 p = bezier_eval(n, s.v_ctrl_point.data(), i / 50.0);
      line.emplace_back(static_cast<int>((p.x + 0.5) * scale), static_cast<int>((p.y + 0.5) * scale));
    }
    cv::polylines(picture, line, false, cv::Scalar(0, 0, 255), 1, cv::LINE_AA);
    cv::circle(picture, line.front(), 3, cv::Scalar(255, 0, 0), -1);
    cv::circle(picture, line.back(), 3, cv::Scalar(255, 0, 0), -1);
  }
  const std::string path = fixtures::temp_path("cross_curves.png");
  ASSERT_TRUE(cv::imwrite(path, picture));
  std::cout << "curves over the sketch: " << path << std::endl;
}

TEST(BuildNetwork, BackgroundFlagsOnlyOnTheOutsideBorder) {
  auto ex = fixtures::extract_network(fixtures::boxed_t());
  const layer_graph& lg = ex->network.front();
  int backgrounds = 0;
  for (const region& r : lg.regions) backgrounds += r.background;
  EXPECT_EQ(backgrounds, 1);
  for (const edge& e : lg.edges) {
    bool borders_background = false;
    for (const region* r : e.v_region) borders_background |= r->background;
    EXPECT_EQ(e.on_background, borders_background);
    EXPECT_EQ(e.v_frag_conn.size(), e.v_f_curve.size() + 1);
  }
}

// On this drawing a few winding strokes have the sample nearest both their nodes on the
// same half of the stroke; each fragment must still have one end at each junction, or
// the split at step 8 and the moves corrupt the links.
TEST(BuildNetwork, EveryFragmentHasOneEndAtEachJunction) {
  cv::Mat sketch = fixtures::random_drawing(400, 60, 10);
  cv::resize(sketch, sketch, {}, 2, 2, cv::INTER_NEAREST);
  testing::internal::CaptureStdout();
  auto ex = fixtures::extract_network(sketch, false);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(check_fragment_links(ex->network.front()), "");
  EXPECT_EQ(check_network(ex->network.front()), "");
}

TEST(BuildNetwork, OpenStrokeIsOneFragmentThroughAllInk) {
  auto ex = fixtures::extract_network(open_stroke(), false, region_params{}, 0);
  const layer_graph& lg = ex->network.front();
  ASSERT_EQ(lg.f_curves.size(), 1u);
  EXPECT_EQ(lg.edges.size(), 1u);
  EXPECT_EQ(lg.nodes.size(), 2u);
  EXPECT_EQ(lg.frag_conns.size(), 2u);
  EXPECT_TRUE(lg.regions.empty());
  const f_curve& f = lg.f_curves.front();
  EXPECT_EQ(f.v_point.size(), ex->layers.front().ink_pixels.size());
  for (float w : f.v_weight) EXPECT_EQ(w, 1.0f);
  EXPECT_EQ(lg.frag_conns.front().v_frag_end[0].end, 0);
  EXPECT_EQ(lg.frag_conns.back().v_frag_end[0].end, 3);
  EXPECT_LT(worst_sample_distance(f), 3.0);
}

// A pixel graph written by hand, in window coordinates: an arch (edge id 3) and a line
// (edge id 7) between node 1 at (2, 5) and node 0 at (10, 5), enclosing region label 2
// inside outside label 1. Node 0 lies at the right, so the seed of every walk (the
// smaller node id) is the last sample in pixel order.
layer arch_over_line() {
  layer l;
  l.margin = 1;
  l.offset_x = 1;
  l.offset_y = 2;
  l.ink_dist = cv::Mat(8, 13, CV_32SC1, cv::Scalar(1));
  l.labels = cv::Mat(8, 13, CV_32SC1, cv::Scalar(1));
  l.v_discarded = {1, 0, 0};
  l.v_peak.resize(3);
  pixel_graph& g = l.graph;
  const std::vector<glm::ivec2> arch = {{3, 4}, {4, 3}, {5, 2}, {6, 2}, {7, 2}, {8, 3}, {9, 4}};
  std::vector<glm::ivec2> line;
  for (int x = 3; x <= 9; ++x) line.emplace_back(x, 5);
  for (glm::ivec2 p : arch) g.edge_of_pixel[p] = 3;
  for (glm::ivec2 p : line) g.edge_of_pixel[p] = 7;
  for (const auto& [p, id] : g.edge_of_pixel) {
    g.edge_pixels.insert(p);
    g.edge_pixels_by_pair[{1, 2}].insert(p);
    l.sample_weight[p] = 1.0f;
  }
  g.node_of_pixel = {{{10, 5}, 0}, {{2, 5}, 1}};
  g.junction_pixels = {{10, 5}, {2, 5}};
  l.sample_weight[{10, 5}] = 0.25f;
  l.sample_weight[{2, 5}] = 0.5f;
  g.v_node_centroid = {{10, 5}, {2, 5}};
  g.v_node_pixel = {{10, 5}, {2, 5}};
  g.edges_of_node = {{0, {3, 7}}, {1, {3, 7}}};
  g.nodes_of_edge = {{3, {0, 1}}, {7, {0, 1}}};
  g.edges_of_pair[{1, 2}] = {3, 7};
  return l;
}

TEST(BuildNetwork, HandWrittenPixelGraphComesOutInIdOrder) {
  std::list<layer> layers{arch_over_line()};
  curve_network net;
  net.build(&layers, 16, 20);
  ASSERT_EQ(net.size(), 1u);
  layer_graph& lg = net.front();
  ASSERT_EQ(lg.f_curves.size(), 2u);
  ASSERT_EQ(lg.frag_conns.size(), 2u);
  ASSERT_EQ(lg.regions.size(), 2u);
  ASSERT_EQ(lg.nodes.size(), 2u);
  EXPECT_EQ(lg.height, 16);
  EXPECT_EQ(lg.width, 20);

  // Fragments in edge id order: the arch, then the line. The line's samples are its own
  // pixels in x order, then the node pixels in pixel order (node 1, then node 0), in
  // image coordinates; parameters count 8-neighbour steps from node 0.
  f_curve& arch = lg.f_curves.front();
  f_curve& line = lg.f_curves.back();
  EXPECT_EQ(arch.v_point.front(), glm::vec2(2, 2));
  std::vector<glm::vec2> points;
  for (int x = 3; x <= 9; ++x) points.emplace_back(x - 1, 3);
  points.emplace_back(1, 3);
  points.emplace_back(9, 3);
  EXPECT_EQ(line.v_point, points);
  EXPECT_EQ(line.v_t, (std::vector<double>{7 / 8.0, 6 / 8.0, 5 / 8.0, 4 / 8.0, 3 / 8.0, 2 / 8.0, 1 / 8.0, 1, 0}));
  EXPECT_EQ(line.v_weight, (std::vector<float>{1, 1, 1, 1, 1, 1, 1, 0.5f, 0.25f}));
  EXPECT_EQ(arch.v_t.front(), 7 / 8.0);

  // Junctions in node id order, each listing its edges in id order; node 0 holds the
  // seed, so both fragments start there.
  frag_conn& j0 = lg.frag_conns.front();
  frag_conn& j1 = lg.frag_conns.back();
  node& n0 = lg.nodes.front();
  node& n1 = lg.nodes.back();
  EXPECT_EQ(j0.v_node, std::vector<node*>{&n0});
  ASSERT_EQ(j0.v_frag_end.size(), 2u);
  ASSERT_EQ(j1.v_frag_end.size(), 2u);
  EXPECT_EQ(j0.v_frag_end[0].fragment, &arch);
  EXPECT_EQ(j0.v_frag_end[0].end, 0);
  EXPECT_EQ(j0.v_frag_end[1].fragment, &line);
  EXPECT_EQ(j0.v_frag_end[1].end, 0);
  EXPECT_EQ(j1.v_frag_end[1].end, 3);
  EXPECT_EQ(line.v_frag_conn, (std::vector<frag_conn*>{&j0, &j1}));

  // Each edge lists its nodes in id order and its regions in label-pair order: the
  // outside (background) first.
  region& outside = lg.regions.front();
  region& inside = lg.regions.back();
  EXPECT_TRUE(outside.background);
  for (const edge& e : lg.edges) {
    EXPECT_EQ(e.v_node, (std::vector<node*>{&n0, &n1}));
    EXPECT_EQ(e.v_region, (std::vector<region*>{&outside, &inside}));
    EXPECT_TRUE(e.on_background);
  }
  // Each region got its boundary in edge id order, the arch first; the loop walk then
  // starts from that first entry and puts it last.
  edge* arch_edge = &lg.edges.front();
  edge* line_edge = &lg.edges.back();
  for (const region* r : {&outside, &inside}) {
    ASSERT_EQ(r->v_region_edge.size(), 2u);
    EXPECT_EQ(r->v_region_edge[0].edge, line_edge);
    EXPECT_EQ(r->v_region_edge[1].edge, arch_edge);
    EXPECT_EQ(r->v_node, (std::vector<node*>{&n0, &n1}));
  }
  EXPECT_EQ(n0.v_edge, (std::vector<edge*>{arch_edge, line_edge}));
  EXPECT_EQ(n0.v_region, (std::vector<region*>{&outside, &inside}));

  // Linked: curves in fragment order, each connection lists them in its junction's
  // end order.
  testing::internal::CaptureStdout();
  net.link();
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(lg.curves.size(), 2u);
  EXPECT_EQ(lg.curves.front().v_f_curve, std::vector<f_curve*>{&arch});
  const nconnection& k0 = lg.nconnections.front();
  EXPECT_EQ(k0.v_frag_conn, std::vector<frag_conn*>{&j0});
  EXPECT_EQ(k0.v_curve, (std::vector<curve*>{&lg.curves.front(), &lg.curves.back()}));
  EXPECT_EQ(check_network(lg), "");
}

TEST(BuildNetwork, SingleInkPixelGetsFiniteParameters) {
  std::list<layer> layers(1);
  layers.front().ink_pixels.insert(glm::ivec2(20, 20));
  layer_graph lg;
  lg.build_single_region(layers.front());
  ASSERT_EQ(lg.f_curves.front().v_t.size(), 1u);
  EXPECT_EQ(lg.f_curves.front().v_t[0], 0.0);
}

}  // namespace

namespace {

// One layer holding every black pixel of the sketch as ink.
std::list<layer> one_layer_of_ink(const cv::Mat& sketch) {
  std::list<layer> layers(1);
  for (int y = 0; y < sketch.rows; ++y)
    for (int x = 0; x < sketch.cols; ++x)
      if (sketch.at<uchar>(y, x) == 0) layers.front().ink_pixels.insert({x, y});
  return layers;
}

// Whether the fragment's sample pixels form one 8-connected run.
bool samples_form_one_run(const f_curve& f) {
  std::set<glm::ivec2> pixels;
  for (const glm::vec2& p : f.v_point) pixels.insert(glm::ivec2(std::lround(p.x), std::lround(p.y)));
  return fixtures::pixel_runs(pixels) == 1;
}

// Largest distance from a point of the fragment's cubic to the sketch's ink, in pixels.
double farthest_off_ink(const f_curve& f, const cv::Mat& sketch) {
  cv::Mat to_ink;
  cv::distanceTransform(sketch > 127, to_ink, cv::DIST_L2, 5);
  double worst = 0;
  for (int i = 0; i <= 200; ++i) {
    const glm::dvec2 p = bezier_eval(3, f.v_ctrl_point.data(), i / 200.0);
    const int x = int(std::lround(p.x)), y = int(std::lround(p.y));
    if (x < 0 || y < 0 || x >= sketch.cols || y >= sketch.rows) return 1e9;
    worst = std::max(worst, double(to_ink.at<float>(y, x)));
  }
  return worst;
}

TEST(BuildNetwork, StrokesWithoutRegionsGiveFragmentsThatFollowTheInkAfterTheSplit) {
  // Without an enclosed region, each ink component is one fragment parameterised by the
  // walking distance from one of its ends (batch form, no open-stroke pass), or the
  // strokes are traced (interactive form), or both when the passes trace only some.
  // Either way the parameters rise along the stroke, so the split cuts it into pieces
  // that are each one run of the stroke, and no cubic crosses the paper between strokes
  // or between the lobes of a wave.
  struct drawing {
    const char* name;
    cv::Mat sketch;
    std::size_t nb_components;
    bool batch_form_only = false;
  };
  const drawing drawings[] = {
      {"three wavy lines", fixtures::wavy_lines(), 3},
      {"wave of half circles", fixtures::half_circle_wave(3, 20, 4), 1},
      {"wide wave", fixtures::half_circle_wave(6, 24, 3), 1},
      // Branched: in the batch form the branch off the main run gets fragments of its
      // own. (Traced, its fork is judged on whole runs, with the drawn sheets.)
      {"T", fixtures::open_t(3, 100), 2, true},
      {"wide T", fixtures::open_t(6, 140), 2, true},
  };
  for (const drawing& d : drawings)
    for (int passes : {0, 1, 10}) {
      if (d.batch_form_only && passes != 0) continue;
      // One pass traces one stroke; the strokes left untraced get a fragment each.
      SCOPED_TRACE(std::string(d.name) + ", " + std::to_string(passes) + " open-stroke passes");
      testing::internal::CaptureStdout();
      auto ex = fixtures::extract_network(d.sketch, true, region_params{}, passes);
      testing::internal::GetCapturedStdout();
      const layer_graph& lg = ex->network.front();
      EXPECT_GE(lg.f_curves.size(), d.nb_components);
      for (const f_curve& f : lg.f_curves) {
        EXPECT_TRUE(samples_form_one_run(f));
        EXPECT_LE(farthest_off_ink(f, d.sketch), 2.0);
      }
      EXPECT_EQ(check_network(lg), "");
    }
}

TEST(BuildNetwork, SingleRegionParameterRisesTowardsTheEndFarthestFromTheFirstPixel) {
  // A bent stroke whose first pixel (least x) is its corner: the end farther from the
  // corner, walking through the ink, is c, and the parameter rises from the other end e
  // (0 there, end 0 of the fragment) to c (1 there, end 3).
  struct bent_stroke {
    cv::Point corner, near_tip, far_tip;
  };
  for (const bent_stroke& b : {bent_stroke{{5, 15}, {20, 5}, {30, 40}},
                               bent_stroke{{5, 25}, {15, 35}, {35, 2}}}) {
    SCOPED_TRACE(testing::Message() << "near tip " << b.near_tip << ", far tip " << b.far_tip);
    cv::Mat sketch = fixtures::blank_sketch(45, 45);
    cv::line(sketch, b.corner, b.near_tip, cv::Scalar(0), 1);
    cv::line(sketch, b.corner, b.far_tip, cv::Scalar(0), 1);
    std::list<layer> layers = one_layer_of_ink(sketch);
    layer_graph lg;
    lg.build_single_region(layers.front());
    ASSERT_EQ(lg.f_curves.size(), 1u);
    f_curve& f = lg.f_curves.front();
    auto t_at = [&f](cv::Point p) {
      for (std::size_t i = 0; i < f.v_point.size(); ++i)
        if (f.v_point[i] == glm::vec2(float(p.x), float(p.y))) return f.v_t[i];
      ADD_FAILURE() << "no sample at " << p;
      return -1.0;
    };
    EXPECT_EQ(t_at(b.near_tip), 0.0);
    EXPECT_EQ(t_at(b.far_tip), 1.0);
    const int near_arm = std::max(std::abs(b.near_tip.x - b.corner.x), std::abs(b.near_tip.y - b.corner.y));
    const int far_arm = std::max(std::abs(b.far_tip.x - b.corner.x), std::abs(b.far_tip.y - b.corner.y));
    // Near the corner the walk may cut across from one arm to the other by a step.
    EXPECT_NEAR(t_at(b.corner), double(near_arm) / (near_arm + far_arm), 0.05);
    // The fit's first control point lies by e, its last by c.
    f.fit_cubic();
    const glm::dvec2 e(b.near_tip.x, b.near_tip.y), c(b.far_tip.x, b.far_tip.y);
    EXPECT_LT(glm::distance(f.v_ctrl_point.front(), e), glm::distance(f.v_ctrl_point.front(), c));
    EXPECT_LT(glm::distance(f.v_ctrl_point.back(), c), glm::distance(f.v_ctrl_point.back(), e));
    EXPECT_EQ(f.v_frag_conn[0]->v_frag_end[0].end, 0);
  }
}

TEST(BuildNetwork, SingleRegionFragmentsRunFromOneEndOfEachComponent) {
  // Two strokes: one fragment each, in the order of their first pixels; parameter 0 at
  // one end, 1 at the other, walking through the ink.
  cv::Mat sketch = fixtures::blank_sketch(40, 60);
  cv::line(sketch, {5, 5}, {30, 5}, cv::Scalar(0), 1);
  cv::line(sketch, {10, 20}, {10, 35}, cv::Scalar(0), 1);
  std::list<layer> layers = one_layer_of_ink(sketch);
  layer_graph lg;
  lg.build_single_region(layers.front());
  ASSERT_EQ(lg.f_curves.size(), 2u);
  EXPECT_EQ(lg.frag_conns.size(), 4u);
  EXPECT_EQ(lg.edges.size(), 2u);
  EXPECT_EQ(lg.nodes.size(), 4u);
  const f_curve& bar = lg.f_curves.front();
  ASSERT_EQ(bar.v_point.size(), 26u);
  for (std::size_t i = 0; i < bar.v_point.size(); ++i) {
    const double along = (bar.v_point[i].x - 5) / 25.0;
    EXPECT_NEAR(std::min(bar.v_t[i], 1 - bar.v_t[i]), std::min(along, 1 - along), 1e-12);
  }
  EXPECT_EQ(lg.f_curves.back().v_point.size(), 16u);
  for (const f_curve& f : lg.f_curves) {
    EXPECT_EQ(f.v_frag_conn.size(), 2u);
    EXPECT_EQ(f.v_frag_conn[0]->v_frag_end[0].end, 0);
    EXPECT_EQ(f.v_frag_conn[1]->v_frag_end[0].end, 3);
  }
}

}  // namespace

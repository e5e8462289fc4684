#include "app/curve_vertex_arrays.h"

#include <gtest/gtest.h>

#include "graph/curve_network.h"

namespace {

// A layer whose curves have first segments with these control points (image pixels).
curve_network network_of(const std::vector<std::vector<glm::dvec2>>& segments) {
  curve_network network;
  layer_graph& lg = network.emplace_back();
  for (const auto& points : segments) {
    curve& c = lg.curves.emplace_back();
    c.v_segment.emplace_back().v_ctrl_point = points;
  }
  return network;
}

TEST(CurveVertexArrays, OneArrayPerDegreeAndSharedEndsOnce) {
  const curve_network network = network_of({
      {{0, 0}, {10, 0}, {20, 10}, {40, 20}},  // cubic
      {{40, 20}, {30, 30}, {20, 40}},          // quadratic sharing an end with the cubic
      {{0, 40}, {40, 20}},                     // straight, same shared end
      {{5, 5}},                                // no curve, but its end
  });
  const curve_vertex_arrays a = make_curve_vertex_arrays(network, 40, 80);
  ASSERT_EQ(a.cubic.size(), 2u);
  EXPECT_EQ(a.cubic[0], glm::vec4(0, 0, 0.25f, 0));
  EXPECT_EQ(a.cubic[1], glm::vec4(0.5f, 0.125f, 1, 0.25f));
  ASSERT_EQ(a.quadratic.size(), 3u);
  EXPECT_EQ(a.quadratic[1], glm::vec2(0.75f, 0.375f));
  ASSERT_EQ(a.straight.size(), 2u);
  EXPECT_EQ(a.straight[0], glm::vec2(0, 0.5f));
  // (0,0), (0,40), (5,5), (20,40), (40,20): ordered by x, then y; (40,20) once.
  const std::vector<glm::vec2> ends = {{0, 0}, {0, 0.5f}, {0.125f, 0.0625f}, {0.5f, 0.5f}, {1, 0.25f}};
  EXPECT_EQ(a.nodes, ends);
}

TEST(CurveVertexArrays, NetworkWithoutCurvesGivesEmptyArrays) {
  const curve_vertex_arrays a = make_curve_vertex_arrays(network_of({}), 40, 80);
  EXPECT_TRUE(a.cubic.empty() && a.quadratic.empty() && a.straight.empty() && a.nodes.empty());
}

}  // namespace

#include "app/control_polygon_sets.h"

#include <gtest/gtest.h>

#include "graph/curve_network.h"

namespace {

// A segment with n control points at (2i, 4i + 1).
curve_segment segment_of(int n) {
  curve_segment s;
  for (int i = 0; i < n; ++i) s.v_ctrl_point.push_back(glm::dvec2(2.0 * i, 4.0 * i + 1.0));
  return s;
}

TEST(CollectControlPolygons, SortsSegmentsBySizeAndHalvesPoints) {
  curve_network network;
  // Layer 1: a curve of a cubic and a line segment, a curve with one point (skipped);
  // layer 2: a quadratic and a line.
  layer_graph& a = network.emplace_back();
  a.curves.emplace_back().v_segment = {segment_of(4), segment_of(2)};
  a.curves.emplace_back().v_segment = {segment_of(1)};
  layer_graph& b = network.emplace_back();
  b.curves.emplace_back().v_segment = {segment_of(3), segment_of(2), segment_of(5)};

  control_polygon_sets sets;
  sets.cubics.push_back({});  // stale content goes
  collect_control_polygons(sets, network);

  ASSERT_EQ(sets.lines.size(), 2u);
  ASSERT_EQ(sets.quadratics.size(), 1u);
  ASSERT_EQ(sets.cubics.size(), 1u);
  ASSERT_EQ(sets.all.size(), 4u);
  EXPECT_EQ(sets.cubics[0].size(), 4u);
  EXPECT_EQ(sets.cubics[0][3], glm::vec2(3.0f, 6.5f));
  EXPECT_EQ(sets.lines[1][1], glm::vec2(1.0f, 2.5f));
  // all: lines, then quadratics, then cubics.
  EXPECT_EQ(sets.all[0].size(), 2u);
  EXPECT_EQ(sets.all[1].size(), 2u);
  EXPECT_EQ(sets.all[2].size(), 3u);
  EXPECT_EQ(sets.all[3].size(), 4u);

  collect_control_polygons(sets, curve_network());
  EXPECT_TRUE(sets.lines.empty() && sets.quadratics.empty() && sets.cubics.empty() && sets.all.empty());
}

}  // namespace

#include "app/pick_index.h"

#include <gtest/gtest.h>

#include "graph/curve_network.h"

namespace {

TEST(PickIndex, FirstFragmentOfEachCurveToItsFirstSegment) {
  curve_network network;
  layer_graph& a = network.emplace_back();
  layer_graph& b = network.emplace_back();
  f_curve& f0 = a.f_curves.emplace_back();
  f_curve& f1 = a.f_curves.emplace_back();
  const auto add_curve = [](layer_graph& lg, std::vector<f_curve*> fragments, std::vector<glm::dvec2> points) {
    curve& c = lg.curves.emplace_back();
    c.v_f_curve = std::move(fragments);
    c.v_segment.emplace_back().v_ctrl_point = std::move(points);
  };
  add_curve(a, {&f0, &f1}, {{0, 0}, {1, 1}});
  add_curve(a, {&f1}, {{2, 2}, {3, 3}, {4, 4}});
  add_curve(a, {&f0}, {{9, 9}, {8, 8}});  // f0 is a key already: the first curve keeps it

  const pick_index_map index = build_pick_index(network);
  ASSERT_EQ(index.size(), 2u);
  EXPECT_TRUE(index.at(&b).empty());
  const layer_pick_index& in_a = index.at(&a);
  ASSERT_EQ(in_a.size(), 2u);
  EXPECT_EQ(in_a.at(&f0), (pick_control_points{{0, 0}, {1, 1}}));
  EXPECT_EQ(in_a.at(&f1), (pick_control_points{{2, 2}, {3, 3}, {4, 4}}));
}

}  // namespace

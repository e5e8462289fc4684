#include "graph/nearest_control_polygon.h"

#include <gtest/gtest.h>

namespace {

TEST(NearestControlPolygon, PicksTheCurvePassingNearestAndTheFirstOfEqualMinima) {
  std::list<control_polygon> polygons = {
      {{0, 10}, {10, 10}},                   // a line at y = 10
      {{0, 0}, {3, 2}, {7, 2}, {10, 0}},     // a cubic arch through (5, 1.5)
      {{0, 10}, {10, 10}},                   // the first line again
  };
  EXPECT_EQ(nearest_control_polygon(polygons, {5, 1}), &*std::next(polygons.begin()));
  EXPECT_EQ(nearest_control_polygon(polygons, {5, 9}), &polygons.front());

  float squared_distance = -1;
  const float t = nearest_parameter_on_polygon(polygons.front(), {2.5f, 12}, squared_distance);
  EXPECT_NEAR(t, 0.25f, 0.01f);
  EXPECT_NEAR(squared_distance, 4.0f, 0.05f);

  std::list<control_polygon> none;
  EXPECT_EQ(nearest_control_polygon(none, {0, 0}), nullptr);
}

TEST(NearestControlPolygon, SearchesAllGroupsSkippingEmptyOnes) {
  std::list<std::list<control_polygon>> groups(3);
  auto g = groups.begin();
  std::list<control_polygon>& first = *++g;  // the first group stays empty
  std::list<control_polygon>& second = *++g;
  first.push_back({{0, 10}, {10, 10}});
  second.emplace_back();  // an empty polygon is never chosen
  second.push_back({{0, 0}, {10, 0}});
  const auto [group, polygon] = nearest_control_polygon_in_groups(groups, {4, 1});
  EXPECT_EQ(group, &second);
  EXPECT_EQ(polygon, &second.back());

  std::list<std::list<control_polygon>> empty_groups(2);
  const auto nothing = nearest_control_polygon_in_groups(empty_groups, {0, 0});
  EXPECT_EQ(nothing.first, nullptr);
  EXPECT_EQ(nothing.second, nullptr);
}

}  // namespace

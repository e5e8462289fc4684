#include "app/nearest_parameter.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

namespace {

// A straight cubic from (0, 0) to (30, 0), uniform in t.
std::vector<glm::dvec2> straight_cubic() { return {{0, 0}, {10, 0}, {20, 0}, {30, 0}}; }

TEST(NearestParameterOnBezier, FindsTheFootOfThePerpendicularForEveryDegree) {
  struct Case { const char* name; std::vector<glm::dvec2> ctrl; glm::vec2 p; float t; float d2; };
  const Case cases[] = {
      {"cubic", straight_cubic(), {21, 4}, 0.7f, 16.0f},
      {"line", {{0, 0}, {30, 0}}, {6, -3}, 0.2f, 9.0f},
      {"quadratic", {{0, 0}, {15, 0}, {30, 0}}, {27, 1}, 0.9f, 1.0f},
      {"beyond the end", straight_cubic(), {40, 0}, 1.0f, 100.0f},
  };
  f_curve* key = nullptr;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const layer_pick_index::value_type entry(key, c.ctrl);
    float d2 = -1;
    const float t = nearest_parameter_on_bezier(0, 1, &d2, entry, c.p);
    // The search stops once no probe wins by 0.01 px^2, a few hundredths in t here.
    EXPECT_NEAR(t, c.t, 0.03f);
    EXPECT_NEAR(d2, c.d2, 0.5f);
  }
}

TEST(NearestParameterOnBezier, StopsAtTheMiddleWhenTheProbesTie) {
  // A curve of one point: every probe is at the same distance.
  const layer_pick_index::value_type entry(nullptr, {{5, 5}});
  float d2 = 0;
  EXPECT_EQ(nearest_parameter_on_bezier(0, 1, &d2, entry, {8, 9}), 0.5f);
  EXPECT_FLOAT_EQ(d2, 25.0f);
  // The interval given is searched, not [0, 1].
  const layer_pick_index::value_type line(nullptr, straight_cubic());
  EXPECT_NEAR(nearest_parameter_on_bezier(0.5f, 1, &d2, line, {0, 0}), 0.5f, 0.02f);
}

TEST(NearestParameterOnBezier, AnEntryWithoutPointsIsInfinitelyFar) {
  const layer_pick_index::value_type entry(nullptr, {});
  float d2 = 0;
  nearest_parameter_on_bezier(0, 1, &d2, entry, {0, 0});
  EXPECT_TRUE(std::isinf(d2));
}

TEST(NearestParameterOnBezier, LookupFormsAgreeAndRejectAFragmentWithoutEntry) {
  f_curve* a = reinterpret_cast<f_curve*>(0x10);
  f_curve* b = reinterpret_cast<f_curve*>(0x20);
  const layer_pick_index map{{a, straight_cubic()}, {b, {{0, 10}, {30, 40}}}};
  const glm::vec2 p(12, 7);
  for (const auto& entry : map) {
    float d_plain = 0, d_key = 0, d_copy = 0;
    const float t = nearest_parameter_on_bezier(0, 1, &d_plain, entry, p);
    EXPECT_EQ(nearest_parameter_on_bezier_by_key(0, 1, &d_key, map, entry.first, p), t);
    EXPECT_EQ(nearest_parameter_on_bezier_in_copy(0, 1, &d_copy, map, entry.first, p), t);
    EXPECT_EQ(d_key, d_plain);
    EXPECT_EQ(d_copy, d_plain);
    EXPECT_EQ(squared_distance_to_bezier_at(map, entry.first, p, t), d_plain);
  }
  f_curve* missing = reinterpret_cast<f_curve*>(0x30);
  float d2 = 0;
  try {
    nearest_parameter_on_bezier_by_key(0, 1, &d2, map, missing, p);
    FAIL() << "no exception";
  } catch (const std::out_of_range& e) {
    EXPECT_EQ(std::string(e.what()), "invalid map<K, T> key");
  }
  EXPECT_THROW(nearest_parameter_on_bezier_in_copy(0, 1, &d2, map, missing, p), std::out_of_range);
}

}  // namespace

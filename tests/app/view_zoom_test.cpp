#include "app/view_zoom.h"

#include <vector>

#include <gtest/gtest.h>

namespace {

struct zoom_case {
  const char* name;
  float zoom;
  int zoom_out_steps;
  std::vector<int> steps;       // one call each
  std::vector<float> expected;  // the zoom after each call
};

TEST(StepZoom, WheelNotchesAndKeysStepThroughWholeAndInverseZooms) {
  const zoom_case cases[] = {
      {"in from the start", 0.5f, 2, {1, 1, 1}, {1, 2, 3}},
      {"out from 3 to below 1 and back", 3, 1, {-1, -1, -1, -1, 1, 1, 1}, {2, 1, 0.5f, 1.0f / 3, 0.5f, 1, 2}},
      {"out from the start never reaches 0", 0.5f, 2, {-1, -1, -1}, {1.0f / 3, 0.25f, 0.2f}},
      {"two notches at once", 1.0f / 3, 3, {2, 2}, {1, 3}},
      {"a large step out from above 1 stops at 1", 3, 1, {-5, -1}, {1, 0.5f}},
      {"a large step in from below 1 stops at 1", 0.25f, 4, {10, 1}, {1, 2}},
      {"no step", 2, 1, {0}, {2}},
  };
  for (const zoom_case& c : cases) {
    SCOPED_TRACE(c.name);
    float zoom = c.zoom;
    int out = c.zoom_out_steps;
    std::vector<float> got;
    for (int s : c.steps) {
      step_zoom(zoom, out, s);
      got.push_back(zoom);
      EXPECT_GT(zoom, 0);
      EXPECT_GE(out, 1);
    }
    EXPECT_EQ(got, c.expected);
  }
}

}  // namespace

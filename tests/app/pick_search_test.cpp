#include "app/pick_search.h"

#include <cmath>
#include <iterator>

#include <gtest/gtest.h>

#include "graph/curve_network.h"

namespace {

// The GL viewport resizeGL gives a widget of w x h for an image of cols x rows.
void centred_viewport(float w, float h, int cols, int rows, float out[4]) {
  const float a = static_cast<float>(static_cast<double>(cols) / rows);
  const float e = h * a;
  if (e > w) {
    out[0] = (w - e) / 2, out[1] = 0, out[2] = e, out[3] = h;
  } else {
    out[0] = 0, out[1] = (h - w / a) / 2, out[2] = w, out[3] = w / a;
  }
}

TEST(PickPoint, InvertsTheDrawingMappingAfterZoomAndPan) {
  struct Case { float w, h; int cols, rows; float zoom, pan_x, pan_y; };
  const Case cases[] = {
      {800, 600, 400, 300, 0.5f, 0, 0},     // the start view
      {1000, 500, 800, 800, 1, 0.2f, -0.1f},  // the viewport overhangs at top and bottom
      {400, 600, 1200, 600, 3, -0.3f, 0.25f}, // it overhangs left and right
      {640, 480, 320, 240, 1.0f / 3, 0.5f, 0.5f},
  };
  const glm::vec2 uvs[] = {{0.5f, 0.5f}, {0.1f, 0.8f}, {0.75f, 0.3f}};
  for (const Case& c : cases) {
    float vp[4];
    centred_viewport(c.w, c.h, c.cols, c.rows, vp);
    for (glm::vec2 uv : uvs) {
      // Forward: normalised image position to NDC as the shaders draw, then to widget
      // pixels (GL's y grows upwards, Qt's downwards).
      const float ndc_x = (2 * uv.x - 1 + c.pan_x) * c.zoom;
      const float ndc_y = (1 - 2 * uv.y + c.pan_y) * c.zoom;
      const float gl_x = vp[0] + (ndc_x + 1) / 2 * vp[2];
      const float gl_y = vp[1] + (ndc_y + 1) / 2 * vp[3];
      const float qt_x = gl_x, qt_y = c.h - gl_y;
      const glm::vec2 p = pick_point(static_cast<int>(std::lround(qt_x)), static_cast<int>(std::lround(qt_y)),
                                     vp, c.zoom, c.pan_x, c.pan_y, c.cols, c.rows);
      // Half a widget pixel of rounding, in image pixels.
      const float tolerance = 0.5f * c.cols / (vp[2] * c.zoom) + 1e-3f * c.cols;
      EXPECT_NEAR(p.x, uv.x * c.cols, tolerance) << c.w << "x" << c.h << " zoom " << c.zoom;
      EXPECT_NEAR(p.y, uv.y * c.rows, tolerance) << c.w << "x" << c.h << " zoom " << c.zoom;
    }
  }
}

// Two layers of three fragments; the index holds straight horizontal curves at y = 10,
// 20, 30 (layer a) and 15, 25 (layer b), from x = 0 to 100.
struct TwoLayers : testing::Test {
  curve_network net;
  layer_graph* a = nullptr;
  layer_graph* b = nullptr;
  pick_index_map index;
  void SetUp() override {
    a = &net.emplace_back();
    b = &net.emplace_back();
    for (int i = 0; i < 3; ++i) {
      a->f_curves.emplace_back();
      b->f_curves.emplace_back();
    }
    for (int i = 0; i < 3; ++i) index[a][fa(i)] = line_at(10.0 + 10 * i);
    for (int i = 0; i < 2; ++i) index[b][fb(i)] = line_at(15.0 + 10 * i);
  }
  static std::vector<glm::dvec2> line_at(double y) { return {{0, y}, {50, y}, {100, y}}; }
  f_curve* fa(int i) { return &*std::next(a->f_curves.begin(), i); }
  f_curve* fb(int i) { return &*std::next(b->f_curves.begin(), i); }
  selection_entry second(layer_graph* L, glm::vec2 p) {
    testing::internal::CaptureStdout();
    selection_entry e = pick_in_layer(L, index, p);
    testing::internal::GetCapturedStdout();
    return e;
  }
};

TEST_F(TwoLayers, FirstPickSearchesEveryLayerSecondOnlyTheFirstPicksLayer) {
  EXPECT_EQ(pick_in_all_layers(net, index, {40, 26}), selection_entry(b, fb(1)));
  EXPECT_EQ(pick_in_all_layers(net, index, {60, 29}), selection_entry(a, fa(2)));
  EXPECT_EQ(second(a, {40, 24}), selection_entry(a, fa(1)));  // b's curve at 25 is nearer
  EXPECT_EQ(second(b, {40, 9}), selection_entry(b, fb(0)));
  // Ties go to the first candidate: the first fragment of the first layer.
  index[b][fb(2)] = line_at(10);
  EXPECT_EQ(pick_in_all_layers(net, index, {50, 10}), selection_entry(a, fa(0)));
}

TEST_F(TwoLayers, MissingEntriesPickNothingOrTheNearestEntryThatExists) {
  // The first fragment of a layer without entry, as in a reopened drawing whose curves
  // hold several fragments.
  index[a].erase(fa(0));
  EXPECT_EQ(pick_in_all_layers(net, index, {50, 10}), selection_entry(b, fb(0)));
  // No index for the second pick's layer, or an empty one.
  index.erase(b);
  EXPECT_EQ(second(b, {0, 0}), selection_entry(nullptr, nullptr));
  index[b];
  EXPECT_EQ(second(b, {0, 0}), selection_entry(nullptr, nullptr));
  // No index at all (before the curves exist), and a network without fragments.
  pick_index_map none;
  EXPECT_EQ(pick_in_all_layers(net, none, {0, 0}), selection_entry(nullptr, nullptr));
  curve_network empty;
  empty.emplace_back();
  EXPECT_EQ(pick_in_all_layers(empty, index, {0, 0}), selection_entry(nullptr, nullptr));
  EXPECT_EQ(second(nullptr, {0, 0}), selection_entry(nullptr, nullptr));
}

}  // namespace

#include "app/saved_degrees.h"

#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "support/network_checker.h"
#include "support/network_fixtures.h"
#include "support/sketch_fixtures.h"

namespace {

std::vector<int> degrees_of(const layer_graph& lg) {
  std::vector<int> d;
  for (const curve& c : lg.curves) d.push_back(c.v_segment[0].degree);
  return d;
}

// Curves of every degree, saved and read back: the reader makes them cubics, and the
// saved fit errors give each its degree again.
TEST(RestoreSavedDegrees, CurvesReadBackAsCubicsTakeTheDegreesTheyWereSavedAt) {
  srand(1);
  for (const cv::Mat& sketch : {fixtures::half_circle_wave(), fixtures::rings_on_a_hub()}) {
    auto extracted = fixtures::extract_network(sketch);
    layer_graph& saved = extracted->network.front();
    ASSERT_GE(saved.curves.size(), 3u);
    int d = 0;
    for (curve& c : saved.curves) {
      c.v_segment[0].degree = 1 + d++ % 3;
      c.refit();
    }
    const std::vector<int> expected = degrees_of(saved);
    std::stringstream file(std::ios::in | std::ios::out | std::ios::binary);
    saved.write(file);

    std::vector<double> errors;
    layer_graph read(file, errors);
    ASSERT_EQ(errors.size(), saved.curves.size());
    auto s = saved.curves.begin();
    for (double e : errors) EXPECT_EQ(e, (s++)->mean_error);
    EXPECT_EQ(degrees_of(read), std::vector<int>(expected.size(), 3));

    restore_saved_degrees(read, errors);
    EXPECT_EQ(degrees_of(read), expected);
    s = saved.curves.begin();
    for (const curve& c : read.curves) EXPECT_NEAR(c.mean_error, (s++)->mean_error, 1e-9);
    EXPECT_EQ(check_network(read), "");

    // Errors of another layer (a count that does not match) change nothing.
    layer_graph again(file.seekg(0), errors);
    restore_saved_degrees(again, std::vector<double>(1, 0.0));
    EXPECT_EQ(degrees_of(again), std::vector<int>(expected.size(), 3));
  }
}

}  // namespace

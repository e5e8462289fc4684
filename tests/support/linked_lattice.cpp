#include "support/linked_lattice.h"

#include <iterator>

#include <gtest/gtest.h>

#include "support/fragment_lattice.h"

layer_graph& add_linked_lattice(curve_network& network, int cols, int rows, unsigned seed) {
  EXPECT_TRUE(network.empty()) << "link would link the other layers again";
  layer_graph& lg = network.emplace_back();
  lg.width = 40 * cols + 40;
  lg.height = 40 * rows + 40;
  build_fragment_lattice(lg, cols, rows, seed);
  testing::internal::CaptureStdout();
  network.link();
  testing::internal::GetCapturedStdout();
  return lg;
}

f_curve* fragment_at(layer_graph& lg, int i) { return &*std::next(lg.f_curves.begin(), i); }

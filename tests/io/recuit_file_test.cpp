#include <cstring>
#include <sstream>

#include <gtest/gtest.h>

#include "graph/curve_network.h"
#include "io/graph_stream.h"
#include "pipeline/recuit.h"

namespace {

std::string bytes_of(const recuit& r) {
  std::ostringstream out(std::ios::binary);
  r.write(out);
  return out.str();
}

// Two layers of 3 and 2 fragments and 4 connections, with the tables a set-up makes.
void two_layers(curve_network& net, recuit& r) {
  net.resize(2);
  net.front().f_curves.resize(3);
  net.back().f_curves.resize(2);
  net.front().nconnections.resize(4);
  r.cumulative_fcurves = {3, 5};
  r.fragment_dist.param(std::uniform_int_distribution<int>::param_type(0, 4));
  r.end_dist.param(std::uniform_int_distribution<int>::param_type(0, 3));
}

TEST(RecuitFile, RoundTripAndSize) {
  curve_network net;
  recuit r(&net);
  two_layers(net, r);
  r.progress_scale = 0.5;
  r.E = 12.25f;
  r.nb_it = 200;
  r.Ti = 2;
  r.T = 1.5f;
  r.dt = 0.99f;
  r.lambda = 0.3f;
  r.mu = 0.02f;
  r.print_interval = 2;
  r.k = 17;
  const std::string s = bytes_of(r);
  EXPECT_EQ(s.size(), 140u + 4 * 2);

  curve_network net2;
  recuit back(&net2);
  two_layers(net2, back);
  back.cumulative_fcurves.clear();
  std::istringstream in(s, std::ios::binary);
  back.read(in);
  EXPECT_EQ(bytes_of(back), s);
  EXPECT_EQ(back.k, 17);
  EXPECT_EQ(back.E, 12.25f);
  EXPECT_EQ(back.cumulative_fcurves, (std::vector<int>{3, 5}));
  EXPECT_EQ(back.fragment_dist.b(), 4);
  EXPECT_EQ(back.end_dist.b(), 3);
  EXPECT_EQ(back.network, &net2);
}

TEST(RecuitFile, RefusesBadBoundsShortBlocksAndForeignTables) {
  curve_network net;
  recuit r(&net);
  two_layers(net, r);
  const std::string good = bytes_of(r);
  const std::size_t bounds = 8 + 4 + 32 + 8 * 4 + 8 + 8 + 4 * 2;  // the eight i32 bounds
  struct Case { const char* what; std::size_t pos; int32_t value; };
  const Case cases[] = {
      {"move bounds reversed", bounds, 9},
      {"fragment bound beyond the fragments", bounds + 12, 7},
      {"a table entry not matching the layers", bounds - 4, 6},
  };
  for (const Case& c : cases) {
    std::string bad = good;
    std::memcpy(&bad[c.pos], &c.value, 4);
    recuit back(&net);
    std::istringstream in(bad, std::ios::binary);
    EXPECT_THROW(back.read(in), graph_format_error) << c.what;
  }
  for (std::size_t n = 0; n < good.size(); n += 3) {
    recuit back(&net);
    std::istringstream in(good.substr(0, n), std::ios::binary);
    EXPECT_THROW(back.read(in), graph_format_error) << "cut at " << n;
  }
}

}  // namespace

#include <gtest/gtest.h>

#include "graph/layer_graph.h"
#include "support/layer_fixtures.h"
#include "support/network_checker.h"

namespace {

TEST(NetworkChecker, FixturesAreConsistent) {
  for (int which = 0; which < 4; ++which) {
    layer_graph lg;
    if (which == 0) fixture::chain_of_three(lg);
    if (which == 1) fixture::t_junction(lg);
    if (which == 2) fixture::x_junction(lg);
    if (which == 3) fixture::closed_loop(lg);
    EXPECT_EQ(check_network(lg), "") << "fixture " << which;
    EXPECT_EQ(lg.curves.size(), lg.f_curves.size());
    EXPECT_EQ(lg.nconnections.size(), lg.frag_conns.size());
    for (const curve& c : lg.curves) {
      EXPECT_EQ(c.v_nconnection.size(), 2u);
      EXPECT_LT(c.mean_error, 0.05) << "fixture " << which;
    }
  }
}

TEST(NetworkChecker, ReportsEachBrokenLink) {
  struct row {
    const char* expected;
    void (*breakit)(layer_graph&);
  };
  const row rows[] = {
      {"curve 0 holds fragment 0 1 time(s), the fragment lists it 0 time(s)\n",
       [](layer_graph& lg) { lg.f_curves.front().v_curve.clear(); }},
      {"curve 0 has nb_point 21, its fragments hold 20 samples\n",
       [](layer_graph& lg) { lg.curves.front().nb_point += 1; }},
      {"curve 0 is missing at junction 0 of its fragment 0\n",
       [](layer_graph& lg) { lg.frag_conns.front().v_curve.clear(); }},
      {"junction 0 has 0 connections\nconnection 0 names junction 0, whose connection it is not\n",
       [](layer_graph& lg) { lg.frag_conns.front().v_nconnection.clear(); }},
      {"connection 2 lists curve 0, which does not end there\n",
       [](layer_graph& lg) { std::next(lg.nconnections.begin(), 2)->v_curve.push_back(&lg.curves.front()); }},
  };
  for (const row& r : rows) {
    layer_graph lg;
    fixture::chain_of_three(lg);
    r.breakit(lg);
    EXPECT_EQ(check_network(lg), r.expected);
  }
}

}  // namespace

#include "app/fragment_groupings.h"

#include <cmath>

#include <gtest/gtest.h>

#include "support/linked_lattice.h"
#include "support/network_checker.h"

namespace {

TEST(FragmentEndsAtConnections, LooksAtTheFirstJunctionOfEachConnection) {
  curve_network net;
  layer_graph& lg = add_linked_lattice(net, 3, 2, 3);
  nconnection* node0 = &lg.nconnections.front();  // fragments 0 and 1 end there
  nconnection empty;
  EXPECT_TRUE(fragment_ends_at_connections({&empty, node0}, fragment_at(lg, 1)));
  EXPECT_FALSE(fragment_ends_at_connections({node0}, fragment_at(lg, 6)));
  EXPECT_FALSE(fragment_ends_at_connections({}, fragment_at(lg, 0)));
}

TEST(SearchAllGroupings, PricesEveryGroupingOfAChainIntoCurves) {
  curve_network net;
  layer_graph& lg = add_linked_lattice(net, 4, 1, 3);  // three fragments in a row
  std::vector<int> labels;
  std::list<std::pair<float, float>> result;
  testing::internal::CaptureStdout();
  search_all_groupings(net, 0, 0, labels, result);
  const std::string out = testing::internal::GetCapturedStdout();
  // Five groupings of three; {f0, f2} with f1 apart is no chain and is skipped.
  ASSERT_EQ(result.size(), 4u);
  EXPECT_NE(out.find("4   "), std::string::npos);
  for (const auto& [e1, e2] : result) {
    EXPECT_TRUE(std::isfinite(e1));
    EXPECT_TRUE(std::isfinite(e2));
  }
  // The last grouping leaves every fragment a curve of its own.
  EXPECT_EQ(check_network(lg), "");
  EXPECT_EQ(lg.curves.size(), 3u);
  for (const f_curve& f : lg.f_curves) EXPECT_EQ(f.v_curve.size(), 1u);
}

}  // namespace

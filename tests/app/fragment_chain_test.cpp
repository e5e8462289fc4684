#include "app/fragment_chain.h"

#include <gtest/gtest.h>

#include "support/linked_lattice.h"

namespace {

// Lattice of 3 x 2 nodes: f0 0-1, f1 0-3, f2 1-2, f3 1-4, f4 2-5, f5 3-4, f6 4-5.
TEST(ShortestFragmentChain, ReturnsTheFragmentsStrictlyBetweenInSearchOrder) {
  curve_network net;
  layer_graph& lg = add_linked_lattice(net, 3, 2, 4);
  auto f = [&](int i) { return fragment_at(lg, i); };
  struct Case { int a, b; std::list<int> chain; };
  const Case cases[] = {
      {0, 6, {3}},     // through node 1 and node 4
      {1, 4, {0, 2}},  // two shortest chains; the one found first, by junction order
      {4, 1, {2, 0}},  // from b's side the other way round
      {0, 2, {}},      // meeting at node 1
      {3, 3, {}},      // a fragment and itself
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a << " to " << c.b);
    std::list<f_curve*> out{f(5)};  // stale content goes
    shortest_fragment_chain(f(c.a), f(c.b), out);
    std::list<f_curve*> expected;
    for (int i : c.chain) expected.push_back(f(i));
    EXPECT_EQ(out, expected);
    EXPECT_TRUE(fragments_connected(f(c.a), f(c.b)));
  }
}

TEST(ShortestFragmentChain, FragmentsOfSeparateStrokesHaveNoChain) {
  curve_network net;
  layer_graph& lg = add_linked_lattice(net, 3, 1, 4);
  f_curve& loose = lg.f_curves.emplace_back();  // no junction at all
  std::list<f_curve*> out;
  shortest_fragment_chain(fragment_at(lg, 0), &loose, out);
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(fragments_connected(fragment_at(lg, 0), &loose));
  EXPECT_FALSE(fragments_connected(&loose, fragment_at(lg, 1)));
  EXPECT_TRUE(fragments_connected(&loose, &loose));
}

}  // namespace

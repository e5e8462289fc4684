#include "app/selection_edits.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "graph/joint_system.h"
#include "pipeline/recuit.h"
#include "pipeline/view_settings.h"
#include "support/linked_lattice.h"
#include "support/network_checker.h"

namespace {

// Lattice of 3 x 2 nodes: f0 0-1, f1 0-3, f2 1-2, f3 1-4, f4 2-5, f5 3-4, f6 4-5.
struct Lattice : testing::Test {
  curve_network net;
  layer_graph* lg = nullptr;
  view_settings settings;
  void SetUp() override { lg = &add_linked_lattice(net, 3, 2, 9); }
  f_curve* f(int i) { return fragment_at(*lg, i); }
  std::vector<selection_entry> picks(std::initializer_list<int> ids) {
    std::vector<selection_entry> out;
    for (int i : ids) out.emplace_back(lg, f(i));
    return out;
  }
  bool together(f_curve* a, f_curve* b) const {
    for (const curve* c : a->v_curve)
      if (std::count(c->v_f_curve.begin(), c->v_f_curve.end(), b)) return true;
    return false;
  }
  void apply(std::initializer_list<int> ids, int mode) {
    testing::internal::CaptureStdout();
    apply_picked_pairs(picks(ids), mode, settings);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(check_network(*lg), "");
  }
};

TEST_F(Lattice, MergeOfNeighboursPutsThemOnOneCurve) {
  apply({0, 2}, mode_merge);
  EXPECT_TRUE(together(f(0), f(2)));
  EXPECT_TRUE(settings.must_merge.empty());  // no fragment lies between them
}

TEST_F(Lattice, MergeAlongAChainTakesTheChainAndPairsItWithBothEnds) {
  apply({1, 4}, mode_merge);
  const curve* c = f(1)->v_curve[0];
  for (int i : {0, 1, 2, 4}) EXPECT_TRUE(std::count(c->v_f_curve.begin(), c->v_f_curve.end(), f(i))) << i;
  EXPECT_EQ(settings.must_merge[f(0)], (std::set<f_curve*>{f(1), f(4)}));
  EXPECT_EQ(settings.must_merge[f(2)], (std::set<f_curve*>{f(1), f(4)}));
  EXPECT_EQ(settings.must_merge[f(1)], (std::set<f_curve*>{f(0), f(2)}));
  EXPECT_EQ(settings.must_merge[f(4)], (std::set<f_curve*>{f(0), f(2)}));
}

TEST_F(Lattice, MergeOfFragmentsAlreadyOnOneCurveOnlyDropsTheirOtherCurves) {
  apply({0, 2}, mode_merge);
  const curve* merged = f(0)->v_curve[0];
  f(4)->v_curve[0]->add_fragment(*lg, f(2));  // f2 held a second time, by f4's curve
  const std::size_t curves = lg->curves.size();
  apply({0, 2}, mode_merge);
  EXPECT_TRUE(together(f(0), f(2)));
  EXPECT_EQ(f(0)->v_curve[0], merged);
  // The other curve of f2 has no partner and leaves; f4 gets a curve of its own.
  EXPECT_EQ(lg->curves.size(), curves);
  EXPECT_EQ(f(2)->v_curve.size(), 1u);
  EXPECT_EQ(f(4)->v_curve[0]->v_f_curve, std::vector<f_curve*>{f(4)});
  EXPECT_TRUE(lg->shared_fragments.empty());
}

// The merged curve is built from the fragments' own curves, so none of them stays
// beside it, at the highest degree the view allows, and it ends where the curves it
// meets end.
TEST(LatticeMerge, OneCurveOfTheHighestAllowedDegreeOverTheChainMeetingTheOthers) {
  struct Case { int allowed[4]; int degree; };
  const Case cases[] = {{{0, 1, 1, 1}, 3}, {{0, 1, 1, 0}, 2}, {{0, 1, 0, 0}, 1}, {{0, 0, 0, 0}, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "highest allowed degree " << c.degree);
    curve_network net;
    layer_graph& lg = add_linked_lattice(net, 3, 2, 9);
    view_settings settings;
    std::copy(std::begin(c.allowed), std::end(c.allowed), settings.allowed_degree);
    // A frozen curve of the chain is absorbed: it must leave the frozen set.
    freeze_curves_of(fragment_at(lg, 0), settings.fixed_curves);
    testing::internal::CaptureStdout();
    apply_picked_pairs({{&lg, fragment_at(lg, 1)}, {&lg, fragment_at(lg, 4)}}, mode_merge, settings);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(check_network(lg), "");
    EXPECT_TRUE(settings.fixed_curves.empty());
    curve* merged = fragment_at(lg, 1)->v_curve[0];
    for (int i : {1, 0, 2, 4}) EXPECT_EQ(fragment_at(lg, i)->v_curve, std::vector<curve*>{merged}) << i;
    EXPECT_TRUE(lg.shared_fragments.empty());
    EXPECT_EQ(merged->v_segment[0].degree, c.degree);
    ASSERT_EQ(merged->v_nconnection.size(), 2u);
    for (const nconnection* n : merged->v_nconnection) {
      const frag_conn& j = *n->v_frag_conn[0];
      const curve* other = n->v_curve[0] == merged ? n->v_curve[1] : n->v_curve[0];
      EXPECT_EQ(merged->v_segment[0].v_ctrl_point[curve_end_at(*merged, j)],
                other->v_segment[0].v_ctrl_point[curve_end_at(*other, j)]);
    }
  }
}

TEST_F(Lattice, SplitSeparatesPicksOnOneCurveAndLeavesOthersAlone) {
  apply({0, 2}, mode_merge);
  apply({0, 2}, mode_split);
  EXPECT_FALSE(together(f(0), f(2)));
  // Already apart: nothing changes.
  const std::size_t curves = lg->curves.size();
  apply({3, 6}, mode_split);
  EXPECT_EQ(lg->curves.size(), curves);
}

TEST_F(Lattice, OnlyCompleteUsablePairsCount) {
  f_curve& loose = lg->f_curves.emplace_back();
  struct Case { const char* name; std::vector<selection_entry> sel; std::size_t recorded; };
  const Case cases[] = {
      {"no pick", {}, 0},
      {"one pick", picks({0}), 0},
      {"odd count: the trailing pick has no partner", picks({0, 2, 4}), 1},
      {"a fragment with itself", picks({3, 3}), 0},
      {"no chain between them", {{lg, f(0)}, {lg, &loose}}, 0},
      {"two pairs", picks({0, 2, 5, 6}), 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fragment_pairs pairs;
    EXPECT_EQ(record_picked_pairs(c.sel, pairs), c.recorded);
    std::size_t links = 0;
    for (const auto& [a, partners] : pairs) links += partners.size();
    EXPECT_EQ(links, 2 * c.recorded);  // both ways
  }
  lg->f_curves.pop_back();
  const std::size_t curves = lg->curves.size();
  apply({0, 2, 4}, mode_merge);  // the pair merges, f4 stays alone
  EXPECT_TRUE(together(f(0), f(2)));
  EXPECT_EQ(f(4)->v_curve.size(), 1u);
  EXPECT_EQ(f(4)->v_curve[0]->v_f_curve.size(), 1u);
  EXPECT_LE(lg->curves.size(), curves);
  apply({3, 3}, mode_split);
  EXPECT_EQ(f(3)->v_curve.size(), 1u);
  apply({0, 2}, mode_freeze);
  EXPECT_TRUE(together(f(0), f(2)));
}

TEST_F(Lattice, FreezeTakesEveryCurveOfTheFragmentAndEditsDropErasedCurves) {
  apply({0, 2}, mode_merge);
  f(4)->v_curve[0]->add_fragment(*lg, f(2));  // f2 is now held twice
  EXPECT_EQ(freeze_curves_of(f(2), settings.fixed_curves), 2u);
  EXPECT_EQ(settings.fixed_curves, (std::set<curve*>(f(2)->v_curve.begin(), f(2)->v_curve.end())));
  EXPECT_EQ(settings.fixed_curves.size(), 2u);
  // The count is of the curves this pick froze: a second pick of f0 adds only its own.
  EXPECT_EQ(freeze_curves_of(f(2), settings.fixed_curves), 0u);
  EXPECT_EQ(freeze_curves_of(f(0), settings.fixed_curves), f(0)->v_curve.size() - 1);
  apply({0, 2}, mode_split);  // the merged curve leaves the network
  for (curve* c : settings.fixed_curves) {
    const bool alive = std::any_of(lg->curves.begin(), lg->curves.end(), [&](const curve& k) { return &k == c; });
    EXPECT_TRUE(alive);
  }
  EXPECT_EQ(freeze_curves_of(nullptr, settings.fixed_curves), 0u);
}

// The optimiser keeps the recorded constraints through every later move.
TEST_F(Lattice, TheOptimiserKeepsSplitsMergesAndFrozenCurves) {
  apply({0, 2}, mode_merge);
  apply({0, 2}, mode_split);
  settings.must_split[f(0)].insert(f(2));
  settings.must_split[f(2)].insert(f(0));
  apply({5, 6}, mode_merge);
  settings.must_merge[f(5)].insert(f(6));
  settings.must_merge[f(6)].insert(f(5));
  freeze_curves_of(f(4), settings.fixed_curves);
  curve* frozen = f(4)->v_curve[0];
  const std::vector<f_curve*> frozen_fragments = frozen->v_f_curve;
  const std::vector<glm::dvec2> frozen_points = frozen->v_segment[0].v_ctrl_point;
  const int frozen_degree = frozen->v_segment[0].degree;

  main_gl_widget = &settings;
  testing::internal::CaptureStdout();
  recuit opt(&net);
  opt.read_config_v2(0.9f, 0.999f);  // a high lambda favours long curves: many joins tried
  opt.gen.seed(7);
  bool joined = false, parted = false;
  for (int i = 0; i < 3000 && !joined && !parted; ++i) {
    opt.step();
    joined = together(f(0), f(2));
    parted = !together(f(5), f(6));
  }
  testing::internal::GetCapturedStdout();
  main_gl_widget = nullptr;
  EXPECT_FALSE(joined);
  EXPECT_FALSE(parted);
  EXPECT_EQ(check_network(*lg), "");
  ASSERT_EQ(f(4)->v_curve.size(), 1u);
  EXPECT_EQ(f(4)->v_curve[0], frozen);
  EXPECT_EQ(frozen->v_f_curve, frozen_fragments);
  EXPECT_EQ(frozen->v_segment[0].v_ctrl_point, frozen_points);
  EXPECT_EQ(frozen->v_segment[0].degree, frozen_degree);
  // The run did change the network: other curves joined.
  EXPECT_LT(lg->curves.size(), 7u);
}

}  // namespace

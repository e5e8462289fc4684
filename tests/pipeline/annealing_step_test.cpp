#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "graph/curve_network.h"
#include "pipeline/recuit.h"
#include "pipeline/view_settings.h"
#include "support/layer_fixtures.h"
#include "support/network_checker.h"
#include "support/topology_builder.h"
#include "support/wavy_grid.h"

namespace {

// Points main_gl_widget at a fresh settings record for the test's scope.
struct scoped_view {
  view_settings settings;
  scoped_view() { main_gl_widget = &settings; }
  ~scoped_view() { main_gl_widget = nullptr; }
};

// An optimiser on net with a fixed seed and the given schedule, tables built.
recuit seeded_optimiser(curve_network& net, unsigned seed, float lambda = 0.5f,
                        float dt = 0.999f) {
  recuit opt(&net);
  opt.read_config_v2(lambda, dt);
  opt.gen.seed(seed);
  return opt;
}

// The seeded optimiser on net after one batch step (output dropped) at iteration k of the
// schedule from Ti with factor dt.
recuit stepped_once(curve_network& net, float Ti, float dt, int k) {
  recuit opt = seeded_optimiser(net, 5);
  opt.Ti = Ti;
  opt.dt = dt;
  opt.k = k;
  testing::internal::CaptureStdout();
  opt.step_batch();
  testing::internal::GetCapturedStdout();
  return opt;
}

// Each curve of each layer as its fragment list and first-segment degree.
using shape = std::vector<std::pair<std::vector<f_curve*>, int>>;
shape network_shape(const curve_network& net) {
  shape s;
  for (const layer_graph& L : net)
    for (const curve& c : L.curves)
      s.emplace_back(c.v_f_curve, c.v_segment.empty() ? -1 : c.v_segment[0].degree);
  return s;
}

TEST(AnnealingThreshold, CappedAtThousand) {
  EXPECT_EQ(acceptance_threshold(0.0, 1.0f), 1000.0);
  EXPECT_EQ(acceptance_threshold(0.0, 0.0f), 1000.0);
  EXPECT_EQ(acceptance_threshold(1.0, 5.0f), 0.0);
  EXPECT_DOUBLE_EQ(acceptance_threshold(0.5, 2.0f), 2.0 * std::log(2.0));
  EXPECT_EQ(acceptance_threshold(1e-300, 10.0f), 1000.0);
}

TEST(MergePartner, IsTheDrawnCurveOtherThanC) {
  curve a, b, c;
  nconnection k;
  k.v_curve = {&c, &a};  // two curves: always the other one
  for (int draw : {0, 1, 7, INT_MAX}) EXPECT_EQ(merge_partner(k, &c, draw), &a);
  k.v_curve = {&a, &c, &b};
  EXPECT_EQ(merge_partner(k, &c, 0), &a);
  EXPECT_EQ(merge_partner(k, &c, 1), &b);
  EXPECT_EQ(merge_partner(k, &c, 4), &a);
  k.v_curve = {&c, &b, &a};
  EXPECT_EQ(merge_partner(k, &c, 0), &b);
  EXPECT_EQ(merge_partner(k, &c, 1), &a);
  k.v_curve = {&c};
  EXPECT_EQ(merge_partner(k, &c, 0), nullptr);
  k.v_curve = {&c, &c};  // a loop ending twice here has no partner
  EXPECT_EQ(merge_partner(k, &c, 0), nullptr);
}

TEST(PrintProgress, OverwritesOneLine) {
  const double scale = 0.5;
  const float T = 0.25f, E = 3.5f;
  testing::internal::CaptureStdout();
  recuit::print_progress(0, &scale, &T, &E);
  recuit::print_progress(50, &scale, &T, &E);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\r 0 0.25 3.5         \r25 0.25 3.5         ");
}

TEST(SplitConstraint, ForbidsCurvesHoldingAPartner) {
  f_curve x, g, other;
  curve c;
  c.v_f_curve = {&other, &g};
  EXPECT_TRUE(split_constraint_allows(&x, c));  // no view: everything allowed
  scoped_view view;
  EXPECT_TRUE(split_constraint_allows(&x, c));
  EXPECT_EQ(view.settings.must_split.count(&x), 1u);  // the lookup adds an empty entry
  view.settings.must_split[&x] = {&g};
  EXPECT_FALSE(split_constraint_allows(&x, c));
  c.v_f_curve = {&other};
  EXPECT_TRUE(split_constraint_allows(&x, c));
}

TEST(AnnealingStep, NetworkWithoutFragmentsStaysAsItIs) {
  curve_network empty;
  curve_network no_fragments;
  no_fragments.emplace_back();
  no_fragments.emplace_back().curves.emplace_back();  // a curve without fragments
  for (curve_network* net : {&empty, &no_fragments}) {
    recuit opt = seeded_optimiser(*net, 3);
    opt.E = 7.0f;
    opt.T = 0.5f;
    opt.print_interval = 0;
    testing::internal::CaptureStdout();
    for (int i = 0; i < 200; ++i) {
      opt.step_batch();
      opt.step();
      opt.k = i;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(opt.E, 7.0f);
    EXPECT_EQ(opt.T, 0.5f);
  }
  EXPECT_EQ(no_fragments.back().curves.size(), 1u);
}

TEST(AnnealingStep, OneFragmentLayerOnlyChangesTheDegree) {
  curve_network net;
  layer_graph& L = net.emplace_back();
  frag_conn* a = topology_builder::add_junction(L);
  frag_conn* b = topology_builder::add_junction(L);
  f_curve* f = topology_builder::add_fragment(L, a, b, {10, 10}, {60, 40}, 15);
  fixture::link_one_curve_per_fragment(L);
  recuit opt = seeded_optimiser(net, 11);
  std::set<int> degrees;
  testing::internal::CaptureStdout();
  for (int i = 0; i < 60; ++i) {
    opt.step_batch();
    ++opt.k;
    ASSERT_EQ(L.curves.size(), 1u);
    EXPECT_EQ(L.curves.front().v_f_curve, std::vector<f_curve*>{f});
    degrees.insert(L.curves.front().v_segment[0].degree);
    ASSERT_EQ(check_network(L), "");
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");  // no progress line for such a layer
  EXPECT_GE(degrees.size(), 2u);  // a straight stroke: lower degrees fit as well and cost less
}

TEST(AnnealingStep, TemperatureOfTheIterationAndItsEnergy) {
  curve_network net;
  fixture::wavy_grid(net.emplace_back(), 4);
  recuit opt = stepped_once(net, 2.0f, 0.5f, 2);
  EXPECT_EQ(opt.T, 0.5f);
  EXPECT_EQ(opt.k, 2);  // steps never advance k
  // Whether the move stood or was undone, E is the network's energy.
  EXPECT_NEAR(opt.E, net.energy(opt.lambda, opt.mu), 1e-4f * std::fabs(opt.E));
}

TEST(AnnealingStep, TemperatureIsTakenInSinglePrecision) {
  curve_network net;
  fixture::wavy_grid(net.emplace_back(), 3);
  recuit opt = stepped_once(net, 3.0f, 0.97f, 2);
  // dt * dt rounded to float, then times Ti in float: one unit in the last place below
  // the product taken in double.
  const float dt2 = opt.dt * opt.dt;
  const float expected = opt.Ti * dt2;
  EXPECT_EQ(opt.T, expected);
  EXPECT_NE(opt.T, static_cast<float>(3.0 * 0.97f * 0.97f));
}

// The view's constraints as the interactive iteration reads them; null for the batch form.
struct constraints {
  const view_settings* view = nullptr;
  bool frozen(const curve* c) const { return view && view->fixed_curves.count(const_cast<curve*>(c)) != 0; }
  // No fragment of c is to stay apart from x.
  bool allows(f_curve* x, const curve& c) const {
    if (!view) return true;
    const auto apart = view->must_split.find(x);
    if (apart == view->must_split.end()) return true;
    for (f_curve* g : c.v_f_curve)
      if (apart->second.count(g)) return false;
    return true;
  }
  bool allows_all(const curve& of, const curve& c) const {
    for (f_curve* g : of.v_f_curve)
      if (!allows(g, c)) return false;
    return true;
  }
};

// A second engine with the seed of an optimiser and copies of its distributions, taken
// before the optimiser draws, so that a test can predict each draw of the iteration.
struct draw_replay {
  std::mt19937 gen;
  std::uniform_int_distribution<int> fragment_dist, move_dist, end_dist, degree_dist;
  std::uniform_real_distribution<double> unit_dist;

  explicit draw_replay(const recuit& opt)
      : gen(opt.gen), fragment_dist(opt.fragment_dist), move_dist(opt.move_dist), end_dist(opt.end_dist),
        degree_dist(opt.degree_dist), unit_dist(opt.unit_dist) {}
  int fragment() { return fragment_dist(gen); }
  int move() { return move_dist(gen); }
  int end() { return end_dist(gen); }
  int degree() { return degree_dist(gen); }
  double unit() { return unit_dist(gen); }
};

// The fragments that the end move of curve C is to bring onto one curve, read off the
// network before the iteration, for extension or bridge (m = 1) and merge draws; empty
// when the move is forbidden or has no partner (no further draw is then made).
std::vector<f_curve*> end_move_fragments(const curve& C, const nconnection& K, int m, const constraints& rules,
                                         draw_replay& draws) {
  std::vector<f_curve*> joined = C.v_f_curve;
  const frag_conn& J = *K.v_frag_conn[0];
  if (m == 1) {
    std::vector<f_curve*> candidates;
    for (const frag_end& fe : J.v_frag_end)
      if (std::find(fe.fragment->v_curve.begin(), fe.fragment->v_curve.end(), &C) == fe.fragment->v_curve.end())
        candidates.push_back(fe.fragment);
    if (candidates.empty()) return {};
    f_curve* H = candidates[static_cast<std::size_t>(draws.fragment()) % candidates.size()];
    if (!rules.allows(H, C)) return {};
    joined.push_back(H);
    const int p = draws.move();
    // The moves themselves leave a frozen curve's fragment where it is.
    if (rules.frozen(H->v_curve[0])) return {};
    const bool bridge = p % 2 == 1 && H->v_frag_conn[0]->v_frag_end.size() == 3 &&
                        H->v_frag_conn[1]->v_frag_end.size() == 3 && H->v_curve.size() == 1;
    if (bridge) {
      const frag_conn& far = *(H->v_frag_conn[0] != &J ? H->v_frag_conn[0] : H->v_frag_conn[1]);
      const curve* N = far.v_curve[0] != H->v_curve[0] ? far.v_curve[0] : far.v_curve[1];
      if (rules.frozen(N) || !rules.allows(H, *N) || !rules.allows_all(*N, C)) return {};
      joined.insert(joined.end(), N->v_f_curve.begin(), N->v_f_curve.end());
    }
    return joined;
  }
  if (K.v_curve.size() < 2) return {};
  std::size_t i = static_cast<std::size_t>(draws.fragment()) % (K.v_curve.size() - 1);
  for (const curve* D : K.v_curve) {
    if (D == &C) continue;
    if (i-- == 0) {
      if (rules.frozen(D) || !rules.allows_all(*D, C)) return {};
      joined.insert(joined.end(), D->v_f_curve.begin(), D->v_f_curve.end());
      break;
    }
  }
  return joined;
}

// Three layers of straight one-fragment curves. The first is an H: fragments a and b
// meet the bar h at its left junction, c and d at its right one; the other layers hold
// 1 and 2 lone fragments.
void h_and_lone_fragments(curve_network& net) {
  using namespace topology_builder;
  layer_graph& L = net.emplace_back();
  frag_conn* left = add_junction(L);
  frag_conn* right = add_junction(L);
  add_fragment(L, add_junction(L), left, {0, 0}, {20, 10});
  add_fragment(L, add_junction(L), left, {0, 20}, {20, 10});
  add_fragment(L, left, right, {20, 10}, {40, 10});
  add_fragment(L, right, add_junction(L), {40, 10}, {60, 0});
  add_fragment(L, right, add_junction(L), {40, 10}, {60, 20});
  for (int n : {1, 2}) {
    layer_graph& lone = net.emplace_back();
    for (int i = 0; i < n; ++i) add_fragment(lone, add_junction(lone), add_junction(lone), {20.0 * i, 0}, {20.0 * i + 9, 9});
  }
  for (layer_graph& layer : net) fixture::link_one_curve_per_fragment(layer);
}

// At a temperature so high that every move stands, a second engine with the seed of
// opt replays the draws in the order the iteration makes them and predicts every
// curve's degree, until the first extension, bridge or merge, whose fragments must
// then lie on one curve. Returns "" or what went otherwise.
std::string replay_until_first_join(curve_network& net, recuit& opt, const constraints& rules) {
  const int sizes[] = {5, 1, 2};
  opt.Ti = 1e9f;
  opt.dt = 1.0f;
  draw_replay draws(opt);
  if (opt.cumulative_fcurves != std::vector<int>{5, 6, 8}) return "unexpected fragment tables";

  auto degrees = [&net] {
    std::vector<std::vector<int>> d;
    for (const layer_graph& L : net) {
      d.emplace_back();
      for (const curve& c : L.curves) d.back().push_back(c.v_segment[0].degree);
    }
    return d;
  };
  auto on_one_curve = [&net](const std::vector<f_curve*>& fragments) {
    for (const curve& c : net.front().curves)
      if (std::all_of(fragments.begin(), fragments.end(), [&c](f_curve* f) {
            return std::count(c.v_f_curve.begin(), c.v_f_curve.end(), f) != 0;
          }))
        return true;
    return false;
  };
  std::vector<std::vector<int>> expected = degrees();
  std::vector<f_curve*> joined;
  std::string wrong;
  testing::internal::CaptureStdout();
  for (int it = 0; it < 300 && wrong.empty() && joined.empty(); ++it) {
    const int r = draws.fragment();
    const std::size_t layer = r < 5 ? 0 : r < 6 ? 1 : 2;
    draws.unit();
    layer_graph& L = *std::next(net.begin(), static_cast<std::ptrdiff_t>(layer));
    if (sizes[layer] == 1) {
      expected[layer][0] = draws.degree();
    } else {
      const int m = draws.move();
      std::vector<std::size_t> pickable;
      std::size_t position = 0;
      for (const curve& c : L.curves) {
        if (!rules.frozen(&c)) pickable.push_back(position);
        ++position;
      }
      const std::size_t c = pickable[static_cast<std::size_t>(draws.fragment()) % pickable.size()];
      if (m == 3) {
        expected[layer][c] = draws.degree();
      } else {
        const curve& C = *std::next(L.curves.begin(), static_cast<std::ptrdiff_t>(c));
        const nconnection& K = *C.v_nconnection[static_cast<std::size_t>(draws.end()) % C.v_nconnection.size()];
        if (K.v_frag_conn[0]->v_frag_end.size() > 1)
          joined = end_move_fragments(C, K, m, rules, draws);
      }
    }
    if (rules.view)
      opt.step();
    else
      opt.step_batch();
    if (joined.empty() ? degrees() != expected : !on_one_curve(joined))
      wrong = "iteration " + std::to_string(it) + " went otherwise than the draws say";
  }
  testing::internal::GetCapturedStdout();
  if (wrong.empty() && joined.empty()) wrong = "no extension, bridge or merge in 300 iterations";
  return wrong;
}

TEST(AnnealingStep, DrawsPickLayerCurveMoveEndAndPartnerInTheirOrder) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    curve_network net;
    h_and_lone_fragments(net);
    recuit opt = seeded_optimiser(net, seed);
    EXPECT_EQ(replay_until_first_join(net, opt, constraints{}), "") << "seed " << seed;
  }
}

TEST(AnnealingStep, InteractiveDrawsStopWhereAConstraintForbidsTheMove) {
  // In the H, curve d is frozen and a must stay apart from the bar h: a forbidden
  // extension, bridge or merge ends the iteration before its next draw.
  for (unsigned seed = 1; seed <= 40; ++seed) {
    scoped_view view;
    curve_network net;
    h_and_lone_fragments(net);
    layer_graph& H = net.front();
    std::vector<f_curve*> f;
    for (f_curve& x : H.f_curves) f.push_back(&x);
    view.settings.fixed_curves.insert(f[4]->v_curve[0]);
    view.settings.must_split[f[0]] = {f[2]};
    view.settings.must_split[f[2]] = {f[0]};
    recuit opt = seeded_optimiser(net, seed);
    EXPECT_EQ(replay_until_first_join(net, opt, constraints{&view.settings}), "") << "seed " << seed;
  }
}

TEST(AnnealingStep, InteractivePickCountsOnlyTheCurvesThatAreNotFrozen) {
  // Five lone straight fragments, the second and fourth curves frozen: only degree
  // moves change anything. The replayed curve draw names the i-th free curve.
  scoped_view view;
  curve_network net;
  layer_graph& L = net.emplace_back();
  for (int i = 0; i < 5; ++i)
    topology_builder::add_fragment(L, topology_builder::add_junction(L), topology_builder::add_junction(L),
                                   {20.0 * i, 0}, {20.0 * i + 9, 9});
  fixture::link_one_curve_per_fragment(L);
  std::vector<curve*> curves, free_curves;
  for (curve& c : L.curves) curves.push_back(&c);
  for (std::size_t i = 0; i < curves.size(); ++i) {
    if (i == 1 || i == 3)
      view.settings.fixed_curves.insert(curves[i]);
    else
      free_curves.push_back(curves[i]);
  }
  recuit opt = seeded_optimiser(net, 9);
  opt.Ti = 1e9f;
  opt.dt = 1.0f;
  draw_replay draws(opt);
  std::map<curve*, int> expected;
  for (curve* c : curves) expected[c] = c->v_segment[0].degree;
  int first_wrong = -1;
  testing::internal::CaptureStdout();
  for (int it = 0; it < 200 && first_wrong < 0; ++it) {
    draws.fragment();
    draws.unit();
    const int m = draws.move();
    curve* C = free_curves[static_cast<std::size_t>(draws.fragment()) % free_curves.size()];
    if (m == 3)
      expected[C] = draws.degree();
    else
      draws.end();
    opt.step();
    for (curve* c : curves)
      if (c->v_segment[0].degree != expected[c]) first_wrong = it;
  }
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(first_wrong, -1) << "first iteration that went otherwise than the draws say";
}

TEST(AnnealingStep, BothFormsDrawAlikeWithoutConstraints) {
  scoped_view view;  // empty constraint sets: the interactive form may run
  curve_network a, b;
  fixture::wavy_grid(a.emplace_back(), 5);
  fixture::wavy_grid(b.emplace_back(), 5);
  recuit batch = seeded_optimiser(a, 21);
  recuit interactive = seeded_optimiser(b, 21);
  testing::internal::CaptureStdout();
  for (int i = 0; i < 400; ++i) {
    batch.step_batch();
    interactive.step();
    ++batch.k;
    ++interactive.k;
    ASSERT_EQ(batch.E, interactive.E) << "iteration " << i;
  }
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(a.front().curves.size(), b.front().curves.size());
  EXPECT_EQ(check_network(b.front()), "");
}

TEST(AnnealingStep, FrozenCurvesAndMustSplitPairsAreHonoured) {
  scoped_view view;
  curve_network net;
  layer_graph& L = net.emplace_back();
  fixture::wavy_grid(L, 5);
  // Freeze every third curve, and keep the first two fragments of the first row apart.
  std::map<curve*, std::vector<f_curve*>> frozen;
  int index = 0;
  for (curve& c : L.curves)
    if (index++ % 3 == 0) frozen[&c] = c.v_f_curve;
  for (const auto& entry : frozen) view.settings.fixed_curves.insert(entry.first);
  f_curve* left = &L.f_curves.front();
  f_curve* right = &*std::next(L.f_curves.begin());
  view.settings.must_split[left] = {right};
  view.settings.must_split[right] = {left};

  recuit opt = seeded_optimiser(net, 8, 0.7f);  // a high lambda favours merges
  testing::internal::CaptureStdout();
  for (int i = 0; i < 3000; ++i) {
    opt.step();
    ++opt.k;
    for (const auto& entry : frozen) {
      const auto it = std::find_if(L.curves.begin(), L.curves.end(),
                                   [&](const curve& c) { return &c == entry.first; });
      ASSERT_NE(it, L.curves.end()) << "a frozen curve was erased at iteration " << i;
      ASSERT_EQ(it->v_f_curve, entry.second);
    }
    for (const curve& c : L.curves) {
      const bool both = std::count(c.v_f_curve.begin(), c.v_f_curve.end(), left) &&
                        std::count(c.v_f_curve.begin(), c.v_f_curve.end(), right);
      ASSERT_FALSE(both) << "must-split fragments on one curve at iteration " << i;
    }
    if (i % 100 == 0) {
      ASSERT_EQ(check_network(L), "") << "iteration " << i;
    }
  }
  testing::internal::GetCapturedStdout();
  EXPECT_LT(L.curves.size(), 40u);  // the free curves did merge
}

TEST(AnnealingStep, AllCurvesFrozenChangesNothing) {
  scoped_view view;
  curve_network net;
  fixture::wavy_grid(net.emplace_back(), 4);
  for (curve& c : net.front().curves) view.settings.fixed_curves.insert(&c);
  const shape before = network_shape(net);
  recuit opt = seeded_optimiser(net, 2);
  testing::internal::CaptureStdout();
  for (int i = 0; i < 300; ++i) {
    opt.step();
    ++opt.k;
  }
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(network_shape(net), before);
}

TEST(AnnealingSlice, RunsFromKToNbItAndNoFurther) {
  curve_network net;
  fixture::wavy_grid(net.emplace_back(), 4);
  recuit opt = seeded_optimiser(net, 4);
  scoped_view view;
  opt.nb_it = 120;
  opt.k = opt.nb_it;
  const shape before = network_shape(net);
  const float E = opt.E;
  opt.run_time_slice();  // k = nb_it: no iteration
  EXPECT_EQ(opt.k, opt.nb_it);
  EXPECT_EQ(opt.E, E);
  EXPECT_EQ(network_shape(net), before);

  opt.k = 0;
  testing::internal::CaptureStdout();
  int slices = 0;
  while (opt.k < opt.nb_it && slices < 1000) {
    const int k0 = opt.k;
    opt.run_time_slice();
    EXPECT_GT(opt.k, k0);  // at least one iteration per slice
    ++slices;
  }
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(opt.k, opt.nb_it);
  EXPECT_EQ(check_network(net.front()), "");
}

}  // namespace

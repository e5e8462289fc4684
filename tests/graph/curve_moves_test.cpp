#include "graph/curve_moves.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>
#include <limits>
#include <random>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "graph/curve_network.h"
#include "graph/layer_graph.h"
#include "pipeline/view_settings.h"
#include "support/layer_fixtures.h"
#include "support/network_checker.h"
#include "support/wavy_grid.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

constexpr double kLambda = 0.5;
constexpr double kMu = 0.1;
constexpr double kKeep = 1e30;
constexpr double kUndo = -1e30;

curve* holder(const f_curve* f) { return f->v_curve.size() == 1 ? f->v_curve[0] : nullptr; }

float energy(const curve_network& net) {
  return net.energy(static_cast<float>(kLambda), static_cast<float>(kMu));
}

// What an undo must give back: each curve's set of fragments with its degree, and the
// shared fragments.
struct curve_shape {
  std::vector<const f_curve*> fragments;
  int degree;
  bool operator<(const curve_shape& o) const {
    return fragments != o.fragments ? fragments < o.fragments : degree < o.degree;
  }
  bool operator==(const curve_shape& o) const {
    return fragments == o.fragments && degree == o.degree;
  }
};

struct network_shape {
  std::vector<curve_shape> curves;
  std::set<f_curve*> shared;
  bool operator==(const network_shape& o) const {
    return curves == o.curves && shared == o.shared;
  }
};

network_shape shape_of(const layer_graph& lg) {
  network_shape s;
  for (const curve& c : lg.curves) {
    curve_shape cs{{c.v_f_curve.begin(), c.v_f_curve.end()}, c.v_segment.at(0).degree};
    std::sort(cs.fragments.begin(), cs.fragments.end());
    s.curves.push_back(cs);
  }
  std::sort(s.curves.begin(), s.curves.end());
  s.shared = lg.shared_fragments;
  return s;
}

std::vector<const curve*> records_of(const layer_graph& lg) {
  std::vector<const curve*> out;
  for (const curve& c : lg.curves) out.push_back(&c);
  return out;
}

bool holds_fragment(const curve& c, const f_curve* f) {
  return std::find(c.v_f_curve.begin(), c.v_f_curve.end(), f) != c.v_f_curve.end();
}

void set_degree(curve* c, int d) {
  c->v_segment[0].degree = d;
  c->refit();
}

// Points main_gl_widget at a settings record for one test.
struct view_scope {
  view_settings view;
  view_scope() { main_gl_widget = &view; }
  ~view_scope() { main_gl_widget = nullptr; }
};

// The layers every case starts from.
enum class start { chain, t, x, loop };

fixture::layer_parts build(start s, layer_graph& lg) {
  switch (s) {
    case start::chain: return fixture::chain_of_three(lg);
    case start::t: return fixture::t_junction(lg);
    case start::x: return fixture::x_junction(lg);
    case start::loop: return fixture::closed_loop(lg);
  }
  return {};
}

using move_fn = void (*)(curve_network&, layer_graph&, const std::vector<f_curve*>&, float*,
                         double);

struct move_case {
  const char* name;
  start layer;
  // Brings the layer into the case's start state (may be null).
  void (*prepare)(layer_graph&, const std::vector<f_curve*>&);
  move_fn run;
  bool with_view;
  std::size_t kept_curves;  // curves of the layer once the move is kept
  std::size_t kept_shared;
};

// A: fragment 0, B: fragment 1, C: fragment 2 of the chain; the T's left, right, down.
const move_case kMoves[] = {
    {"degree", start::chain, nullptr,
     [](curve_network& net, layer_graph&, const std::vector<f_curve*>& f, float* E, double th) {
       holder(f[0])->move_change_degree(1, net, E, th, kLambda, kMu);
     },
     false, 3, 0},
    {"degree of a two-fragment curve", start::chain,
     [](layer_graph& lg, const std::vector<f_curve*>& f) {
       build_curve_from_chain(lg, {f[0], f[1]}, 3);
     },
     [](curve_network& net, layer_graph&, const std::vector<f_curve*>& f, float* E, double th) {
       holder(f[0])->move_change_degree(2, net, E, th, kLambda, kMu);
     },
     false, 2, 0},
    {"split k=0", start::chain,
     [](layer_graph& lg, const std::vector<f_curve*>& f) {
       build_curve_from_chain(lg, {f[0], f[1], f[2]}, 3);
     },
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) { holder(f[1])->move_split(net, lg, E, th, kLambda, kMu, 0); },
     false, 3, 0},
    {"split k=1 of three", start::chain,
     [](layer_graph& lg, const std::vector<f_curve*>& f) {
       build_curve_from_chain(lg, {f[0], f[1], f[2]}, 2);
     },
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) { holder(f[1])->move_split(net, lg, E, th, kLambda, kMu, 1); },
     false, 2, 0},
    {"split k=1 of two", start::chain,
     [](layer_graph& lg, const std::vector<f_curve*>& f) {
       build_curve_from_chain(lg, {f[1], f[2]}, 3);
     },
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) { holder(f[1])->move_split(net, lg, E, th, kLambda, kMu, 1); },
     false, 3, 0},
    {"split of the interactive program, pair kept together", start::chain,
     [](layer_graph& lg, const std::vector<f_curve*>& f) {
       build_curve_from_chain(lg, {f[0], f[1], f[2]}, 3);
       main_gl_widget->must_merge[f[0]].insert(f[1]);
       main_gl_widget->must_merge[f[1]].insert(f[0]);
     },
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) {
       curve* c = holder(f[1]);
       // Cut after the pair, whichever way round the chain was ordered.
       const int k = c->v_segment[0].v_frag_ref[0].fragment == f[2] ? 1 : 2;
       c->move_split_gui(net, lg, E, th, kLambda, kMu, k);
     },
     true, 2, 0},
    {"extend absorbing a one-fragment curve", start::chain, nullptr,
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) { holder(f[0])->move_extend(net, lg, f[1], E, th, kLambda, kMu); },
     false, 2, 0},
    {"extend sharing a fragment", start::chain,
     [](layer_graph& lg, const std::vector<f_curve*>& f) {
       build_curve_from_chain(lg, {f[1], f[2]}, 3);
     },
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) { holder(f[0])->move_extend(net, lg, f[1], E, th, kLambda, kMu); },
     false, 2, 1},
    {"extend by a line", start::chain,
     [](layer_graph&, const std::vector<f_curve*>& f) { set_degree(holder(f[1]), 1); },
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) { holder(f[0])->move_extend(net, lg, f[1], E, th, kLambda, kMu); },
     false, 2, 0},
    {"merge along the chain", start::chain,
     [](layer_graph&, const std::vector<f_curve*>& f) { set_degree(holder(f[1]), 1); },
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) { holder(f[0])->move_merge(net, lg, holder(f[1]), E, th, kLambda, kMu); },
     false, 2, 0},
    {"merge across the T", start::t, nullptr,
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) { holder(f[0])->move_merge(net, lg, holder(f[1]), E, th, kLambda, kMu); },
     false, 2, 0},
    {"bridge", start::chain,
     [](layer_graph&, const std::vector<f_curve*>& f) { set_degree(holder(f[2]), 2); },
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) {
       holder(f[0])->move_bridge(net, lg, f[1], holder(f[2]), E, th, kLambda, kMu);
     },
     false, 2, 1},
    // An absorb leaves C in the shared set with its one-fragment curve as only holder;
    // an undone extension must leave it there.
    {"extend by a fragment left in the shared set", start::chain,
     [](layer_graph& lg, const std::vector<f_curve*>& f) {
       curve* x = holder(f[2]);
       curve* y = holder(f[1]);
       y->add_fragment(lg, f[2]);
       x->absorb(lg, y);
       x->detach(lg, x->v_segment[0].v_frag_ref.front().fragment == f[1] ? 1 : 2);
       ASSERT_EQ(lg.shared_fragments, std::set<f_curve*>{f[2]});
     },
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) { holder(f[1])->move_extend(net, lg, f[2], E, th, kLambda, kMu); },
     false, 2, 1},
    // After a kept bridge B is shared by the long curve and its own one-fragment curve;
    // the split's rebuilds must leave that curve alone.
    {"split k=0 of a bridged curve", start::chain,
     [](layer_graph& lg, const std::vector<f_curve*>& f) {
       curve_network scratch_net;  // the bridge is kept whatever the energy
       float E = 0;
       holder(f[0])->move_bridge(scratch_net, lg, f[1], holder(f[2]), &E, kKeep, kLambda, kMu);
     },
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) { holder(f[0])->move_split(net, lg, E, th, kLambda, kMu, 0); },
     false, 3, 0},
    {"split k=1 of a bridged curve", start::chain,
     [](layer_graph& lg, const std::vector<f_curve*>& f) {
       curve_network scratch_net;
       float E = 0;
       holder(f[0])->move_bridge(scratch_net, lg, f[1], holder(f[2]), &E, kKeep, kLambda, kMu);
     },
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) {
       curve* c = holder(f[0]);
       const int k = c->v_segment[0].v_frag_ref[0].fragment == f[0] ? 1 : 2;
       c->move_split(net, lg, E, th, kLambda, kMu, k);  // A | B C
     },
     false, 3, 1},
};

void PrintTo(const move_case& m, std::ostream* os) { *os << m.name; }

class MoveTest : public testing::TestWithParam<move_case> {};

// Forced undo: the network comes back with the same chains, degrees, shared fragments
// and energy; forced keep: the change stands and E is the new energy.
TEST_P(MoveTest, UndoRestoresAndKeepStands) {
  const move_case& m = GetParam();
  for (const bool keep : {false, true}) {
    SCOPED_TRACE(keep ? "kept" : "undone");
    view_scope* view = m.with_view ? new view_scope : nullptr;
    curve_network net;
    layer_graph& lg = net.emplace_back();
    const fixture::layer_parts parts = build(m.layer, lg);
    if (m.prepare) m.prepare(lg, parts.fragments);
    ASSERT_EQ(check_network(lg), "");
    const network_shape before = shape_of(lg);
    const float e0 = energy(net);
    float E = e0;

    m.run(net, lg, parts.fragments, &E, keep ? kKeep : kUndo);

    EXPECT_EQ(check_network(lg), "");
    if (keep) {
      EXPECT_FALSE(shape_of(lg) == before);
      EXPECT_EQ(lg.curves.size(), m.kept_curves);
      EXPECT_EQ(lg.shared_fragments.size(), m.kept_shared);
      EXPECT_EQ(E, energy(net));
    } else {
      EXPECT_TRUE(shape_of(lg) == before);
      EXPECT_EQ(E, e0);
      EXPECT_NEAR(energy(net), e0, 1e-4 * std::max(1.0f, std::fabs(e0)));
    }
    delete view;
  }
}

INSTANTIATE_TEST_SUITE_P(AllMoves, MoveTest, testing::ValuesIn(kMoves),
                         [](const testing::TestParamInfo<move_case>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; ++p)
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           return name;
                         });

struct no_op_case {
  const char* name;
  start layer;
  void (*prepare)(layer_graph&, const std::vector<f_curve*>&);
  move_fn run;
  bool with_view;
  const char* output;  // what the move prints
};

const no_op_case kNoOps[] = {
    {"degree already taken", start::chain, nullptr,
     [](curve_network& net, layer_graph&, const std::vector<f_curve*>& f, float* E, double th) {
       holder(f[0])->move_change_degree(3, net, E, th, kLambda, kMu);
     },
     false, ""},
    {"degree the view forbids", start::chain,
     [](layer_graph&, const std::vector<f_curve*>&) { main_gl_widget->allowed_degree[1] = 0; },
     [](curve_network& net, layer_graph&, const std::vector<f_curve*>& f, float* E, double th) {
       holder(f[0])->move_change_degree(1, net, E, th, kLambda, kMu);
     },
     true, ""},
    {"degree out of range", start::chain, nullptr,
     [](curve_network& net, layer_graph&, const std::vector<f_curve*>& f, float* E, double th) {
       for (int d : {7, 0, -1}) holder(f[0])->move_change_degree(d, net, E, th, kLambda, kMu);
     },
     false, ""},
    {"split of one fragment", start::chain, nullptr,
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) { holder(f[0])->move_split(net, lg, E, th, kLambda, kMu, 0); },
     false, ""},
    {"interactive split k=0 of a merged pair", start::chain,
     [](layer_graph& lg, const std::vector<f_curve*>& f) {
       build_curve_from_chain(lg, {f[0], f[1], f[2]}, 3);
       main_gl_widget->must_merge[f[0]].insert(f[2]);
       main_gl_widget->must_merge[f[2]].insert(f[0]);
     },
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) { holder(f[1])->move_split_gui(net, lg, E, th, kLambda, kMu, 0); },
     true, ""},
    {"interactive split between a merged pair", start::chain,
     [](layer_graph& lg, const std::vector<f_curve*>& f) {
       build_curve_from_chain(lg, {f[0], f[1], f[2]}, 3);
       main_gl_widget->must_merge[f[0]].insert(f[2]);
       main_gl_widget->must_merge[f[2]].insert(f[0]);
     },
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) {
       for (int k = 1; k < 3; ++k)
         holder(f[1])->move_split_gui(net, lg, E, th, kLambda, kMu, k);
     },
     true, ""},
    {"extend closing a loop", start::loop,
     [](layer_graph& lg, const std::vector<f_curve*>& f) {
       build_curve_from_chain(lg, {f[0], f[1]}, 3);
     },
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) { holder(f[0])->move_extend(net, lg, f[2], E, th, kLambda, kMu); },
     false, ""},
    {"extend by a fragment away from the curve", start::chain, nullptr,
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) {
       holder(f[0])->move_extend(net, lg, f[2], E, th, kLambda, kMu);
       holder(f[0])->move_extend(net, lg, f[0], E, th, kLambda, kMu);  // one it holds
     },
     false, ""},
    {"extend absorbing a frozen curve", start::chain,
     [](layer_graph&, const std::vector<f_curve*>& f) {
       main_gl_widget->fixed_curves.insert(holder(f[1]));
     },
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) { holder(f[0])->move_extend(net, lg, f[1], E, th, kLambda, kMu); },
     true, ""},
    {"merge of curves sharing both ends", start::loop,
     [](layer_graph& lg, const std::vector<f_curve*>& f) {
       build_curve_from_chain(lg, {f[1], f[2]}, 3);
     },
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) { holder(f[0])->move_merge(net, lg, holder(f[1]), E, th, kLambda, kMu); },
     false, ""},
    {"merge of overlapping curves", start::chain,
     [](layer_graph& lg, const std::vector<f_curve*>& f) { holder(f[1])->add_fragment(lg, f[0]); },
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) {
       curve* own = f[0]->v_curve[0]->v_f_curve.size() == 1 ? f[0]->v_curve[0] : f[0]->v_curve[1];
       curve* both = holder(f[1]);
       own->move_merge(net, lg, both, E, th, kLambda, kMu);
       own->move_merge(net, lg, own, E, th, kLambda, kMu);
     },
     false, ""},
    {"merge without a common end", start::chain, nullptr,
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) { holder(f[0])->move_merge(net, lg, holder(f[2]), E, th, kLambda, kMu); },
     false, "bad fco size: 4 2 2\n"},
    {"bridge between touching curves", start::x, nullptr,
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) {
       holder(f[0])->move_bridge(net, lg, f[2], holder(f[1]), E, th, kLambda, kMu);
     },
     false, ""},
    {"bridge through a fragment not between the curves", start::chain, nullptr,
     [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
        double th) {
       holder(f[0])->move_bridge(net, lg, f[2], holder(f[1]), E, th, kLambda, kMu);
     },
     false, ""},
};

void PrintTo(const no_op_case& m, std::ostream* os) { *os << m.name; }

class NoOpTest : public testing::TestWithParam<no_op_case> {};

// Moves that do not apply keep every record and E, even with a threshold that keeps
// anything.
TEST_P(NoOpTest, ChangesNothing) {
  const no_op_case& m = GetParam();
  view_scope* view = m.with_view ? new view_scope : nullptr;
  curve_network net;
  layer_graph& lg = net.emplace_back();
  const fixture::layer_parts parts = build(m.layer, lg);
  if (m.prepare) m.prepare(lg, parts.fragments);
  const network_shape before = shape_of(lg);
  const std::vector<const curve*> records = records_of(lg);
  float E = 12.5f;

  CaptureStdout();
  m.run(net, lg, parts.fragments, &E, kKeep);
  EXPECT_EQ(GetCapturedStdout(), m.output);

  EXPECT_TRUE(shape_of(lg) == before);
  EXPECT_EQ(records_of(lg), records);
  EXPECT_EQ(E, 12.5f);
  EXPECT_EQ(check_network(lg), "");
  delete view;
}

INSTANTIATE_TEST_SUITE_P(AllMoves, NoOpTest, testing::ValuesIn(kNoOps),
                         [](const testing::TestParamInfo<no_op_case>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; ++p)
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           return name;
                         });

TEST(MoveStands, RiseAgainstThreshold) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct row {
    float e_new, e;
    double threshold;
    bool stands;
  } rows[] = {
      {4.0f, 5.0f, 0.0, true},          // a fall always stands
      {5.0f, 5.0f, 0.0, true},          // no change stands at threshold 0
      {6.0f, 5.0f, 0.999, false},
      {999.0f, 0.0f, 1000.0, true},     // u = 0: threshold 1000
      {1000.5f, 0.0f, 1000.0, false},   // never above 1000
      {16777218.0f, 16777216.0f, 2.0, true},  // the rise is formed in float
      {nan, 0.0f, 1000.0, false},
  };
  for (const row& r : rows)
    EXPECT_EQ(move_stands(r.e_new, r.e, r.threshold), r.stands) << r.e_new << " " << r.e;
}

// At threshold 1000 (u = 0) a move whose rise is below 1000 stands; just below its rise
// it is undone.
TEST(MoveStands, ThousandKeepsAnyRiseBelowIt) {
  float rise = 0;
  for (const bool at_thousand : {true, false}) {
    curve_network net;
    layer_graph& lg = net.emplace_back();
    const auto f = fixture::chain_of_three(lg).fragments;
    build_curve_from_chain(lg, {f[0], f[1], f[2]}, 3);
    const float e0 = net.energy(0, static_cast<float>(kMu));
    float E = e0;
    holder(f[0])->move_change_degree(1, net, &E, at_thousand ? 1000.0 : 0.99 * rise, 0.0, kMu);
    if (at_thousand) {
      EXPECT_EQ(holder(f[0])->v_segment[0].degree, 1);
      EXPECT_EQ(E, net.energy(0, static_cast<float>(kMu)));
      rise = E - e0;
      EXPECT_GT(rise, 1.0f);  // a line fits the bent chain worse
      EXPECT_LT(rise, 1000.0f);
    } else {
      EXPECT_EQ(holder(f[0])->v_segment[0].degree, 3);
      EXPECT_EQ(E, e0);
    }
  }
}

// The degree move prices with the view's degree penalty and takes only the degrees the
// view allows; without the view every degree 1 to 3 is open.
TEST(MoveChangeDegree, ViewAllowedDegrees) {
  for (const bool with_view : {false, true}) {
    SCOPED_TRACE(with_view ? "view" : "no view");
    view_scope* view = with_view ? new view_scope : nullptr;
    if (view) view->view.allowed_degree[2] = 0;
    curve_network net;
    layer_graph& lg = net.emplace_back();
    const auto parts = fixture::t_junction(lg);
    curve* c = holder(parts.fragments[0]);
    float E = energy(net);
    c->move_change_degree(2, net, &E, kKeep, kLambda, kMu);
    EXPECT_EQ(c->v_segment[0].degree, with_view ? 3 : 2);
    c->move_change_degree(1, net, &E, kKeep, kLambda, kMu);
    EXPECT_EQ(c->v_segment[0].degree, 1);
    EXPECT_EQ(E, energy(net));
    EXPECT_EQ(check_network(lg), "");
    delete view;
  }
}

// With the view allowing lines and quadratics only, what a move makes out of cubic curves,
// kept or undone, is quadratic (the nearest lower allowed degree); curves it leaves alone
// keep their degree until the optimiser's next time slice.
TEST(Moves, MakeCurvesAtAnAllowedDegree) {
  struct row {
    const char* name;
    start layer;
    void (*prepare)(layer_graph&, const std::vector<f_curve*>&);
    move_fn run;
    std::vector<int> made;  // fragments whose every holder the move made
  };
  const row rows[] = {
      {"split k=0", start::chain,
       [](layer_graph& lg, const std::vector<f_curve*>& f) {
         build_curve_from_chain(lg, {f[0], f[1], f[2]}, 3);
       },
       [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
          double th) { holder(f[1])->move_split(net, lg, E, th, kLambda, kMu, 0); },
       {0, 1, 2}},
      {"split k=1", start::chain,
       [](layer_graph& lg, const std::vector<f_curve*>& f) {
         build_curve_from_chain(lg, {f[0], f[1], f[2]}, 3);
       },
       [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
          double th) { holder(f[1])->move_split_gui(net, lg, E, th, kLambda, kMu, 1); },
       {0, 1, 2}},
      {"extend", start::chain, nullptr,
       [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
          double th) { holder(f[0])->move_extend(net, lg, f[1], E, th, kLambda, kMu); },
       {0, 1}},
      {"merge", start::t, nullptr,
       [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
          double th) { holder(f[0])->move_merge(net, lg, holder(f[1]), E, th, kLambda, kMu); },
       {0, 1}},
      {"bridge", start::chain, nullptr,
       [](curve_network& net, layer_graph& lg, const std::vector<f_curve*>& f, float* E,
          double th) {
         holder(f[0])->move_bridge(net, lg, f[1], holder(f[2]), E, th, kLambda, kMu);
       },
       {0, 2}},  // the bridged fragment keeps its own cubic curve besides
  };
  for (const row& r : rows)
    for (const bool keep : {false, true}) {
      SCOPED_TRACE(std::string(r.name) + (keep ? ", kept" : ", undone"));
      view_scope view;
      view.view.allowed_degree[3] = 0;
      curve_network net;
      layer_graph& lg = net.emplace_back();
      const fixture::layer_parts parts = build(r.layer, lg);
      if (r.prepare) r.prepare(lg, parts.fragments);
      float E = energy(net);
      r.run(net, lg, parts.fragments, &E, keep ? kKeep : kUndo);
      EXPECT_EQ(check_network(lg), "");
      for (const int i : r.made)
        for (const curve* c : parts.fragments[i]->v_curve) {
          EXPECT_EQ(c->v_segment.at(0).degree, 2) << "fragment " << i;
          EXPECT_EQ(c->v_segment[0].v_ctrl_point.size(), 3u) << "fragment " << i;
        }
    }
}

// A split of a curve whose fragments all have other holders dissolves it untested.
TEST(MoveSplit, AllSharedCurveLeavesWithoutTest) {
  for (const bool interactive : {false, true}) {
    view_scope* view = interactive ? new view_scope : nullptr;
    curve_network net;
    layer_graph& lg = net.emplace_back();
    const auto f = fixture::chain_of_three(lg).fragments;
    // A curve holding A and B, both also held by their own curves.
    lg.curves.emplace_back();
    curve* both = &lg.curves.back();
    both->add_fragment(lg, f[0]);
    both->add_fragment(lg, f[1]);
    ASSERT_EQ(check_network(lg), "");
    const std::size_t n = lg.curves.size();
    float E = 0;
    if (interactive)
      both->move_split_gui(net, lg, &E, kUndo, kLambda, kMu, 1);
    else
      both->move_split(net, lg, &E, kUndo, kLambda, kMu, 1);
    EXPECT_EQ(lg.curves.size(), n - 1);
    EXPECT_TRUE(lg.shared_fragments.empty());
    EXPECT_EQ(E, energy(net));
    EXPECT_EQ(check_network(lg), "");
    delete view;
  }
}


// Seeded random moves on a lattice, each forced to stand or to be undone: the links stay
// consistent throughout, and every undo gives back the network it started from.
TEST(Moves, RandomSequenceKeepsNetworkConsistent) {
  const unsigned seed = 20261210;
  std::mt19937 gen(seed);
  curve_network net;
  layer_graph& lg = net.emplace_back();
  fixture::wavy_grid(lg, 5);
  float E = energy(net);
  auto pick = [&](std::size_t n) {
    return static_cast<std::size_t>(std::uniform_int_distribution<std::size_t>(0, n - 1)(gen));
  };
  int undone = 0;
  for (int it = 0; it < 3000; ++it) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " iteration " + std::to_string(it));
    curve* c = &*std::next(lg.curves.begin(), static_cast<long>(pick(lg.curves.size())));
    const bool keep = pick(2) == 0;
    const double th = keep ? kKeep : kUndo;
    const network_shape before = shape_of(lg);
    const float e0 = E;
    const std::size_t move = pick(5);
    // An end of c and the fragments there that c does not hold, as the optimiser picks.
    frag_conn* j = c->v_nconnection.empty() ? nullptr
                                            : c->v_nconnection[pick(c->v_nconnection.size())]
                                                  ->v_frag_conn[0];
    std::vector<f_curve*> others;
    if (j)
      for (const frag_end& e : j->v_frag_end)
        if (!holds_fragment(*c, e.fragment)) others.push_back(e.fragment);
    if (move == 0) {
      c->move_change_degree(static_cast<int>(pick(3)) + 1, net, &E, th, kLambda, kMu);
    } else if (move == 1) {
      if (c->v_f_curve.size() < 2) continue;
      c->move_split(net, lg, &E, th, kLambda, kMu, static_cast<int>(pick(c->v_f_curve.size())));
    } else if (move == 2) {
      if (others.empty()) continue;
      c->move_extend(net, lg, others[pick(others.size())], &E, th, kLambda, kMu);
    } else if (move == 3) {
      if (!j) continue;
      nconnection* k = j->v_nconnection[0];
      std::vector<curve*> partners;
      for (curve* d : k->v_curve)
        if (d != c) partners.push_back(d);
      if (partners.empty()) continue;
      c->move_merge(net, lg, partners[pick(partners.size())], &E, th, kLambda, kMu);
    } else {
      if (others.empty()) continue;
      f_curve* h = others[pick(others.size())];
      if (h->v_curve.size() != 1 || h->v_frag_conn.size() != 2) continue;
      frag_conn* far = h->v_frag_conn[0] == j ? h->v_frag_conn[1] : h->v_frag_conn[0];
      curve* n = nullptr;
      for (curve* x : far->v_curve)
        if (x != h->v_curve[0]) {
          n = x;
          break;
        }
      if (!n) continue;
      c->move_bridge(net, lg, h, n, &E, th, kLambda, kMu);
    }
    ASSERT_EQ(check_network(lg), "");
    if (keep) {
      // A split of a fully shared curve prices without a test, so E is the energy either way.
      ASSERT_EQ(E, energy(net));
    } else if (E == e0) {
      ++undone;
      ASSERT_TRUE(shape_of(lg) == before);
      ASSERT_NEAR(energy(net), e0, 1e-4 * std::max(1.0f, std::fabs(e0)));
    }
    E = energy(net);  // as the optimiser does at the start of every iteration
  }
  EXPECT_GT(undone, 100);
}

}  // namespace

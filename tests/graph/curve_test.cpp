#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "graph/layer_graph.h"
#include "support/layer_fixtures.h"
#include "support/network_checker.h"

namespace {

using glm::dvec2;

// The curve of the layer holding f, when there is exactly one.
curve* holder(f_curve* f) { return f->v_curve.size() == 1 ? f->v_curve[0] : nullptr; }

std::vector<nconnection*> connections_of(f_curve* f) {
  std::vector<nconnection*> out;
  for (frag_conn* j : f->v_frag_conn) out.push_back(j->v_nconnection[0]);
  return out;
}

bool same_set(std::vector<nconnection*> a, std::vector<nconnection*> b) {
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  return a == b;
}

TEST(CurveEdit, OneFragmentCurveIsOrderedFittedAndUnlinked) {
  layer_graph lg;
  const auto parts = fixture::chain_of_three(lg, 20, false, false);
  curve c(parts.fragments[1], 2);
  ASSERT_EQ(c.v_segment.size(), 1u);
  EXPECT_EQ(c.v_segment[0].degree, 2);
  EXPECT_EQ(c.v_segment[0].v_ctrl_point.size(), 3u);
  EXPECT_EQ(c.nb_point, 20u);
  EXPECT_TRUE(parts.fragments[1]->v_curve.empty());
  EXPECT_TRUE(parts.junctions[1]->v_curve.empty());
}

TEST(CurveEdit, AddAbsorbDetachKeepSharedFragmentsByTheRules) {
  layer_graph lg;
  const auto t = fixture::t_junction(lg);
  f_curve *left = t.fragments[0], *right = t.fragments[1];
  curve* cl = holder(left);
  curve* cr = holder(right);

  // Adding a fragment another curve holds shares it; the centre stops being cl's end.
  cl->add_fragment(lg, right);
  EXPECT_EQ(check_network(lg), "");
  EXPECT_EQ(lg.shared_fragments, std::set<f_curve*>{right});
  EXPECT_EQ(right->v_curve.size(), 2u);
  EXPECT_TRUE(same_set(cl->v_nconnection, {t.junctions[1]->v_nconnection[0], t.junctions[2]->v_nconnection[0]}));
  EXPECT_EQ(cl->v_segment.size(), 1u);
  EXPECT_EQ(cl->v_segment[0].v_frag_ref.size(), 2u);
  EXPECT_EQ(cl->nb_point, 40u);
  EXPECT_NEAR(cl->mean_error, 0, 1e-6);  // the bar is one straight line

  // Absorbing itself would erase the curve: nothing happens.
  cl->absorb(lg, cl);
  EXPECT_EQ(lg.curves.size(), 3u);
  EXPECT_EQ(check_network(lg), "");

  // Absorbing the other holder leaves the fragment in the set with one holder.
  cl->absorb(lg, cr);
  EXPECT_EQ(check_network(lg), "");
  EXPECT_EQ(lg.curves.size(), 2u);
  EXPECT_EQ(lg.shared_fragments, std::set<f_curve*>{right});
  EXPECT_EQ(right->v_curve, std::vector<curve*>{cl});
  EXPECT_EQ(cl->v_f_curve.size(), 2u);

  // Detaching it takes it out of the set and gives it a curve of its own again.
  const curve_segment& s = cl->v_segment[0];
  const int mode = s.v_frag_ref.front().fragment == right ? 1 : 2;
  cl->detach(lg, mode);
  EXPECT_EQ(check_network(lg), "");
  EXPECT_TRUE(lg.shared_fragments.empty());
  ASSERT_NE(holder(right), nullptr);
  EXPECT_NE(holder(right), cl);
  EXPECT_EQ(holder(right), &lg.curves.back());
  EXPECT_EQ(cl->v_f_curve, std::vector<f_curve*>{left});
  EXPECT_TRUE(same_set(cl->v_nconnection, connections_of(left)));
}

TEST(CurveEdit, DetachAllOfUnsharedChainGivesEachFragmentItsCurve) {
  layer_graph lg;
  const auto parts = fixture::chain_of_three(lg);
  curve* c = build_curve_from_chain(lg, parts.fragments, 2);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(check_network(lg), "");
  EXPECT_EQ(lg.curves.size(), 1u);
  EXPECT_TRUE(lg.shared_fragments.empty());
  c->class_score = 5;

  c->detach(lg, 0);
  EXPECT_EQ(check_network(lg), "");
  ASSERT_EQ(lg.curves.size(), 3u);
  auto it = lg.curves.begin();
  for (f_curve* f : parts.fragments) {
    const curve& n = *it++;
    EXPECT_EQ(n.v_f_curve, std::vector<f_curve*>{f});
    EXPECT_EQ(n.v_segment[0].degree, 2);
    EXPECT_EQ(n.class_score, 5);
    EXPECT_TRUE(same_set(n.v_nconnection, connections_of(f)));
    EXPECT_TRUE(std::isfinite(n.mean_error));
  }
}

TEST(CurveEdit, DetachingACurveOfSharedFragmentsCreatesNoCurve) {
  layer_graph lg;
  const auto parts = fixture::chain_of_three(lg);
  f_curve* b = parts.fragments[1];
  curve* cb = holder(b);
  holder(parts.fragments[0])->add_fragment(lg, b);
  ASSERT_EQ(lg.shared_fragments.count(b), 1u);
  cb->detach(lg, 0);
  EXPECT_EQ(check_network(lg), "");
  EXPECT_EQ(lg.curves.size(), 2u);
  EXPECT_TRUE(lg.shared_fragments.empty());
  EXPECT_EQ(b->v_curve.size(), 1u);
}

TEST(CurveEdit, DetachFirstOfTwoEndsAtTheSharedJunction) {
  layer_graph lg;
  const auto parts = fixture::chain_of_three(lg);
  curve* c = build_curve_from_chain(lg, {parts.fragments[0], parts.fragments[1]}, 3);
  ASSERT_NE(c, nullptr);
  const f_curve* first = c->v_segment[0].v_frag_ref.front().fragment;
  f_curve* kept = first == parts.fragments[0] ? parts.fragments[1] : parts.fragments[0];
  c->detach(lg, 1);
  EXPECT_EQ(check_network(lg), "");
  EXPECT_EQ(c->v_f_curve, std::vector<f_curve*>{kept});
  EXPECT_TRUE(same_set(c->v_nconnection, connections_of(kept)));
  EXPECT_EQ(c->nb_point, 20u);
  EXPECT_EQ(c->v_segment[0].degree, 3);
  EXPECT_EQ(lg.curves.size(), 3u);

  // With one fragment left there is no rest to keep: mode 2 dissolves the curve.
  c->detach(lg, 2);
  EXPECT_EQ(check_network(lg), "");
  EXPECT_EQ(lg.curves.size(), 3u);
  EXPECT_EQ(kept->v_curve.size(), 1u);
}

TEST(CurveEdit, BuildFromChainRefusesShortOrOwnerlessChains) {
  layer_graph lg;
  const auto parts = fixture::chain_of_three(lg);
  EXPECT_EQ(build_curve_from_chain(lg, {parts.fragments[0]}, 3), nullptr);
  EXPECT_EQ(lg.curves.size(), 3u);
  ASSERT_NE(build_curve_from_chain(lg, parts.fragments, 3), nullptr);
  // Every fragment is now held by a three-fragment curve.
  EXPECT_EQ(build_curve_from_chain(lg, {parts.fragments[0], parts.fragments[1]}, 3), nullptr);
  EXPECT_EQ(lg.curves.size(), 1u);
  EXPECT_EQ(check_network(lg), "");
}

TEST(CurveEdit, BuildFromChainAddsFragmentsHeldElsewhere) {
  // Through an X: the bar around the held up arm absorbs one-fragment curves and adds
  // (shares) a fragment already built into another curve.
  layer_graph lg;
  const auto x = fixture::x_junction(lg);
  f_curve *left = x.fragments[0], *right = x.fragments[1], *up = x.fragments[2], *down = x.fragments[3];
  curve* vertical = build_curve_from_chain(lg, {up, down}, 3);
  ASSERT_NE(vertical, nullptr);
  curve* bar = build_curve_from_chain(lg, {left, right}, 1);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(check_network(lg), "");
  EXPECT_TRUE(lg.shared_fragments.empty());
  EXPECT_NEAR(bar->mean_error, 0, 1e-6);
  ASSERT_EQ(bar->v_segment[0].v_ctrl_point.size(), 2u);
  const dvec2 a = bar->v_segment[0].v_ctrl_point[0], b = bar->v_segment[0].v_ctrl_point[1];
  EXPECT_NEAR(std::min(a.x, b.x), 10, 1e-4);
  EXPECT_NEAR(std::max(a.x, b.x), 90, 1e-4);

  curve* turn = build_curve_from_chain(lg, {left, up}, 2);  // both held by 2-fragment curves
  EXPECT_EQ(turn, nullptr);
  bar->detach(lg, 0);
  turn = build_curve_from_chain(lg, {up, left}, 2);  // left has its own curve again
  ASSERT_NE(turn, nullptr);
  EXPECT_EQ(check_network(lg), "");
  EXPECT_EQ(lg.shared_fragments, std::set<f_curve*>{up});
}

TEST(CurveEdit, ReportsInconsistenciesWithTheirLines) {
  {
    // absorb: a junction of the absorbed fragment lists neither curve.
    for (bool refit : {true, false}) {
      layer_graph lg;
      const auto parts = fixture::chain_of_three(lg);
      curve* ca = holder(parts.fragments[0]);
      curve* cb = holder(parts.fragments[1]);
      parts.junctions[2]->v_curve.erase(std::find(parts.junctions[2]->v_curve.begin(),
                                                  parts.junctions[2]->v_curve.end(), cb));
      testing::internal::CaptureStdout();
      if (refit) ca->absorb(lg, cb);
      else ca->absorb_norefit(lg, cb);
      EXPECT_EQ(testing::internal::GetCapturedStdout(),
                refit ? "strange 1008 src/graph/curve\n" : "strange 1102 src/graph/curve\n");
      EXPECT_EQ(check_network(lg), "");
    }
  }
  {
    // add_fragment: a junction without connection, then a fragment already held.
    layer_graph lg;
    const auto parts = fixture::chain_of_three(lg, 20, false, false);
    lg.curves.emplace_back();
    curve& c = lg.curves.back();
    c.append_fragment(parts.fragments[0]);
    testing::internal::CaptureStdout();
    c.add_fragment(lg, parts.fragments[1]);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "eructzlicjzmfjiqmilseukfhc,qsceh,\n");
    EXPECT_TRUE(c.v_nconnection.empty());
    testing::internal::CaptureStdout();
    c.add_fragment_norefit(lg, parts.fragments[1]);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n");
  }
}

TEST(ClassifyJunctions, ScoresByHowOtherStrokesContinue) {
  {
    layer_graph lg;
    fixture::closed_loop(lg);
    for (curve& c : lg.curves) EXPECT_EQ(c.classify_junctions(), -1);
  }
  {
    // T: the bar passes the stem's junction (stem held by one curve: -1); the stem ends
    // where exactly two curves meet (+1).
    layer_graph lg;
    const auto t = fixture::t_junction(lg);
    curve* bar = build_curve_from_chain(lg, {t.fragments[0], t.fragments[1]}, 3);
    curve* stem = holder(t.fragments[2]);
    EXPECT_EQ(bar->classify_junctions(), -1);
    EXPECT_EQ(bar->class_score, -1);
    EXPECT_EQ(stem->classify_junctions(), 1);
  }
  {
    // X: a bar through the centre sees the two arms across it run straight on.
    layer_graph lg;
    const auto x = fixture::x_junction(lg);
    curve* bar = build_curve_from_chain(lg, {x.fragments[0], x.fragments[1]}, 3);
    EXPECT_EQ(bar->classify_junctions(), 1);
    // An arm ending at the centre of valence 4 scores nothing there.
    EXPECT_EQ(holder(x.fragments[2])->classify_junctions(), 0);
    build_curve_from_chain(lg, {x.fragments[2], x.fragments[3]}, 3);
    EXPECT_EQ(bar->classify_junctions(), 1);  // two curves at the centre
  }
}

TEST(CurveEdit, TrialCurvesAndCheapDetachLinkNothingUntilTheyAct) {
  layer_graph lg;
  const auto parts = fixture::chain_of_three(lg);
  curve* ca = holder(parts.fragments[0]);
  curve* cb = holder(parts.fragments[1]);
  const curve trial(*ca, *cb);
  EXPECT_EQ(trial.nb_point, 40u);
  EXPECT_EQ(trial.v_segment.size(), 1u);
  EXPECT_TRUE(trial.v_nconnection.empty());
  EXPECT_EQ(check_network(lg), "");
  EXPECT_EQ(curve(*ca, parts.fragments[0]).nb_point, 20u);

  bool duplicate = true;
  const double change = ca->try_absorb(lg, cb, 1.0, 0.0, duplicate);
  EXPECT_LT(change, 1.0);
  EXPECT_FALSE(duplicate);
  EXPECT_EQ(lg.curves.size(), 2u);
  EXPECT_EQ(check_network(lg), "");

  // Splitting exact cubics off again costs nothing: detached when the threshold allows.
  EXPECT_EQ(ca->detach_if_cheaper(lg, -1.0, 0.0, 1), 0);
  EXPECT_EQ(lg.curves.size(), 2u);
  EXPECT_LT(ca->detach_if_cheaper(lg, 1.0, 0.0, 0), 1.0);
  EXPECT_EQ(lg.curves.size(), 3u);
  EXPECT_EQ(check_network(lg), "");

  curve_segment s;
  s.v_frag_ref = {frag_ref{parts.fragments[0], 0, 1, 0, 1, true}, frag_ref{parts.fragments[2], 0, 1, 0, 1, false}};
  EXPECT_FALSE(s.is_chained());
  EXPECT_FALSE(s.v_frag_ref[0].reversed);
}

}  // namespace

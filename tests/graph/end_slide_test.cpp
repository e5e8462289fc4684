#include "graph/end_slide.h"

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "graph/bezier.h"
#include "graph/layer_graph.h"
#include "support/network_checker.h"

namespace {

// A stroke of samples from a to b with parameters evenly spaced in [0, 1], weight 1.
void fill_stroke(f_curve& f, glm::vec2 a, glm::vec2 b, int samples) {
  for (int i = 0; i < samples; ++i) {
    const float t = static_cast<float>(i) / static_cast<float>(samples - 1);
    f.v_point.push_back(a + (b - a) * t);
    f.v_t.push_back(t);
    f.v_weight.push_back(1.0f);
  }
}

// A stem running into a bar: the bar curve `bar` (a line from (0, 0) to (20, 0) through
// fragments f1, f2) passes through junction J at (10, 0), where the stem curve `stem`
// ends alone. The stem's samples run straight up from (6, 0) to (6, 10), but its end
// control point sits at the junction, as a joint fit leaves it. At the stem's top it
// meets a third curve `cap`, so only its end at J is lone.
struct stem_on_bar {
  layer_graph lg;
  f_curve *f1, *f2, *f3, *f4;
  frag_conn *j0, *j, *j2, *j3, *j4;
  nconnection *n0, *n, *n2, *n3, *n4;
  curve *bar, *stem, *cap;

  explicit stem_on_bar(int stem_degree) {
    f1 = &lg.f_curves.emplace_back();
    f2 = &lg.f_curves.emplace_back();
    f3 = &lg.f_curves.emplace_back();
    f4 = &lg.f_curves.emplace_back();
    fill_stroke(*f1, {0, 0}, {10, 0}, 11);
    fill_stroke(*f2, {10, 0}, {20, 0}, 11);
    fill_stroke(*f3, {6, 0}, {6, 10}, 21);
    fill_stroke(*f4, {6, 10}, {12, 14}, 11);
    for (frag_conn** p : {&j0, &j, &j2, &j3, &j4}) *p = &lg.frag_conns.emplace_back();
    for (nconnection** p : {&n0, &n, &n2, &n3, &n4}) *p = &lg.nconnections.emplace_back();
    j0->v_frag_end = {{f1, 0}};
    j->v_frag_end = {{f1, 3}, {f2, 0}, {f3, 0}};
    j2->v_frag_end = {{f2, 3}};
    j3->v_frag_end = {{f3, 3}, {f4, 0}};
    j4->v_frag_end = {{f4, 3}};
    const std::pair<frag_conn*, nconnection*> pairs[] = {{j0, n0}, {j, n}, {j2, n2}, {j3, n3}, {j4, n4}};
    for (auto [fc, nc] : pairs) {
      fc->v_nconnection = {nc};
      nc->v_frag_conn = {fc};
    }
    f1->v_frag_conn = {j0, j};
    f2->v_frag_conn = {j, j2};
    f3->v_frag_conn = {j, j3};
    f4->v_frag_conn = {j3, j4};

    bar = &lg.curves.emplace_back();
    stem = &lg.curves.emplace_back();
    cap = &lg.curves.emplace_back();
    bar->v_f_curve = {f1, f2};
    stem->v_f_curve = {f3};
    cap->v_f_curve = {f4};
    f1->v_curve = {bar};
    f2->v_curve = {bar};
    f3->v_curve = {stem};
    f4->v_curve = {cap};
    j0->v_curve = {bar};
    j->v_curve = {bar, stem};
    j2->v_curve = {bar};
    j3->v_curve = {stem, cap};
    j4->v_curve = {cap};
    bar->v_nconnection = {n0, n2};
    stem->v_nconnection = {n3, n};  // the shared end first: the lone end is end 1
    cap->v_nconnection = {n3, n4};
    n0->v_curve = {bar};
    n2->v_curve = {bar};
    n->v_curve = {stem};
    n3->v_curve = {stem, cap};
    n4->v_curve = {cap};
    bar->nb_point = 22;
    stem->nb_point = 21;
    cap->nb_point = 11;

    curve_segment& b = bar->v_segment.emplace_back();
    b.degree = 1;
    b.v_frag_ref = {frag_ref{f1, 0, 1, 0, 0.5f, false}, frag_ref{f2, 0, 1, 0.5f, 1, false}};
    b.v_ctrl_point = {{0, 0}, {20, 0}};

    curve_segment& s = stem->v_segment.emplace_back();
    s.degree = stem_degree;
    s.v_frag_ref = {frag_ref{f3}};
    // The exact curve of the samples, but with its start pulled to the junction.
    const glm::dvec2 lo(6, 0), hi(6, 10);
    s.v_ctrl_point.clear();
    for (int i = 0; i <= stem_degree; ++i) {
      s.v_ctrl_point.push_back(stem_degree == 0 ? lo : lo + (hi - lo) * (double(i) / stem_degree));
    }
    s.v_ctrl_point.front() = {10, 0};

    curve_segment& c = cap->v_segment.emplace_back();
    c.degree = 1;
    c.v_frag_ref = {frag_ref{f4}};
    c.v_ctrl_point = {{6, 10}, {12, 14}};
  }
  std::vector<glm::dvec2>& stem_points() { return stem->v_segment[0].v_ctrl_point; }
};

TEST(EndSlide, NextEndFindsTheLoneEndAndThePassingCurve) {
  stem_on_bar t(3);
  end_slide slide;
  slide.curve = t.stem;
  slide.first_point = &t.stem_points()[0];
  slide.last_point = &t.stem_points()[3];
  slide.end_index = true;
  slide.next_end();  // end 0: the top, where cap ends too and nothing passes
  EXPECT_FALSE(slide.end_index);
  EXPECT_EQ(slide.end_point, slide.last_point);
  EXPECT_EQ(slide.through, nullptr);
  slide.next_end();  // end 1: the junction on the bar
  EXPECT_TRUE(slide.end_index);
  EXPECT_EQ(slide.end_point, slide.first_point);
  EXPECT_EQ(slide.through, t.bar);

  // Reversing the stem's fragment in its segment puts the junction at its last point.
  t.stem->v_segment[0].v_frag_ref[0].reversed = true;
  slide.end_index = false;
  slide.next_end();
  EXPECT_EQ(slide.end_point, slide.last_point);
}

TEST(EndSlide, SlidingTheLoneEndImprovesTheFitAndLandsOnThePassingCurve) {
  for (int degree : {1, 2, 3}) {
    stem_on_bar t(degree);
    ASSERT_EQ(check_network(t.lg), "");
    const double before = t.stem->v_segment[0].error();
    const auto top_before = t.stem_points().back();
    t.stem->slide_lone_end();
    const auto& p = t.stem_points();
    const double after = t.stem->v_segment[0].error();
    EXPECT_LT(after, 0.05 * before) << "degree " << degree;
    EXPECT_LT(after, 0.02) << "degree " << degree;
    // The lone end sits on the bar, near the stroke's true start at (6, 0).
    EXPECT_DOUBLE_EQ(p.front().y, 0.0) << "degree " << degree;
    EXPECT_NEAR(p.front().x, 6.0, 0.25) << "degree " << degree;
    const double u = p.front().x / 20.0;
    const glm::dvec2 on_bar = bezier_eval(1, t.bar->v_segment[0].v_ctrl_point.data(),
                                          static_cast<float>(u));
    EXPECT_NEAR(on_bar.x, p.front().x, 1e-5);
    // The shared end does not move.
    EXPECT_EQ(p.back(), top_before) << "degree " << degree;
  }
}

TEST(EndSlide, OtherDegreesAndMissingPartsLeaveTheCurveAlone) {
  {
    stem_on_bar t(0);
    const auto before = t.stem_points();
    t.stem->slide_lone_end();
    EXPECT_EQ(t.stem_points(), before);
  }
  {
    // A curve with one connection only cannot choose its ends.
    stem_on_bar t(3);
    t.stem->v_nconnection.pop_back();
    const auto before = t.stem_points();
    t.stem->slide_lone_end();
    EXPECT_EQ(t.stem_points(), before);
  }
}

TEST(EndSlide, InnerPointsWithoutInformationStayWhereTheyAre) {
  // Samples that say nothing about the inner points: the quadratic's diagonal sum or
  // the cubic's 2 by 2 system is zero, and the inner points must not move (a cubic's
  // least-squares answer would be the image origin).
  struct no_information {
    const char* name;
    void (*spoil)(stem_on_bar&);
  };
  const no_information cases[] = {
      {"empty range",
       [](stem_on_bar& t) {
         t.stem->v_segment[0].v_frag_ref[0].t0 = 0.5f;
         t.stem->v_segment[0].v_frag_ref[0].t1 = 0.5f;
       }},
      {"every sample at the start", [](stem_on_bar& t) { for (double& u : t.f3->v_t) u = 0; }},
      {"samples at both ends only",
       [](stem_on_bar& t) {
         for (std::size_t i = 0; i < t.f3->v_t.size(); ++i) t.f3->v_t[i] = i % 2 == 0 ? 0.0 : 1.0;
       }},
      {"two samples",
       [](stem_on_bar& t) {
         t.f3->v_point = {{6, 0}, {6, 10}};
         t.f3->v_t = {0, 1};
         t.f3->v_weight = {1, 1};
         t.stem->nb_point = 2;
       }},
      {"every weight zero", [](stem_on_bar& t) { for (float& w : t.f3->v_weight) w = 0; }},
  };
  for (int degree : {2, 3}) {
    for (const no_information& c : cases) {
      SCOPED_TRACE(std::string(c.name) + ", degree " + std::to_string(degree));
      stem_on_bar t(degree);
      c.spoil(t);
      const auto before = t.stem_points();
      t.stem->slide_lone_end();
      for (std::size_t i = 1; i + 1 < before.size(); ++i) EXPECT_EQ(t.stem_points()[i], before[i]);
      EXPECT_EQ(t.stem_points().back(), before.back());
    }
  }
}

TEST(EndSlide, WithoutAPassingCurveOnlyTheInnerPointsAreRefitted) {
  // The bar ends at J too, so nothing passes through it.
  stem_on_bar t(3);
  t.n->v_curve.push_back(t.bar);
  t.stem->v_nconnection = {t.n, t.n3};
  t.stem_points()[1] = {9, 4};          // spoil the inner points
  const auto ends_before = std::pair{t.stem_points().front(), t.stem_points().back()};
  const double before = t.stem->v_segment[0].error();
  end_slide slide;
  slide.curve = t.stem;
  slide.first_point = &t.stem_points()[0];
  slide.last_point = &t.stem_points()[3];
  slide.end_index = true;
  slide.next_end();
  EXPECT_EQ(slide.through, nullptr);
  double cost = -1;
  const double x = slide_search<3>(0, 1, cost, slide);
  EXPECT_DOUBLE_EQ(x, 0.5);
  const double after = refit_inner_points<3>(slide, x);
  EXPECT_DOUBLE_EQ(cost, after);
  EXPECT_LT(after, before);
  EXPECT_EQ(t.stem_points().front(), ends_before.first);
  EXPECT_EQ(t.stem_points().back(), ends_before.second);
}

TEST(EndSlide, BothLoneEndsSlideOntoTheirPassingCurves) {
  // Put a second bar through the stem's top junction instead of the cap's end: the cap
  // now passes through J3 (it holds f4 and a new fragment f5 beyond it) and ends elsewhere.
  for (int degree : {1, 3}) {
    stem_on_bar t(degree);
    f_curve* f5 = &t.lg.f_curves.emplace_back();
    fill_stroke(*f5, {20, 10}, {6, 10}, 15);
    fill_stroke(*t.f4, {6, 10}, {0, 10}, 7);
    frag_conn* j5 = &t.lg.frag_conns.emplace_back();
    nconnection* n5 = &t.lg.nconnections.emplace_back();
    j5->v_nconnection = {n5};
    n5->v_frag_conn = {j5};
    j5->v_frag_end = {{f5, 0}};
    t.j3->v_frag_end = {{t.f3, 3}, {f5, 3}, {t.f4, 0}};
    f5->v_frag_conn = {j5, t.j3};
    f5->v_curve = {t.cap};
    t.cap->v_f_curve = {f5, t.f4};
    t.cap->v_nconnection = {n5, t.n4};
    t.j3->v_curve = {t.stem, t.cap};
    j5->v_curve = {t.cap};
    t.n3->v_curve = {t.stem};
    t.n4->v_curve = {t.cap};
    curve_segment& c = t.cap->v_segment[0];
    c.v_frag_ref = {frag_ref{f5, 0, 1, 0, 0.7f, false}, frag_ref{t.f4, 0, 1, 0.7f, 1, false}};
    c.v_ctrl_point = {{20, 10}, {0, 10}};
    t.stem_points().back() = {10, 10};  // the top end pulled to the upper junction
    t.stem->v_nconnection = {t.n, t.n3};

    const double before = t.stem->v_segment[0].error();
    t.lg.slide_both_lone_ends();
    const auto& p = t.stem_points();
    EXPECT_LT(t.stem->v_segment[0].error(), 0.1 * before) << "degree " << degree;
    EXPECT_DOUBLE_EQ(p.front().y, 0.0) << "degree " << degree;
    EXPECT_DOUBLE_EQ(p.back().y, 10.0) << "degree " << degree;
    if (degree == 1) {
      // End 0 slides first, scored with end 1 still at the junction (10, 10): it
      // overshoots left of the stroke, and end 1, scored with end 0 moved, lands right.
      EXPECT_LT(p.front().x, 6.0);
      EXPECT_GT(p.back().x, 6.0);
    } else {
      // The inner points absorb much of an end's offset, so the search settles once
      // the probes differ by no more than 0.01: both ends leave the junctions for the stroke.
      EXPECT_LT(std::abs(p.front().x - 6.0), 1.5);
      EXPECT_LT(std::abs(p.back().x - 6.0), 1.5);
    }
  }
}

TEST(SlidePasses, EachPassTakesOnlyItsOwnCurves) {
  // The bar, lone at both ends with nothing passing, gets spoiled inner points that only
  // a refit with fixed ends (the both-ends slide) repairs; the stem has one lone end.
  auto spoiled_bar = [](stem_on_bar& t) {
    curve_segment& b = t.bar->v_segment[0];
    b.degree = 3;
    b.v_ctrl_point = {{0, 0}, {5, 3}, {15, -3}, {20, 0}};
  };
  {
    stem_on_bar t(1);
    spoiled_bar(t);
    const auto bar_before = t.bar->v_segment[0].v_ctrl_point;
    const auto cap_before = t.cap->v_segment[0].v_ctrl_point;
    const double stem_before = t.stem->v_segment[0].error();
    t.lg.slide_one_lone_end();
    EXPECT_EQ(t.bar->v_segment[0].v_ctrl_point, bar_before);
    EXPECT_EQ(t.cap->v_segment[0].v_ctrl_point, cap_before);  // its lone end has no passing curve
    EXPECT_LT(t.stem->v_segment[0].error(), stem_before);
    EXPECT_EQ(check_network(t.lg), "");
  }
  {
    stem_on_bar t(1);
    spoiled_bar(t);
    const auto stem_before = t.stem_points();
    const double bar_before = t.bar->v_segment[0].error();
    t.lg.slide_both_lone_ends();
    EXPECT_EQ(t.stem_points(), stem_before);
    EXPECT_LT(t.bar->v_segment[0].error(), 0.01 * bar_before);
    EXPECT_EQ(t.bar->v_segment[0].v_ctrl_point.front(), glm::dvec2(0, 0));
    EXPECT_EQ(t.bar->v_segment[0].v_ctrl_point.back(), glm::dvec2(20, 0));
  }
}

}  // namespace

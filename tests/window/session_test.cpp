// Whole sessions through the main window, as a user works: open, optimise, pick, split,
// merge, freeze, save and reopen.

#include "window_session.h"

#include <filesystem>

#include <QAction>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "app/selection_edits.h"
#include "support/network_checker.h"

namespace {

using window_test::on_one_curve;
using window_test::window_session;

std::size_t curve_count(const curve_network& network) {
  std::size_t n = 0;
  for (const layer_graph& lg : network) n += lg.curves.size();
  return n;
}

bool in_layer(const layer_graph& lg, const curve* c) {
  for (const curve& k : lg.curves)
    if (&k == c) return true;
  return false;
}

// Pauses the run and waits until the worker holds at its confirmation.
void pause_and_wait(window_session& s) {
  QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);
  ASSERT_EQ(s.gl->optimize_button->text(), "Optimize");
  ASSERT_TRUE(s.wait_for([&] { return !s.gl->worker.go || s.gl->threads.empty(); }, 20000));
  QTest::qWait(50);
}

TEST(WindowSession, SplitMergeFreezeAndClearThroughTheButtonsHoldThroughARun) {
  // A full default-length run, so that it spans several 30 ms slices.
  window_session s(69062);
  // Checked at every confirmation, before the view's own slot releases the worker.
  f_curve* a = nullptr;
  f_curve* b = nullptr;
  f_curve* c = nullptr;
  f_curve* d = nullptr;
  curve* frozen = nullptr;
  std::vector<glm::dvec2> frozen_points;
  int confirmations = 0, joined = 0, parted = 0, frozen_changed = 0;
  QObject probe;
  QObject::connect(&s.gl->worker, &data_thread::job_end, &probe, [&] {
    if (!a || !frozen || s.gl->worker.step <= 12) return;
    ++confirmations;
    if (on_one_curve(a, b)) ++joined;
    if (!on_one_curve(c, d)) ++parted;
    if (!in_layer(s.gl->network.front(), frozen) || frozen->v_segment[0].v_ctrl_point != frozen_points) ++frozen_changed;
  }, Qt::QueuedConnection);

  ASSERT_TRUE(s.open_sketch(s.folder.add_example("house.png")));
  const auto [p, q] = window_test::neighbouring_keys(*s.gl);
  ASSERT_TRUE(p && q);
  const QPoint at_p = s.widget_point(s.index_midpoint(p)), at_q = s.widget_point(s.index_midpoint(q));

  // Merge puts the two on one curve and keeps them there.
  s.ctrl_click(at_p);
  s.ctrl_click(at_q);
  ASSERT_EQ(s.gl->selection.size(), 2u);
  s.press("Merge");
  EXPECT_TRUE(on_one_curve(p, q));
  EXPECT_TRUE(s.gl->must_merge[p].count(q));
  EXPECT_TRUE(s.gl->selection.empty());
  // Split parts them again and records the pair.
  s.ctrl_click(at_p);
  s.right_click(at_q);
  s.press("Split");
  EXPECT_FALSE(on_one_curve(p, q));
  EXPECT_TRUE(s.gl->must_split[p].count(q));
  EXPECT_TRUE(s.gl->must_split[q].count(p));

  // A second pair merged stays merged.
  const auto [m, n] = window_test::neighbouring_keys(*s.gl, {p, q});
  ASSERT_TRUE(m && n);
  s.ctrl_click(s.widget_point(s.index_midpoint(m)));
  s.ctrl_click(s.widget_point(s.index_midpoint(n)));
  s.press("Merge");
  ASSERT_TRUE(on_one_curve(m, n));

  // Freeze: the next pick freezes the curve of the picked fragment at once.
  f_curve* r = nullptr;
  for (const auto& [f, points] : s.gl->pick_index.begin()->second)
    if (f != p && f != q && f != m && f != n && f->v_curve.size() == 1 && !r) r = f;
  ASSERT_NE(r, nullptr);
  s.press("Freeze");
  s.ctrl_click(s.widget_point(s.index_midpoint(r)));
  EXPECT_TRUE(s.gl->selection.empty());
  ASSERT_EQ(s.gl->fixed_curves, std::set<curve*>{r->v_curve[0]});
  frozen = r->v_curve[0];
  frozen_points = frozen->v_segment[0].v_ctrl_point;
  a = p;
  b = q;
  c = m;
  d = n;

  QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);
  EXPECT_EQ(s.gl->optimize_button->text(), "Pause");
  EXPECT_EQ(s.gl->interaction_mode, mode_merge);  // Optimize leaves Freeze
  ASSERT_TRUE(s.wait_for([&] { return s.gl->threads.empty(); }));
  EXPECT_GE(confirmations, 2);
  EXPECT_EQ(joined, 0);
  EXPECT_EQ(parted, 0);
  EXPECT_EQ(frozen_changed, 0);
  EXPECT_FALSE(on_one_curve(p, q));
  EXPECT_TRUE(on_one_curve(m, n));
  EXPECT_LT(curve_count(s.gl->network), s.gl->network.front().f_curves.size());  // the run did join curves

  // Clear constraints empties the three sets and leaves the selection alone.
  s.ctrl_click(at_p);
  ASSERT_EQ(s.gl->selection.size(), 1u);
  s.action("Clear constraints")->trigger();
  EXPECT_TRUE(s.gl->must_split.empty());
  EXPECT_TRUE(s.gl->must_merge.empty());
  EXPECT_TRUE(s.gl->fixed_curves.empty());
  EXPECT_EQ(s.gl->selection.size(), 1u);
}

// Freeze mode ends with Split, Merge or Unselect, whether or not they edit anything (in
// the mode every pick freezes and empties the selection, so there is never a pair), and
// each freezing pick says in the status bar how many curves it froze.
TEST(WindowSession, SplitMergeAndUnselectEndFreezeMode) {
  window_session s(100);
  ASSERT_TRUE(s.open_sketch(s.folder.add_example("house.png")));
  const auto [p, q] = window_test::neighbouring_keys(*s.gl);
  ASSERT_TRUE(p && q);
  ASSERT_EQ(p->v_curve.size(), 1u);
  const QPoint at_p = s.widget_point(s.index_midpoint(p)), at_q = s.widget_point(s.index_midpoint(q));
  QStatusBar* status = s.window->statusBar();
  const std::set<curve*> frozen{p->v_curve[0]};
  for (const char* button : {"Split", "Merge", "Unselect"}) {
    SCOPED_TRACE(button);
    s.action("Clear constraints")->trigger();
    s.press("Freeze");
    EXPECT_NE(status->currentMessage().indexOf("Split, Merge or Unselect ends it"), -1)
        << status->currentMessage().toStdString();
    s.ctrl_click(at_p);
    EXPECT_TRUE(s.gl->selection.empty());
    EXPECT_EQ(s.gl->fixed_curves, frozen);
    EXPECT_EQ(status->currentMessage(), "Froze 1 curve; 1 curve frozen in all.");
    s.ctrl_click(at_p);  // already frozen
    EXPECT_EQ(status->currentMessage(), "Froze 0 curves; 1 curve frozen in all.");

    s.press(button);
    EXPECT_NE(s.gl->interaction_mode, mode_freeze);
    EXPECT_NE(status->currentMessage().indexOf("Freeze mode ended"), -1) << status->currentMessage().toStdString();
    // Picks select again, and freeze nothing more.
    s.ctrl_click(at_q);
    EXPECT_EQ(s.gl->selection.size(), 1u);
    EXPECT_EQ(s.gl->fixed_curves, frozen);
    s.press("Unselect");
    EXPECT_TRUE(s.gl->selection.empty());
  }
}

// Buttons pressed while the optimiser runs its slices edit the network only while the
// worker waits, and the run goes on afterwards.
TEST(WindowSession, EditsDuringARunWaitForTheWorker) {
  window_session s(1000000);
  ASSERT_TRUE(s.open_sketch(s.folder.add_example("house.png")));
  const auto [p, q] = window_test::neighbouring_keys(*s.gl);
  ASSERT_TRUE(p && q);
  QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);
  QTest::qWait(100);
  ASSERT_FALSE(s.gl->threads.empty());
  const int k_before = s.gl->worker.optimiser.k;
  s.ctrl_click(s.widget_point(s.index_midpoint(p)));
  s.ctrl_click(s.widget_point(s.index_midpoint(q)));
  s.press("Merge");
  s.press("Freeze");
  s.ctrl_click(s.widget_point(s.index_midpoint(p)));
  s.action("Clear constraints")->trigger();
  s.ctrl_click(s.widget_point(s.index_midpoint(q)));
  s.press("Freeze");
  QTest::qWait(100);
  EXPECT_GT(s.gl->worker.optimiser.k, k_before);  // the run went on
  pause_and_wait(s);
  EXPECT_EQ(check_network(s.gl->network.front()), "");
  // Cleared after the merge; the optimiser's lookups since have added empty entries only.
  for (const auto& [f, partners] : s.gl->must_merge) EXPECT_TRUE(partners.empty());
  EXPECT_EQ(s.gl->fixed_curves.size(), q->v_curve.size());
  for (curve* c : q->v_curve) EXPECT_TRUE(s.gl->fixed_curves.count(c));
}

// Moving the iteration slider after a run has ended starts a worker from there: the
// button follows it ("Pause"), and the run ends again.
TEST(WindowSession, RestartingAFinishedRunFromTheIterationSlider) {
  window_session s(300000);
  ASSERT_TRUE(s.open_sketch(s.folder.add_example("house.png")));
  QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);
  ASSERT_TRUE(s.wait_for([&] { return s.gl->threads.empty(); }));
  const int nb_it = s.gl->worker.optimiser.nb_it;
  ASSERT_EQ(s.gl->worker.optimiser.k, nb_it);
  ASSERT_EQ(s.gl->optimize_button->text(), "Optimize");
  const std::string result = s.folder.path("out/house/house_bezier_end.svg");
  std::filesystem::remove(result);
  // A curve frozen now stays as it is through the new run and the passes at its end,
  // even towards Simplicity.
  f_curve* r = nullptr;
  for (const auto& [f, points] : s.gl->pick_index.begin()->second)
    if (!r && f->v_curve.size() == 1) r = f;
  ASSERT_NE(r, nullptr);
  s.press("Freeze");
  s.ctrl_click(s.widget_point(s.index_midpoint(r)));
  ASSERT_EQ(s.gl->fixed_curves.size(), 1u);
  curve* frozen = *s.gl->fixed_curves.begin();
  const std::vector<glm::dvec2> held = frozen->v_segment[0].v_ctrl_point;
  s.balance_slider()->setValue(800);

  // The iteration slider after each confirmation of the new run (it shows the counter).
  std::vector<int> confirmed_k;
  QObject probe;
  QObject::connect(&s.gl->worker, &data_thread::job_end, &probe,
                   [&] { confirmed_k.push_back(s.gl->iteration_slider->value()); }, Qt::QueuedConnection);
  s.gl->iteration_slider->setFocus();
  QTest::keyClick(s.gl->iteration_slider, Qt::Key_Home);  // back to the hot start
  EXPECT_FALSE(s.gl->threads.empty());
  EXPECT_EQ(s.gl->optimize_button->text(), "Pause");  // the button follows the worker
  ASSERT_TRUE(s.wait_for([&] { return s.gl->threads.empty(); }));
  EXPECT_EQ(s.gl->worker.optimiser.k, nb_it);
  EXPECT_EQ(s.gl->optimize_button->text(), "Optimize");
  EXPECT_TRUE(std::filesystem::exists(result));
  ASSERT_GE(confirmed_k.size(), 2u);
  EXPECT_LT(confirmed_k[0], nb_it / 2);  // it ran again from the start
  ASSERT_TRUE(in_layer(s.gl->network.front(), frozen));
  EXPECT_EQ(frozen->v_segment[0].v_ctrl_point, held);
  EXPECT_EQ(check_network(s.gl->network.front()), "");
  // With no iteration left, Optimize starts nothing and says so.
  QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);
  EXPECT_TRUE(s.gl->threads.empty());
  EXPECT_EQ(s.gl->optimize_button->text(), "Optimize");
}

// Function > "Recompute topological graph" runs the extraction again on the same sketch,
// without a dialog, and forgets the constraints.
TEST(WindowSession, RecomputeTopologicalGraphRunsTheExtractionAgain) {
  window_session s(200);
  ASSERT_TRUE(s.open_sketch(s.folder.add_example("house.png")));
  const std::size_t curves = curve_count(s.gl->network);
  const auto [p, q] = window_test::neighbouring_keys(*s.gl);
  ASSERT_TRUE(p && q);
  s.ctrl_click(s.widget_point(s.index_midpoint(p)));
  s.ctrl_click(s.widget_point(s.index_midpoint(q)));
  s.press("Split");
  ASSERT_FALSE(s.gl->must_split.empty());
  s.gl->region_spin_box->setValue(3);  // an Option the next extraction reads

  s.action("Recompute topological graph")->trigger();
  EXPECT_LT(s.gl->worker.step, 11);  // the extraction starts over
  EXPECT_TRUE(s.gl->must_split.empty());
  EXPECT_TRUE(s.dialogs.files.empty());
  ASSERT_TRUE(s.wait_for([&] {
    return s.gl->worker.step == 11 && !s.gl->pick_index.empty() && !s.gl->network.empty();
  }));
  EXPECT_EQ(s.gl->image_stem, "house");
  EXPECT_EQ(s.gl->worker.region_params.least_depth, 3);
  EXPECT_EQ(curve_count(s.gl->network), curves);
  for (const layer_graph& lg : s.gl->network) EXPECT_EQ(check_network(lg), "");
}

// One session from start to end, and the screenshot of the README.
TEST(WindowSession, OpenOptimizeBalancePickSplitSaveAndReopen) {
  window_session s(30000, 1024);
  ASSERT_TRUE(s.open_sketch(s.folder.add_example("house.png")));
  EXPECT_EQ(s.gl->image_stem, "house");

  QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);
  ASSERT_EQ(s.gl->optimize_button->text(), "Pause");
  // The balance slider, moved by the keyboard while the run goes on, reaches lambda at
  // the next confirmation.
  QSlider* balance = s.balance_slider();
  balance->setFocus();
  QTest::keyClick(balance, Qt::Key_PageUp);
  QTest::keyClick(balance, Qt::Key_PageUp);
  const float lambda = balance->value() / 1000.0f;
  EXPECT_GT(balance->value(), 250);
  ASSERT_TRUE(s.wait_for([&] { return s.gl->worker.optimiser.lambda == lambda; }, 20000));

  // Pause, pick two fragments of one curve the run has made, split them, go on.
  f_curve* a = nullptr;
  f_curve* b = nullptr;
  for (int attempt = 0; attempt < 20 && !b; ++attempt) {
    if (attempt > 0) {  // not joined yet: let the run go on a little
      QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);
      QTest::qWait(100);
    }
    pause_and_wait(s);
    ASSERT_FALSE(s.gl->threads.empty()) << "the run ended before the pause; make it longer";
    const layer_pick_index& keys = s.gl->pick_index.begin()->second;
    for (const curve& c : s.gl->network.front().curves) {
      a = b = nullptr;
      for (f_curve* f : c.v_f_curve)
        if (keys.count(f)) (a ? b : a) = f;
      if (b) break;
    }
  }
  ASSERT_TRUE(a && b) << "no curve of two fragments after part of a run";
  s.ctrl_click(s.widget_point(s.index_midpoint(a)));
  s.ctrl_click(s.widget_point(s.index_midpoint(b)));
  ASSERT_EQ(s.gl->selection.size(), 2u);
  ASSERT_EQ(s.gl->selection[0].second, a);
  ASSERT_EQ(s.gl->selection[1].second, b);
  s.press("Split");
  EXPECT_FALSE(on_one_curve(a, b));
  QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);
  ASSERT_TRUE(s.wait_for([&] { return s.gl->threads.empty(); }));
  EXPECT_EQ(s.gl->optimize_button->text(), "Optimize");
  EXPECT_FALSE(on_one_curve(a, b));
  EXPECT_EQ(s.gl->worker.optimiser.k, s.gl->worker.optimiser.nb_it);
  EXPECT_TRUE(std::filesystem::exists(s.folder.path("out/house/house_bezier_end.svg")));

  // The window as the user sees it at the end of the run, with a pair picked.
  s.ctrl_click(s.widget_point(s.index_midpoint(a)));
  s.ctrl_click(s.widget_point(s.index_midpoint(b)));
  EXPECT_EQ(s.gl->selection.size(), 2u);
  const cv::Mat picture = s.screenshot();
  const std::string path = window_test::save_test_picture(picture, "window_session_end.png");
  std::cout << "screenshot: " << path << std::endl;
  const QPoint corner = s.gl->mapTo(s.window.get(), QPoint(0, 0));
  const cv::Mat view = picture(cv::Rect(corner.x(), corner.y(), s.gl->width(), s.gl->height()));
  // The optimised curves show in blue over the sketch.
  int blue = 0;
  for (int y = 0; y < view.rows; ++y)
    for (int x = 0; x < view.cols; ++x) {
      const cv::Vec4b p = view.at<cv::Vec4b>(y, x);
      if (p[0] > 200 && p[1] < 60 && p[2] < 60) ++blue;
    }
  EXPECT_GT(blue, 2000);

  s.press("Unselect");

  // Save Graph (Ctrl+S), then Open Graph (Ctrl+G): the network comes back.
  const std::size_t curves = curve_count(s.gl->network);
  const std::size_t fragments = s.gl->network.front().f_curves.size();
  const std::string saved = s.folder.path("in/house_end.graph");
  s.dialogs.files.push_back(saved);
  s.type(Qt::Key_S, Qt::ControlModifier);
  ASSERT_TRUE(std::filesystem::exists(saved));
  s.dialogs.files.push_back(saved);
  s.type(Qt::Key_G, Qt::ControlModifier);
  ASSERT_TRUE(s.wait_for([&] { return s.gl->threads.empty(); }));
  EXPECT_TRUE(s.dialogs.messages.empty());
  EXPECT_EQ(s.gl->image_stem, "house");
  EXPECT_EQ(curve_count(s.gl->network), curves);
  EXPECT_EQ(s.gl->network.front().f_curves.size(), fragments);
  EXPECT_TRUE(s.gl->must_split.empty());  // a reopened drawing starts without constraints
  // Picking works on the reopened drawing, whose index holds the first fragment of each curve.
  const auto& [f, points] = *s.gl->pick_index.begin()->second.begin();
  s.ctrl_click(s.widget_point(s.index_midpoint(f)));
  EXPECT_EQ(s.gl->selection.size(), 1u);
}

}  // namespace

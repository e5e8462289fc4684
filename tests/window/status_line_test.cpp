// What the status bar says after each action: its own outcome, never an older one, and
// whether a run's result is on the disk.

#include "window_session.h"

#include <filesystem>
#include <functional>
#include <string>

#include <QAction>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include "io/output_names.h"

namespace {

namespace fs = std::filesystem;
using window_test::window_session;

std::string status_of(const window_session& s) { return s.window->statusBar()->currentMessage().toStdString(); }

std::string result_path() { return output_root + "house/house_bezier_end.svg"; }

// Until the run has ended and its worker was joined.
bool run_ended(window_session& s) {
  return s.wait_for([&] { return s.gl->threads.empty() && s.gl->run_has_ended(); });
}

// A failed Merge's line must not outlive the Split after it, nor any line the action
// after it: each row's line differs from the one before.
TEST(StatusLine, EachActionReplacesTheLineWithItsOwnOutcome) {
  window_session s(100);
  const std::string house = s.folder.add_example("house.png");
  ASSERT_TRUE(s.open_sketch(house));
  EXPECT_EQ(status_of(s), "Opened the sketch " + house + ".");
  const auto [p, q] = window_test::neighbouring_keys(*s.gl);
  ASSERT_TRUE(p && q);
  const QPoint at_p = s.widget_point(s.index_midpoint(p)), at_q = s.widget_point(s.index_midpoint(q));
  const std::string saved = s.folder.path("in/saved.graph");

  struct row {
    std::vector<QPoint> picks;
    std::function<void()> act;
    std::string says;
  };
  const auto press = [&](const char* b) { return [&s, b] { s.press(b); }; };
  const auto trigger = [&](const char* a) { return [&s, a] { s.action(a)->trigger(); }; };
  const row rows[] = {
      {{at_p, at_p}, press("Merge"), "The picked fragments are one fragment or are not connected."},
      {{at_p, at_q}, press("Split"), "Split the fragments of 1 picked pair onto different curves."},
      {{at_p}, press("Unselect"), "Unselected: no fragment is picked."},
      {{}, press("Merge"), "Pick two fragments first (Ctrl+click or right click)."},
      {{at_p, at_q}, press("Merge"), "Merged the fragments of 1 picked pair onto one curve."},
      {{}, press("Freeze"),
       "Freeze mode: each pick freezes the curves of the picked fragment; Split, Merge or Unselect ends it."},
      {{at_p}, [] {}, "Froze 1 curve; 1 curve frozen in all."},
      {{}, press("Unselect"), "Freeze mode ended: picks select fragments again."},
      {{}, trigger("Clear constraints"), "Constraints cleared: no split, merge or freeze is kept."},
      {{}, [&] { s.dialogs.files.push_back(saved); s.action("Save Graph")->trigger(); },
       "Saved the drawing to " + saved + "."},
  };
  std::string before = status_of(s);
  for (const row& r : rows) {
    SCOPED_TRACE(r.says);
    for (const QPoint& at : r.picks) s.ctrl_click(at);
    r.act();
    EXPECT_EQ(status_of(s), r.says);
    EXPECT_NE(r.says, before);
    before = r.says;
  }
  EXPECT_TRUE(fs::exists(saved));

  QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);
  ASSERT_TRUE(run_ended(s));
  EXPECT_TRUE(s.wait_for([&] { return status_of(s) == "The run has ended: its result is written to " + result_path() + "."; }, 5000))
      << status_of(s);
  EXPECT_TRUE(fs::is_regular_file(result_path()));
}

// Optimize on a reopened finished drawing writes its result: the line says whether it is
// on the disk, and why not (a folder in the way), never that it is when it is not.
TEST(StatusLine, AReopenedFinishedRunSaysWhetherItsResultIsWritten) {
  window_session s(100);
  ASSERT_TRUE(s.open_sketch(s.folder.add_example("house.png")));
  QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);
  ASSERT_TRUE(run_ended(s));
  const std::string saved = s.folder.path("in/finished.graph");
  s.dialogs.files.push_back(saved);
  s.action("Save Graph")->trigger();
  ASSERT_TRUE(fs::exists(saved));

  struct row {
    bool folder_in_the_way;
    std::string says;
  };
  const row rows[] = {
      {true, "The run had reached its last iteration, but its result could not be written to " + result_path() +
                 ": Is a directory."},
      {false, "The run had reached its last iteration: its result is written to " + result_path() + "."},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.folder_in_the_way ? "a folder in the way" : "a free path");
    fs::remove_all(result_path());
    if (r.folder_in_the_way) fs::create_directory(result_path());
    s.dialogs.files.push_back(saved);
    s.action("Open Graph")->trigger();
    ASSERT_TRUE(s.gl->run_has_ended());
    EXPECT_EQ(status_of(s), "Opened the graph " + saved + ".");
    QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);
    EXPECT_EQ(status_of(s), r.says);
    EXPECT_EQ(fs::is_directory(result_path()), r.folder_in_the_way);
    EXPECT_EQ(fs::is_regular_file(result_path()), !r.folder_in_the_way);
    EXPECT_EQ(s.gl->optimize_button->text(), "Optimize");
  }
}

}  // namespace

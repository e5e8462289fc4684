// A worker step that runs out of memory: the program goes on, a message box names the
// sketch and the step, the view keeps what it showed before that step, and the drawing is
// held until another one is opened.

#include "window_session.h"

#include <filesystem>
#include <new>
#include <string>

#include <QAction>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using window_test::window_session;

const char* const held =
    "This drawing ran out of memory and is held: open a smaller sketch, or close other programs and open it again.";

TEST(OutOfMemory, AWorkerStepThatRunsOutStopsTheRunAndKeepsTheView) {
  struct row {
    int failing_step;
    const char* stage;
    // Drawables made by the steps before it; the next ones are not made.
    std::vector<std::string> shown, not_shown;
  };
  const row rows[] = {
      {3, "(extraction step 3).", {"input_image"}, {"img_region_color_border", "bezier_ctp_ini_1"}},
      {8, "(extraction step 8).", {"input_image", "img_region_color_border"}, {"bezier_ctp_ini_1"}},
      {10, "(the optimiser's set-up).", {"bezier_ctp_ini_1"}, {"bezier_ctp_rec_1"}},
      {14, "(the optimisation).", {"bezier_ctp_ini_1", "bezier_ctp_rec_1"}, {}},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.stage);
    window_session s(1000000);  // a run that only the failure ends
    const std::string house = s.folder.add_example("house.png");
    const int failing = r.failing_step;
    s.gl->worker.before_step = [failing](int step) {
      if (step == failing) throw std::bad_alloc();
    };
    if (failing <= 10) {
      s.dialogs.files.push_back(house);
      s.action("Open Sketch")->trigger();
    } else {
      ASSERT_TRUE(s.open_sketch(house));
      QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);
    }
    ASSERT_TRUE(s.wait_for([&] { return !s.dialogs.messages.empty(); }, 60000)) << "no message box";
    const std::string& box = s.dialogs.messages.back();
    EXPECT_EQ(box.rfind("Not enough memory to trace the sketch " + house + " " + r.stage, 0), 0u) << box;
    EXPECT_NE(box.find("the view keeps what it showed"), std::string::npos) << box;
    EXPECT_TRUE(s.gl->threads.empty());
    EXPECT_EQ(s.gl->worker.step, failing);  // the failed step is not counted
    EXPECT_EQ(s.gl->optimize_button->text(), "Optimize");
    for (const std::string& name : r.shown) EXPECT_EQ(s.gl->scene.count(name), 1u) << name;
    for (const std::string& name : r.not_shown) EXPECT_EQ(s.gl->scene.count(name), 0u) << name;

    // Held: nothing goes on with a drawing the failed step may have half changed.
    const std::string saved = s.folder.path("in/held.graph");
    s.dialogs.files.push_back(saved);
    s.action("Save Graph")->trigger();
    EXPECT_EQ(s.window->statusBar()->currentMessage().toStdString(), held);
    EXPECT_FALSE(fs::exists(saved));
    s.dialogs.files.clear();
    s.press("Optimize");
    if (failing > 10) {
      EXPECT_EQ(s.window->statusBar()->currentMessage().toStdString(), held);
    }
    EXPECT_TRUE(s.gl->threads.empty());
    EXPECT_EQ(s.gl->worker.step, failing);

    // Another drawing opens and runs as usual.
    s.gl->worker.before_step = nullptr;
    const std::string fish = s.folder.add_example("fish.png");
    ASSERT_TRUE(s.open_sketch(fish));
    EXPECT_EQ(s.window->statusBar()->currentMessage().toStdString(), "Opened the sketch " + fish + ".");
    QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);
    EXPECT_TRUE(s.wait_for([&] { return s.gl->worker.optimiser.k > 0; }, 20000));
    EXPECT_EQ(s.dialogs.messages.size(), 1u);
  }
}

}  // namespace

#include "window_session.h"

#include <filesystem>
#include <fstream>

#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include "app/gui_entry.h"
#include "app/q_slider_change_alpha.h"
#include "qt_support/crafted_graph.h"
#include "support/sketch_fixtures.h"

namespace {

using window_test::window_session;

TEST(MainWindows, HasItsMenusShortcutsAndControlsWiredToTheView) {
  window_session s(200);
  MainWindows& w = *s.window;
  EXPECT_EQ(main_gl_widget, static_cast<view_settings*>(s.gl));
  EXPECT_EQ(w.styleSheet(), "QLabel, QWidget { font: 18px \"Times New Roman\";}");
  EXPECT_TRUE(s.gl->lambda_spin_box->isHidden());

  QStringList menus;
  for (QAction* a : w.menuBar()->actions()) menus << a->text();
  EXPECT_EQ(menus, (QStringList{"File", "Option", "Display", "Function"}));
  struct Entry { const char* text; QKeySequence keys; const char* tip; };
  const Entry entries[] = {
      {"Open Sketch", QKeySequence("Ctrl+O"), "open a sketch"},
      {"Open Graph", QKeySequence("Ctrl+G"), "open a graph"},
      {"Save Graph", QKeySequence("Ctrl+S"), "save a graph"},
      {"Exit", QKeySequence(Qt::Key_Escape), "quit the application"},
  };
  for (const Entry& e : entries) {
    QAction* a = s.action(e.text);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->shortcut(), e.keys) << e.text;
    EXPECT_EQ(a->statusTip(), e.tip) << e.text;
  }
  EXPECT_NE(s.action("Recompute topological graph"), nullptr);
  EXPECT_NE(s.action("Clear constraints"), nullptr);
  for (const char* text : {"Optimize", "Merge", "Split", "Freeze", "Unselect"}) EXPECT_NE(s.button(text), nullptr);
  EXPECT_EQ(s.gl->optimize_button, s.button("Optimize"));

  // Display: Input, Region extracted (hidden at first), Initial curves, Output.
  ASSERT_EQ(s.gl->alpha_sliders.size(), 4u);
  const int values[] = {255, 0, 255, 255};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(s.gl->alpha_sliders[i]->value(), values[i]);
    EXPECT_EQ(s.gl->alpha_sliders[i]->maximum(), 255);
  }

  // Balance: lambda 0.25 of config/recuit.conf puts it at 250; a user's move to the end
  // (no worker yet) sets lambda to 1.
  QSlider* balance = s.balance_slider();
  ASSERT_NE(balance, nullptr);
  EXPECT_EQ(balance->value(), 250);
  balance->setFocus();
  QTest::keyClick(balance, Qt::Key_End);
  EXPECT_EQ(balance->value(), 1000);
  EXPECT_EQ(s.gl->worker.optimiser.lambda, 1.0f);

  // Option: the degree boxes and the degree penalty.
  QList<QCheckBox*> boxes = w.findChildren<QCheckBox*>();
  ASSERT_EQ(boxes.size(), 3);
  boxes[1]->click();
  EXPECT_EQ(s.gl->allowed_degree[2], 0);
  boxes[1]->click();
  EXPECT_EQ(s.gl->allowed_degree[2], 2);
  QDoubleSpinBox* penalty = nullptr;
  for (QDoubleSpinBox* box : w.findChildren<QDoubleSpinBox*>())
    if (box != s.gl->lambda_spin_box) penalty = box;
  ASSERT_NE(penalty, nullptr);
  EXPECT_FLOAT_EQ(s.gl->degree_penalty, 1.0f / 3.0f);  // the box shows 0.33; the view keeps 1/3
  penalty->setValue(0.5);
  EXPECT_EQ(s.gl->degree_penalty, 0.5f);

  // Optimize before the extraction has run is ignored.
  QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);
  EXPECT_EQ(s.gl->optimize_button->text(), "Optimize");
  // Split with nothing picked says so and changes nothing.
  s.press("Split");
  EXPECT_FALSE(w.statusBar()->currentMessage().isEmpty());
  EXPECT_TRUE(s.gl->must_split.empty());
}

// With no drawing open there is nothing a .graph file could bring back: the status bar
// says so, no file name is asked for and nothing is written.
TEST(MainWindows, SaveGraphWithNothingOpenSaysSoAndWritesNothing) {
  window_session s(200);
  const std::string path = s.folder.path("in/nothing.graph");
  s.dialogs.files.push_back(path);
  s.action("Save Graph")->trigger();
  EXPECT_EQ(s.window->statusBar()->currentMessage(), "Nothing to save: open a sketch or a graph first.");
  EXPECT_EQ(s.dialogs.files.size(), 1u);  // no dialog took the answer
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::exists(path + ".graph"));
}

// A drawing reopened past the optimiser's set-up whose network holds no fragment:
// Optimize starts nothing and says why, not that a run has ended.
TEST(MainWindows, OptimizeOnANetworkWithoutFragmentsSaysThereIsNothingToOptimise) {
  window_session s(200);
  const std::string png = s.folder.add_sketch("ring.png", fixtures::closed_ring(120, 40, 3));
  const std::string graph = s.folder.path("in/hollow.graph");
  std::ofstream(graph, std::ios::binary) << qt_test::crafted_graph(1, 12, 200000000, nullptr, png, "ring");
  s.dialogs.files.push_back(graph);
  s.action("Open Graph")->trigger();
  ASSERT_EQ(s.gl->worker.step, 12);
  QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);
  EXPECT_EQ(s.window->statusBar()->currentMessage(), "The curve network holds no fragment: nothing to optimise.");
  EXPECT_TRUE(s.gl->threads.empty());
  EXPECT_EQ(s.gl->optimize_button->text(), "Optimize");
}

// Made as small as it goes, the window keeps both sliders wide enough to drag and the
// view tall enough to show a drawing.
TEST(MainWindows, AtItsLeastSizeTheSlidersAndTheViewStayUsable) {
  window_session s(200);
  s.window->resize(1, 1);
  ASSERT_TRUE(s.wait_for([&] { return s.window->size() == s.window->minimumSize(); }, 5000))
      << s.window->width() << " x " << s.window->height();
  QTest::qWait(100);
  for (QSlider* slider : {s.gl->iteration_slider, s.balance_slider()}) EXPECT_GE(slider->width(), 200);
  EXPECT_GE(s.gl->height(), 300);
}

// The balance slider shows the lambda in use at every moment: the set-up of a new
// drawing reads config/recuit.conf again and the slider follows; a reopened .graph file
// brings its own lambda, and the slider follows too.
TEST(MainWindows, TheBalanceSliderShowsTheLambdaInUse) {
  window_session s(100000);
  QSlider* balance = s.balance_slider();
  const auto agree = [&] { return balance->value() == static_cast<int>(1000 * s.gl->worker.optimiser.lambda); };
  ASSERT_TRUE(s.open_sketch(s.folder.add_example("house.png")));
  EXPECT_TRUE(agree());
  QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);
  balance->setFocus();
  QTest::keyClick(balance, Qt::Key_End);  // towards Simplicity while the run goes on
  ASSERT_TRUE(s.wait_for([&] { return s.gl->worker.optimiser.lambda == 1.0f; }, 20000));
  QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);  // Pause
  ASSERT_TRUE(s.wait_for([&] { return !s.gl->worker.go; }, 20000));
  QTest::qWait(100);
  const std::string saved = s.folder.path("in/simple.graph");
  s.dialogs.files.push_back(saved);
  s.type(Qt::Key_S, Qt::ControlModifier);
  ASSERT_TRUE(std::filesystem::exists(saved));

  ASSERT_TRUE(s.open_sketch(s.folder.add_example("fish.png")));
  EXPECT_EQ(s.gl->worker.optimiser.lambda, 0.25f);  // config/recuit.conf
  // The set-up's controls reach the GUI thread with the confirmation of its step.
  EXPECT_TRUE(s.wait_for([&] { return balance->value() == 250; }, 5000));
  EXPECT_TRUE(agree());

  s.dialogs.files.push_back(saved);
  s.type(Qt::Key_G, Qt::ControlModifier);
  ASSERT_EQ(s.gl->image_stem, "house");
  EXPECT_EQ(s.gl->worker.optimiser.lambda, 1.0f);
  EXPECT_EQ(balance->value(), 1000);
  // The reopened run waits for Optimize, and its iteration slider acts on it.
  EXPECT_TRUE(s.gl->threads.empty());
  EXPECT_EQ(s.gl->iteration_slider->maximum(), s.gl->worker.optimiser.nb_it);
}

TEST(MainWindows, ExitAndTitleBarCloseBothStopAndJoinARunningWorker) {
  for (const bool exit_action : {true, false}) {
    SCOPED_TRACE(exit_action ? "File > Exit" : "title bar");
    window_session s(1000000);  // a run far too long to end by itself
    ASSERT_TRUE(s.open_sketch(s.folder.add_example("house.png")));
    QTest::mouseClick(s.gl->optimize_button, Qt::LeftButton);
    ASSERT_EQ(s.gl->optimize_button->text(), "Pause");
    QTest::qWait(200);
    ASSERT_FALSE(s.gl->threads.empty());
    if (exit_action)
      s.type(Qt::Key_Escape);
    else
      s.window->close();
    EXPECT_TRUE(s.gl->threads.empty());
    EXPECT_FALSE(s.window->isVisible());
  }
}

TEST(GuiEntry, WithoutOpenGLShowsTheMessageAndReturnsMinusOne) {
  window_test::dialog_answerer dialogs;
  EXPECT_EQ(report_missing_opengl(), -1);
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"desole pas d'OpenGL !"});
}

}  // namespace

#include "window_session.h"

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

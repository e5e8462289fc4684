#pragma once
// The interactive program's main window: the view above a control panel (legend and
// "Optimize", the two sliders, the Merge, Split, Freeze and Unselect buttons), the menus
// "File", "Option", "Display" and "Function", and the functions its controls call.
// GUI thread only.

#include <QMainWindow>

class QCloseEvent;
class gl_widget;

class MainWindows : public QMainWindow {
  Q_OBJECT

 public:
  gl_widget* gl;  // the view, a Qt child of the window (deleted by Qt, not by the window)

  // Builds the view (and only then points main_gl_widget at it), the controls and the
  // menus; places itself at (100, 126), 1024 x 1024.
  explicit MainWindows(QWidget* parent = nullptr);
  ~MainWindows() override;

 public slots:
  // File > Exit (Esc): stops and joins the worker, then closes the window.
  void exit_event_stop_thread();

 protected:
  // A close from the title bar stops and joins the worker as Exit does, before the view
  // goes (the view must not be destroyed while its worker runs).
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* make_legend_block();
  QWidget* make_slider_block();
  QWidget* make_button_block();
  void make_file_menu();
  QWidget* make_option_panel();
  QWidget* make_display_panel();
  void make_function_menu();
};

// The functions the controls are connected to. Each says its outcome in the status bar,
// replacing what the one before said; on a drawing held after running out of memory they
// say that instead and change nothing.

// "Optimize" / "Pause": ignored until the optimiser is set up (worker step 11 on); as
// "Optimize" it clears the pause, moves step 11 on to 12, shows "Pause" and releases the
// worker; as "Pause" it shows "Optimize" and holds the worker at its next confirmation.
void on_optimize_pressed(MainWindows* window);
// Balance slider: the optimiser's lambda = value / the slider's maximum, applied while
// the worker waits (at its next confirmation, or at once when no worker thread exists).
void on_balance_changed(MainWindows* window, int value);
// Merge / Split: every complete usable pair of picks goes into must_merge / must_split,
// then the pairs are merged / split (gl_widget::apply_selection), and the status bar says
// how many pairs. Fewer than two picks: a status-bar message and nothing else. Either
// ends freeze mode, edit or not.
void on_merge_pressed(MainWindows* window);
void on_split_pressed(MainWindows* window);
// Freeze: from now on every pick freezes the curves of the picked fragment and says in
// the status bar how many it froze, until Split, Merge or Unselect.
void on_freeze_pressed(MainWindows* window);
// Unselect: empties the selection and ends freeze mode.
void on_unselect_pressed(MainWindows* window);
// "Degree penalty [mu]": the energy's degree weight.
void on_degree_penalty_changed(MainWindows* window, double value);
// "Curve degree" box d: allowed_degree[d] = the check state (0 off, 2 on).
void on_degree_checkbox(MainWindows* window, int d, int state);
// Function > "Clear constraints": empties must_split, must_merge and fixed_curves.
void on_clear_constraints(MainWindows* window);

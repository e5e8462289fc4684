#include "app/main_windows.h"

#include <string>

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QWidgetAction>

#include "app/gl_widget.h"
#include "app/q_slider_change_alpha.h"
#include "app/selection_edits.h"

namespace {

const char* const balance_slider_name = "balance_slider";
// At the window's least size the sliders keep room to be dragged and the view room to
// show a drawing.
constexpr int least_slider_width = 200;
constexpr int least_view_height = 300;

QLabel* legend_bar(QWidget* parent, const char* colour) {
  QLabel* bar = new QLabel(QString(5, QChar(0x2015)), parent);
  bar->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  bar->setStyleSheet(QString("QLabel { color : %1; font:bold;}").arg(colour));
  return bar;
}

}  // namespace

MainWindows::MainWindows(QWidget* parent) : QMainWindow(parent) {
  QWidget* central = new QWidget(this);
  gl = new gl_widget(this);
  main_gl_widget = gl;

  setGeometry(100, 126, 1024, 1024);
  gl->lambda_spin_box->hide();
  gl->setMinimumHeight(least_view_height);

  QWidget* panel = new QWidget(this);
  QGridLayout* panel_grid = new QGridLayout(panel);
  panel_grid->addWidget(make_legend_block(), 0, 0);
  panel_grid->addWidget(make_slider_block(), 0, 1);
  panel_grid->addWidget(make_button_block(), 0, 2);
  setStyleSheet("QLabel, QWidget { font: 18px \"Times New Roman\";}");
  QGridLayout* grid = new QGridLayout(central);
  grid->addWidget(gl, 0, 0, 9, 1);
  grid->addWidget(panel, 10, 0);
  setCentralWidget(central);

  make_file_menu();
  QWidget* option_panel = make_option_panel();
  QWidget* display_panel = make_display_panel();
  QMenu* option = menuBar()->addMenu("Option");
  QMenu* display = menuBar()->addMenu("Display");
  for (auto [menu, content] : {std::pair{option, option_panel}, std::pair{display, display_panel}}) {
    QWidgetAction* action = new QWidgetAction(menu);
    content->setParent(menu);
    action->setDefaultWidget(content);
    menu->addAction(action);
  }
  make_function_menu();
  statusBar();  // shows the actions' status tips and the buttons' messages
}

MainWindows::~MainWindows() = default;

QWidget* MainWindows::make_legend_block() {
  QWidget* block = new QWidget(this);
  QGridLayout* grid = new QGridLayout(block);
  const char* colours[] = {"red", "blue", "green"};
  const char* texts[] = {"Initial curve network", "Refined curve network", "Selected curve"};
  for (int row = 0; row < 3; ++row) {
    grid->addWidget(legend_bar(this, colours[row]), row, 0);
    grid->addWidget(new QLabel(texts[row], this), row, 1);
  }
  QPushButton* optimize = new QPushButton("Optimize", this);
  gl->optimize_button = optimize;
  connect(optimize, &QPushButton::pressed, this, [this] { on_optimize_pressed(this); });
  grid->addWidget(optimize, 3, 0, 1, 2);
  return block;
}

QWidget* MainWindows::make_slider_block() {
  QWidget* block = new QWidget(this);
  QGridLayout* grid = new QGridLayout(block);
  grid->addWidget(new QLabel("High perturbations", this), 0, 0);
  gl->iteration_slider->setMinimumWidth(least_slider_width);
  grid->addWidget(gl->iteration_slider, 0, 1);
  grid->addWidget(new QLabel("Low perturbations", this), 0, 2);

  QSlider* balance = new QSlider(Qt::Horizontal, this);
  balance->setObjectName(balance_slider_name);
  balance->setMinimum(0);
  balance->setSingleStep(1);
  balance->setMaximum(1000);
  balance->setValue(static_cast<int>(1000 * gl->worker.optimiser.lambda));
  balance->setMinimumWidth(least_slider_width);
  connect(balance, &QSlider::valueChanged, this, [this](int v) { on_balance_changed(this, v); });
  gl->balance_slider = balance;
  // Small lambda follows the strokes closely, large lambda keeps few and simple curves.
  QLabel* left = new QLabel("Fidelity", this);
  left->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  grid->addWidget(left, 1, 0);
  grid->addWidget(balance, 1, 1);
  grid->addWidget(new QLabel("Simplicity", this), 1, 2);
  return block;
}

QWidget* MainWindows::make_button_block() {
  QWidget* block = new QWidget(this);
  QGridLayout* grid = new QGridLayout(block);
  const std::pair<const char*, void (*)(MainWindows*)> buttons[] = {
      {"Merge", on_merge_pressed},
      {"Split", on_split_pressed},
      {"Freeze", on_freeze_pressed},
      {"Unselect", on_unselect_pressed},
  };
  int row = 0;
  for (const auto& [text, fn] : buttons) {
    QPushButton* button = new QPushButton(text, this);
    connect(button, &QPushButton::pressed, this, [this, f = fn] { f(this); });
    grid->addWidget(button, row++, 0);
  }
  return block;
}

void MainWindows::make_file_menu() {
  QMenu* file = menuBar()->addMenu("File");
  auto add = [&](const char* text, QKeySequence keys, const char* tip, auto&& fn) {
    QAction* action = new QAction(text, this);
    action->setShortcut(keys);
    action->setStatusTip(tip);
    connect(action, &QAction::triggered, this, fn);
    file->addAction(action);
  };
  add("Open Sketch", QKeySequence(Qt::CTRL + Qt::Key_O), "open a sketch", [this] { gl->open_file(true); });
  add("Open Graph", QKeySequence(Qt::CTRL + Qt::Key_G), "open a graph", [this] { gl->open_graph(); });
  add("Save Graph", QKeySequence(Qt::CTRL + Qt::Key_S), "save a graph", [this] { gl->save_graph(); });
  add("Exit", QKeySequence(Qt::Key_Escape), "quit the application", [this] { exit_event_stop_thread(); });
}

QWidget* MainWindows::make_option_panel() {
  QWidget* panel = new QWidget(this);
  QGridLayout* grid = new QGridLayout(panel);
  grid->addWidget(new QLabel("Max number open curves", this), 2, 0);
  grid->addWidget(gl->open_curves_spin_box, 2, 1);
  grid->addWidget(new QLabel("Min length open curves", this), 3, 0);
  grid->addWidget(gl->open_length_spin_box, 3, 1);
  grid->addWidget(new QLabel("Min region size", this), 4, 0);
  grid->addWidget(gl->region_spin_box, 4, 1);

  grid->addWidget(new QLabel("Degree penalty [mu]", this), 6, 0);
  QDoubleSpinBox* penalty = new QDoubleSpinBox(this);
  penalty->setRange(0, 1000);
  penalty->setSingleStep(0.01);
  penalty->setValue(gl->degree_penalty);
  connect(penalty, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
          [this](double v) { on_degree_penalty_changed(this, v); });
  grid->addWidget(penalty, 6, 1);

  grid->addWidget(new QLabel("Curve degree", this), 7, 0);
  QWidget* degrees = new QWidget(this);
  QGridLayout* degree_grid = new QGridLayout(degrees);
  for (int d = 1; d <= 3; ++d) {
    degree_grid->addWidget(new QLabel(QString::number(d), this), 0, 2 * d);
    QCheckBox* box = new QCheckBox(this);
    box->setChecked(true);
    connect(box, &QCheckBox::stateChanged, this, [this, d](int state) { on_degree_checkbox(this, d, state); });
    degree_grid->addWidget(box, 0, 2 * d + 1);
  }
  grid->addWidget(degrees, 7, 1);
  return panel;
}

QWidget* MainWindows::make_display_panel() {
  QWidget* panel = new QWidget(this);
  QGridLayout* grid = new QGridLayout(panel);
  const char* names[] = {"Input", "Region extracted", "Initial curves", "Output"};
  for (int row = 1; row <= 4; ++row) {
    grid->addWidget(new QLabel(names[row - 1], this), row, 0);
    q_slider_change_alpha* slider = new q_slider_change_alpha(Qt::Horizontal, this);
    slider->setRange(0, 255);
    slider->setValue(255);
    grid->addWidget(slider, row, 1);
    gl->alpha_sliders.push_back(slider);
  }
  gl->alpha_sliders[1]->setValue(0);  // the region image starts hidden
  return panel;
}

void MainWindows::make_function_menu() {
  QMenu* function = menuBar()->addMenu("Function");
  QAction* recompute = new QAction("Recompute topological graph", this);
  connect(recompute, &QAction::triggered, this, [this] { gl->open_file(false); });
  function->addAction(recompute);
  QAction* clear = new QAction("Clear constraints", this);
  connect(clear, &QAction::triggered, this, [this] { on_clear_constraints(this); });
  function->addAction(clear);
}

void MainWindows::exit_event_stop_thread() {
  gl->stop_and_join_worker();
  close();
}

void MainWindows::closeEvent(QCloseEvent* event) {
  gl->stop_and_join_worker();
  event->accept();
}

namespace {

const char* const freeze_ended = "Freeze mode ended: picks select fragments again.";

// Optimize, Split, Merge and Unselect end freeze mode, whatever else they do; true when
// it was on.
bool leave_freeze_mode(gl_widget* gl, int mode) {
  const bool was_freezing = gl->interaction_mode == mode_freeze;
  if (was_freezing) gl->interaction_mode = mode;
  return was_freezing;
}

// The outcome line, after the note that freeze mode ended when it did.
std::string after_freeze(bool was_freezing, const std::string& outcome) {
  return was_freezing ? std::string(freeze_ended) + " " + outcome : outcome;
}

std::string pairs_text(std::size_t n) { return std::to_string(n) + (n == 1 ? " picked pair" : " picked pairs"); }

}  // namespace

void on_optimize_pressed(MainWindows* window) {
  gl_widget* gl = window->gl;
  if (gl->worker.step <= 10 || gl->drawing_held()) return;
  const bool was_freezing = leave_freeze_mode(gl, mode_merge);
  gl->interaction_mode = mode_merge;
  if (gl->optimize_button->text() == "Optimize") {
    // Said first: a run that ends at once (a reopened finished one) says so itself.
    gl->show_status(after_freeze(was_freezing, "The run goes on: Pause holds it."));
    if (!gl->resume_run())
      gl->show_status(after_freeze(was_freezing, holds_fragments(gl->network)
                                                     ? "The run has reached its last iteration."
                                                     : "The curve network holds no fragment: nothing to optimise."));
  } else {
    gl->pause_run();
    gl->show_status(after_freeze(was_freezing, "The run is held: Optimize goes on with it."));
  }
}

void on_balance_changed(MainWindows* window, int value) {
  gl_widget* gl = window->gl;
  const QSlider* balance = window->findChild<QSlider*>(balance_slider_name);
  const float lambda = static_cast<float>(value) / static_cast<float>(balance->maximum());
  // The confirmation applies it while the worker waits; without a worker nothing races.
  gl->pending_lambda = lambda;
  if (gl->threads.empty()) gl->worker.optimiser.lambda = lambda;
}

namespace {

// Merge and Split: the pairs become constraints, then edits.
void record_and_apply(MainWindows* window, int mode) {
  gl_widget* gl = window->gl;
  const bool was_freezing = leave_freeze_mode(gl, mode);
  const std::size_t picked = complete_pair_count(gl->selection);
  if (picked == 0) {
    gl->show_status(after_freeze(was_freezing, "Pick two fragments first (Ctrl+click or right click)."));
    return;
  }
  std::size_t recorded = 0;
  const bool edited = gl->with_worker_waiting([&] {
    fragment_pairs& pairs = mode == mode_merge ? gl->must_merge : gl->must_split;
    recorded = record_picked_pairs(gl->selection, pairs);
    gl->interaction_mode = mode;
    gl->apply_selection();
  });
  if (!edited) return;  // the status bar says why
  if (recorded == 0) {
    gl->show_status("The picked fragments are one fragment or are not connected.");
    return;
  }
  std::string outcome = mode == mode_merge ? "Merged the fragments of " + pairs_text(recorded) + " onto one curve."
                                           : "Split the fragments of " + pairs_text(recorded) + " onto different curves.";
  if (recorded < picked)
    outcome += " The other " + std::to_string(picked - recorded) + " are one fragment or are not connected.";
  gl->show_status(outcome);
}

}  // namespace

void on_merge_pressed(MainWindows* window) { record_and_apply(window, mode_merge); }

void on_split_pressed(MainWindows* window) { record_and_apply(window, mode_split); }

void on_freeze_pressed(MainWindows* window) {
  if (window->gl->drawing_held()) return;
  window->gl->interaction_mode = mode_freeze;
  window->gl->apply_selection();
  window->gl->show_status(
      "Freeze mode: each pick freezes the curves of the picked fragment; Split, Merge or Unselect ends it.");
}

void on_unselect_pressed(MainWindows* window) {
  gl_widget* gl = window->gl;
  const bool was_freezing = leave_freeze_mode(gl, mode_split);
  gl->selection.clear();
  gl->update_selected_drawable(&gl->vbo_selected);
  gl->update();
  gl->show_status(was_freezing ? freeze_ended : "Unselected: no fragment is picked.");
}

void on_degree_penalty_changed(MainWindows* window, double value) {
  window->gl->degree_penalty = static_cast<float>(value);
}

void on_degree_checkbox(MainWindows* window, int d, int state) { window->gl->allowed_degree[d] = state; }

void on_clear_constraints(MainWindows* window) {
  gl_widget* gl = window->gl;
  const bool cleared = gl->with_worker_waiting([gl] {
    gl->must_split.clear();
    gl->must_merge.clear();
    gl->fixed_curves.clear();
  });
  if (cleared) gl->show_status("Constraints cleared: no split, merge or freeze is kept.");
}

#pragma once
// Whole sessions of the interactive view, driven as a user would: a real window with a
// GL context on the X display (xvfb-run -a), file dialogs answered from a timer, the
// worker confirmed through the Qt event loop.

// GLEW before the GL headers that Qt pulls in.
#include "app/gl_widget.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QObject>
#include <QWidget>
#include <opencv2/core/mat.hpp>

#include "qt_support/dialog_answerer.h"
#include "qt_support/work_folder.h"

class QPushButton;
class q_slider_change_alpha;

namespace view_test {

using qt_test::dialog_answerer;
using qt_test::work_folder;

// The view as the main window makes it: main_gl_widget set after its construction, the
// four Display sliders (Input, Region extracted at 0, Initial curves, Output), shown.
struct session {
  work_folder folder;
  dialog_answerer dialogs;
  std::unique_ptr<gl_widget> view_owner;
  gl_widget& view;  // valid until close_view
  std::unique_ptr<QWidget> slider_owner;  // holds the sliders and the button
  QPushButton* optimize_button = nullptr;
  std::array<q_slider_change_alpha*, 4> sliders{};
  std::vector<int> confirmed_steps;  // data_thread::step at each job_end, in order
  std::vector<int> confirmed_k;      // the optimiser's iteration counter at each job_end
  QObject step_log;

  explicit session(int nb_it, int width = 400, int height = 400);
  ~session();

  // Closes and destroys the view whatever its worker is doing, as a window closed from
  // its title bar would.
  void close_view();

  // File > Open Sketch with this answer; File > Open Graph; File > Save Graph.
  void open_sketch(const std::string& path);
  void open_graph(const std::string& path);
  void save_graph(const std::string& path);
  // The "Optimize" button as the main window wires it: "Optimize" lets the run go on
  // (step 11 becomes 12) and turns into "Pause", which holds the next confirmation.
  void press_optimize();
  // Processes events until the predicate holds; false after timeout_ms.
  bool wait_for(const std::function<bool()>& done, int timeout_ms = 60000);
  // Until a confirmation reports this step (the worker has finished step - 1).
  bool wait_for_step(int step, int timeout_ms = 60000);
  // Until the run has ended and its worker was joined.
  bool wait_for_run_end(int timeout_ms = 120000);

  // The frame the view draws, read back from its frame buffer: BGRA, first row on top.
  cv::Mat read_frame();
};

// Saves a BGRA picture as a PNG under the build folder's view_test_pictures/.
void save_test_picture(const cv::Mat& bgra, const std::string& name);

// Number of curves of all layer graphs.
std::size_t curve_count(const curve_network& network);

}  // namespace view_test

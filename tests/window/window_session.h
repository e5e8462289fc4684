#pragma once
// The interactive program's main window driven as a user would: a real window with a GL
// context on the X display (xvfb-run -a), keys, clicks, drags and wheel turns sent as Qt
// events, file dialogs and message boxes answered from a timer.

// GLEW before the GL headers that Qt pulls in.
#include "app/gl_widget.h"

#include <functional>
#include <memory>
#include <set>
#include <string>

#include <QPoint>
#include <glm/vec2.hpp>
#include <opencv2/core/mat.hpp>

#include "app/main_windows.h"
#include "qt_support/dialog_answerer.h"
#include "qt_support/work_folder.h"

class QAction;
class QPushButton;
class QSlider;

namespace window_test {

using qt_test::dialog_answerer;
using qt_test::work_folder;

// The main window as gui_main makes it (main_gl_widget set by its constructor), shown
// at size x size and the application's active window.
struct window_session {
  work_folder folder;
  dialog_answerer dialogs;
  std::unique_ptr<MainWindows> window;
  gl_widget* gl = nullptr;

  explicit window_session(int nb_it, int size = 800);
  ~window_session();

  QAction* action(const QString& text) const;
  QPushButton* button(const QString& text) const;
  QSlider* balance_slider() const;
  void press(const QString& button_text) const;

  // Opens a sketch through File > Open Sketch (Ctrl+O) and waits until the optimiser is
  // set up (worker step 11); false on timeout.
  bool open_sketch(const std::string& path);
  bool wait_for(const std::function<bool()>& done, int timeout_ms = 120000) const;

  // Widget pixel where the view draws image point p (network coordinates), by the
  // drawables' mapping over the view's viewport, zoom and pan.
  QPoint widget_point(glm::dvec2 p) const;
  // Midpoint (t = 0.5) of the index curve of fragment f.
  glm::dvec2 index_midpoint(f_curve* f) const;

  // A key with modifiers as the window's user types it (menu shortcuts included).
  void type(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const;
  void ctrl_click(QPoint at) const;
  void right_click(QPoint at) const;
  void wheel(int delta) const;
  void drag(QPoint from, QPoint to) const;

  // The view's frame read back from its frame buffer: BGRA, first row on top.
  cv::Mat read_frame() const;
  // The whole window as the user sees it, BGRA (QWidget::grab, with the view's frame
  // painted in, since a GL view grabs black).
  cv::Mat screenshot() const;
};

// Writes a picture under the build folder's window_test_pictures/; returns its path.
std::string save_test_picture(const cv::Mat& picture, const std::string& name);

// The first fragment of the pick index that meets another key of the index at a
// junction, with that other one; both null when there is none.
// Fragments in `besides` are passed over.
std::pair<f_curve*, f_curve*> neighbouring_keys(const gl_widget& gl, const std::set<f_curve*>& besides = {});

// True when one curve holds both fragments.
bool on_one_curve(const f_curve* a, const f_curve* b);

}  // namespace window_test

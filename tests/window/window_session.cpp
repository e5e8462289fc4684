#include "window_session.h"

#include <algorithm>
#include <filesystem>

#include <QAction>
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QWheelEvent>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "graph/bezier.h"
#include "qt_support/view_frame.h"

namespace window_test {

namespace fs = std::filesystem;

window_session::window_session(int nb_it, int size) : folder("window", nb_it) {
  window = std::make_unique<MainWindows>();
  gl = window->gl;
  window->resize(size, size);
  window->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  // Other test processes on the same display may hold its focus; Qt's notion of the
  // active window is what shortcuts and focus need.
  QApplication::setActiveWindow(window.get());
}

window_session::~window_session() {
  if (window) {
    window->close();
    window.reset();
  }
  main_gl_widget = nullptr;
}

QAction* window_session::action(const QString& text) const {
  for (QAction* a : window->findChildren<QAction*>())
    if (a->text() == text) return a;
  ADD_FAILURE() << "no action " << text.toStdString();
  return nullptr;
}

QPushButton* window_session::button(const QString& text) const {
  for (QPushButton* b : window->findChildren<QPushButton*>())
    if (b->text() == text) return b;
  ADD_FAILURE() << "no button " << text.toStdString();
  return nullptr;
}

QSlider* window_session::balance_slider() const { return window->findChild<QSlider*>("balance_slider"); }

void window_session::press(const QString& button_text) const {
  QTest::mouseClick(button(button_text), Qt::LeftButton);
}

bool window_session::open_sketch(const std::string& path) {
  dialogs.files.push_back(path);
  type(Qt::Key_O, Qt::ControlModifier);
  // Step 11 is reached on the worker thread before the GUI thread has taken the set-up's
  // queued calls (controls, then the confirmation that builds the pick index).
  return wait_for([&] {
    return gl->worker.step == 11 && !gl->pick_index.empty() &&
           gl->iteration_slider->maximum() == gl->worker.optimiser.nb_it;
  });
}

bool window_session::wait_for(const std::function<bool()>& done, int timeout_ms) const {
  return QTest::qWaitFor(done, timeout_ms);
}

QPoint window_session::widget_point(glm::dvec2 p) const {
  const double u = p.x / gl->input_image.cols, v = p.y / gl->input_image.rows;
  const double ndc_x = (2 * u - 1 + gl->pan_x) * gl->zoom;
  const double ndc_y = (1 - 2 * v + gl->pan_y) * gl->zoom;
  const float* vp = gl->viewport;
  const double x = vp[0] + (ndc_x + 1) / 2 * vp[2];
  const double y_up = vp[1] + (ndc_y + 1) / 2 * vp[3];
  return {static_cast<int>(std::lround(x)), static_cast<int>(std::lround(gl->height() - y_up))};
}

glm::dvec2 window_session::index_midpoint(f_curve* f) const {
  for (const auto& [layer, entries] : gl->pick_index) {
    const auto it = entries.find(f);
    if (it != entries.end()) return bezier_eval(static_cast<int>(it->second.size()) - 1, it->second.data(), 0.5);
  }
  ADD_FAILURE() << "fragment without index entry";
  return {};
}

void window_session::type(int key, Qt::KeyboardModifiers modifiers) const {
  QApplication::setActiveWindow(window.get());  // see the constructor
  QTest::keyClick(window.get(), static_cast<Qt::Key>(key), modifiers);
}

void window_session::ctrl_click(QPoint at) const {
  QTest::mouseClick(gl, Qt::LeftButton, Qt::ControlModifier, at);
}

void window_session::right_click(QPoint at) const { QTest::mouseClick(gl, Qt::RightButton, Qt::NoModifier, at); }

void window_session::wheel(int delta) const {
  const QPoint at(gl->width() / 2, gl->height() / 2);
  QWheelEvent event(at, gl->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(gl, &event);
}

void window_session::drag(QPoint from, QPoint to) const {
  QTest::mousePress(gl, Qt::LeftButton, Qt::NoModifier, from);
  // QTest's own move carries no button state; a user's drag does.
  for (int i = 1; i <= 4; ++i) {
    const QPoint at = from + (to - from) * i / 4;
    QMouseEvent move(QEvent::MouseMove, at, gl->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(gl, &move);
  }
  QTest::mouseRelease(gl, Qt::LeftButton, Qt::NoModifier, to);
}

cv::Mat window_session::read_frame() const { return qt_test::read_view_frame(*gl); }

cv::Mat window_session::screenshot() const {
  const cv::Mat frame = read_frame();
  QPixmap shot = window->grab();
  {
    QPainter painter(&shot);
    const QImage view(frame.data, frame.cols, frame.rows, static_cast<int>(frame.step), QImage::Format_RGB32);  // the window shows no alpha
    painter.drawImage(gl->mapTo(window.get(), QPoint(0, 0)), view);
  }
  const QImage image = shot.toImage().convertToFormat(QImage::Format_ARGB32);
  return cv::Mat(image.height(), image.width(), CV_8UC4, const_cast<uchar*>(image.bits()),
                 static_cast<std::size_t>(image.bytesPerLine()))
      .clone();
}

std::string save_test_picture(const cv::Mat& picture, const std::string& name) {
  const fs::path folder = fs::path(VELLUMTRACE_BINARY_DIR) / "window_test_pictures";
  fs::create_directories(folder);
  const std::string path = (folder / name).string();
  cv::imwrite(path, picture);
  return path;
}

std::pair<f_curve*, f_curve*> neighbouring_keys(const gl_widget& gl, const std::set<f_curve*>& besides) {
  for (const auto& [layer, entries] : gl.pick_index)
    for (f_curve& f : layer->f_curves) {
      if (!entries.count(&f) || besides.count(&f)) continue;
      for (const frag_conn* j : f.v_frag_conn)
        for (const frag_end& e : j->v_frag_end)
          if (e.fragment != &f && entries.count(e.fragment) && !besides.count(e.fragment)) return {&f, e.fragment};
    }
  return {nullptr, nullptr};
}

bool on_one_curve(const f_curve* a, const f_curve* b) {
  for (const curve* c : a->v_curve)
    if (std::find(c->v_f_curve.begin(), c->v_f_curve.end(), b) != c->v_f_curve.end()) return true;
  return false;
}

}  // namespace window_test

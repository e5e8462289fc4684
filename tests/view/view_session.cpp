#include "view_session.h"

#include <QPushButton>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "app/q_slider_change_alpha.h"
#include "qt_support/view_frame.h"

namespace view_test {

namespace fs = std::filesystem;

session::session(int nb_it, int width, int height)
    : folder("view", nb_it), view_owner(std::make_unique<gl_widget>(nullptr)), view(*view_owner) {
  main_gl_widget = &view;
  slider_owner = std::make_unique<QWidget>();
  for (q_slider_change_alpha*& s : sliders) {
    s = new q_slider_change_alpha(Qt::Horizontal, slider_owner.get());
    s->setRange(0, 255);
    s->setValue(255);
    view.alpha_sliders.push_back(s);
  }
  sliders[1]->setValue(0);
  optimize_button = new QPushButton("Optimize", slider_owner.get());
  view.optimize_button = optimize_button;
  // Connected before the view's own confirmation, so it runs first, while the worker waits.
  QObject::connect(&view.worker, &data_thread::job_end, &step_log,
                   [this] {
                     confirmed_steps.push_back(view.worker.step);
                     confirmed_k.push_back(view.worker.optimiser.k);
                   }, Qt::QueuedConnection);
  view.resize(width, height);
  view.show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
}

session::~session() {
  if (view_owner) view.stop_and_join_worker();
  main_gl_widget = nullptr;
}

void session::close_view() {
  view.close();
  view_owner.reset();
  main_gl_widget = nullptr;
}

void session::open_sketch(const std::string& path) {
  dialogs.files.push_back(path);
  view.open_file();
}

void session::open_graph(const std::string& path) {
  dialogs.files.push_back(path);
  view.open_graph();
}

void session::save_graph(const std::string& path) {
  dialogs.files.push_back(path);
  view.save_graph();
}

void session::press_optimize() {
  if (view.worker.step <= 10) return;
  view.interaction_mode = 1;
  if (optimize_button->text() == "Optimize")
    view.resume_run();
  else
    view.pause_run();
}

bool session::wait_for(const std::function<bool()>& done, int timeout_ms) {
  return QTest::qWaitFor(done, timeout_ms);
}

bool session::wait_for_step(int step, int timeout_ms) {
  return wait_for([&] {
    for (int s : confirmed_steps)
      if (s == step) return true;
    return false;
  }, timeout_ms);
}

bool session::wait_for_run_end(int timeout_ms) {
  return wait_for([&] { return view.threads.empty(); }, timeout_ms);
}

cv::Mat session::read_frame() { return qt_test::read_view_frame(view); }

void save_test_picture(const cv::Mat& bgra, const std::string& name) {
  const fs::path folder = fs::path(VELLUMTRACE_BINARY_DIR) / "view_test_pictures";
  fs::create_directories(folder);
  cv::Mat bgr;
  cv::cvtColor(bgra, bgr, cv::COLOR_BGRA2BGR);
  cv::imwrite((folder / name).string(), bgr);
}

std::size_t curve_count(const curve_network& network) {
  std::size_t n = 0;
  for (const layer_graph& lg : network) n += lg.curves.size();
  return n;
}

}  // namespace view_test

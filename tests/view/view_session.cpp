#include "view_session.h"

#include <fstream>
#include <iostream>

#include <unistd.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "app/q_slider_change_alpha.h"
#include "io/output_names.h"

namespace view_test {

namespace fs = std::filesystem;

namespace {

// One QApplication per test process, made before the first test and kept to the end.
class qt_environment : public testing::Environment {
 public:
  void SetUp() override {
    // Qt's own dialogs, which the answerer can reach, whatever the desktop offers.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    static int argc = 1;
    static char name[] = "view_tests";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

testing::Environment* const qt_env = testing::AddGlobalTestEnvironment(new qt_environment);

}  // namespace

dialog_answerer::dialog_answerer() {
  connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
  timer_.start(20);
}

void dialog_answerer::poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr) return;
  // A dialog answered a moment ago may still be on the modal stack: it keeps its answer,
  // given again only if it is still there after a while.
  const bool again = modal == answered_;
  if (again && since_answer_.elapsed() < 500) return;
  if (!again) {
    answered_ = modal;
    if (qobject_cast<QFileDialog*>(modal) != nullptr) {
      answer_ = files.empty() ? std::string() : files.front();
      if (!files.empty()) files.pop_front();
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      messages.push_back(box->text().toStdString());
    }
  }
  since_answer_.start();
  if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
    if (answer_.empty()) {
      dialog->reject();
    } else {
      // selectFile leaves a focused name field alone, so the path is typed into it.
      dialog->selectFile(QString::fromStdString(answer_));
      if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) name->setText(QString::fromStdString(answer_));
      static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept checks the answer
    }
  } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    box->accept();
  }
}

work_folder::work_folder(int nb_it) {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  dir = fs::path(testing::TempDir()) /
        (std::string("view_") + info->test_suite_name() + "_" + info->name() + "_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "in");
  fs::copy(fs::path(VELLUMTRACE_SOURCE_DIR) / "config", dir / "config", fs::copy_options::recursive);
  fs::create_directory_symlink(fs::path(VELLUMTRACE_SOURCE_DIR) / "shader", dir / "shader");
  std::ofstream(dir / "config" / "recuit.conf") << "recuit " << nb_it << " 1 0.9999 0.25 0.01\n";
  std::ofstream(dir / "config" / "input_sketch.conf") << "out\n0\n";
  std::ofstream(dir / "config" / "default_dir_open.conf") << "in\n";
  fs::current_path(dir);
  read_input_sketch_conf();
}

work_folder::~work_folder() {
  fs::current_path(here);
  if (!testing::Test::HasFailure()) fs::remove_all(dir);
}

std::string work_folder::add_sketch(const std::string& file_name, const cv::Mat& sketch) const {
  const fs::path p = dir / "in" / file_name;
  EXPECT_TRUE(cv::imwrite(p.string(), sketch));
  return p.string();
}

std::string work_folder::path(const std::string& relative) const { return (dir / relative).string(); }

bool work_folder::exists(const std::string& relative) const { return fs::exists(dir / relative); }

session::session(int nb_it, int width, int height)
    : folder(nb_it), view_owner(std::make_unique<gl_widget>(nullptr)), view(*view_owner) {
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
  if (optimize_button->text() == "Optimize") {
    view.paused = false;
    if (view.worker.step == 11) view.worker.step = 12;
    optimize_button->setText("Pause");
    view.on_thread_end();
  } else {
    optimize_button->setText("Optimize");
    view.paused = true;
  }
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

cv::Mat session::read_frame() {
  view.updateGL();
  view.makeCurrent();
  const int w = static_cast<int>(view.widget_width), h = static_cast<int>(view.widget_height);
  cv::Mat frame(h, w, CV_8UC4);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, view.fbo.id);
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, frame.data);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  cv::flip(frame, frame, 0);
  return frame;
}

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

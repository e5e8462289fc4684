#pragma once
// The interactive program as a person uses it: its own X server (Xvfb) with a window
// manager (openbox), the real vellumtrace process, and keys and clicks typed into the
// focused window with xdotool; what it shows is read back with import, what it does from
// its standard output and its files. Nothing here talks to the program's widgets.

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

namespace real_x {

namespace fs = std::filesystem;

bool wait_until(const std::function<bool()>& done, int timeout_ms);
void pause_ms(int ms);

// A process of ours: started with fork and exec, ended by its own pid.
struct process {
  pid_t pid = -1;
  int status = -1;

  // Runs argv in `folder` with DISPLAY set (when not empty), its standard output and
  // error into `log`; keep_fd stays open in the child.
  void start(const std::vector<std::string>& argv, const std::string& display, const fs::path& folder,
             const fs::path& log, int keep_fd = -1);
  bool exited();
  void end();
  ~process() { end(); }
};

// Output of a shell command line (run with the session's DISPLAY).
std::string run(const std::string& display, const std::string& command, int* status = nullptr);
std::string read_file(const fs::path& p);
std::size_t count_of(const std::string& text, const std::string& what);
// Pixels that differ between two pictures of one size.
int differing_pixels(const cv::Mat& a, const cv::Mat& b);

// Where the window puts what the test clicks: the "Optimize" button lies under the legend,
// one legend row below its green bar; the view fills the window above the legend.
struct layout {
  cv::Point optimize;
  cv::Rect view;
};

bool find_layout(const cv::Mat& shot, layout& out);

// One X server with a window manager, on a display of its own, and the program in it,
// started in a fresh working folder holding config/ (a run of 3,000,000 iterations),
// shader/ and in/house.png. A test that needs other inputs or settings overrides
// prepare(), which runs before the program starts.
class real_session : public ::testing::Test {
 protected:
  fs::path dir;
  std::string display;
  process xvfb, wm, app;
  std::string window;  // the main window's X id

  void SetUp() override;
  void TearDown() override;
  // Called once the folder is made, before the program starts.
  virtual void prepare() {}

  // Starts Xvfb on a free display, which the server names on a pipe, and keeps it in
  // `display` once the server answers there; leaves `display` empty otherwise.
  void start_display();
  // A display from start_display with openbox managing it; false, with both ended and
  // `display` empty, when either gives up first.
  bool start_window_manager();
  // The program's visible window of about 1024 x 1024 (its child widgets have windows too).
  bool find_main_window();

  std::string log() const { return read_file(dir / "app.log"); }
  // Progress lines of the optimiser so far (each begins with a carriage return).
  std::size_t progress() const { return count_of(log(), "\r"); }

  // Keys as typed on the keyboard into the active window (xdotool's key names).
  void key(const std::string& keys);
  void click(int x, int y);
  bool dialog_open(const std::string& title);
  // Types a file name into the dialog the shortcut opens, as a person does, and accepts it.
  void answer_dialog(const std::string& shortcut, const std::string& title, const std::string& name);
  cv::Mat screenshot(const std::string& name);
  // Ctrl+O on the sketch `name` of in/, then waits for the extraction to reach the
  // optimiser's set-up: `shot` is the screenshot "opened" and `where` its layout.
  ::testing::AssertionResult open_sketch(const std::string& name, cv::Mat& shot, layout& where);
};

}  // namespace real_x

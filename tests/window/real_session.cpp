#include "window/real_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include <opencv2/imgcodecs.hpp>

namespace real_x {

using clock_type = std::chrono::steady_clock;

bool wait_until(const std::function<bool()>& done, int timeout_ms) {
  const auto end = clock_type::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (done()) return true;
    if (clock_type::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void process::start(const std::vector<std::string>& argv, const std::string& display, const fs::path& folder,
                    const fs::path& log, int keep_fd) {
  // Everything the child needs is made before the fork: the test process has threads.
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    // No desktop's native dialogs; the display is the session's.
    if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("XDG_CURRENT_DESKTOP=", 0) == 0) continue;
    env.push_back(entry);
  }
  if (!display.empty()) env.push_back("DISPLAY=" + display);
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  pid = fork();
  if (pid != 0) {
    close(out);
    return;
  }
  if (chdir(folder.c_str()) != 0) _exit(126);
  dup2(out, 1);
  dup2(out, 2);
  for (int fd = 3; fd < 1024; ++fd)
    if (fd != keep_fd) close(fd);
  execvpe(args[0], args.data(), envp.data());
  _exit(127);
}

bool process::exited() {
  if (pid <= 0) return true;
  if (waitpid(pid, &status, WNOHANG) == pid) {
    pid = -1;
    return true;
  }
  return false;
}

void process::end() {
  if (exited()) return;
  kill(pid, SIGTERM);
  if (!wait_until([&] { return exited(); }, 3000)) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    pid = -1;
  }
}


std::string run(const std::string& display, const std::string& command, int* status) {
  const std::string line = "DISPLAY=" + display + " " + command + " 2>/dev/null";
  FILE* pipe = popen(line.c_str(), "r");
  std::string text;
  char buffer[4096];
  while (pipe && fgets(buffer, sizeof buffer, pipe)) text += buffer;
  const int rc = pipe ? pclose(pipe) : -1;
  if (status) *status = rc;
  return text;
}

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::size_t count_of(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

int differing_pixels(const cv::Mat& a, const cv::Mat& b) {
  if (a.size() != b.size() || a.type() != b.type()) return a.rows * a.cols;
  cv::Mat d;
  cv::absdiff(a, b, d);
  std::vector<cv::Mat> channels;
  cv::split(d, channels);
  cv::Mat any = channels[0] > 8;
  for (std::size_t c = 1; c < channels.size(); ++c) any |= channels[c] > 8;
  return cv::countNonZero(any);
}

void real_session::SetUp() {
  for (const char* tool : {"Xvfb", "openbox", "xdotool", "import", "xprop"})
    ASSERT_EQ(std::system((std::string("command -v ") + tool + " >/dev/null").c_str()), 0)
        << tool << " is missing: run scripts/setup";
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  dir = fs::path(testing::TempDir()) / ("real_session_" + std::string(info->name()) + "_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "in");
  fs::copy(fs::path(VELLUMTRACE_SOURCE_DIR) / "config", dir / "config", fs::copy_options::recursive);
  fs::create_directory_symlink(fs::path(VELLUMTRACE_SOURCE_DIR) / "shader", dir / "shader");
  fs::copy_file(fs::path(VELLUMTRACE_SOURCE_DIR) / "examples" / "house.png", dir / "in" / "house.png");
  // A run long enough to pause and resume, with a progress line every 30000 iterations.
  std::ofstream(dir / "config" / "recuit.conf") << "recuit 3000000 1 0.9999 0.25 0.01\n";
  std::ofstream(dir / "config" / "input_sketch.conf") << "out\n0\n";
  std::ofstream(dir / "config" / "default_dir_open.conf") << "in\n";
  prepare();

  // A server now and then dies before it names its display, or just after (when several
  // sessions start at once), and the window manager then finds none: start both again.
  bool window_manager_up = false;
  for (int attempt = 0; attempt < 5 && !window_manager_up; ++attempt) window_manager_up = start_window_manager();
  ASSERT_TRUE(window_manager_up) << "no display with openbox; Xvfb said: " << read_file(dir / "xvfb.log")
                                 << "openbox said: " << read_file(dir / "openbox.log");

  app.start({VELLUMTRACE_GUI_EXE}, display, dir, dir / "app.log");
  ASSERT_TRUE(wait_until([&] { return find_main_window(); }, 60000)) << "no window of vellumtrace";
}

bool real_session::start_window_manager() {
  start_display();
  if (display.empty()) return false;
  // Under a loaded machine (the sanitizer suite runs eight tests at once) the window
  // manager and the program can take many seconds to come up.
  wm.start({"openbox", "--sm-disable"}, display, dir, dir / "openbox.log");
  const auto managed = [&] {
    return run(display, "xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") != std::string::npos;
  };
  if (wait_until([&] { return wm.exited() || xvfb.exited() || managed(); }, 60000) && !wm.exited() &&
      !xvfb.exited())
    return true;
  wm.end();
  xvfb.end();
  display.clear();
  return false;
}

void real_session::start_display() {
  int fds[2];
  if (pipe(fds) != 0) return;
  xvfb.start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1280x24", "-nolisten", "tcp"},
             "", dir, dir / "xvfb.log", fds[1]);
  close(fds[1]);
  pollfd p{fds[0], POLLIN, 0};
  char number[32] = {};
  const bool named = poll(&p, 1, 60000) > 0 && read(fds[0], number, sizeof number - 1) > 0;
  close(fds[0]);
  if (named) {
    const std::string named_display = ":" + std::to_string(std::atoi(number));
    int status = -1;
    if (wait_until([&] { return xvfb.exited() || (run(named_display, "xprop -root >/dev/null 2>&1", &status), status == 0); }, 20000) &&
        !xvfb.exited()) {
      display = named_display;
      return;
    }
  }
  xvfb.end();
}

void real_session::TearDown() {
  app.end();
  wm.end();
  xvfb.end();
  if (!HasFailure()) fs::remove_all(dir);
}

bool real_session::find_main_window() {
  std::istringstream ids(run(display, "xdotool search --onlyvisible --pid " + std::to_string(app.pid)));
  for (std::string id; ids >> id;) {
    const std::string g = run(display, "xdotool getwindowgeometry --shell " + id);
    const auto value = [&](const std::string& key) {
      const std::size_t at = g.find(key + "=");
      return at == std::string::npos ? 0 : std::stoi(g.substr(at + key.size() + 1));
    };
    if (value("WIDTH") >= 1000 && value("HEIGHT") >= 1000) {
      window = id;
      return true;
    }
  }
  return false;
}

void real_session::key(const std::string& keys) {
  run(display, "xdotool windowactivate --sync " + window + " key --delay 40 " + keys);
}

void real_session::click(int x, int y) {
  run(display, "xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) +
                   " click 1");
  pause_ms(300);
}

bool real_session::dialog_open(const std::string& title) {
  return !run(display, "xdotool search --onlyvisible --name '^" + title + "$'").empty();
}

void real_session::answer_dialog(const std::string& shortcut, const std::string& title, const std::string& name) {
  key(shortcut);
  ASSERT_TRUE(wait_until([&] { return dialog_open(title); }, 10000)) << "no dialog " << title;
  pause_ms(300);
  run(display, "xdotool type --delay 40 '" + name + "'");
  pause_ms(300);
  run(display, "xdotool key Return");
  ASSERT_TRUE(wait_until([&] { return !dialog_open(title); }, 10000)) << title << " stays open";
}

cv::Mat real_session::screenshot(const std::string& name) {
  const fs::path p = dir / (name + ".png");
  run(display, "import -window " + window + " png:" + p.string());
  return cv::imread(p.string(), cv::IMREAD_COLOR);
}

::testing::AssertionResult real_session::open_sketch(const std::string& name, cv::Mat& shot, layout& where) {
  answer_dialog("ctrl+o", "Open File", name);
  if (!wait_until([&] { return log().find("Number of curves:") != std::string::npos; }, 30000))
    return ::testing::AssertionFailure() << name << " reached no set-up:\n" << log();
  pause_ms(500);
  shot = screenshot("opened");
  if (!find_layout(shot, where)) return ::testing::AssertionFailure() << "no legend in " << (dir / "opened.png");
  return ::testing::AssertionSuccess();
}

bool find_layout(const cv::Mat& shot, layout& out) {
  const auto bar_rows = [&](auto is_colour, int from, int to, int& x0, int& x1) {
    int y_sum = 0, n = 0;
    x0 = shot.cols;
    x1 = 0;
    for (int y = from; y < to; ++y)
      for (int x = 0; x < shot.cols / 3; ++x) {
        const cv::Vec3b c = shot.at<cv::Vec3b>(y, x);  // BGR
        if (!is_colour(c)) continue;
        y_sum += y;
        ++n;
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
      }
    return n > 20 ? y_sum / n : -1;
  };
  int gx0, gx1, bx0, bx1;
  const int green = bar_rows([](cv::Vec3b c) { return c[1] > 100 && c[1] < 170 && c[0] < 60 && c[2] < 60; },
                             shot.rows / 2, shot.rows, gx0, gx1);
  if (green < 0) return false;
  const int blue = bar_rows([](cv::Vec3b c) { return c[0] > 200 && c[1] < 60 && c[2] < 60; },
                            std::max(0, green - 80), green - 5, bx0, bx1);
  if (blue < 0) return false;
  const int pitch = green - blue;
  out.optimize = {(gx0 + gx1) / 2, green + pitch};
  out.view = cv::Rect(0, 45, shot.cols, std::max(1, blue - 2 * pitch - 45 - 20));
  return true;
}


}  // namespace real_x

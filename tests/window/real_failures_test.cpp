// The real program meeting sketches it cannot trace and leaving freeze mode, as a person
// sees it: message boxes with their reasons, folders, the status bar and the selection.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "window/real_session.h"

namespace {

using namespace real_x;

// The main window and the message boxes are both titled "Vellumtrace": a box is a
// visible window of that name smaller than the main window.
bool message_box_open(const std::string& display, const std::string& main_window) {
  std::istringstream ids(run(display, "xdotool search --onlyvisible --name '^Vellumtrace$'"));
  for (std::string id; ids >> id;) {
    if (id == main_window) continue;
    const std::string g = run(display, "xdotool getwindowgeometry --shell " + id);
    const std::size_t at = g.find("WIDTH=");
    if (at != std::string::npos && std::stoi(g.substr(at + 6)) < 1000) return true;
  }
  return false;
}

struct refusals : real_session {
  void prepare() override {
    cv::imwrite((dir / "in" / "black.png").string(), cv::Mat(300, 400, CV_8UC1, cv::Scalar(0)));
    cv::imwrite((dir / "in" / "white.png").string(), cv::Mat(300, 400, CV_8UC1, cv::Scalar(255)));
    std::ofstream(dir / "in" / "notimage.png") << "a text file under an image's name\n";
    std::ofstream(dir / "in" / "empty.png");
    // A drawing on grey paper with a white margin: most of it is ink under the threshold.
    cv::Mat scan(120, 160, CV_8UC1, cv::Scalar(200));
    cv::circle(scan, {90, 60}, 40, cv::Scalar(0), 3);
    scan.colRange(0, 20).setTo(255);
    cv::imwrite((dir / "in" / "greypaper.jpg").string(), scan);
  }

  bool box_open() const { return message_box_open(display, window); }
};

TEST_F(refusals, OpenSketchShowsWhyInAMessageBoxAndMakesNoFolder) {
  struct refused {
    const char* file;
    const char* reason;  // in the box's text, which standard error repeats
  };
  const refused cases[] = {
      {"black.png", "every pixel is ink, so there is no stroke to trace"},
      {"white.png", "no pixel is ink under the ink threshold"},
      {"notimage.png", "not an image that can be decoded"},
      {"empty.png", "the file is empty"},
  };
  for (const refused& c : cases) {
    SCOPED_TRACE(c.file);
    const std::size_t said_before = count_of(log(), c.reason);
    answer_dialog("ctrl+o", "Open File", c.file);
    ASSERT_TRUE(wait_until([&] { return box_open(); }, 10000)) << "no message box\n" << log();
    pause_ms(300);
    run(display, "import -window root png:" + (dir / (std::string("refused_") + c.file)).string());
    EXPECT_GT(count_of(log(), c.reason), said_before) << log();
    run(display, "xdotool key Return");
    ASSERT_TRUE(wait_until([&] { return !box_open(); }, 10000)) << "the box stays open";
    const std::string stem = fs::path(c.file).stem().string();
    EXPECT_FALSE(fs::exists(dir / "out" / stem)) << "a folder for a drawing that was not opened";
  }
  EXPECT_EQ(log().find("Energy"), std::string::npos) << log();
  EXPECT_EQ(log().find("Extraction of topological graph"), std::string::npos) << log();

  // Grey paper: the threshold advice in a box, then the extraction runs.
  answer_dialog("ctrl+o", "Open File", "greypaper.jpg");
  ASSERT_TRUE(wait_until([&] { return box_open(); }, 10000)) << "no advice\n" << log();
  pause_ms(300);
  run(display, "import -window root png:" + (dir / "advice.png").string());
  EXPECT_NE(log().find("greypaper.jpg: "), std::string::npos) << log();
  EXPECT_NE(log().find("% of the image is ink under the ink threshold"), std::string::npos) << log();
  EXPECT_EQ(log().find("Extraction of topological graph"), std::string::npos) << "started before the advice was read";
  run(display, "xdotool key Return");
  ASSERT_TRUE(wait_until([&] { return log().find("Number of curves:") != std::string::npos; }, 60000)) << log();
  EXPECT_TRUE(fs::exists(dir / "out" / "greypaper"));
  EXPECT_FALSE(app.exited());
}

// A page that is nearly all ink, under an address-space limit set on the running program
// that leaves room for the page's images but not for its extraction.
struct memory_limit : refusals {
  void prepare() override {
    cv::Mat page(3000, 4000, CV_8UC1, cv::Scalar(128));
    cv::rectangle(page, cv::Point(100, 100), cv::Point(400, 400), cv::Scalar(255), cv::FILLED);
    cv::imwrite((dir / "in" / "inkpage.png").string(), page);
  }

  long address_space_kb() const {
    std::ifstream status("/proc/" + std::to_string(app.pid) + "/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("VmSize:", 0) == 0) return std::stol(line.substr(7));
    return -1;
  }
};

// The memory runs out in a real process: a box says so, the program goes on, and the
// sketch opened next is traced.
TEST_F(memory_limit, RunningOutOfMemoryShowsABoxAndTheProgramGoesOn) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit leaves";
#endif
  const long kb = address_space_kb();
  ASSERT_GT(kb, 0);
  const long long limit = (kb + 1500LL * 1024) * 1024;
  int status = -1;
  run("", "prlimit --pid " + std::to_string(app.pid) + " --as=" + std::to_string(limit), &status);
  ASSERT_EQ(status, 0);

  answer_dialog("ctrl+o", "Open File", "inkpage.png");
  const auto said = [&](const char* what) { return log().find(what) != std::string::npos; };
  ASSERT_TRUE(wait_until([&] { return app.exited() || said("Not enough memory") || said("% of the image is ink"); }, 60000))
      << log();
  if (!said("Not enough memory")) {  // the ink advice comes first
    ASSERT_TRUE(wait_until([&] { return box_open(); }, 10000)) << log();
    run(display, "xdotool key Return");
    ASSERT_TRUE(wait_until([&] { return app.exited() || said("Not enough memory"); }, 120000)) << log();
  }
  ASSERT_FALSE(app.exited()) << log();
  // Where it runs out depends on the machine: most likely in the extraction, which then
  // gives the threshold advice again.
  const std::string page = (dir / "in" / "inkpage.png").string();
  const bool in_a_step = said(("Not enough memory to trace the sketch " + page + " (").c_str());
  EXPECT_TRUE(in_a_step || said(("Not enough memory to open the sketch " + page + ".").c_str())) << log();
  if (in_a_step) {
    EXPECT_NE(log().find("The run is stopped and the view keeps what it showed"), std::string::npos) << log();
  }
  ASSERT_TRUE(wait_until([&] { return box_open(); }, 10000)) << "no message box\n" << log();
  pause_ms(300);
  run(display, "import -window root png:" + (dir / "out_of_memory.png").string());
  run(display, "xdotool key Return");
  ASSERT_TRUE(wait_until([&] { return !box_open(); }, 10000)) << "the box stays open";

  cv::Mat opened;
  layout where;
  EXPECT_TRUE(open_sketch("house.png", opened, where));
  EXPECT_FALSE(app.exited()) << log();
}

// Opening a sketch whose images do not fit in what is left keeps the drawing shown.
TEST_F(memory_limit, ASketchTooLargeToOpenKeepsTheDrawingShown) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit leaves";
#endif
  cv::Mat opened;
  layout where;
  ASSERT_TRUE(open_sketch("house.png", opened, where));
  const long kb = address_space_kb();
  ASSERT_GT(kb, 0);
  // Room for the page's file and its decoding, not for its doubled float image (192 MB).
  int status = -1;
  run("", "prlimit --pid " + std::to_string(app.pid) + " --as=" + std::to_string((kb + 100LL * 1024) * 1024), &status);
  ASSERT_EQ(status, 0);

  answer_dialog("ctrl+o", "Open File", "inkpage.png");
  const std::string page = (dir / "in" / "inkpage.png").string();
  ASSERT_TRUE(wait_until([&] { return app.exited() || box_open(); }, 30000)) << log();
  ASSERT_FALSE(app.exited()) << log();
  EXPECT_NE(log().find("Not enough memory to open the sketch " + page + ".\nThe drawing shown before stays"),
            std::string::npos)
      << log();
  run(display, "xdotool key Return");
  ASSERT_TRUE(wait_until([&] { return !box_open(); }, 10000)) << "the box stays open";
  pause_ms(500);
  const cv::Mat after = screenshot("after");
  EXPECT_LT(differing_pixels(opened(where.view), after(where.view)), 200) << "the drawing went";
  EXPECT_EQ(log().find("Extraction of topological graph", log().find("inkpage.png")), std::string::npos) << log();
  EXPECT_FALSE(app.exited());
}

// Where the buttons of the control panel are: Merge, Split and Freeze beside the red,
// blue and green legend bars, Unselect beside Optimize, in the panel's right column.
struct buttons {
  cv::Point merge, split, freeze, unselect;
};

bool find_buttons(const cv::Mat& shot, const layout& where, buttons& out) {
  const auto bar_row = [&](auto is_colour) {
    int sum = 0, n = 0;
    for (int y = where.view.y + where.view.height; y < shot.rows; ++y)
      for (int x = 0; x < shot.cols / 3; ++x)
        if (is_colour(shot.at<cv::Vec3b>(y, x))) {
          sum += y;
          ++n;
        }
    return n > 20 ? sum / n : -1;
  };
  const int red = bar_row([](cv::Vec3b c) { return c[2] > 200 && c[1] < 60 && c[0] < 60; });
  const int blue = bar_row([](cv::Vec3b c) { return c[0] > 200 && c[1] < 60 && c[2] < 60; });
  const int green = bar_row([](cv::Vec3b c) { return c[1] > 100 && c[1] < 170 && c[0] < 60 && c[2] < 60; });
  // The Unselect button's borders on Optimize's row, in the right quarter.
  int x0 = shot.cols, x1 = -1;
  for (int x = 3 * shot.cols / 4; x < shot.cols - 2; ++x) {
    const cv::Vec3b c = shot.at<cv::Vec3b>(where.optimize.y, x);
    if (c[0] < 170 && c[1] < 170 && c[2] < 170) {
      x0 = std::min(x0, x);
      x1 = std::max(x1, x);
    }
  }
  if (red < 0 || blue < 0 || green < 0 || x1 - x0 < 30) return false;
  const int x = (x0 + x1) / 2;
  out = {{x, red}, {x, blue}, {x, green}, {x, where.optimize.y}};
  return true;
}

// Pixels of the selection's green in the view.
int selected_pixels(const cv::Mat& view) {
  int n = 0;
  for (int y = 0; y < view.rows; ++y)
    for (int x = 0; x < view.cols; ++x) {
      const cv::Vec3b c = view.at<cv::Vec3b>(y, x);
      if (c[1] > 100 && c[0] < 80 && c[2] < 80) ++n;
    }
  return n;
}

// In freeze mode each pick freezes and empties the selection, so no pair is ever left
// for Split or Merge: each of the three buttons must end the mode by itself.
TEST_F(real_session, SplitMergeAndUnselectEndFreezeModeAndAPickThereSaysWhatItFroze) {
  cv::Mat opened;
  layout where;
  ASSERT_TRUE(open_sketch("house.png", opened, where));
  buttons at;
  ASSERT_TRUE(find_buttons(opened, where, at)) << "no buttons in " << (dir / "opened.png");
  const cv::Rect status(0, where.optimize.y + 25, opened.cols, opened.rows - where.optimize.y - 25);
  // Any point of the drawing picks its nearest fragment.
  const cv::Point pick(where.view.x + where.view.width / 2, where.view.y + where.view.height / 2);
  const auto right_click = [&] {
    run(display, "xdotool mousemove --window " + window + " " + std::to_string(pick.x) + " " +
                     std::to_string(pick.y) + " click 3");
    pause_ms(400);
  };
  ASSERT_EQ(selected_pixels(opened(where.view)), 0);

  const std::pair<const char*, cv::Point> enders[] = {{"split", at.split}, {"merge", at.merge}, {"unselect", at.unselect}};
  for (const auto& [name, button] : enders) {
    SCOPED_TRACE(name);
    click(at.freeze.x, at.freeze.y);
    const cv::Mat freezing = screenshot(std::string("freezing_") + name);
    right_click();
    const cv::Mat frozen = screenshot(std::string("frozen_") + name);
    EXPECT_EQ(selected_pixels(frozen(where.view)), 0) << "a pick in freeze mode selected";
    EXPECT_GT(differing_pixels(freezing(status), frozen(status)), 100) << "the pick said nothing in the status bar";

    click(button.x, button.y);
    right_click();
    const cv::Mat picked = screenshot(std::string("picked_after_") + name);
    EXPECT_GT(selected_pixels(picked(where.view)), 50) << name << " left freeze mode on";
    click(at.unselect.x, at.unselect.y);
    EXPECT_EQ(selected_pixels(screenshot(std::string("unselected_") + name)(where.view)), 0);
  }
  EXPECT_FALSE(app.exited());
}

}  // namespace

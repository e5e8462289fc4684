// What the real program shows of a drawing: the zoom keys, the refined curves of a
// session that begins with Open Graph, and a drawing reopened after its run ended.

#include <filesystem>
#include <fstream>
#include <string>

#include <opencv2/imgproc.hpp>

#include "window/real_session.h"

namespace {

using namespace real_x;

// A run short enough to end within the test.
class real_drawing_session : public real_session {
 protected:
  void prepare() override { std::ofstream(dir / "config" / "recuit.conf") << "recuit 200000 1 0.9999 0.25 0.01\n"; }

  // Starts the program again in the same X session: a fresh program, same folder.
  void restart() {
    key("Escape");
    ASSERT_TRUE(wait_until([&] { return app.exited(); }, 15000));
    app.start({VELLUMTRACE_GUI_EXE}, display, dir, dir / "app.log");
    ASSERT_TRUE(wait_until([&] { return find_main_window(); }, 60000)) << "no window of vellumtrace";
    pause_ms(500);
  }
};

// Pixels of the view that are not paper: the sketch's ink and the curves.
cv::Rect drawing_box(const cv::Mat& view) {
  cv::Mat grey, ink;
  cv::cvtColor(view, grey, cv::COLOR_BGR2GRAY);
  cv::threshold(grey, ink, 200, 255, cv::THRESH_BINARY_INV);
  return cv::boundingRect(ink);
}

// The refined curves (blue) and their end points (light blue).
cv::Mat blue_curves(const cv::Mat& view) {
  cv::Mat mask;
  cv::inRange(view, cv::Scalar(200, 0, 0), cv::Scalar(255, 60, 60), mask);
  return mask;
}
int light_blue_points(const cv::Mat& view) {
  cv::Mat mask;
  cv::inRange(view, cv::Scalar(230, 100, 100), cv::Scalar(255, 160, 160), mask);
  return cv::countNonZero(mask);
}

TEST_F(real_drawing_session, ZoomKeysTheRefinedCurvesAfterOpenGraphAndAReopenedFinishedRun) {
  cv::Mat opened;
  layout where;
  ASSERT_TRUE(open_sketch("house.png", opened, where));

  // "-" shrinks the drawing about the view's centre, step by step, and "+" brings it
  // back: from 1/2 to 1/3 and 1/4, never upside down at the same size or to a dot.
  click(where.view.width / 8, where.view.y + where.view.height / 2);
  const cv::Rect half = drawing_box(screenshot("half")(where.view));
  ASSERT_GT(half.width, 200) << "nothing drawn in " << (dir / "half.png");
  const struct {
    const char* key;
    double scale;  // of the drawing at zoom 1/2
  } zoom_steps[] = {{"minus", 2.0 / 3}, {"minus", 0.5}, {"plus", 2.0 / 3}, {"plus", 1}};
  int shot = 0;
  for (const auto& step : zoom_steps) {
    key(step.key);
    pause_ms(400);
    const std::string name = "zoom_" + std::to_string(shot++);
    const cv::Rect box = drawing_box(screenshot(name)(where.view));
    SCOPED_TRACE(name);
    EXPECT_NEAR(box.width, half.width * step.scale, half.width * 0.06);
    EXPECT_NEAR(box.height, half.height * step.scale, half.height * 0.06);
    EXPECT_NEAR(box.x + box.width / 2, half.x + half.width / 2, 12);
    EXPECT_NEAR(box.y + box.height / 2, half.y + half.height / 2, 12);
  }
  // Zoomed in to 1, "-" goes back to 1/2, not to 0.
  const cv::Mat back = screenshot("back");
  key("plus");
  pause_ms(400);
  key("minus");
  pause_ms(400);
  EXPECT_LT(differing_pixels(back(where.view), screenshot("in_and_out")(where.view)), 200);

  // Saved after the extraction; a fresh program opens it first: its run is drawn blue,
  // with the end points, as one from a sketch is.
  answer_dialog("ctrl+s", "Save File", "extracted");
  ASSERT_TRUE(wait_until([&] { return fs::exists(dir / "in" / "extracted.graph"); }, 10000));
  restart();
  answer_dialog("ctrl+g", "Open File", "extracted.graph");
  ASSERT_TRUE(wait_until([&] { return log().find("house.png") != std::string::npos; }, 10000)) << log();
  pause_ms(500);
  ASSERT_TRUE(find_layout(screenshot("reopened_extracted"), where));
  click(where.optimize.x, where.optimize.y);
  ASSERT_TRUE(wait_until([&] { return log().find("energy : ") != std::string::npos; }, 60000)) << log();
  pause_ms(800);
  const cv::Mat ended = screenshot("ended")(where.view);
  const cv::Mat ended_blue = blue_curves(ended);
  EXPECT_GT(cv::countNonZero(ended_blue), 1500) << "the refined curves are not blue in " << (dir / "ended.png");
  EXPECT_GT(light_blue_points(ended), 20) << "no end points in " << (dir / "ended.png");

  // Saved after the run ended and reopened: the result shows as the end showed it, and
  // Optimize writes its result picture and says so.
  answer_dialog("ctrl+s", "Save File", "ended");
  ASSERT_TRUE(wait_until([&] { return fs::exists(dir / "in" / "ended.graph"); }, 10000));
  const fs::path result = dir / "out" / "house" / "house_bezier_end.svg";
  ASSERT_TRUE(fs::exists(result));
  fs::remove(result);
  const std::size_t opened_before = count_of(log(), "house.png");
  answer_dialog("ctrl+g", "Open File", "ended.graph");
  ASSERT_TRUE(wait_until([&] { return count_of(log(), "house.png") > opened_before; }, 10000)) << log();
  pause_ms(800);
  const cv::Mat reopened = screenshot("reopened_ended")(where.view);
  const cv::Mat reopened_blue = blue_curves(reopened);
  EXPECT_GT(cv::countNonZero(reopened_blue), 1500) << "no result in " << (dir / "reopened_ended.png");
  EXPECT_LT(differing_pixels(ended_blue, reopened_blue), cv::countNonZero(ended_blue) / 10)
      << "the reopened result differs from the run's end: " << (dir / "ended.png") << ", "
      << (dir / "reopened_ended.png");
  click(where.optimize.x, where.optimize.y);
  EXPECT_TRUE(wait_until([&] { return fs::exists(result); }, 20000)) << log();
  EXPECT_NE(log().find("its result is written to"), std::string::npos) << log();
  EXPECT_EQ(log().find("There is a problem"), std::string::npos);

  key("Escape");
  EXPECT_TRUE(wait_until([&] { return app.exited(); }, 15000));
}

}  // namespace

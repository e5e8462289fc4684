#include "window_session.h"

#include <algorithm>
#include <filesystem>

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QSlider>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace {

using window_test::on_one_curve;
using window_test::window_session;

// Up to n index keys spread over the drawing, in fragment-list order (the index's own
// order is that of addresses, which changes from run to run).
std::vector<f_curve*> some_keys(const gl_widget& gl, std::size_t n) {
  std::vector<f_curve*> keys;
  for (const auto& [layer, entries] : gl.pick_index)
    for (f_curve& f : layer->f_curves)
      if (entries.count(&f)) keys.push_back(&f);
  std::vector<f_curve*> out;
  for (std::size_t i = 0; i < std::min(n, keys.size()); ++i) out.push_back(keys[i * keys.size() / std::min(n, keys.size())]);
  return out;
}

// Ctrl+click and right click on a drawn curve pick its fragment, in the start view and
// after zooming and panning: the pick inverts the mapping the curves are drawn with.
class PickingOnExamples : public testing::TestWithParam<const char*> {};

TEST_P(PickingOnExamples, AClickOnADrawnCurvePicksItsFragmentAlsoAfterZoomAndPan) {
  window_session s(200);
  const std::string name = GetParam();
  ASSERT_TRUE(s.open_sketch(s.folder.add_example(name + ".png")));
  const std::vector<f_curve*> all = some_keys(*s.gl, 1000);
  std::vector<f_curve*> keys = some_keys(*s.gl, 6);
  ASSERT_EQ(keys.size(), 6u);
  auto check_views = [&](const char* view) {
    SCOPED_TRACE(view);
    const cv::Mat frame = s.read_frame();
    window_test::save_test_picture(frame, "picking_" + name + "_" + view + ".png");
    for (std::size_t i = 0; i < keys.size(); ++i) {
      const QPoint at = s.widget_point(s.index_midpoint(keys[i]));
      ASSERT_TRUE(s.gl->rect().contains(at));
      // The initial curves (red, their end points pink) are drawn where the pick expects them.
      const cv::Vec4b pixel = frame.at<cv::Vec4b>(at.y(), at.x());
      EXPECT_GE(pixel[2], 200) << "no curve drawn at " << at.x() << "," << at.y();
      EXPECT_GE(pixel[2] - pixel[1], 100) << "no curve drawn at " << at.x() << "," << at.y();
      // A pick at an even position searches every layer; every second pick only the
      // first pick's layer (one layer here).
      if (i % 2 == 0)
        s.ctrl_click(at);
      else
        s.right_click(at);
      ASSERT_FALSE(s.gl->selection.empty());
      EXPECT_EQ(s.gl->selection.back().second, keys[i]) << "pick " << i;
    }
    s.press("Unselect");
    EXPECT_TRUE(s.gl->selection.empty());
  };
  check_views("start");
  // Two notches in (1/2 -> 1 -> 2), then a drag of the drawing.
  s.wheel(120);
  s.wheel(120);
  EXPECT_EQ(s.gl->zoom, 2.0f);
  const QPoint centre(s.gl->width() / 2, s.gl->height() / 2);
  const glm::dvec2 key_point = s.index_midpoint(keys[2]);
  const QPoint before = s.widget_point(key_point);
  const QPoint shift(-(before.x() - centre.x()), -(before.y() - centre.y()));  // bring it to the centre
  s.drag(centre, centre + shift);
  const QPoint after = s.widget_point(key_point);
  EXPECT_NEAR(after.x(), before.x() + shift.x(), 1);  // the drawing follows the pointer
  EXPECT_NEAR(after.y(), before.y() + shift.y(), 1);
  // Only the curves still inside the view can be clicked.
  keys.clear();
  for (f_curve* f : all)
    if (keys.size() < 6 && s.gl->rect().adjusted(5, 5, -5, -5).contains(s.widget_point(s.index_midpoint(f))))
      keys.push_back(f);
  ASSERT_GE(keys.size(), 4u);
  check_views("zoomed_and_panned");
}

INSTANTIATE_TEST_SUITE_P(Sketches, PickingOnExamples, testing::Values("house", "fish", "boat"));

TEST(Picking, PlainLeftPressesAndCtrlShiftDoNotPick) {
  window_session s(200);
  // Before the extraction nothing can be picked, and nothing breaks.
  s.ctrl_click(QPoint(100, 100));
  EXPECT_TRUE(s.gl->selection.empty());
  ASSERT_TRUE(s.open_sketch(s.folder.add_example("house.png")));
  const QPoint at = s.widget_point(s.index_midpoint(s.gl->pick_index.begin()->second.begin()->first));
  QTest::mouseClick(s.gl, Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseClick(s.gl, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier, at);
  EXPECT_TRUE(s.gl->selection.empty());
  QTest::mouseClick(s.gl, Qt::RightButton, Qt::ShiftModifier, at);
  EXPECT_EQ(s.gl->selection.size(), 1u);
}

TEST(Picking, WheelAndKeysZoomAndPanAsSpecified) {
  window_session s(200);
  ASSERT_TRUE(s.open_sketch(s.folder.add_example("house.png")));
  std::vector<float> zooms;
  for (int delta : {120, 120, 120, -120, -120, -120}) {
    s.wheel(delta);
    zooms.push_back(s.gl->zoom);
  }
  EXPECT_EQ(zooms, (std::vector<float>{1, 2, 3, 2, 1, 0.5f}));
  s.wheel(-120);
  EXPECT_EQ(s.gl->zoom, 1.0f / 3);
  s.wheel(240);  // two notches at once
  EXPECT_EQ(s.gl->zoom, 1.0f);
  // The keys step as the wheel does, never to 0 or below (the drawing would shrink to a
  // dot and then turn upside down).
  std::vector<float> key_zooms;
  for (Qt::Key k : {Qt::Key_Minus, Qt::Key_Minus, Qt::Key_Plus, Qt::Key_Plus, Qt::Key_Plus}) {
    QTest::keyRelease(s.gl, k);
    key_zooms.push_back(s.gl->zoom);
  }
  EXPECT_EQ(key_zooms, (std::vector<float>{0.5f, 1.0f / 3, 0.5f, 1, 2}));
  const float x = s.gl->pan_x, y = s.gl->pan_y;
  QTest::keyRelease(s.gl, Qt::Key_Left);
  EXPECT_FLOAT_EQ(s.gl->pan_x, x + 5 / s.gl->widget_width / 2);
  QTest::keyRelease(s.gl, Qt::Key_Down);
  EXPECT_FLOAT_EQ(s.gl->pan_y, y + 5 / s.gl->widget_height / 2);
  // Key presses alone do nothing; the handler acts on release.
  QTest::keyPress(s.gl, Qt::Key_Plus);
  EXPECT_EQ(s.gl->zoom, 2.0f);
}

// Keys as the window delivers them: to the widget with the focus, which a click into the
// view gives it; "+" typed as Shift and "=", Shift let go before "=".
TEST(Picking, KeysReachTheViewThroughTheWindowsFocus) {
  window_session s(200);
  ASSERT_TRUE(s.open_sketch(s.folder.add_example("house.png")));
  s.press("Unselect");  // the focus goes to the button, as a click gives it
  ASSERT_NE(QApplication::focusWidget(), s.gl);
  QTest::mouseClick(s.gl, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  ASSERT_EQ(QApplication::focusWidget(), s.gl);
  const auto send = [](QEvent::Type type, int key, Qt::KeyboardModifiers mods, quint32 scan_code) {
    QKeyEvent event(type, key, mods, scan_code, 0, 0);
    QApplication::sendEvent(QApplication::focusWidget(), &event);
  };
  ASSERT_EQ(s.gl->zoom, 0.5f);
  const quint32 shift = 50, equal = 21;  // X key codes of a US keyboard
  send(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier, shift);
  send(QEvent::KeyPress, Qt::Key_Plus, Qt::ShiftModifier, equal);
  send(QEvent::KeyRelease, Qt::Key_Shift, Qt::NoModifier, shift);
  send(QEvent::KeyRelease, Qt::Key_Equal, Qt::NoModifier, equal);
  EXPECT_EQ(s.gl->zoom, 1.0f);  // one step in from 1/2
  const int iteration = s.gl->iteration_slider->value();
  const float pan = s.gl->pan_x;
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
  EXPECT_GT(s.gl->pan_x, pan);
  EXPECT_EQ(s.gl->iteration_slider->value(), iteration);  // no slider moved, no run started
  EXPECT_EQ(QApplication::focusWidget(), s.gl);
}

TEST(Picking, SnapshotKeysWritePicturesOfTheView) {
  window_session s(200);
  ASSERT_TRUE(s.open_sketch(s.folder.add_example("house.png")));
  s.gl->snapshot_prefix = s.folder.path("snap_");
  const cv::Mat frame = s.read_frame();
  for (const Qt::Key key : {Qt::Key_T, Qt::Key_Y}) {
    std::filesystem::remove(s.folder.path("snap_color.png"));
    std::filesystem::remove(s.folder.path("snap_depth.png"));
    QTest::keyRelease(s.gl, key);
    const cv::Mat color = cv::imread(s.folder.path("snap_color.png"), cv::IMREAD_COLOR);
    ASSERT_FALSE(color.empty());
    EXPECT_TRUE(std::filesystem::exists(s.folder.path("snap_depth.png")));
    ASSERT_EQ(color.rows, frame.rows);
    ASSERT_EQ(color.cols, frame.cols);
    // The picture is the view: the same pixels, whichever way up the file stores them.
    cv::Mat bgr, flipped;
    cv::cvtColor(frame, bgr, cv::COLOR_BGRA2BGR);
    cv::flip(color, flipped, 0);
    const double same = std::min(cv::norm(color, bgr, cv::NORM_L1), cv::norm(flipped, bgr, cv::NORM_L1));
    EXPECT_LT(same / (color.total() * 3), 2.0);
    // Not blank: it shows red curves over the sketch.
    cv::Scalar mean = cv::mean(color);
    EXPECT_LT(mean[1], 250);
  }
}

}  // namespace

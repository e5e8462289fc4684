// Figures for the view's two regular costs: one frame of a large network, and one
// confirmation (on_thread_end with its refresh) during an optimisation. Printed, and
// bounded loosely so that only a gross slowdown fails.
#include "view_session.h"

#include <algorithm>
#include <numeric>
#include <chrono>
#include <random>

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

#include "support/sketch_fixtures.h"

namespace {

using clock_type = std::chrono::steady_clock;

double ms_since(clock_type::time_point t0) {
  return std::chrono::duration<double, std::milli>(clock_type::now() - t0).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// A lattice of slightly bent cubics over a size x size image, one layer: n x (n - 1)
// horizontal and as many vertical curves meeting at n x n shared ends.
void fill_cubic_lattice(curve_network& network, int n, int size) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> bend(-6, 6);
  const double step = size / (n + 1.0);
  layer_graph& lg = network.emplace_back();
  const auto add = [&](glm::dvec2 a, glm::dvec2 b) {
    const glm::dvec2 d = b - a, normal(-d.y / glm::length(d), d.x / glm::length(d));
    curve& c = lg.curves.emplace_back();
    c.v_segment.emplace_back().v_ctrl_point = {a, a + d / 3.0 + normal * bend(rng), a + d * (2.0 / 3.0) + normal * bend(rng), b};
  };
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j < n; ++j) {
      add({j * step, i * step}, {(j + 1) * step, i * step});
      add({i * step, j * step}, {i * step, (j + 1) * step});
    }
}

TEST(GlWidgetPerformance, OneFrameOfAThousandCurves) {
  view_test::session s(100, 1024, 1024);
  s.view.input_image = cv::Mat(1024, 1024, CV_32FC1, cv::Scalar(1));
  fill_cubic_lattice(s.view.network, 23, 1024);  // 1012 curves
  s.view.makeCurrent();
  s.view.make_image_tex(s.view.input_image, "input_image", 0.9f);
  // As after a few slices: the initial set and the result set, both of the whole network.
  s.view.build_curve_drawables(&s.view.vbo_initial, "bezier_ctp_ini", 0.8f, glm::vec3(1, 0, 0));
  s.view.build_curve_drawables(&s.view.vbo_result, "bezier_ctp_rec", 0.78f, glm::vec3(0, 0, 1));
  std::vector<double> frames;
  for (int i = 0; i < 7; ++i) {
    const auto t0 = clock_type::now();
    s.view.updateGL();
    s.view.makeCurrent();
    glFinish();
    frames.push_back(ms_since(t0));
  }
  const double frame = median(frames);
  std::cout << "paintGL, 1000 curves (initial and result sets), 1024 x 1024: " << frame << " ms" << std::endl;
  view_test::save_test_picture(s.read_frame(), "thousand_curves.png");
  EXPECT_LT(frame, 2000);
}

TEST(GlWidgetPerformance, ConfirmationDuringAnOptimisationOfThreeHundredCurves) {
  view_test::session s(50000000, 1024, 1024);
  srand(3);
  s.open_sketch(s.folder.add_sketch("many.png", fixtures::random_drawing(400, 75, 3)));
  ASSERT_TRUE(s.wait_for_step(11, 120000));
  s.view.worker.optimiser.gen.seed(11);
  const std::size_t nb_curve = view_test::curve_count(s.view.network);

  // The confirmations, timed: the view's slot is called from a timed wrapper instead.
  QObject::disconnect(&s.view.worker, SIGNAL(job_end()), &s.view, SLOT(on_thread_end()));
  std::vector<double> confirmations;
  QObject timing;
  QObject::connect(&s.view.worker, &data_thread::job_end, &timing, [&] {
    const auto t0 = clock_type::now();
    s.view.on_thread_end();
    confirmations.push_back(ms_since(t0));
  }, Qt::QueuedConnection);
  // The event loop's longest silence while the slices run: how long a click would wait.
  double longest_gap = 0;
  QElapsedTimer since_tick;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    longest_gap = std::max(longest_gap, static_cast<double>(since_tick.restart()));
  });

  s.press_optimize();
  since_tick.start();
  tick.start(5);
  ASSERT_TRUE(s.wait_for([&] { return confirmations.size() >= 40; }, 120000));
  tick.stop();
  s.view.stop_and_join_worker();

  const double mean = std::accumulate(confirmations.begin(), confirmations.end(), 0.0) / confirmations.size();
  std::cout << "confirmation with refresh, " << nb_curve << " curves: median " << median(confirmations)
            << " ms, mean " << mean << " ms, longest "
            << *std::max_element(confirmations.begin(), confirmations.end())
            << " ms; longest event-loop gap " << longest_gap << " ms" << std::endl;
  EXPECT_GT(nb_curve, 200u);
  EXPECT_LT(median(confirmations), 1000);
}

}  // namespace

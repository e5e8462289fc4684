#include "view_session.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <glm/gtc/matrix_transform.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "app/batch_tests.h"
#include "app/q_slider_change_alpha.h"
#include "gl/shader_registry.h"
#include "gl/texture.h"
#include "io/graph_stream.h"
#include "io/output_names.h"
#include "pipeline/extract_layers.h"
#include "pipeline/extract_nodes.h"
#include "pipeline/load_sketch.h"
#include "pipeline/trace_edge_one_node.h"
#include "qt_support/crafted_graph.h"
#include "support/extraction_steps.h"
#include "support/network_checker.h"
#include "support/sketch_fixtures.h"
#include "support/small_disk.h"

namespace {

std::size_t count_lines_with(const std::string& text, const std::string& line) {
  std::istringstream in(text);
  std::size_t n = 0;
  for (std::string l; std::getline(in, l);)
    if (l == line) ++n;
  return n;
}

using view_test::curve_count;
using view_test::session;
namespace fs = std::filesystem;

// A frame with six grass blades (open strokes), a stem on its left and a ball beside it:
// loops, junctions, free ends and round strokes.
cv::Mat garden() {
  cv::Mat s = fixtures::blank_sketch(120, 190);
  const cv::Scalar ink(0);
  cv::rectangle(s, cv::Point(30, 50), cv::Point(130, 105), ink, 3);
  for (int i = 0; i < 6; ++i) cv::line(s, cv::Point(40 + 17 * i, 50), cv::Point(36 + 17 * i + 6 * (i % 2), 12), ink, 3);
  cv::line(s, cv::Point(30, 80), cv::Point(6, 80), ink, 3);
  cv::circle(s, cv::Point(165, 80), 10, ink, 3);
  return s;
}

// The protected GL overrides, reached as Qt reaches them.
struct gl_access : gl_widget {
  static void resize_gl(gl_widget& v, int w, int h) { (v.*(&gl_access::resizeGL))(w, h); }
};

template <class T>
T* drawable(gl_widget& view, const std::string& name) {
  auto found = view.scene.find(name);
  return found == view.scene.end() ? nullptr : dynamic_cast<T*>(found->second);
}

// The four drawables of a curve set, with their expected depth and colour.
void expect_curve_set(gl_widget& view, const std::string& set, float depth, glm::vec3 colour) {
  SCOPED_TRACE(set);
  auto* d1 = drawable<gl_bezier_deg_1>(view, set + "_1");
  auto* d2 = drawable<gl_bezier_deg_2>(view, set + "_2");
  auto* d3 = drawable<gl_bezier_deg_3>(view, set + "_3");
  auto* nodes = drawable<gl_bezier_node>(view, set + "_node");
  ASSERT_TRUE(d1 && d2 && d3 && nodes);
  for (float d : {d1->depth, d2->depth, d3->depth}) EXPECT_FLOAT_EQ(d, depth);
  for (glm::vec3 c : {d1->colour, d2->colour, d3->colour}) EXPECT_EQ(c, colour);
  EXPECT_FLOAT_EQ(nodes->depth, depth - 0.01f);
  EXPECT_EQ(nodes->colour, colour + glm::vec3(0.5f));
  EXPECT_FLOAT_EQ(nodes->ratio, view.image_view_width / view.image_view_height);
}

bool is_blue_curve(const cv::Vec4b& p) { return p[0] > 200 && p[1] < 60 && p[2] < 60; }

// Where the pixel (column, row from the top) of the frame shows the input image.
glm::vec2 image_point(const gl_widget& view, int column, int row) {
  const float gl_y = view.widget_height - 1 - row;
  const float ndc_x = (column + 0.5f - view.viewport[0]) / view.viewport[2] * 2 - 1;
  const float ndc_y = (gl_y + 0.5f - view.viewport[1]) / view.viewport[3] * 2 - 1;
  const float u = (ndc_x / view.zoom - view.pan_x + 1) / 2;
  const float v = (1 - (ndc_y / view.zoom - view.pan_y)) / 2;
  return {u * view.input_image.cols, v * view.input_image.rows};
}

// ---- construction and drawing without an image -------------------------------------

TEST(GlWidgetConstruction, SettingsControlsAndCameraFromTheConfigurationFiles) {
  view_test::work_folder folder("view", 100);
  std::ofstream("config/region.conf") << "150 40 0.5 3\n";
  std::ofstream("config/min_nb_pixel_in_layer.conf") << "25\n";
  std::ofstream("config/merge_all_layer.conf") << "0\n";
  std::ofstream("config/do_some_stuff.conf") << "7\n";
  gl_widget view;
  EXPECT_EQ(main_gl_widget, nullptr);  // the window sets it afterwards
  EXPECT_EQ(view.worker.region_params.least_depth, 150);
  EXPECT_EQ(view.region_spin_box->value(), 100);  // clamped; the worker keeps 150
  EXPECT_EQ(view.min_nb_pixel_in_layer, 25);
  EXPECT_TRUE(view.separate_layers);
  EXPECT_EQ(view.nb_edge_one_node, 7);
  EXPECT_EQ(view.open_curves_spin_box->value(), 7);
  EXPECT_EQ(view.open_curves_spin_box->maximum(), 1000);
  EXPECT_EQ(view.open_length_spin_box->value(), 30);
  EXPECT_FLOAT_EQ(view.degree_penalty, 1.0f / 3.0f);
  EXPECT_EQ(view.allowed_degree[1] + view.allowed_degree[2] + view.allowed_degree[3], 3);
  EXPECT_EQ(view.zoom, 0.5f);
  EXPECT_EQ(view.iteration_slider->orientation(), Qt::Horizontal);

  // The spin boxes reach the settings that the worker reads.
  view.region_spin_box->setValue(12);
  view.open_curves_spin_box->setValue(3);
  view.open_length_spin_box->setValue(44);
  EXPECT_EQ(view.worker.region_params.least_depth, 12);
  EXPECT_EQ(view.nb_edge_one_node, 3);
  EXPECT_EQ(view.size_edge_one_node, 44);

  // Camera: 16 back, then 30 degrees about x and -30 about y.
  glm::mat4 expected = glm::translate(glm::mat4(1), glm::vec3(0, 0, -16));
  expected = glm::rotate(expected, 0.5235988f, glm::vec3(1, 0, 0));
  expected = glm::rotate(expected, -0.5235988f, glm::vec3(0, 1, 0));
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) EXPECT_NEAR(view.model[c][r], expected[c][r], 1e-6);
}

TEST(GlWidgetDrawing, BeforeAnyImageTheViewportIsFiniteAndTheFrameBlank) {
  session s(100);
  for (float v : s.view.viewport) EXPECT_TRUE(std::isfinite(v));
  EXPECT_EQ(s.view.viewport[2], s.view.widget_width);
  EXPECT_TRUE(std::isfinite(s.view.view_scale_x) && std::isfinite(s.view.view_scale_y));
  const cv::Mat frame = s.read_frame();
  ASSERT_FALSE(frame.empty());
  cv::Mat bgr;
  cv::cvtColor(frame, bgr, cv::COLOR_BGRA2BGR);
  EXPECT_EQ(cv::countNonZero(bgr.reshape(1) != 255), 0);
}

TEST(GlWidgetDrawing, ViewportKeepsTheImageAspectAndCoversTheWidget) {
  struct resize_case {
    int w, h, image_cols, image_rows;
    float x, y, vw, vh;
  };
  const resize_case cases[] = {
      {1000, 500, 800, 800, 0, -250, 1000, 1000},
      {400, 600, 1200, 600, -400, 0, 1200, 600},
  };
  session s(100);
  for (const resize_case& c : cases) {
    s.view.input_image = cv::Mat(c.image_rows, c.image_cols, CV_32FC1, cv::Scalar(1));
    gl_access::resize_gl(s.view, c.w, c.h);
    EXPECT_EQ(s.view.viewport[0], c.x);
    EXPECT_EQ(s.view.viewport[1], c.y);
    EXPECT_EQ(s.view.viewport[2], c.vw);
    EXPECT_EQ(s.view.viewport[3], c.vh);
    EXPECT_FLOAT_EQ(s.view.view_scale_x, c.w / c.vw);
    EXPECT_EQ(s.view.widget_width, c.w);
  }
}

// ---- a whole session ---------------------------------------------------------------

TEST(GlWidgetSession, FromOpeningASketchToTheEndOfAnOptimisation) {
  // A full default-length run, so that it spans several 30 ms slices however fast they are.
  const int nb_it = 69062;
  session s(nb_it);
  srand(1);
  s.open_sketch(s.folder.add_sketch("garden.png", garden()));
  ASSERT_TRUE(s.wait_for_step(11));
  // Every extraction step confirmed in order; the worker now waits for Optimize.
  EXPECT_EQ(s.confirmed_steps, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  EXPECT_EQ(s.view.image_stem, "garden");
  EXPECT_TRUE(s.folder.exists("out/garden"));
  EXPECT_TRUE(s.folder.exists("out/garden/garden_graph_topological_with_non_manifols_and_split.svg"));
  ASSERT_GE(curve_count(s.view.network), 12u);
  for (const layer_graph& lg : s.view.network) EXPECT_EQ(check_network(lg), "");

  // The sketch, the regions (invisible: their slider is at 0) and the initial curves.
  auto* input = drawable<Image_tex>(s.view, "input_image");
  auto* regions = drawable<Image_tex>(s.view, "img_region_color_border");
  ASSERT_TRUE(input && regions);
  EXPECT_FLOAT_EQ(input->depth, 0.9f);
  EXPECT_FLOAT_EQ(regions->depth, 0.84f);
  EXPECT_EQ(input->alpha, 1.0f);
  EXPECT_EQ(regions->alpha, 0.0f);
  expect_curve_set(s.view, "bezier_ctp_ini", 0.8f, glm::vec3(1, 0, 0));
  EXPECT_EQ(s.view.scene.count("bezier_ctp_rec_1"), 0u);
  EXPECT_EQ(s.view.pick_index.at(&s.view.network.front()).size(), curve_count(s.view.network));
  EXPECT_EQ(s.view.iteration_slider->maximum(), nb_it);

  // The Initial curves slider drives the four opacities of its set.
  s.sliders[2]->setValue(51);
  EXPECT_FLOAT_EQ(drawable<gl_bezier_deg_1>(s.view, "bezier_ctp_ini_1")->alpha, 0.2f);
  EXPECT_FLOAT_EQ(drawable<gl_bezier_deg_2>(s.view, "bezier_ctp_ini_2")->alpha, 0.2f);
  EXPECT_FLOAT_EQ(drawable<gl_bezier_deg_3>(s.view, "bezier_ctp_ini_3")->alpha, 0.2f);
  EXPECT_FLOAT_EQ(drawable<gl_bezier_node>(s.view, "bezier_ctp_ini_node")->alpha, 0.2f);

  s.view.worker.optimiser.gen.seed(5);
  s.press_optimize();
  EXPECT_EQ(s.optimize_button->text(), "Pause");
  testing::internal::CaptureStdout();
  ASSERT_TRUE(s.wait_for_run_end());
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("U_data="), std::string::npos);
  EXPECT_NE(out.find("energy : "), std::string::npos);
  EXPECT_EQ(s.optimize_button->text(), "Optimize");
  EXPECT_EQ(s.view.worker.optimiser.k, nb_it);
  EXPECT_EQ(s.view.iteration_slider->value(), nb_it);
  EXPECT_GE(s.confirmed_steps.size(), 13u);  // several slices
  // The slider follows the counter without sending it back: every slice goes on from
  // where the last one stopped.
  for (std::size_t i = 12; i < s.confirmed_k.size(); ++i)
    EXPECT_GT(s.confirmed_k[i], s.confirmed_k[i - 1]) << "confirmation " << i;
  // The first slice made the result set blue and bound it to Output; later ones kept it.
  expect_curve_set(s.view, "bezier_ctp_rec", 0.78f, glm::vec3(0, 0, 1));
  // Each Display slider drives its own drawings.
  s.sliders[3]->setValue(102);
  EXPECT_FLOAT_EQ(drawable<gl_bezier_deg_3>(s.view, "bezier_ctp_rec_3")->alpha, 0.4f);
  EXPECT_FLOAT_EQ(drawable<gl_bezier_node>(s.view, "bezier_ctp_rec_node")->alpha, 0.4f);
  EXPECT_FLOAT_EQ(drawable<gl_bezier_deg_3>(s.view, "bezier_ctp_ini_3")->alpha, 0.2f);
  s.sliders[0]->setValue(51);
  EXPECT_FLOAT_EQ(input->alpha, 0.2f);
  s.sliders[1]->setValue(255);
  EXPECT_EQ(regions->alpha, 1.0f);
  s.sliders[0]->setValue(255);
  s.sliders[1]->setValue(0);
  s.sliders[3]->setValue(255);
  EXPECT_EQ(s.view.draw_list.size(), 10u);
  EXPECT_EQ(s.view.view_transforms.size(), 10u);
  for (const layer_graph& lg : s.view.network) EXPECT_EQ(check_network(lg), "");

  // Result files below the output root.
  EXPECT_TRUE(s.folder.exists("out/garden/garden_bezier_end.svg"));
  EXPECT_TRUE(s.folder.exists("out/tmp/recuit_end/garden.svg"));
  EXPECT_TRUE(s.folder.exists("out/tmp/recuit_end/garden_conn_snap_double_blue.svg"));
  EXPECT_TRUE(s.folder.exists("out/tmp/recuit_final_snap/gardencurvature.svg"));

  // The picture: blue result curves lie on the sketch's ink and span the drawing.
  s.sliders[2]->setValue(0);  // initial curves hidden, so the sketch shows around the result
  const cv::Mat frame = s.read_frame();
  view_test::save_test_picture(frame, "session_end.png");
  cv::Mat paper = s.view.input_image > 0.5f, ink_distance;
  cv::distanceTransform(paper, ink_distance, cv::DIST_L2, 3);
  int blue = 0, off_ink = 0;
  cv::Rect2f span(1e9f, 1e9f, 0, 0);
  float max_x = -1, max_y = -1;
  for (int r = 0; r < frame.rows; ++r)
    for (int c = 0; c < frame.cols; ++c) {
      if (!is_blue_curve(frame.at<cv::Vec4b>(r, c))) continue;
      ++blue;
      const glm::vec2 p = image_point(s.view, c, r);
      const int x = std::clamp(static_cast<int>(p.x), 0, paper.cols - 1);
      const int y = std::clamp(static_cast<int>(p.y), 0, paper.rows - 1);
      if (ink_distance.at<float>(y, x) > 2.0f) ++off_ink;
      span.x = std::min(span.x, p.x);
      span.y = std::min(span.y, p.y);
      max_x = std::max(max_x, p.x);
      max_y = std::max(max_y, p.y);
    }
  EXPECT_GT(blue, 1500);
  EXPECT_LT(off_ink, blue / 50) << off_ink << " of " << blue << " curve pixels off the ink";
  // The ink spans x 6..176 and y 12..105 of the sketch, doubled in the input image.
  EXPECT_NEAR(span.x, 12, 8);
  EXPECT_NEAR(max_x, 352, 8);
  EXPECT_NEAR(span.y, 24, 8);
  EXPECT_NEAR(max_y, 212, 8);
}

// The regions are shown from their texture alone: the bytes of the float picture that
// step 5 would paint, byte for byte, while the view keeps neither that picture nor a boundary picture behind it
// (each 12 bytes a pixel of the doubled sketch).
TEST(GlWidgetSession, TheRegionsShownAreStepFivesPictureAndNoPictureStaysBehindThem) {
  session s(100);
  srand(1);
  const std::string path = s.folder.add_sketch("garden.png", garden());
  s.open_sketch(path);
  ASSERT_TRUE(s.wait_for_step(11));
  EXPECT_TRUE(s.view.region_image.empty());
  EXPECT_TRUE(s.view.boundary_image.empty());

  // The same steps again as the extraction's functions run them, with the same colour
  // draws and the picture kept in floats throughout.
  cv::Mat input_image, region_image;
  std::list<layer> layers;
  ASSERT_TRUE(load_sketch(path.c_str(), &input_image));
  const region_params& rp = s.view.worker.region_params;
  srand(1);
  fixtures::run_steps_to_boundary_pixels(input_image, layers, region_image, nullptr, rp, s.view.min_nb_pixel_in_layer,
                                         s.view.separate_layers, read_ink_threshold());
  ASSERT_EQ(region_image.type(), CV_32FC3);
  trace_open_strokes(layers, s.view.nb_edge_one_node);
  extract_nodes(&region_image, &layers);

  auto* regions = drawable<Image_tex>(s.view, "img_region_color_border");
  ASSERT_TRUE(regions);
  s.view.makeCurrent();
  glBindTexture(GL_TEXTURE_2D, regions->image->get_id());
  cv::Mat shown(region_image.size(), CV_8UC4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, shown.data);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  int differing = 0, coloured = 0;
  for (int y = 0; y < region_image.rows; ++y)
    for (int x = 0; x < region_image.cols; ++x) {
      const cv::Vec3f bgr = region_image.at<cv::Vec3f>(y, x);
      const cv::Vec4b expected(static_cast<uchar>(static_cast<int>(bgr[2])), static_cast<uchar>(static_cast<int>(bgr[1])),
                               static_cast<uchar>(static_cast<int>(bgr[0])), 255);
      if (shown.at<cv::Vec4b>(y, x) != expected) ++differing;
      if (expected[0] != expected[1] || expected[1] != expected[2]) ++coloured;
    }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(coloured, 1000) << "the regions were painted in colour";

  // The next sketch: the old regions' pixels go at its opening, its own come at its step 5.
  const auto texture_size = [&] {
    s.view.makeCurrent();
    glBindTexture(GL_TEXTURE_2D, regions->image->get_id());
    int w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    return cv::Size(w, h);
  };
  cv::Mat wide = fixtures::blank_sketch(60, 250);
  cv::rectangle(wide, cv::Point(20, 15), cv::Point(230, 45), cv::Scalar(0), 3);
  s.confirmed_steps.clear();
  s.open_sketch(s.folder.add_sketch("wide.png", wide));
  EXPECT_EQ(texture_size(), cv::Size(0, 0));
  ASSERT_TRUE(s.wait_for_step(11));
  EXPECT_EQ(texture_size(), s.view.input_image.size());
}

// ---- .graph files -----------------------------------------------------------------

struct stored_graph {
  curve_network network;
  cv::Mat input_image, region_image;
  data_thread worker{&network, &input_image, &region_image, nullptr};
};

std::unique_ptr<stored_graph> read_stored_graph(const std::string& path) {
  auto g = std::make_unique<stored_graph>();
  std::ifstream in(path, std::ios::binary);
  read_graph_stream(in, g->network, g->worker);
  return g;
}

// Opens the garden sketch and runs its extraction and the optimiser's set-up.
void open_garden(session& s) {
  srand(1);
  s.open_sketch(s.folder.add_sketch("garden.png", garden()));
  ASSERT_TRUE(s.wait_for_step(11));
  s.view.worker.optimiser.gen.seed(5);
}

TEST(GlWidgetGraph, SavedDuringAnOptimisationAndReopenedItContinuesFromTheStoredIteration) {
  session s(2000000);
  open_garden(s);
  s.press_optimize();
  ASSERT_TRUE(s.wait_for([&] { return s.confirmed_steps.size() >= 14; }));
  // Saved while the worker runs its slices: each file holds the state of one confirmation.
  for (const char* name : {"mid_a.graph", "mid_b.graph", "mid_c.graph"}) {
    s.save_graph(s.folder.path(std::string("in/") + name));
    const auto stored = read_stored_graph(s.folder.path(std::string("in/") + name));
    EXPECT_GT(stored->worker.step, 12);
    EXPECT_GT(stored->worker.optimiser.k, 0);
    for (const layer_graph& lg : stored->network) EXPECT_EQ(check_network(lg), "") << name;
  }
  ASSERT_FALSE(s.view.threads.empty());  // the run goes on after the saves
  const auto stored = read_stored_graph(s.folder.path("in/mid_c.graph"));

  s.open_graph(s.folder.path("in/mid_c.graph"));
  EXPECT_EQ(s.optimize_button->text(), "Optimize");
  EXPECT_EQ(s.view.image_stem, "garden");
  EXPECT_EQ(curve_count(s.view.network), curve_count(stored->network));
  EXPECT_EQ(s.view.iteration_slider->value(), stored->worker.optimiser.k);
  EXPECT_EQ(s.view.pick_index.size(), s.view.network.size());
  ASSERT_NE(drawable<gl_bezier_deg_3>(s.view, "bezier_ctp_ini_3"), nullptr);
  // As after Open Sketch, the run waits for Optimize. (The old worker's last signal may
  // still reach the log first.)
  QTest::qWait(300);
  const std::size_t before = s.confirmed_steps.size();
  QTest::qWait(300);
  EXPECT_EQ(s.confirmed_steps.size(), before);
  EXPECT_TRUE(s.view.threads.empty());
  s.press_optimize();
  EXPECT_EQ(s.optimize_button->text(), "Pause");  // the worker runs
  ASSERT_TRUE(s.wait_for([&] { return s.confirmed_steps.size() > before + 1; }));
  // Optimiser slices from the stored step and iteration on.
  EXPECT_EQ(s.confirmed_steps[before], stored->worker.step + 1);
  EXPECT_GT(s.confirmed_k[before], stored->worker.optimiser.k);
  EXPECT_LT(s.confirmed_k[before], stored->worker.optimiser.k + 200000);
}

TEST(GlWidgetGraph, SavedDuringTheExtractionAndReopenedItContinuesTheExtraction) {
  session s(500);
  srand(1);
  s.open_sketch(s.folder.add_sketch("garden.png", garden()));
  // The worker is inside its first steps: the save waits for the next confirmation.
  s.save_graph(s.folder.path("in/early.graph"));
  const auto stored = read_stored_graph(s.folder.path("in/early.graph"));
  EXPECT_GE(stored->worker.step, 1);
  EXPECT_LE(stored->worker.step, 10);
  ASSERT_TRUE(s.wait_for_step(11));
  const std::size_t first_run = curve_count(s.view.network);

  s.confirmed_steps.clear();
  // As in a view of its own: the region image that the first run painted is gone.
  s.view.region_image = cv::Mat(0, 0, CV_32FC3);
  s.open_graph(s.folder.path("in/early.graph"));
  ASSERT_TRUE(s.wait_for_step(11));
  EXPECT_EQ(s.confirmed_steps.front(), stored->worker.step + 1);
  EXPECT_EQ(curve_count(s.view.network), first_run);
  ASSERT_NE(drawable<gl_bezier_deg_3>(s.view, "bezier_ctp_ini_3"), nullptr);
  s.press_optimize();
  ASSERT_TRUE(s.wait_for_run_end());
  EXPECT_TRUE(s.folder.exists("out/garden/garden_bezier_end.svg"));
}

// ---- what the user meets when things go wrong ----------------------------------------

TEST(GlWidgetGraph, SavedDuringTheExtractionOfASecondDrawingReadsBack) {
  session s(500);
  open_garden(s);  // the optimiser's tables now describe the garden
  // Another drawing, held at its first confirmation and saved there, long before its own
  // set-up, under a name typed without extension.
  s.confirmed_steps.clear();
  s.open_sketch(s.folder.add_sketch("ring.png", fixtures::closed_ring(120, 40, 3)));
  s.view.paused = true;
  ASSERT_TRUE(s.wait_for_step(1));
  s.save_graph(s.folder.path("in/second"));
  ASSERT_TRUE(s.folder.exists("in/second.graph"));
  EXPECT_EQ(read_stored_graph(s.folder.path("in/second.graph"))->worker.step, 1);
  s.view.paused = false;
  s.view.on_thread_end();
  ASSERT_TRUE(s.wait_for_step(11));
  const std::size_t curves = curve_count(s.view.network);
  QTest::qWait(100);
  s.confirmed_steps.clear();
  s.open_graph(s.folder.path("in/second.graph"));
  EXPECT_TRUE(s.dialogs.messages.empty()) << s.dialogs.messages.front();
  EXPECT_EQ(s.view.image_stem, "ring");
  ASSERT_TRUE(s.wait_for_step(11));
  EXPECT_EQ(curve_count(s.view.network), curves);
}

// A drawing reopened past the optimiser's set-up whose network holds no fragment: the
// file's own iteration count starts nothing, and the user is told there is nothing to
// optimise.
TEST(GlWidgetGraph, ReopenedWithoutFragmentsPastTheSetUpHasNothingToOptimise) {
  session s(500);
  const std::string png = s.folder.add_sketch("ring.png", fixtures::closed_ring(120, 40, 3));
  const std::string graph = s.folder.path("in/hollow.graph");
  std::ofstream(graph, std::ios::binary) << qt_test::crafted_graph(1, 12, 200000000, nullptr, png, "ring");
  testing::internal::CaptureStdout();
  s.open_graph(graph);
  s.press_optimize();
  s.view.on_change_nb_iteration(10);
  QTest::qWait(50);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(s.dialogs.messages.empty());
  EXPECT_EQ(count_lines_with(out, graph + ": the curve network holds no fragment: nothing to optimise"), 1u) << out;
  EXPECT_TRUE(s.view.threads.empty());
  EXPECT_EQ(s.view.worker.optimiser.k, 0);
  EXPECT_EQ(s.view.image_stem, "ring");
}

// A session whose first drawing comes from a .graph file draws its refined network as
// one from a sketch does: blue, with its end points, following the Output slider.
TEST(GlWidgetGraph, ReopenedBeforeItsFirstSliceTheRunIsDrawnInItsColours) {
  session s(2000000);
  open_garden(s);
  s.save_graph(s.folder.path("in/extracted.graph"));
  ASSERT_EQ(s.view.scene.count("bezier_ctp_rec_1"), 0u);  // no slice has drawn yet
  s.open_graph(s.folder.path("in/extracted.graph"));
  ASSERT_EQ(s.view.worker.step, 11);
  const std::size_t before = s.confirmed_steps.size();
  s.press_optimize();
  ASSERT_TRUE(s.wait_for([&] { return s.confirmed_steps.size() > before + 2; }));
  s.press_optimize();  // held, so that the drawables stay still
  expect_curve_set(s.view, "bezier_ctp_rec", 0.78f, glm::vec3(0, 0, 1));
  s.sliders[3]->setValue(102);
  EXPECT_FLOAT_EQ(drawable<gl_bezier_node>(s.view, "bezier_ctp_rec_node")->alpha, 0.4f);
}

// A drawing saved after its run ended shows that run's result when reopened, with the
// degrees its curves ended with, and Optimize writes its result picture.
TEST(GlWidgetGraph, SavedAfterItsRunEndedReopensWithItsResult) {
  session s(20000);
  open_garden(s);
  s.press_optimize();
  ASSERT_TRUE(s.wait_for_run_end());
  std::vector<int> degrees;
  for (const layer_graph& lg : s.view.network)
    for (const curve& c : lg.curves) degrees.push_back(c.v_segment[0].degree);
  ASSERT_NE(std::count(degrees.begin(), degrees.end(), 3), static_cast<long>(degrees.size()));
  s.save_graph(s.folder.path("in/ended.graph"));
  const std::string result = s.folder.path("out/garden/garden_bezier_end.svg");
  fs::remove(result);

  s.open_graph(s.folder.path("in/ended.graph"));
  EXPECT_TRUE(s.view.threads.empty());
  expect_curve_set(s.view, "bezier_ctp_rec", 0.78f, glm::vec3(0, 0, 1));
  auto* cubics = drawable<gl_bezier_deg_3>(s.view, "bezier_ctp_rec_3");
  EXPECT_NE(std::find(s.view.draw_list.begin(), s.view.draw_list.end(), cubics), s.view.draw_list.end());
  std::vector<int> reopened;
  for (const layer_graph& lg : s.view.network)
    for (const curve& c : lg.curves) reopened.push_back(c.v_segment[0].degree);
  EXPECT_EQ(reopened, degrees);
  for (const layer_graph& lg : s.view.network) EXPECT_EQ(check_network(lg), "");

  // Optimize ends the run it was saved after: its result is written, and it says so.
  testing::internal::CaptureStdout();
  s.press_optimize();
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(fs::exists(result));
  EXPECT_NE(out.find("result is written to out/garden/garden_bezier_end.svg"), std::string::npos) << out;
  EXPECT_TRUE(s.view.threads.empty());
  EXPECT_EQ(s.optimize_button->text(), "Optimize");
  // Once done, a further press has nothing left to run.
  fs::remove(result);
  EXPECT_FALSE(s.view.resume_run());
  EXPECT_FALSE(fs::exists(result));
}

// A confirmation that reaches the view after the stop of its drawing was asked for (as
// one queued before a dialog's event loop) finishes and writes nothing.
TEST(GlWidgetFaults, AConfirmationAfterTheStopFinishesNothing) {
  session s(1000000);
  open_garden(s);
  s.press_optimize();
  ASSERT_TRUE(s.wait_for([&] { return s.confirmed_steps.size() >= 13; }));
  s.press_optimize();  // "Pause": the worker is held at its next confirmation
  const std::size_t next = s.confirmed_steps.size() + 1;
  ASSERT_TRUE(s.wait_for([&] { return s.confirmed_steps.size() >= next; }));
  QTest::qWait(100);
  s.view.worker.optimiser.k = s.view.worker.optimiser.nb_it;  // the last slice, as it would be
  s.view.stop_and_join_worker();
  std::vector<std::vector<glm::dvec2>> before;
  for (const curve& c : s.view.network.front().curves) before.push_back(c.v_segment[0].v_ctrl_point);
  s.view.paused = false;
  s.view.on_thread_end();
  EXPECT_FALSE(s.folder.exists("out/garden/garden_bezier_end.svg"));
  EXPECT_FALSE(s.folder.exists("out/tmp/recuit_end/garden.svg"));
  std::vector<std::vector<glm::dvec2>> after;
  for (const curve& c : s.view.network.front().curves) after.push_back(c.v_segment[0].v_ctrl_point);
  EXPECT_EQ(after, before);
}

// After a GLEW failure the GL entry points are null: a view whose GL set-up never ran
// stands for it. Its controls change the settings and call no GL.
TEST(GlWidgetFaults, WithoutGlEntryPointsTheControlsCallNoGl) {
  view_test::work_folder folder("view", 100);
  gl_widget view;  // never shown: no GL set-up
  EXPECT_EQ(view.update_selected_drawable(&view.vbo_selected), nullptr);
  for (const int key : {Qt::Key_T, Qt::Key_Y, Qt::Key_Plus}) {
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    view.keyReleaseEvent(&release);
  }
  EXPECT_FLOAT_EQ(view.zoom, 1.0f);  // one step in from 1/2
  EXPECT_FALSE(folder.exists("color.png"));
  EXPECT_FALSE(folder.exists("depth.png"));
}

TEST(GlWidgetSession, DestroyingTheViewEmptiesTheShaderRegistry) {
  session s(100);
  open_garden(s);
  ASSERT_FALSE(shader_registry.empty());  // the drawn stages built their programs
  s.close_view();
  EXPECT_TRUE(shader_registry.empty());
}

TEST(GlWidgetFaults, SaveGraphThatCannotWriteItsFileNamesIt) {
  session s(100);
  open_garden(s);  // without a drawing nothing is written at all
  const std::string path = s.folder.path("no_such_folder/drawing.graph");
  testing::internal::CaptureStderr();
  s.save_graph(path);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(path), std::string::npos);
  ASSERT_EQ(s.dialogs.messages.size(), 1u);
  EXPECT_NE(s.dialogs.messages[0].find(path), std::string::npos);
}

// Save Graph and the snapshot key on a full disk: the message names the file, and the
// drawing and the pictures saved there before stay whole.
TEST(GlWidgetFaults, SavesOnAFullDiskLeaveTheFilesSavedThereBeforeWhole) {
  fixtures::small_disk disk("view_full_disk", 64 << 20);
  session s(100);
  open_garden(s);
  // Typed without its extension, so that the dialog asks nothing before it saves over the file.
  const std::string typed = (disk.folder() / "drawing").string();
  const std::string graph = typed + ".graph";
  s.view.snapshot_prefix = disk.folder().string() + "/";
  auto save_all = [&] {
    s.save_graph(typed);
    QTest::keyRelease(&s.view, Qt::Key_Y);
  };
  auto files_on_disk = [&] {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& e : fs::directory_iterator(disk.folder())) {
      if (e.path().filename() == ".filler") continue;
      std::ifstream in(e.path(), std::ios::binary);
      files[e.path().filename().string()].assign(std::istreambuf_iterator<char>(in), {});
    }
    return files;
  };
  save_all();
  ASSERT_TRUE(s.dialogs.messages.empty()) << s.dialogs.messages[0];
  const std::map<std::string, std::string> before = files_on_disk();
  ASSERT_EQ(before.count("drawing.graph"), 1u);
  ASSERT_EQ(before.count("color.png"), 1u);

  // Under a file-size limit the captured standard error, a file too, needs its few bytes;
  // the drawing and the pictures need far more.
  disk.fill(4096);
  testing::internal::CaptureStderr();
  save_all();
  const std::string err = testing::internal::GetCapturedStderr();
  ASSERT_EQ(s.dialogs.messages.size(), 1u);
  const std::string& message = s.dialogs.messages[0];
  EXPECT_NE(message.find("Cannot write the graph file " + graph + "."), std::string::npos) << message;
  EXPECT_NE(message.find(disk.mounted() ? "No space left on device" : "File too large"), std::string::npos)
      << message;
  EXPECT_NE(err.find("could not write file " + s.view.snapshot_prefix + "color.png"), std::string::npos) << err;
  EXPECT_EQ(files_on_disk(), before);

  // With room again the same saves go through.
  disk.empty();
  save_all();
  EXPECT_EQ(s.dialogs.messages.size(), 1u);
  EXPECT_EQ(files_on_disk().at("drawing.graph"), before.at("drawing.graph"));
}

TEST(GlWidgetFaults, UnreadableImageOrGraphLeavesTheViewEmptyAndUsable) {
  session s(300);
  const std::string broken_png = s.folder.path("in/broken.png");
  std::ofstream(broken_png) << "not an image";
  std::ofstream(s.folder.path("in/empty.png"));
  {
    std::vector<uchar> jpeg;
    ASSERT_TRUE(cv::imencode(".jpg", fixtures::closed_ring(), jpeg));
    std::ofstream(s.folder.path("in/cut.jpg"), std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size() / 2));
  }
  s.folder.add_sketch("black.png", cv::Mat(300, 400, CV_8UC1, cv::Scalar(0)));
  s.folder.add_sketch("white.png", cv::Mat(300, 400, CV_8UC1, cv::Scalar(255)));
  std::ofstream(s.folder.path("in/garbage.graph")) << "short";
  open_garden(s);
  s.save_graph(s.folder.path("in/good.graph"));
  std::string bytes;
  {
    std::ifstream in(s.folder.path("in/good.graph"), std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  std::ofstream(s.folder.path("in/truncated.graph"), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
  std::ofstream(s.folder.path("in/moved.graph"), std::ios::binary) << bytes;
  fs::rename(s.folder.path("in/garden.png"), s.folder.path("in/garden_moved.png"));
  // Saved with a sketch that was then replaced by a smaller one.
  const std::string shrunk = s.folder.add_sketch("shrunk.png", fixtures::closed_ring(120, 40, 3));
  std::ofstream(s.folder.path("in/shrunk.graph"), std::ios::binary) << qt_test::crafted_graph(1, 12, 1000, nullptr, shrunk);
  s.folder.add_sketch("shrunk.png", fixtures::closed_ring(100, 40, 3));

  struct bad_input {
    const char* file;      // below the work folder
    bool graph;            // opened with Open Graph
    const char* named;     // what the message names
    const char* reason;    // and why it opens nothing
  };
  const bad_input cases[] = {
      {"in/broken.png", false, "in/broken.png", "not an image that can be decoded"},
      {"in/empty.png", false, "in/empty.png", "the file is empty"},
      {"in/cut.jpg", false, "in/cut.jpg", "the JPEG file is cut short"},
      // The batch program refuses it too; its paper grey could not be told either.
      {"in/black.png", false, "in/black.png", "every pixel is ink, so there is no stroke to trace"},
      {"in/white.png", false, "in/white.png", "no pixel is ink under the ink threshold"},
      {"in/garbage.graph", true, "in/garbage.graph", "Cannot read the graph file"},
      {"in/truncated.graph", true, "in/truncated.graph", "Cannot read the graph file"},
      {"in/moved.graph", true, "in/garden.png", "no such file"},
      {"in/shrunk.graph", true, "in/shrunk.png", "has changed since the drawing was saved. Nothing is opened."},
  };
  fs::remove_all(s.folder.path("out"));
  for (const bad_input& c : cases) {
    SCOPED_TRACE(c.file);
    s.dialogs.messages.clear();
    testing::internal::CaptureStdout();
    if (c.graph)
      s.open_graph(s.folder.path(c.file));
    else
      s.open_sketch(s.folder.path(c.file));
    const std::string said = testing::internal::GetCapturedStdout();
    ASSERT_EQ(s.dialogs.messages.size(), 1u);
    EXPECT_NE(s.dialogs.messages[0].find(c.named), std::string::npos) << s.dialogs.messages[0];
    EXPECT_NE(s.dialogs.messages[0].find(c.reason), std::string::npos) << s.dialogs.messages[0];
    EXPECT_EQ(said.find("Energy"), std::string::npos) << "no energy of the last drawing: " << said;
    // An open that fails makes no folder for its results.
    EXPECT_FALSE(s.folder.exists("out")) << c.file;
    EXPECT_TRUE(s.view.network.empty());
    EXPECT_TRUE(s.view.draw_list.empty());
    EXPECT_TRUE(s.view.threads.empty());
    EXPECT_TRUE(s.view.input_image.empty());
    EXPECT_TRUE(s.view.image_path.empty());
    EXPECT_EQ(current_sketch_cstr, nullptr);
    for (float v : s.view.viewport) EXPECT_TRUE(std::isfinite(v));
    s.read_frame();
  }
  // Still usable.
  s.confirmed_steps.clear();
  s.open_sketch(s.folder.path("in/garden_moved.png"));
  ASSERT_TRUE(s.wait_for_step(11));
  EXPECT_FALSE(s.view.network.empty());
}

// A scan whose grey paper the threshold takes for ink: the window gives the advice the
// batch program prints, before the extraction, which then goes on.
TEST(GlWidgetFaults, MostlyInkSketchOpensWithTheThresholdAdvice) {
  session s(100);
  cv::Mat scan = fixtures::closed_ring(120, 40, 3);
  scan.setTo(200, scan == 255);
  scan.colRange(0, 20).setTo(255);
  testing::internal::CaptureStderr();
  s.open_sketch(s.folder.add_sketch("grey.png", scan));
  const std::string err = testing::internal::GetCapturedStderr();
  ASSERT_EQ(s.dialogs.messages.size(), 1u);
  const std::string& advice = s.dialogs.messages[0];
  EXPECT_NE(advice.find("in/grey.png: "), std::string::npos) << advice;
  EXPECT_NE(advice.find("% of the image is ink under the ink threshold"), std::string::npos) << advice;
  EXPECT_NE(advice.find("its paper is grey 200"), std::string::npos) << advice;
  EXPECT_NE(err.find("its paper is grey 200"), std::string::npos) << err;
  EXPECT_FALSE(s.view.input_image.empty());
  ASSERT_TRUE(s.wait_for_step(11));
  EXPECT_TRUE(s.folder.exists("out/grey"));
}

TEST(GlWidgetFaults, CancelledDialogsKeepTheDrawingAndItsRun) {
  session s(2000000);
  open_garden(s);
  s.press_optimize();
  ASSERT_TRUE(s.wait_for([&] { return s.confirmed_steps.size() >= 13; }));
  const std::vector<object*> drawn = s.view.draw_list;
  // Open Sketch and Open Graph cancelled while the run goes on: it goes on.
  for (const bool sketch : {true, false}) {
    SCOPED_TRACE(sketch ? "Open Sketch" : "Open Graph");
    if (sketch)
      s.open_sketch("");
    else
      s.open_graph("");
    EXPECT_FALSE(s.view.threads.empty());
    EXPECT_EQ(s.view.draw_list, drawn);
    EXPECT_EQ(s.view.image_stem, "garden");
    EXPECT_EQ(s.optimize_button->text(), "Pause");
    const std::size_t before = s.confirmed_steps.size();
    EXPECT_TRUE(s.wait_for([&] { return s.confirmed_steps.size() > before + 2; }));
  }
  EXPECT_GT(curve_count(s.view.network), 0u);
  // Paused, a cancelled dialog leaves it paused.
  s.press_optimize();
  const std::size_t next = s.confirmed_steps.size() + 1;
  ASSERT_TRUE(s.wait_for([&] { return s.confirmed_steps.size() >= next; }));
  QTest::qWait(100);
  const std::size_t held = s.confirmed_steps.size();
  s.open_sketch("");
  QTest::qWait(300);
  EXPECT_EQ(s.confirmed_steps.size(), held);
  EXPECT_TRUE(s.view.paused);
  EXPECT_FALSE(s.folder.exists("out/garden/garden_bezier_end.svg"));  // nothing finished
  s.press_optimize();
  EXPECT_TRUE(s.wait_for([&] { return s.confirmed_steps.size() > held + 2; }));
}

TEST(GlWidgetFaults, OpeningASketchWhilePausedRunsItsExtraction) {
  session s(2000000);
  open_garden(s);
  s.press_optimize();
  ASSERT_TRUE(s.wait_for([&] { return s.confirmed_steps.size() >= 13; }));
  s.press_optimize();  // "Pause"
  EXPECT_TRUE(s.view.paused);
  const std::size_t held = s.confirmed_steps.size() + 1;
  ASSERT_TRUE(s.wait_for([&] { return s.confirmed_steps.size() >= held; }));
  s.confirmed_steps.clear();
  open_garden(s);
  EXPECT_FALSE(s.view.paused);
  EXPECT_EQ(s.confirmed_steps.size(), 11u);
}

TEST(GlWidgetFaults, ClosingTheViewWhileItsWorkerRunsStopsAndJoinsIt) {
  for (const bool optimising : {false, true}) {
    SCOPED_TRACE(optimising ? "during the optimisation" : "during the extraction");
    auto s = std::make_unique<session>(2000000);
    srand(1);
    s->open_sketch(s->folder.add_sketch("garden.png", garden()));
    if (optimising) {
      ASSERT_TRUE(s->wait_for_step(11));
      s->press_optimize();
      ASSERT_TRUE(s->wait_for([&] { return s->confirmed_steps.size() >= 13; }));
    }
    ASSERT_FALSE(s->view.threads.empty());
    s->close_view();  // returns only once the worker has left
    s.reset();
  }
}

// ---- the handshake -----------------------------------------------------------------

TEST(GlWidgetHandshake, PendingIterationTakesEffectBeforeTheEndOfRunTest) {
  session s(2000000);
  open_garden(s);
  s.press_optimize();
  ASSERT_TRUE(s.wait_for([&] { return s.confirmed_steps.size() >= 13; }));
  s.press_optimize();  // "Pause": the next confirmation holds the worker
  const std::size_t held = s.confirmed_steps.size() + 1;
  ASSERT_TRUE(s.wait_for([&] { return s.confirmed_steps.size() >= held; }));
  ASSERT_LT(s.view.worker.optimiser.k, 2000000);
  s.view.iteration_slider->setValue(2000000);  // the user drags the slider to its end
  EXPECT_EQ(s.view.pending_iteration, 2000000);
  s.press_optimize();
  ASSERT_TRUE(s.wait_for_run_end());
  EXPECT_EQ(s.view.worker.optimiser.k, 2000000);
  EXPECT_TRUE(s.folder.exists("out/garden/garden_bezier_end.svg"));
}

// ---- Display sliders ---------------------------------------------------------------

struct counting_slider : q_slider_change_alpha {
  using q_slider_change_alpha::q_slider_change_alpha;
  int receivers_of_value_changed() const { return receivers(SIGNAL(valueChanged(int))); }
};

TEST(DisplaySlider, WritesItsValueIntoEveryTargetAtOnceAndOnEveryMove) {
  session s(100);
  counting_slider slider(Qt::Horizontal);
  slider.setRange(0, 255);
  slider.setValue(255);
  float set[4] = {-1, -1, -1, -1};
  float image = -1;
  slider.set_targets({&set[0], &set[1], &set[2], &set[3]});
  for (float a : set) EXPECT_EQ(a, 1.0f);  // written before any move
  slider.setValue(51);
  for (float a : set) EXPECT_FLOAT_EQ(a, 0.2f);

  counting_slider single(Qt::Horizontal);
  single.setRange(0, 255);
  single.setValue(102);
  for (int i = 0; i < 5; ++i) single.set_target(&image);  // bound anew for every drawing
  EXPECT_FLOAT_EQ(image, 0.4f);
  EXPECT_EQ(single.receivers_of_value_changed(), 1);
  single.setValue(0);
  EXPECT_EQ(image, 0.0f);
}

}  // namespace

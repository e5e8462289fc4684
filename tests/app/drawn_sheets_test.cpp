// Whole drawings of the kinds users bring, drawn in code at stroke widths 3, 6 and 12,
// taken through the batch program's extraction and through the interactive worker's
// (with the view's settings present and the open-stroke passes on), then a short seeded
// annealing run: the result must follow every stroke and stay on the ink.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <iostream>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "app/batch_tests.h"
#include "app/data_thread.h"
#include "graph/bezier.h"
#include "io/output_names.h"
#include "pipeline/load_sketch.h"
#include "pipeline/region_params.h"
#include "pipeline/view_settings.h"
#include "support/network_checker.h"
#include "support/sketch_fixtures.h"
#include "support/temp_folder.h"

namespace {

const cv::Scalar ink(0);

// A drawn sheet: the sketch, and the strokes among its ink that bound regions (the ones
// the batch program, which traces no open stroke, must cover).
struct sheet {
  cv::Mat sketch;
  cv::Mat bounding;  // 255 on the ink of strokes that bound a region
};

sheet all_bounding(const cv::Mat& sketch) { return {sketch, sketch < 128}; }
sheet none_bounding(const cv::Mat& sketch) { return {sketch, cv::Mat::zeros(sketch.size(), CV_8UC1)}; }

// Sizes grow with the stroke width, so that a thick stroke still draws the same shape.
int unit(int width) { return 8 + 2 * width; }

// Three rings on a hub, joined by strokes that close no region.
sheet network_icon(int w) {
  const int r = 3 * unit(w);
  const cv::Mat sketch = fixtures::rings_on_a_hub(w, r, 3);
  // The rings bound regions; the hub strokes, drawn again a little wider, do not.
  cv::Mat hub_strokes = fixtures::blank_sketch(sketch.rows, sketch.cols);
  const cv::Point hub(sketch.cols / 2, sketch.rows / 2);
  for (int i = 0; i < 3; ++i) {
    const double a = -CV_PI / 2 + 2 * CV_PI / 3 * i;
    cv::line(hub_strokes, hub, hub + cv::Point(int(r * std::cos(a)), int(r * std::sin(a))), ink, w + 2);
  }
  return {sketch, (sketch < 128) & (hub_strokes > 127)};
}

// A balloon on a wavy string.
sheet balloon(int w) {
  const int u = unit(w);
  cv::Mat s = fixtures::blank_sketch(14 * u, 6 * u);
  const cv::Point centre(3 * u, 3 * u);
  cv::ellipse(s, centre, {2 * u, 5 * u / 2}, 0, 0, 360, ink, w);
  cv::Mat bounding = s < 128;
  std::vector<cv::Point> string;
  for (int i = 0; i <= 40; ++i)
    string.emplace_back(centre.x + int(u / 2 * std::sin(i * 0.3)), centre.y + 5 * u / 2 + i * 5 * u / 40 * 3 / 2);
  cv::polylines(s, string, false, ink, w);
  return {s, bounding};
}

sheet wavy(int w) { return none_bounding(fixtures::wavy_lines(w, 16 * unit(w))); }
sheet wave(int w) { return none_bounding(fixtures::half_circle_wave(w, 2 * unit(w), 4)); }
sheet tee(int w) { return none_bounding(fixtures::open_t(w, 10 * unit(w))); }

// An open spiral of two and a half turns.
sheet spiral(int w) {
  const int u = unit(w);
  cv::Mat s = fixtures::blank_sketch(12 * u, 12 * u);
  std::vector<cv::Point> line;
  for (double a = 0; a < 5 * CV_PI; a += 0.05) {
    const double r = u * (0.8 + 0.33 * a);
    line.emplace_back(6 * u + int(r * std::cos(a)), 6 * u + int(r * std::sin(a)));
  }
  cv::polylines(s, line, false, ink, w);
  return none_bounding(s);
}

// A frame hatched by diagonal strokes from side to side.
sheet hatching(int w) {
  const int u = unit(w);
  cv::Mat s = fixtures::blank_sketch(10 * u, 10 * u);
  cv::rectangle(s, {u, u}, {9 * u, 9 * u}, ink, w);
  for (int k = 1; k <= 4; ++k) cv::line(s, {u, u + 2 * k * u - u}, {u + 2 * k * u - u, u}, ink, w);
  return all_bounding(s);
}

// Two overlapping circles crossed by two straight strokes that run on past them.
sheet circles_and_lines(int w) {
  const int u = unit(w);
  cv::Mat s = fixtures::blank_sketch(10 * u, 14 * u);
  cv::Mat discs = fixtures::blank_sketch(s.rows, s.cols);
  for (const cv::Point c : {cv::Point(5 * u, 5 * u), cv::Point(9 * u, 5 * u)}) {
    cv::circle(s, c, 3 * u, ink, w);
    cv::circle(discs, c, 3 * u, ink, cv::FILLED);
  }
  cv::Mat lines = fixtures::blank_sketch(s.rows, s.cols);
  cv::line(lines, {u / 2, 4 * u}, {14 * u - u / 2, 6 * u}, ink, w);
  cv::line(lines, {7 * u, u / 2}, {7 * u, 10 * u - u / 2}, ink, w);
  s &= lines;
  // Inside the discs the lines bound regions; their tails outside dangle.
  return {s, (s < 128) & ((lines > 127) | (discs < 128))};
}

// Closed strokes inside other regions, touching nothing, with narrow paper between them
// and the stroke around them (no curve may cross it): a circle in a square, two concentric
// circles, a donut (an ellipse with a long hole) and an eye whose iris holds a pupil.
sheet circle_in_square(int w) {
  const int u = unit(w);
  cv::Mat s = fixtures::blank_sketch(10 * u, 12 * u);
  cv::rectangle(s, {u, u}, {11 * u, 9 * u}, ink, w);
  cv::circle(s, {6 * u, 5 * u}, 5 * u / 2, ink, w);
  return all_bounding(s);
}

sheet concentric_circles(int w) {
  const int u = unit(w);
  cv::Mat s = fixtures::blank_sketch(10 * u, 10 * u);
  cv::circle(s, {5 * u, 5 * u}, 4 * u, ink, w);
  cv::circle(s, {5 * u, 5 * u}, 3 * u, ink, w);
  return all_bounding(s);
}

sheet donut(int w) {
  const int u = unit(w);
  cv::Mat s = fixtures::blank_sketch(8 * u, 12 * u);
  cv::ellipse(s, cv::Point(6 * u, 4 * u), cv::Size(5 * u, 3 * u), 0, 0, 360, ink, w);
  cv::ellipse(s, cv::Point(6 * u, 4 * u), cv::Size(4 * u, u), 0, 0, 360, ink, w);
  return all_bounding(s);
}

sheet eye(int w) {
  const int u = unit(w);
  cv::Mat s = fixtures::blank_sketch(8 * u, 12 * u);
  // Lids: two arcs that meet at the corners of the eye.
  std::vector<cv::Point> lids;
  for (int i = 0; i <= 80; ++i) {
    const double t = i <= 40 ? i / 40.0 : 2 - i / 40.0;
    lids.emplace_back(int(u + 10 * u * t), int(4 * u + (i <= 40 ? -2.5 : 2.5) * u * std::sin(CV_PI * t)));
  }
  cv::polylines(s, lids, true, ink, w);
  cv::circle(s, {6 * u, 4 * u}, u + u / 4, ink, w);
  cv::circle(s, {6 * u, 4 * u}, u / 2, ink, w);
  return all_bounding(s);
}

// Drawings on a 512 px page whose open strokes touch closed outlines. The batch program
// is judged on the ink around enclosed paper: the outlines.
sheet outlines_bounding(const cv::Mat& sketch, int w) {
  cv::Mat paper = sketch > 127, components;
  cv::connectedComponents(paper, components, 8, CV_32S);
  const int outside = components.at<int32_t>(0, 0);
  cv::Mat enclosed = (components != outside) & paper, near_enclosed;
  cv::dilate(enclosed, near_enclosed, cv::Mat(), cv::Point(-1, -1), w);
  return {sketch, (sketch < 128) & near_enclosed};
}

// Three rings, the left one joined to the other two by bars that touch each ring from
// the outside.
sheet share_icon(int w) {
  cv::Mat s = fixtures::blank_sketch(512, 512);
  const int r = 60;
  const cv::Point left(120, 256), top(392, 110), bottom(392, 402);
  for (const cv::Point c : {left, top, bottom}) cv::circle(s, c, r, ink, w);
  for (const cv::Point c : {top, bottom}) {
    const cv::Point2d u = cv::Point2d(c - left) / cv::norm(c - left);
    const cv::Point off(int(u.x * (r + w / 2.0)), int(u.y * (r + w / 2.0)));
    cv::line(s, left + off, c - off, ink, w);
  }
  return outlines_bounding(s, w);
}

// A coil: one stroke looping over itself four times, with straight leads at both ends.
sheet coil(int w) {
  cv::Mat s = fixtures::blank_sketch(512, 512);
  std::vector<cv::Point> line{{30, 306}};
  const double pitch = 14, radius = 50;  // a prolate cycloid: loops where radius > pitch
  for (double t = CV_PI; t <= 9 * CV_PI + 1e-9; t += 0.02)
    line.emplace_back(int(std::lround(60 + pitch * (t - CV_PI) - radius * std::sin(t))),
                      int(std::lround(256 - radius * std::cos(t))));
  line.emplace_back(line.back().x + 50, line.back().y);
  cv::polylines(s, line, false, ink, w);
  return outlines_bounding(s, w);
}

// A triangle outline: at 12 px its boundary band is thick at the sharp corners.
sheet triangle(int w) {
  cv::Mat s = fixtures::blank_sketch(512, 512);
  const std::vector<cv::Point> corners{{230, 180}, {120, 420}, {340, 420}};
  cv::polylines(s, corners, true, ink, w);
  return all_bounding(s);
}

// A long straight beam resting on the top corner of a triangle outline and running on
// past it on both sides, with a short stem hanging from it to a small ring. The beam
// overlaps the corner's ink by `overlap` half widths: 0 just touches it.
sheet beam_on_a_triangle(int w, int overlap) {
  cv::Mat s = fixtures::blank_sketch(512, 512);
  const cv::Point apex(230, 180);
  cv::polylines(s, std::vector<cv::Point>{apex, {120, 420}, {340, 420}}, true, ink, w);
  const int y = apex.y - w + 1 + overlap * w / 2;  // the corner's ink reaches w/2 above it
  cv::line(s, {60, y}, {460, y}, ink, w);
  const cv::Point ring(400, y + 100);
  const int r = 30;
  cv::line(s, {ring.x, y}, {ring.x, ring.y - r}, ink, w);
  cv::circle(s, ring, r, ink, w);
  return outlines_bounding(s, w);
}

sheet beam_touching_a_corner(int w) { return beam_on_a_triangle(w, 0); }
sheet beam_over_a_corner(int w) { return beam_on_a_triangle(w, 2); }
// At 3 px the beam's chain ends in a short piece crowded with junction pixels, which
// stretches its parameters there: the junction refit must not swing its free end.
sheet beam_half_over_a_corner(int w) { return beam_on_a_triangle(w, 1); }

// Two parts of one outline that come within about a stroke width of each other without
// touching leave a channel of paper that no curve may cross: a jigsaw piece whose knob
// sits on a narrow neck close to the piece's wall, a window close to a house wall, a
// lollipop whose stick passes close to its head. Drawn on 512 px sheets, the channels
// a little wider than the stroke so that antialiasing leaves paper in them.
sheet jigsaw_piece(int w) {
  cv::Mat piece = cv::Mat::zeros(512, 512, CV_8UC1);
  cv::rectangle(piece, {80, 140}, {320, 380}, cv::Scalar(255), cv::FILLED);
  const int neck = 3 * w + 12;
  cv::rectangle(piece, {300, 259 - w}, {320 + neck, 261 + w}, cv::Scalar(255), cv::FILLED);
  cv::circle(piece, {380 + neck, 260}, 64, cv::Scalar(255), cv::FILLED);
  std::vector<std::vector<cv::Point>> outline;
  cv::findContours(piece, outline, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE);
  cv::Mat s = fixtures::blank_sketch(512, 512);
  cv::polylines(s, outline, true, ink, w, cv::LINE_AA);
  return all_bounding(s);
}

sheet window_close_to_a_wall(int w) {
  cv::Mat s = fixtures::blank_sketch(512, 512);
  cv::rectangle(s, {80, 120}, {432, 450}, ink, w, cv::LINE_AA);
  const int x = 82 + 2 * w;  // the window's left side one stroke width and a little from the wall
  cv::rectangle(s, {x, 220}, {x + 110, 330}, ink, w, cv::LINE_AA);
  cv::line(s, {x + 55, 220}, {x + 55, 330}, ink, w, cv::LINE_AA);
  cv::line(s, {x, 275}, {x + 110, 275}, ink, w, cv::LINE_AA);
  cv::rectangle(s, {300, 300}, {380, 450}, ink, w, cv::LINE_AA);  // a door on the floor
  return all_bounding(s);
}

sheet lollipop(int w) {
  cv::Mat s = fixtures::blank_sketch(512, 512);
  const cv::Point centre(220, 190);
  const int r = 110;
  cv::circle(s, centre, r, ink, w, cv::LINE_AA);
  cv::Mat head = s < 128;
  // The stick hangs from the head, bends round and runs up past it, a stroke width and a
  // little from its side. The head alone bounds a region.
  const int x = centre.x + r + 2 * w + 2, bend = (x - centre.x) / 2;
  std::vector<cv::Point> stick;
  cv::ellipse2Poly({centre.x + bend, 360}, {bend, bend}, 0, 0, 180, 5, stick);
  std::reverse(stick.begin(), stick.end());  // from the left end of the bend to the right
  stick.insert(stick.begin(), cv::Point(centre.x, centre.y + r));
  stick.emplace_back(x, 40);
  cv::polylines(s, stick, false, ink, w, cv::LINE_AA);
  return {s, head};
}

struct result {
  double uncovered = 0;  // largest distance from a checked stroke pixel to the curves
  double off_ink = 0;    // largest distance from a curve point to the ink
  std::size_t curves = 0;
  std::string network_check;
};

// Sketch distance (pixels) from each checked stroke pixel to the nearest curve, and from
// each curve point to the nearest ink. Curves are in image coordinates (sketch doubled).
result measure(const curve_network& network, const cv::Mat& sketch, const cv::Mat& checked) {
  result r;
  cv::Mat to_ink;
  cv::distanceTransform(sketch > 127, to_ink, cv::DIST_L2, 5);
  cv::Mat curves(sketch.size() * 2, CV_8UC1, cv::Scalar(255));
  for (const layer_graph& lg : network) {
    for (const curve& c : lg.curves)
      for (const curve_segment& s : c.v_segment) {
        const int degree = static_cast<int>(s.v_ctrl_point.size()) - 1;
        if (degree < 0) continue;
        glm::dvec2 last = s.v_ctrl_point.front();
        for (int i = 0; i <= 400; ++i) {
          const glm::dvec2 p = bezier_eval(degree, s.v_ctrl_point.data(), i / 400.0);
          cv::line(curves, cv::Point(int(last.x), int(last.y)), cv::Point(int(p.x), int(p.y)), cv::Scalar(0));
          last = p;
          // The sketch pixel under the point: sketch pixel x covers image pixels 2x, 2x + 1.
          const int x = int(std::lround((p.x - 0.5) / 2)), y = int(std::lround((p.y - 0.5) / 2));
          const bool inside = x >= 0 && y >= 0 && x < sketch.cols && y < sketch.rows;
          r.off_ink = std::max(r.off_ink, inside ? double(to_ink.at<float>(y, x)) : 1e9);
        }
      }
    r.curves += lg.curves.size();
    r.network_check += check_network(lg);
  }
  cv::Mat to_curve;
  cv::distanceTransform(curves, to_curve, cv::DIST_L2, 5);
  for (int y = 0; y < sketch.rows; ++y)
    for (int x = 0; x < sketch.cols; ++x)
      if (checked.at<uchar>(y, x))
        r.uncovered = std::max(r.uncovered, to_curve.at<float>(2 * y, 2 * x) / 2.0);
  return r;
}

// A short annealing schedule with a fixed seed, then the batch program's finishing passes.
void anneal(recuit& optimiser, bool interactive) {
  optimiser.read_config_v2(0.25f, 0.99f);
  optimiser.gen.seed(2026);
  if (interactive) {
    while (optimiser.k < optimiser.nb_it) optimiser.run_time_slice();
  } else {
    fixtures::temp_working_folder scratch("drawn_sheets");  // run_all writes pictures here
    optimiser.run_all();
  }
  for (layer_graph& lg : *optimiser.network) {
    lg.fit_joined_curves();
    lg.slide_one_lone_end();
    lg.slide_both_lone_ends();
  }
}

result run_batch(const std::string& path, const cv::Mat& sketch, const cv::Mat& checked) {
  cv::Mat input, region, boundary;
  curve_network network;
  data_thread worker(&network, &input, &region);
  std::srand(1);
  EXPECT_TRUE(extract_batch_network(path, input, region, boundary, network, worker));
  anneal(worker.optimiser, false);
  return measure(network, sketch, checked);
}

// The stages a drawing goes through in the window.
enum worker_stage { after_junction_refit = 10, after_annealing = 11 };

// Steps 0 to 9 as the worker runs them, the view's settings present, the window's refit
// at the junctions, then a seeded annealing; `look` sees the network after each step
// (stage 0 to 9) and after the two others.
void run_worker_stages(const std::string& path, const std::function<void(const curve_network&, int)>& look) {
  view_settings view;
  view.nb_edge_one_node = 20;
  view.image_stem = "drawn_sheet";  // refine's picture: a folder that does not exist
  main_gl_widget = &view;
  curve_network network;
  cv::Mat input, region;
  EXPECT_TRUE(load_sketch(path.c_str(), &input));
  data_thread worker(&network, &input, &region);
  worker.rows = input.rows;
  worker.cols = input.cols;
  worker.region_params = read_region_params();
  std::srand(1);
  for (int step = 0; step <= 9; ++step) {
    worker.run_step(step);
    look(network, step);
  }
  // The window refits the curves at their junctions once step 9 is done.
  for (layer_graph& lg : network) lg.fit_joined_curves();
  look(network, after_junction_refit);
  anneal(worker.optimiser, true);
  look(network, after_annealing);
  main_gl_widget = nullptr;
}

// `before` is measured before the annealing.
result run_worker(const std::string& path, const cv::Mat& sketch, result& before) {
  result after;
  run_worker_stages(path, [&](const curve_network& network, int stage) {
    if (stage == after_junction_refit) before = measure(network, sketch, sketch < 128);
    if (stage == after_annealing) after = measure(network, sketch, sketch < 128);
  });
  return after;
}

TEST(DrawnSheets, EveryStrokeIsCoveredAndNoCurveLeavesTheInk) {
  struct drawing {
    const char* name;
    sheet (*make)(int);
    int jpeg_quality = 95;  // OpenCV's default
  };
  const drawing drawings[] = {
      {"rings on a hub", network_icon}, {"balloon", balloon}, {"wavy lines", wavy, 80},
      {"wave of half circles", wave, 80}, {"T", tee, 80},     {"spiral", spiral, 80},
      {"hatching", hatching},           {"circles and lines", circles_and_lines},
      {"circle in a square", circle_in_square}, {"concentric circles", concentric_circles},
      {"donut", donut},                 {"eye", eye},
      // Open strokes touching outlines, also as a coarser JPEG.
      {"share icon", share_icon, 80},   {"coil", coil, 80},
      {"triangle", triangle, 80},
      {"beam touching a triangle's corner", beam_touching_a_corner, 80},
      {"beam over a triangle's corner by its width", beam_over_a_corner, 80},
      {"beam over a triangle's corner by half its width", beam_half_over_a_corner, 80},
      {"jigsaw piece", jigsaw_piece, 80}, {"window close to a wall", window_close_to_a_wall, 80},
      {"lollipop", lollipop, 80},
  };
  const std::string saved_root = output_root;
  output_root = testing::TempDir();
  const auto t0 = std::chrono::steady_clock::now();
  for (const drawing& d : drawings)
    for (int width : {3, 6, 12}) {
      const sheet s = d.make(width);
      // Width 6 goes through JPEG, with its noise around the strokes.
      const std::string path = fixtures::temp_path(std::string("sheet") + (width == 6 ? ".jpg" : ".png"));
      ASSERT_TRUE(cv::imwrite(path, s.sketch, {cv::IMWRITE_JPEG_QUALITY, d.jpeg_quality}));
      // Progress lines, and the step-8 picture that finds no folder, are not looked at.
      testing::internal::CaptureStdout();
      testing::internal::CaptureStderr();
      // The batch program is judged on the strokes that bound regions only.
      const bool bounds_regions = cv::countNonZero(s.bounding) > 0;
      const result batch = bounds_regions ? run_batch(path, s.sketch, s.bounding) : result();
      result worker_before;
      const result worker = run_worker(path, s.sketch, worker_before);
      testing::internal::GetCapturedStderr();
      testing::internal::GetCapturedStdout();
      std::cout << d.name << ", width " << width << ": batch " << batch.curves << " curves, uncovered "
                << batch.uncovered << ", off ink " << batch.off_ink << "; worker " << worker.curves
                << " curves, uncovered " << worker.uncovered << ", off ink " << worker.off_ink
                << " (before the annealing: uncovered " << worker_before.uncovered << ", off ink "
                << worker_before.off_ink << ")" << std::endl;

      SCOPED_TRACE(std::string(d.name) + ", width " + std::to_string(width));
      // Within 2 sketch pixels of the stroke's middle, and 1 more where strokes meet in a
      // blob of ink, give or take a quarter of the width where the trace of a thick stroke
      // cuts a bend.
      const double reach = width / 2.0 + 3 + width / 4.0;
      EXPECT_LE(batch.uncovered, reach);
      EXPECT_LE(worker.uncovered, reach);
      EXPECT_LE(worker_before.uncovered, reach);
      EXPECT_LE(worker_before.off_ink, 2.0);
      EXPECT_LE(batch.off_ink, 2.0);
      EXPECT_LE(worker.off_ink, 2.0);
      EXPECT_EQ(batch.network_check, "");
      EXPECT_EQ(worker.network_check, "");
    }
  output_root = saved_root;
  std::cout << "drawn sheets: "
            << std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() << " s" << std::endl;
}

// How far (image pixels) the drawn curves and the fragments' cubics of the network run
// past the image's frame [0, cols] x [0, rows], sampled densely; 0 when all stay inside.
double distance_outside(const curve_network& network, int cols, int rows) {
  double worst = 0;
  const auto visit = [&](const std::vector<glm::dvec2>& ctrl) {
    const int degree = static_cast<int>(ctrl.size()) - 1;
    if (degree < 0) return;
    for (int i = 0; i <= 1000; ++i) {
      const glm::dvec2 p = bezier_eval(degree, ctrl.data(), i / 1000.0);
      const double out = std::max({-p.x, p.x - cols, -p.y, p.y - rows, 0.0});
      worst = std::max(worst, std::isfinite(out) ? out : 1e9);
    }
  };
  for (const layer_graph& lg : network) {
    for (const f_curve& f : lg.f_curves) visit(f.v_ctrl_point);
    for (const curve& c : lg.curves)
      for (const curve_segment& s : c.v_segment) visit(s.v_ctrl_point);
  }
  return worst;
}

// Ink against the page's edges and corners, a mostly dark page, and JPEG noise: fits of
// such ink run past the image's border unless they are held in it.
TEST(DrawnSheets, NoCurveRunsOutsideTheImage) {
  struct page {
    const char* name;
    cv::Mat sketch;
    bool batch;  // whether the batch program takes it (it refuses a page without paper)
  };
  cv::Mat edges = fixtures::blank_sketch(120, 160);
  cv::rectangle(edges, {0, 0}, {159, 119}, ink, 3);
  cv::line(edges, {0, 0}, {159, 119}, ink, 3);
  cv::line(edges, {0, 119}, {159, 0}, ink, 3);
  cv::circle(edges, {150, 10}, 40, ink, 3);  // cut by two sides
  cv::Mat dark(120, 160, CV_8UC1, cv::Scalar(40));
  cv::ellipse(dark, {80, 60}, {70, 40}, 0, 0, 360, cv::Scalar(255), cv::FILLED);
  cv::circle(dark, {80, 60}, 20, cv::Scalar(40), cv::FILLED);
  cv::circle(dark, {0, 119}, 30, cv::Scalar(255), cv::FILLED);
  cv::Mat noise(90, 120, CV_8UC1);
  cv::RNG rng(26);
  rng.fill(noise, cv::RNG::UNIFORM, 0, 256);
  cv::GaussianBlur(noise, noise, {0, 0}, 2.0);
  cv::normalize(noise, noise, 0, 255, cv::NORM_MINMAX);
  const page pages[] = {{"ink on every edge and corner", edges, true},
                        {"a mostly dark page", dark, true},
                        {"blurred noise", noise, true},
                        {"a page all ink", cv::Mat(60, 80, CV_8UC1, cv::Scalar(0)), false}};
  const std::string saved_root = output_root;
  output_root = testing::TempDir();
  for (const page& p : pages) {
    for (const char* extension : {".png", ".jpg"}) {
      SCOPED_TRACE(std::string(p.name) + extension);
      const std::string path = fixtures::temp_path(std::string("page") + extension);
      ASSERT_TRUE(cv::imwrite(path, p.sketch, {cv::IMWRITE_JPEG_QUALITY, 50}));
      const int cols = 2 * p.sketch.cols, rows = 2 * p.sketch.rows;
      testing::internal::CaptureStdout();
      testing::internal::CaptureStderr();
      double batch = 0, worker = 0, worker_before = 0;
      if (p.batch) {
        cv::Mat input, region, boundary;
        curve_network network;
        data_thread process(&network, &input, &region);
        std::srand(1);
        EXPECT_TRUE(extract_batch_network(path, input, region, boundary, network, process));
        batch = distance_outside(network, cols, rows);
        anneal(process.optimiser, false);
        batch = std::max(batch, distance_outside(network, cols, rows));
      }
      run_worker_stages(path, [&](const curve_network& network, int stage) {
        const double outside = distance_outside(network, cols, rows);
        if (stage == after_annealing)
          worker = outside;
        else
          worker_before = std::max(worker_before, outside);
      });
      testing::internal::GetCapturedStderr();
      testing::internal::GetCapturedStdout();
      // Rounding of a fit whose samples lie on the border only.
      EXPECT_LE(batch, 1e-5);
      EXPECT_LE(worker_before, 1e-5);
      EXPECT_LE(worker, 1e-5);
    }
  }
  output_root = saved_root;
}

}  // namespace

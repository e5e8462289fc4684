#include "app/data_thread.h"

#include <climits>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <cstring>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include "app/batch_tests.h"
#include "graph/curve_network.h"
#include "io/graph_stream.h"
#include "pipeline/extract_layers.h"
#include "pipeline/extract_nodes.h"
#include "pipeline/paint_nodes.h"
#include "pipeline/trace_edge_one_node.h"
#include "pipeline/view_settings.h"
#include "support/extraction_steps.h"
#include "support/golden_bytes.h"
#include "support/sketch_fixtures.h"

namespace {

// Plays the GUI thread's side of the handshake: waits for each job_end, then lets the
// worker go on (or stops it) under the worker's mutex.
class handshake {
 public:
  explicit handshake(data_thread& w) : w_(w) {
    QObject::connect(&w, &data_thread::job_end, &w, [this] {
      std::lock_guard<std::mutex> lock(m_);
      confirmed_.push_back(w_.step);
      cv_.notify_all();
    }, Qt::DirectConnection);
  }

  // Waits for the next job_end and returns the step then reported.
  int wait_step() {
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [this] { return confirmed_.size() > seen_; });
    return confirmed_[seen_++];
  }

  void release(bool stop) {
    std::lock_guard<std::mutex> lock(w_.mtx);
    w_.stop = stop;
    w_.go = true;
    w_.cv.notify_all();
  }

  std::size_t emitted() {
    std::lock_guard<std::mutex> lock(m_);
    return confirmed_.size();
  }

 private:
  data_thread& w_;
  std::mutex m_;
  std::condition_variable cv_;
  std::vector<int> confirmed_;
  std::size_t seen_ = 0;
};

struct worker_fixture {
  curve_network network;
  cv::Mat input = fixtures::as_input_image(fixtures::boxed_t());
  cv::Mat region_image;
  data_thread w{&network, &input, &region_image};
  worker_fixture() {
    w.rows = input.rows;
    w.cols = input.cols;
  }
};

TEST(DataThread, StepsThroughExtractionAndAnOptimisationToItsEnd) {
  worker_fixture f;
  handshake h(f.w);
  testing::internal::CaptureStdout();
  std::thread t(&data_thread::run, &f.w);
  for (int expected = 1; expected <= 11; ++expected) {
    ASSERT_EQ(h.wait_step(), expected);
    if (expected == 11) {
      // The optimiser is set up; a short run, as the Optimize button would start it.
      ASSERT_FALSE(f.network.front().curves.empty());
      f.w.optimiser.nb_it = 40;
      f.w.step = 12;
    }
    h.release(false);
  }
  int slices = 0;
  for (;;) {
    h.wait_step();
    ++slices;
    const bool done = f.w.optimiser.k >= f.w.optimiser.nb_it;
    h.release(done);
    if (done) break;
  }
  t.join();
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_GE(slices, 1);
  EXPECT_EQ(f.w.optimiser.k, 40);
  EXPECT_NE(out.find("Extraction of topological graph: "), std::string::npos);
  EXPECT_NE(out.find("done\n\n"), std::string::npos);
  EXPECT_NE(out.find("Number of curves:"), std::string::npos);
}

// The whole .graph file of the worker's drawing as Save Graph writes it, read back by
// the reader that the programs use. "" when it reads, else the reader's refusal.
std::string reread_saved_file(const worker_fixture& f) {
  std::ostringstream out(std::ios::binary);
  write_string(out, "in/t.png");
  write_string(out, "t");
  write_count(out, f.network.size());
  for (const layer_graph& lg : f.network) lg.write(out);
  f.w.save(out);
  std::istringstream in(out.str(), std::ios::binary);
  curve_network network;
  cv::Mat input, region;
  data_thread worker(&network, &input, &region);
  try {
    read_graph_stream(in, network, worker);
  } catch (const std::exception& e) {
    return e.what();
  }
  return {};
}

// The reader's checks hold for every file a run saves: after each extraction step,
// between the optimisation's slices and at its end.
TEST(DataThread, AFileSavedAtAnyStepOrMidRunReadsBack) {
  for (const cv::Mat& sketch : {fixtures::boxed_t(), fixtures::closed_ring()}) {
    worker_fixture f;
    f.input = fixtures::as_input_image(sketch);
    f.w.rows = f.input.rows;
    f.w.cols = f.input.cols;
    handshake h(f.w);
    testing::internal::CaptureStdout();
    std::thread t(&data_thread::run, &f.w);
    for (int expected = 1; expected <= 11; ++expected) {
      ASSERT_EQ(h.wait_step(), expected);
      EXPECT_EQ(reread_saved_file(f), "") << "saved after step " << expected;
      if (expected == 11) {
        f.w.optimiser.nb_it = 60;
        f.w.step = 12;
      }
      h.release(false);
    }
    for (;;) {
      h.wait_step();
      EXPECT_EQ(reread_saved_file(f), "") << "saved at iteration " << f.w.optimiser.k;
      const bool done = f.w.optimiser.k >= f.w.optimiser.nb_it;
      h.release(done);
      if (done) break;
    }
    t.join();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(reread_saved_file(f), "") << "saved after the run";
  }
}

TEST(DataThread, StopEndsTheLoopWithoutAnotherStep) {
  worker_fixture f;
  handshake h(f.w);
  std::thread t(&data_thread::run, &f.w);
  ASSERT_EQ(h.wait_step(), 1);
  h.release(true);  // stop and go while it waits: no further step
  t.join();
  EXPECT_EQ(f.w.step, 1);
  EXPECT_EQ(h.emitted(), 1u);

  // Stop already set when a step ends: no job_end at all.
  f.w.stop = true;
  f.w.go = false;
  std::thread t2(&data_thread::run, &f.w);
  t2.join();
  EXPECT_EQ(f.w.step, 2);
  EXPECT_EQ(h.emitted(), 1u);
}

TEST(DataThread, ResetEmptiesLayersAndNetworkButKeepsItsRecords) {
  worker_fixture f;
  testing::internal::CaptureStdout();
  for (int s = 0; s <= 9; ++s) f.w.run_step(s);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(f.network.size(), 1u);
  f.w.optimiser.k = 5;
  f.w.step = 10;
  f.w.reset();
  EXPECT_TRUE(f.w.layers.empty());
  ASSERT_EQ(f.network.size(), 1u);
  EXPECT_TRUE(f.network.front().f_curves.empty() && f.network.front().curves.empty());
  EXPECT_EQ(f.w.optimiser.k, 0);
  EXPECT_EQ(f.w.step, 0);
}

TEST(DataThread, StepFourRunsTheViewsNumberOfOpenStrokePasses) {
  // Three hanging strokes, one traced per pass: the view's count is a ceiling, and a
  // negative count runs passes until one traces nothing.
  struct pass_case {
    int nb_edge_one_node;
    std::size_t traced;
  };
  for (const pass_case& c : {pass_case{0, 0}, pass_case{2, 2}, pass_case{3, 3}, pass_case{-1, 3}}) {
    SCOPED_TRACE("passes " + std::to_string(c.nb_edge_one_node));
    view_settings view;
    view.nb_edge_one_node = c.nb_edge_one_node;
    main_gl_widget = &view;
    curve_network network;
    cv::Mat input = fixtures::as_input_image(fixtures::frame_with_hanging_strokes());
    cv::Mat region_image;
    data_thread w(&network, &input, &region_image);
    testing::internal::CaptureStdout();
    for (int step = 0; step <= 4; ++step) w.run_step(step);
    testing::internal::GetCapturedStdout();
    main_gl_widget = nullptr;
    ASSERT_EQ(w.layers.size(), 1u);
    EXPECT_EQ(fixtures::pixel_runs(w.layers.front().traced_pixels), c.traced);
  }
}

// The region picture that step 5 leaves holds the bytes the extraction's own steps would
// show of their float picture, although the worker makes no boundary picture and holds
// the region picture in bytes from its making on; the layers' pixels are the
// same too.
TEST(DataThread, TheRegionPictureShowsTheSameThroughTheOpenStrokePasses) {
  const auto shown = [](const cv::Mat& picture) {
    cv::Mat bytes(picture.size(), CV_8UC3);
    for (int y = 0; y < picture.rows; ++y)
      for (int x = 0; x < picture.cols; ++x)
        for (int c = 0; c < 3; ++c)
          bytes.at<cv::Vec3b>(y, x)[c] = static_cast<uchar>(static_cast<int>(picture.at<cv::Vec3f>(y, x)[c]));
    return bytes;
  };
  const cv::Mat sketch = fixtures::as_input_image(fixtures::frame_with_hanging_strokes());
  testing::internal::CaptureStdout();
  curve_network network;
  cv::Mat input = sketch.clone(), region_image;
  data_thread w(&network, &input, &region_image);
  w.rows = input.rows;
  w.cols = input.cols;
  // Seed 2 draws a region colour whose floats round and truncate to different bytes.
  std::srand(2);
  for (int step = 0; step <= 3; ++step) w.run_step(step);
  EXPECT_EQ(region_image.type(), CV_8UC3) << "held in bytes through the region growth";
  for (int step = 4; step <= 5; ++step) w.run_step(step);

  // The steps as the extraction's functions run them, the picture in floats throughout.
  cv::Mat direct_input = sketch.clone(), direct;
  std::list<layer> layers;
  const region_params& rp = w.region_params;
  std::srand(2);
  cv::Mat boundary;  // the worker makes none
  fixtures::run_steps_to_boundary_pixels(direct_input, layers, direct, &boundary, rp, 10, false,
                                         read_ink_threshold());
  ASSERT_GT(trace_open_strokes(layers, 1), 0) << "the sketch has open strokes to trace";
  extract_nodes(&direct, &layers);
  testing::internal::GetCapturedStdout();

  ASSERT_EQ(region_image.type(), CV_8UC3);
  ASSERT_EQ(region_image.size(), direct.size());
  EXPECT_EQ(cv::norm(region_image, shown(direct), cv::NORM_INF), 0.0);
  EXPECT_GT(cv::countNonZero(shown(direct).reshape(1) != 255), 1000) << "the regions were painted";
  ASSERT_EQ(w.layers.size(), 1u);
  EXPECT_EQ(w.layers.front().graph.edge_pixels, layers.front().graph.edge_pixels);
  EXPECT_EQ(w.layers.front().graph.junction_pixels, layers.front().graph.junction_pixels);

  // Step 6's nodes are painted into the bytes as they would show in the floats.
  testing::internal::CaptureStdout();
  w.run_step(6);
  paint_nodes(&direct, layers);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(region_image.type(), CV_8UC3);
  EXPECT_EQ(cv::norm(region_image, shown(direct), cv::NORM_INF), 0.0);
  EXPECT_EQ(w.layers.front().traced_pixels, layers.front().traced_pixels);
}

TEST(DataThread, WorkerBlockLayoutAndRoundTrip) {
  worker_fixture f;
  f.w.rows = 10;
  f.w.cols = 20;
  f.w.step = 12;
  std::ostringstream empty(std::ios::binary);
  f.w.save(empty);
  std::ostringstream opt(std::ios::binary);
  f.w.optimiser.write(opt);
  // Six i32, three copies of the step, the flags, two empty matrices, no layer.
  EXPECT_EQ(empty.str().size() - opt.str().size(), 64u);
  int32_t steps[3];
  std::memcpy(steps, empty.str().data() + 24, sizeof steps);
  EXPECT_EQ(steps[0], 12);
  EXPECT_EQ(steps[2], 12);

  struct Case { bool go, stop; int32_t word; };
  for (const Case& c : {Case{false, false, 0}, Case{true, false, 1}, Case{false, true, 2}, Case{true, true, 3}}) {
    f.w.go = c.go;
    f.w.stop = c.stop;
    std::ostringstream out(std::ios::binary);
    f.w.save(out);
    int32_t word;
    std::memcpy(&word, out.str().data() + 36, 4);
    EXPECT_EQ(word, c.word);
  }
  // A stored 4 reads as stop without go.
  std::ostringstream out(std::ios::binary);
  f.w.save(out);
  std::string s = out.str();
  const int32_t four = 4;
  std::memcpy(&s[36], &four, 4);
  std::istringstream in(s, std::ios::binary);
  worker_fixture g;
  g.w.load(in);
  EXPECT_TRUE(g.w.stop);
  EXPECT_FALSE(g.w.go);
  EXPECT_EQ(g.w.rows, 10);
  EXPECT_EQ(g.w.step, 12);

  // With real layers the block reads back to the same bytes; a short one fails cleanly.
  // The layers lie in the image they were found in.
  f.w.rows = f.input.rows;
  f.w.cols = f.input.cols;
  testing::internal::CaptureStdout();
  for (int step = 0; step <= 6; ++step) f.w.run_step(step);
  testing::internal::GetCapturedStdout();
  std::ostringstream full(std::ios::binary);
  f.w.save(full);
  worker_fixture h;
  std::istringstream in2(full.str(), std::ios::binary);
  h.w.load(in2);
  std::ostringstream again(std::ios::binary);
  h.w.save(again);
  EXPECT_EQ(again.str(), full.str());
  worker_fixture k;
  std::istringstream cut(full.str().substr(0, full.str().size() / 2), std::ios::binary);
  EXPECT_THROW(k.w.load(cut), graph_format_error);
}


// The tiny layer's window: its box of 22 x 23 pixels widened by the margin of 50.
constexpr int tiny_rows = 123, tiny_cols = 122;

// A window image of the tiny layer: every pixel `fill` but the last, which is `last`.
template <class T>
cv::Mat tiny_image(int type, T fill, T last) {
  cv::Mat m(tiny_rows, tiny_cols, type, cv::Scalar(fill));
  m.at<T>(tiny_rows - 1, tiny_cols - 1) = last;
  return m;
}

// Its bytes as the file holds them, row by row.
template <class T>
std::string tiny_image_bytes(T fill, T last) {
  std::vector<T> v(tiny_rows * tiny_cols, fill);
  v.back() = last;
  return std::string(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
}

// A tiny drawing's raster layer written by hand: every table, set and map holds one or
// two entries and every window image two values, each value distinct, so that writing
// any two fields in each other's place changes the bytes.
layer tiny_layer() {
  layer l;
  l.v_max_ink_dist = {0, 3};
  l.v_nb_pixel = {5, 6};
  l.v_peak = {{7, 8}, {9, 10}};
  l.v_color = {{11, 12, 13}};
  l.v_discarded = {1, 0};
  l.ink_dist = tiny_image<int32_t>(CV_32SC1, 14, 15);
  l.stroke_depth = tiny_image<int32_t>(CV_32SC1, 16, 17);
  l.labels = tiny_image<int32_t>(CV_32SC1, 18, 3);
  l.region_mask = tiny_image<int8_t>(CV_8SC1, 1, -1);
  l.nb_grow_level = 19;
  l.min_x = 20;
  l.min_y = 21;
  l.width = 22;
  l.height = 23;
  l.offset_x = 30;
  l.offset_y = 29;
  l.margin = 50;
  l.neck_pixels = {{24, 25}};
  l.ink_pixels = {{26, 27}, {26, 28}};
  l.traced_pixels = {};
  l.grow_level = {{{31, 32}, 33}};
  l.sample_weight = {{{34, 35}, 0.5f}};
  pixel_graph& g = l.graph;
  g.v_node_centroid = {{36.5f, 37.5f}};
  g.v_node_pixel = {{38, 39}};
  g.v_node_color = {{40, 41, 42}};
  g.junction_pixels = {{43, 44}};
  g.edge_pixels = {{45, 46}, {47, 48}};
  g.node_of_pixel = {{{43, 44}, 0}};
  g.edge_of_pixel = {{{45, 46}, 1}, {{47, 48}, 2}};
  g.edge_pixels_by_pair = {{{1, 2}, {{45, 46}}}};
  g.junction_pixels_by_pair = {{{1, 3}, {{43, 44}}}, {{2, 3}, {}}};
  g.nodes_of_edge = {{1, {0, 4}}};
  g.edges_of_node = {{0, {1}}, {4, {}}};
  g.edges_of_pair = {{{1, 2}, {1, 2}}};
  return l;
}

TEST(DataThread, GoldenWorkerBlockOfATinyDrawing) {
  worker_fixture f;
  f.network.emplace_back().f_curves.resize(2);
  data_thread& w = f.w;
  w.rows = 60;
  w.cols = 80;
  w.region_params = region_params{2, 41, 0.25f, 4};
  w.step = 12;
  w.go = true;
  w.layers.push_back(tiny_layer());
  recuit& r = w.optimiser;
  r.progress_scale = 0.5;
  r.E = 1.25f;
  r.nb_it = 200;
  r.Ti = 2.5f;
  r.T = 1.75f;
  r.dt = 0.875f;
  r.lambda = 0.375f;
  r.mu = 0.0625f;
  r.print_interval = 3;
  r.k = 17;
  r.cumulative_fcurves = {2};
  r.move_dist.param(std::uniform_int_distribution<int>::param_type(0, 3));
  r.fragment_dist.param(std::uniform_int_distribution<int>::param_type(0, 1));
  r.end_dist.param(std::uniform_int_distribution<int>::param_type(0, 5));
  r.degree_dist.param(std::uniform_int_distribution<int>::param_type(1, 2));
  r.unit_dist.param(std::uniform_real_distribution<double>::param_type(0.0, 0.75));

  golden_bytes g;
  g.i32("rows", 60).i32("cols", 80);
  g.i32("least depth", 2).i32("least size", 41).f32("neck ratio", 0.25f).i32("neck margin", 4);
  g.i32("step", 12).i32("step copy", 12).i32("step copy", 12).i32("flags", 1);
  g.i32("spare a rows", 0).i32("spare a cols", 0).i32("spare b rows", 0).i32("spare b cols", 0);
  g.u64("layer count", 1);

  g.u64("max ink distances count", 2).i32("max ink distance", 0).i32("max ink distance", 3);
  g.u64("pixel counts count", 2).i32("pixel count", 5).i32("pixel count", 6);
  g.u64("peaks count", 2).i32("peak x", 7).i32("peak y", 8).i32("peak x", 9).i32("peak y", 10);
  g.u64("colours count", 1).f32("colour x", 11).f32("colour y", 12).f32("colour z", 13);
  g.u64("discarded count", 2).i8("discarded", 1).i8("discarded", 0);
  g.i32("ink distance rows", tiny_rows).i32("ink distance cols", tiny_cols);
  g.raw("ink distances", tiny_image_bytes<int32_t>(14, 15));
  g.i32("stroke depth rows", tiny_rows).i32("stroke depth cols", tiny_cols);
  g.raw("stroke depths", tiny_image_bytes<int32_t>(16, 17));
  g.i32("graph distance rows", 0).i32("graph distance cols", 0);
  g.i32("labels rows", tiny_rows).i32("labels cols", tiny_cols).raw("labels", tiny_image_bytes<int32_t>(18, 3));
  g.i32("region mask rows", tiny_rows).i32("region mask cols", tiny_cols);
  g.raw("region mask", tiny_image_bytes<int8_t>(1, -1));
  g.i32("grow levels", 19);
  g.i32("min x", 20).i32("min y", 21).i32("width", 22).i32("height", 23);
  g.i32("offset y", 29).i32("offset x", 30).i32("margin", 50);
  g.u64("neck pixels count", 1).i32("neck x", 24).i32("neck y", 25);
  g.u64("ink pixels count", 2).i32("ink x", 26).i32("ink y", 27).i32("ink x", 26).i32("ink y", 28);
  g.u64("traced pixels count", 0);
  g.u64("grow level count", 1).i32("grow x", 31).i32("grow y", 32).i32("grow ring", 33);
  g.u64("sample weight count", 1).i32("weight x", 34).i32("weight y", 35).f32("weight", 0.5f);

  g.u64("node centroids count", 1).f32("centroid x", 36.5f).f32("centroid y", 37.5f);
  g.u64("node pixels count", 1).i32("node pixel x", 38).i32("node pixel y", 39);
  g.u64("node colours count", 1).f32("node colour x", 40).f32("node colour y", 41).f32("node colour z", 42);
  g.u64("junction pixels count", 1).i32("junction x", 43).i32("junction y", 44);
  g.u64("edge pixels count", 2).i32("edge x", 45).i32("edge y", 46).i32("edge x", 47).i32("edge y", 48);
  g.u64("node of pixel count", 1).i32("x", 43).i32("y", 44).i32("node", 0);
  g.u64("edge of pixel count", 2).i32("x", 45).i32("y", 46).i32("edge", 1).i32("x", 47).i32("y", 48).i32("edge", 2);
  g.u64("edge pixels by pair count", 1).i32("first label", 1).i32("second label", 2);
  g.u64("pixels", 1).i32("x", 45).i32("y", 46);
  g.u64("junction pixels by pair count", 2).i32("first label", 1).i32("second label", 3);
  g.u64("pixels", 1).i32("x", 43).i32("y", 44);
  g.i32("first label", 2).i32("second label", 3).u64("pixels", 0);
  g.u64("nodes of edge count", 1).i32("edge", 1).u64("nodes", 2).i32("node", 0).i32("node", 4);
  g.u64("edges of node count", 2).i32("node", 0).u64("edges", 1).i32("edge", 1).i32("node", 4).u64("edges", 0);
  g.u64("edges of pair count", 1).i32("first label", 1).i32("second label", 2);
  g.u64("edges", 2).i32("edge", 1).i32("edge", 2);

  g.f64("progress scale", 0.5).f32("energy", 1.25f);
  std::string text_storage(32, '\0');
  text_storage[24] = 15;
  g.raw("text storage", text_storage);
  g.i32("iterations", 200).f32("initial temperature", 2.5f).f32("temperature", 1.75f);
  g.f32("cooling factor", 0.875f).f32("lambda", 0.375f).f32("mu", 0.0625f);
  g.i32("print interval", 3).i32("k", 17);
  g.u64("text length", 0);
  g.u64("cumulative fragments count", 1).i32("cumulative fragments", 2);
  g.i32("move lower", 0).i32("move upper", 3).i32("fragment lower", 0).i32("fragment upper", 1);
  g.i32("end lower", 0).i32("end upper", 5).i32("degree lower", 1).i32("degree upper", 2);
  g.f64("unit lower", 0.0).f64("unit upper", 0.75);

  std::ostringstream out(std::ios::binary);
  w.save(out);
  EXPECT_EQ(g.compare(out.str()), "");

  // The reader takes every field from its place in the same bytes.
  worker_fixture h;
  h.network.emplace_back().f_curves.resize(2);
  std::istringstream in(g.bytes(), std::ios::binary);
  h.w.load(in);
  EXPECT_EQ(h.w.region_params.least_depth, 2);
  EXPECT_EQ(h.w.region_params.least_size, 41);
  EXPECT_EQ(h.w.region_params.neck_margin, 4);
  EXPECT_TRUE(h.w.go);
  EXPECT_FALSE(h.w.stop);
  ASSERT_EQ(h.w.layers.size(), 1u);
  const layer& l = h.w.layers.front();
  EXPECT_EQ(l.v_max_ink_dist, (std::vector<int32_t>{0, 3}));
  EXPECT_EQ(l.v_nb_pixel, (std::vector<int32_t>{5, 6}));
  EXPECT_EQ(l.stroke_depth.rows, tiny_rows);
  EXPECT_EQ(l.stroke_depth.at<int32_t>(tiny_rows - 1, tiny_cols - 1), 17);
  EXPECT_EQ(l.labels.at<int32_t>(0, 0), 18);
  EXPECT_EQ(l.nb_grow_level, 19);
  EXPECT_EQ(l.min_x, 20);
  EXPECT_EQ(l.height, 23);
  EXPECT_EQ(l.offset_x, 30);
  EXPECT_EQ(l.offset_y, 29);
  EXPECT_EQ(l.neck_pixels.size(), 1u);
  EXPECT_TRUE(l.traced_pixels.empty());
  EXPECT_EQ(l.graph.junction_pixels.size(), 1u);
  EXPECT_EQ(l.graph.node_of_pixel.size(), 1u);
  EXPECT_EQ(l.graph.edge_pixels_by_pair.size(), 1u);
  EXPECT_EQ(l.graph.nodes_of_edge.count(1), 1u);
  EXPECT_EQ(l.graph.edges_of_node.size(), 2u);
  const recuit& b = h.w.optimiser;
  EXPECT_EQ(b.Ti, 2.5f);
  EXPECT_EQ(b.T, 1.75f);
  EXPECT_EQ(b.dt, 0.875f);
  EXPECT_EQ(b.lambda, 0.375f);
  EXPECT_EQ(b.mu, 0.0625f);
  EXPECT_EQ(b.print_interval, 3);
  EXPECT_EQ(b.k, 17);
  EXPECT_EQ(b.fragment_dist.b(), 1);
  EXPECT_EQ(b.end_dist.b(), 5);
  EXPECT_EQ(b.degree_dist.a(), 1);
  EXPECT_EQ(b.unit_dist.b(), 0.75);

  // Of three differing copies of the step, the last one read stays.
  std::string copies = g.bytes();
  for (int32_t i = 0; i < 3; ++i) {
    const int32_t step = 12 + i;
    std::memcpy(&copies[24 + 4 * i], &step, 4);
  }
  worker_fixture k;
  k.network.emplace_back().f_curves.resize(2);
  std::istringstream in3(copies, std::ios::binary);
  k.w.load(in3);
  EXPECT_EQ(k.w.step, 14);
}

// Fields that the runs and the extraction steps count, allocate or index with: a stored
// value that no worker leaves is refused, naming the field, before any of it is used.
TEST(DataThread, WorkerBlockRefusesStepImageSizeBoxesAndCountersNoRunLeaves) {
  struct Case {
    const char* what;
    std::function<void(data_thread&)> spoil;
    const char* named;
  };
  const Case cases[] = {
      {"negative step", [](data_thread& w) { w.step = -3; }, "worker step -3"},
      {"step at the int limit", [](data_thread& w) { w.step = INT_MAX; }, "worker step"},
      {"negative image size", [](data_thread& w) { w.rows = -60; }, "image size -60 x 80"},
      {"NaN neck ratio", [](data_thread& w) { w.region_params.neck_ratio = std::nanf(""); }, "non-finite neck ratio"},
      {"infinite temperature", [](data_thread& w) { w.optimiser.T = HUGE_VALF; }, "non-finite optimiser temperature"},
      {"image smaller than the box", [](data_thread& w) { w.cols = 40; }, "layer box outside the image"},
      {"negative box", [](data_thread& w) { w.layers.front().width = -1; }, "layer box -1 x 23"},
      {"margin", [](data_thread& w) { w.layers.front().margin = 7; }, "layer margin 7"},
      {"offsets", [](data_thread& w) { w.layers.front().offset_x = 31; }, "layer offsets"},
      {"ink beyond the box", [](data_thread& w) { w.layers.front().ink_pixels.insert({26, 45}); },
       "ink pixel (26, 45) outside the layer box"},
      {"counter beyond the count", [](data_thread& w) { w.optimiser.k = 201; }, "k = 201 outside 0 .. nb_it = 200"},
      {"negative counter", [](data_thread& w) { w.optimiser.k = -1; }, "k = -1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    worker_fixture f;
    f.w.rows = 60;
    f.w.cols = 80;
    f.w.step = 12;
    f.w.layers.push_back(tiny_layer());
    f.w.optimiser.nb_it = 200;
    f.w.optimiser.k = 200;
    {
      std::ostringstream out(std::ios::binary);
      f.w.save(out);
      worker_fixture g;
      std::istringstream in(out.str(), std::ios::binary);
      ASSERT_NO_THROW(g.w.load(in));  // the unspoilt block reads
    }
    c.spoil(f.w);
    std::ostringstream out(std::ios::binary);
    f.w.save(out);
    worker_fixture g;
    std::istringstream in(out.str(), std::ios::binary);
    try {
      g.w.load(in);
      ADD_FAILURE() << "read";
    } catch (const graph_format_error& e) {
      EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << e.what();
    }
  }
}

}  // namespace

#include "app/data_thread.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "io/graph_stream.h"
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

}  // namespace

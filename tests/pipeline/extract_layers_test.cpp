#include "pipeline/extract_layers.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "pipeline/load_sketch.h"
#include "pipeline/pixel_neighbourhoods.h"
#include "support/sketch_fixtures.h"

namespace {

using fixtures::as_input_image;
using fixtures::blank_sketch;

std::list<layer> layers_of(const cv::Mat& sketch, int min_size, bool separate, cv::Mat* region = nullptr) {
  cv::Mat input = as_input_image(sketch), scratch;
  std::list<layer> layers;
  extract_layers(&input, &layers, region ? region : &scratch, min_size, separate);
  compute_ink_distance(layers, input.rows, input.cols);
  return layers;
}

TEST(ExtractLayers, OneInkBlockGivesItsBoxAndWindow) {
  // A 2 x 2 block at (6, 4): what one black sketch pixel at (3, 2) becomes once doubled.
  cv::Mat s = blank_sketch(10, 12);
  cv::rectangle(s, cv::Point(6, 4), cv::Point(7, 5), cv::Scalar(0), cv::FILLED);
  cv::Mat region;
  std::list<layer> layers = layers_of(s, 100, false, &region);
  ASSERT_EQ(layers.size(), 1u);
  const layer& l = layers.front();
  EXPECT_EQ(l.ink_pixels, (std::set<glm::ivec2>{{6, 4}, {6, 5}, {7, 4}, {7, 5}}));
  EXPECT_EQ(l.min_x, 6);
  EXPECT_EQ(l.min_y, 4);
  EXPECT_EQ(l.width, 1);
  EXPECT_EQ(l.height, 1);
  EXPECT_EQ(l.margin, 50);
  EXPECT_EQ(l.offset_x, 44);
  EXPECT_EQ(l.offset_y, 46);
  EXPECT_EQ(l.ink_dist.size(), cv::Size(101, 101));
  EXPECT_EQ(l.ink_dist.at<int>(50, 50), 0);
  EXPECT_EQ(l.ink_dist.at<int>(51, 51), 0);
  EXPECT_EQ(l.ink_dist.at<int>(50, 53), 2);
  // Region image: black, the ink in the layer's colour.
  EXPECT_EQ(region.size(), s.size());
  EXPECT_EQ(region.type(), CV_32FC3);
  EXPECT_EQ(region.at<cv::Vec3f>(0, 0), cv::Vec3f(0, 0, 0));
  const cv::Vec3f c = region.at<cv::Vec3f>(4, 6);
  EXPECT_NEAR(c[0] * c[0] + c[1] * c[1] + c[2] * c[2], 255.0f * 255.0f, 1.0f);
}

TEST(ExtractLayers, SeparateComponentsAndMinimumSize) {
  cv::Mat s = blank_sketch(40, 40);
  cv::rectangle(s, cv::Point(2, 2), cv::Point(4, 4), cv::Scalar(0), cv::FILLED);     // 9 pixels
  cv::rectangle(s, cv::Point(20, 2), cv::Point(24, 3), cv::Scalar(0), cv::FILLED);   // 10 pixels
  cv::line(s, cv::Point(2, 20), cv::Point(12, 30), cv::Scalar(0), 1, cv::LINE_8);    // diagonal: one
  cv::line(s, cv::Point(13, 30), cv::Point(20, 30), cv::Scalar(0), 1, cv::LINE_8);   // touches it

  std::list<layer> kept = layers_of(s, 10, true);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept.front().ink_pixels.size(), 10u);
  EXPECT_EQ(kept.front().min_x, 20);
  EXPECT_EQ(kept.back().ink_pixels.size(), 11u + 8u);  // diagonal and horizontal, 8-connected

  std::list<layer> one = layers_of(s, 1000, false);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one.front().ink_pixels.size(), 9u + 10u + 19u);
  EXPECT_EQ(one.front().min_x, 2);
  EXPECT_EQ(one.front().min_y, 2);
  EXPECT_EQ(one.front().width, 22);
  EXPECT_EQ(one.front().height, 28);
}

TEST(ExtractLayers, NoInkAllInkAndEmptyInput) {
  EXPECT_TRUE(layers_of(blank_sketch(8, 8), 10, false).empty());

  std::list<layer> all = layers_of(cv::Mat(6, 5, CV_8UC1, cv::Scalar(0)), 10, false);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all.front().ink_pixels.size(), 30u);
  EXPECT_EQ(all.front().ink_dist.size(), cv::Size(104, 105));

  cv::Mat empty, region(2, 2, CV_32FC3);
  std::list<layer> layers(2);
  extract_layers(&empty, &layers, &region, 10, false);
  EXPECT_TRUE(layers.empty());
  EXPECT_TRUE(region.empty());
}

TEST(ComputeInkDistance, OutsideClampedInsideOfLoopKept) {
  // A square loop 3 pixels wide, open by a one-pixel gap: the inside sees the outside only
  // through the gap, so it keeps its own (larger) distances.
  cv::Mat s = blank_sketch(200, 200);
  cv::rectangle(s, cv::Point(20, 20), cv::Point(180, 180), cv::Scalar(0), cv::FILLED);
  cv::rectangle(s, cv::Point(23, 23), cv::Point(177, 177), cv::Scalar(255), cv::FILLED);
  cv::rectangle(s, cv::Point(100, 20), cv::Point(100, 22), cv::Scalar(255), cv::FILLED);
  const layer l = layers_of(s, 10, false).front();
  const cv::Mat& d = l.ink_dist;
  int m = d.at<int>(0, 0);
  for (int x = 0; x < d.cols; ++x) {
    EXPECT_EQ(d.at<int>(0, x), m);
    EXPECT_EQ(d.at<int>(d.rows - 1, x), m);
  }
  for (int y = 0; y < d.rows; ++y) {
    EXPECT_EQ(d.at<int>(y, 0), m);
    EXPECT_EQ(d.at<int>(y, d.cols - 1), m);
  }
  EXPECT_EQ(m, 49);  // the right and bottom margins are 49 wide
  const glm::ivec2 centre = glm::ivec2(100, 100) + glm::ivec2(l.offset_x, l.offset_y);
  EXPECT_EQ(d.at<int>(centre.y, centre.x), 100 - 22);
  // Outside, next to the loop, the true distance stands.
  EXPECT_EQ(d.at<int>(centre.y, 19 + l.offset_x), 1);
  EXPECT_EQ(d.at<int>(centre.y, 15 + l.offset_x), 5);
}

}  // namespace

namespace {

// The ink distance as the plain ring flood over 3 x 3 windows defines it, with the clamp.
cv::Mat reference_ink_distance(const layer& l) {
  const int rows = l.ink_dist.rows, cols = l.ink_dist.cols;
  cv::Mat d(rows, cols, CV_32SC1, cv::Scalar(-1));
  std::vector<glm::ivec2> ring;
  for (const glm::ivec2& p : l.ink_pixels) {
    const glm::ivec2 w = p + glm::ivec2(l.offset_x, l.offset_y);
    d.at<int>(w.y, w.x) = 0;
    ring.push_back(w);
  }
  const int last = ring_flood(ring, [&](glm::ivec2 p, int k, std::vector<glm::ivec2>& next) {
    for (glm::ivec2 q : window_3x3(p, rows, cols))
      if (d.at<int>(q.y, q.x) == -1) {
        d.at<int>(q.y, q.x) = k;
        next.push_back(q);
      }
  });
  int m = last;
  for (int x = 0; x < cols; ++x) m = std::min({m, d.at<int>(0, x), d.at<int>(rows - 1, x)});
  for (int y = 0; y < rows; ++y) m = std::min({m, d.at<int>(y, 0), d.at<int>(y, cols - 1)});
  cv::Mat seen(rows, cols, CV_8UC1, cv::Scalar(0));
  std::vector<glm::ivec2> queue{{0, 0}};
  for (std::size_t i = 0; i < queue.size(); ++i)
    for (glm::ivec2 q : window_3x3(queue[i], rows, cols))
      if (seen.at<uchar>(q.y, q.x) == 0 && d.at<int>(q.y, q.x) >= m) {
        d.at<int>(q.y, q.x) = m;
        seen.at<uchar>(q.y, q.x) = 1;
        queue.push_back(q);
      }
  return d;
}

TEST(ComputeInkDistance, MatchesTheRingFloodOnDrawings) {
  for (unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    for (const layer& l : layers_of(fixtures::random_drawing(200, 25, seed), 10, true)) {
      const cv::Mat expected = reference_ink_distance(l);
      ASSERT_EQ(cv::countNonZero(expected != l.ink_dist), 0);
    }
  }
}


TEST(ReadInkThreshold, ValueOfTheFileOrTheShippedOneWithAMessage) {
  struct row {
    const char* text;  // file content; null: no file
    float expected;
    bool message;
  };
  const row rows[] = {
      {"0.5\n", 0.5f, false},
      {"0.9372549", ink_threshold, false},
      {"0 trailing words are ignored", 0.0f, false},
      {nullptr, ink_threshold, true},
      {"", ink_threshold, true},
      {"abc", ink_threshold, true},
      {"0.5x", ink_threshold, true},
      {"1", ink_threshold, true},    // every white pixel would be ink
      {"239", ink_threshold, true},  // a grey byte, not a fraction of white
      {"-0.1", ink_threshold, true},
      {"nan", ink_threshold, true},
  };
  const std::string path = fixtures::temp_path("color_thresh.conf");
  for (const row& r : rows) {
    std::filesystem::remove(path);
    if (r.text) std::ofstream(path) << r.text;
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_ink_threshold(path.c_str()), r.expected) << (r.text ? r.text : "no file");
    const std::string err = testing::internal::GetCapturedStderr();
    if (r.message) {
      EXPECT_NE(err.find(path), std::string::npos) << err;
      EXPECT_NE(err.find("ink threshold 0.937255"), std::string::npos) << err;
    } else {
      EXPECT_EQ(err, "") << r.text;
    }
  }
  std::filesystem::remove(path);
  // The shipped file holds the shipped threshold.
  EXPECT_EQ(read_ink_threshold(), ink_threshold);
}

TEST(ExtractLayers, InkIsWhatTheThresholdSays) {
  // Columns of grey 40, 127, 128, 235, 238, 239 and 255, two pixels wide.
  const int greys[] = {40, 127, 128, 235, 238, 239, 255};
  cv::Mat s = blank_sketch(4, 14);
  for (int i = 0; i < 7; ++i) s.colRange(2 * i, 2 * i + 2).setTo(greys[i]);
  const cv::Mat input = as_input_image(s);
  struct row {
    float threshold;
    int ink_columns;  // the first columns are ink, the rest paper
  };
  for (const row& r : {row{ink_threshold, 5}, row{0.5f, 2}, row{0.0f, 0}, row{0.93f, 4}}) {
    cv::Mat in = input, region;
    std::list<layer> layers;
    extract_layers(&in, &layers, &region, 1, false, r.threshold);
    std::size_t count = 0;
    for (const layer& l : layers) count += l.ink_pixels.size();
    EXPECT_EQ(count, std::size_t(4 * 2 * r.ink_columns)) << r.threshold;
  }
}

TEST(ExtractLayers, FaintSpecksBesideDarkerInkArePaper) {
  // A black stroke (columns 30 to 35, rows 20 to 59 of the input) and a 2 x 2 speck above
  // it, first in the scan. JPEG ringing beside a stroke is such a speck, less than half
  // as far below the threshold as the stroke; a speck as dark as that, or farther than
  // 16 pixels from darker ink, or a faint drawing on its own, stays ink.
  struct row {
    const char* what;
    int speck_grey;
    int speck_x;  // the speck's left column (rows 5 and 6)
    bool stroke;
    bool speck_is_ink;
  };
  const row rows[] = {
      {"light ringing near the stroke", 230, 40, true, false},
      {"darker ringing near the stroke", 200, 44, true, false},
      {"a dark dot near the stroke", 100, 40, true, true},
      {"light grey far from the stroke", 230, 70, true, true},
      {"a faint drawing on its own", 230, 40, false, true},
  };
  for (const row& r : rows)
    for (bool separate : {false, true}) {
      SCOPED_TRACE(std::string(r.what) + (separate ? ", separate layers" : ", one layer"));
      cv::Mat s = blank_sketch(64, 96);
      if (r.stroke) s(cv::Rect(30, 20, 6, 40)).setTo(0);
      s(cv::Rect(r.speck_x, 5, 2, 2)).setTo(r.speck_grey);
      cv::Mat region;
      const std::list<layer> layers = layers_of(s, 1, separate, &region);
      std::set<glm::ivec2> ink;
      for (const layer& l : layers) ink.insert(l.ink_pixels.begin(), l.ink_pixels.end());
      const std::size_t stroke = r.stroke ? 6 * 40 : 0;
      EXPECT_EQ(ink.size(), stroke + (r.speck_is_ink ? 4 : 0));
      EXPECT_EQ(ink.count({r.speck_x, 5}), r.speck_is_ink ? 1u : 0u);
      EXPECT_EQ(layers.size(), separate ? std::size_t(r.stroke) + r.speck_is_ink : 1u);
      // Paper is not painted.
      EXPECT_EQ(region.at<cv::Vec3f>(5, r.speck_x) != cv::Vec3f(0, 0, 0), r.speck_is_ink);
      for (const layer& l : layers) EXPECT_FALSE(l.ink_pixels.empty());
    }
}

TEST(ExtractLayers, FaintWhiskersOffAStrokeArePaperItsEdgeIsNot) {
  // A black stroke (columns 30 to 35, rows 20 to 59) with a line one pixel wide leaving
  // its right side at row 40 for 12 pixels, and a grey edge 2 pixels wide down its left
  // side. A faint line is JPEG ringing: beyond 4 steps from the stroke it is paper.
  struct row {
    const char* what;
    int line_grey;
    int line_pixels_kept;
  };
  for (const row& r : {row{"a faint whisker", 230, 4}, row{"a grey stroke", 150, 12}}) {
    SCOPED_TRACE(r.what);
    cv::Mat s = blank_sketch(64, 96);
    s(cv::Rect(30, 20, 6, 40)).setTo(0);
    s(cv::Rect(28, 20, 2, 40)).setTo(220);
    s(cv::Rect(36, 40, 12, 1)).setTo(r.line_grey);
    cv::Mat region;
    const std::list<layer> layers = layers_of(s, 1, false, &region);
    ASSERT_EQ(layers.size(), 1u);
    const std::set<glm::ivec2>& ink = layers.front().ink_pixels;
    EXPECT_EQ(ink.size(), std::size_t(8 * 40 + r.line_pixels_kept));
    for (int x = 36; x < 48; ++x) {
      EXPECT_EQ(ink.count({x, 40}), x < 36 + r.line_pixels_kept ? 1u : 0u) << x;
      EXPECT_EQ(region.at<cv::Vec3f>(40, x) != cv::Vec3f(0, 0, 0), x < 36 + r.line_pixels_kept) << x;
    }
  }
}

TEST(MostlyInkAdvice, PhoneScanNamesThePaperGreyAndAThresholdThatWorks) {
  // Three strokes, 3 pixels wide, and a closed ring, scanned on grey paper.
  cv::Mat sketch = fixtures::closed_ring(160, 50, 3);
  cv::line(sketch, cv::Point(10, 20), cv::Point(150, 140), cv::Scalar(0), 3);
  cv::line(sketch, cv::Point(10, 140), cv::Point(150, 20), cv::Scalar(0), 3);
  const std::string path = fixtures::temp_path("phone_scan.jpg");
  ASSERT_TRUE(cv::imwrite(path, fixtures::phone_scan(sketch), {cv::IMWRITE_JPEG_QUALITY, 85}));
  cv::Mat scan;
  ASSERT_TRUE(load_sketch(path.c_str(), &scan));
  std::filesystem::remove(path);

  const std::string err = mostly_ink_advice(scan, ink_threshold, path);
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 0) << err;  // one line
  EXPECT_EQ(err.find(path + ": "), 0u) << err;
  int paper = -1;
  float suggested = -1;
  const std::size_t at_paper = err.find("paper is grey ");
  const std::size_t at_such = err.find("such as ");
  ASSERT_NE(at_paper, std::string::npos) << err;
  ASSERT_NE(at_such, std::string::npos) << err;
  paper = std::stoi(err.substr(at_paper + 14));
  suggested = std::stof(err.substr(at_such + 8));
  EXPECT_NEAR(paper, 235, 2) << err;
  EXPECT_GT(suggested, 0.4f) << err;
  EXPECT_LT(suggested, 0.7f) << err;

  // The suggested threshold finds the strokes: about as much ink as the clean sketch has.
  EXPECT_EQ(mostly_ink_advice(scan, suggested, path), "");
  cv::Mat region;
  std::list<layer> layers;
  extract_layers(&scan, &layers, &region, 100, false, suggested);
  ASSERT_EQ(layers.size(), 1u);
  const double clean_ink = 4.0 * cv::countNonZero(sketch == 0);
  EXPECT_NEAR(double(layers.front().ink_pixels.size()), clean_ink, 0.15 * clean_ink);
}

TEST(MostlyInkAdvice, CleanSketchSaysNothingAndABlackOneHasNoPaper) {
  EXPECT_EQ(mostly_ink_advice(as_input_image(fixtures::closed_ring()), ink_threshold, "ring.png"), "");
  EXPECT_EQ(mostly_ink_advice(cv::Mat(), ink_threshold, "empty.png"), "");

  EXPECT_EQ(mostly_ink_advice(as_input_image(cv::Mat(20, 20, CV_8UC1, cv::Scalar(0))), ink_threshold, "black.png"),
            "black.png: 100% of the image is ink under the ink threshold 0.937255 "
            "(config/color_thresh.conf), and it holds no lighter grey to take for paper");
}

}  // namespace

#include "pipeline/sketch_ink_check.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "pipeline/extract_layers.h"
#include "support/sketch_fixtures.h"

namespace {

using fixtures::as_input_image;

// A ring on grey paper, scanned with a white margin: most of it, not all, is ink under
// the shipped threshold.
cv::Mat ring_on_grey_paper() {
  cv::Mat sketch = fixtures::closed_ring(80, 25, 3);
  sketch.setTo(200, sketch == 255);
  sketch.colRange(0, 10).setTo(255);
  return sketch;
}

TEST(SketchInkCheck, RefusalsAndAdviceByKindOfSketch) {
  struct sketch_case {
    const char* name;
    cv::Mat sketch;  // grey bytes
    bool advice, all_ink, no_ink;
  };
  const sketch_case cases[] = {
      {"ring.png", fixtures::closed_ring(), false, false, false},
      {"white.png", cv::Mat(30, 40, CV_8UC1, cv::Scalar(255)), false, false, true},
      // Grey 239 is the lightest that is still paper.
      {"pale.png", cv::Mat(30, 40, CV_8UC1, cv::Scalar(239)), false, false, true},
      {"black.png", cv::Mat(30, 40, CV_8UC1, cv::Scalar(0)), true, true, false},
      // Grey 238 is ink: a uniform page of it holds no paper at all.
      {"grey.png", cv::Mat(30, 40, CV_8UC1, cv::Scalar(238)), true, true, false},
      {"grey_paper.png", ring_on_grey_paper(), true, false, false},
  };
  for (const sketch_case& c : cases) {
    SCOPED_TRACE(c.name);
    const sketch_ink_check check = check_sketch_ink(as_input_image(c.sketch), ink_threshold, c.name);
    EXPECT_EQ(!check.advice.empty(), c.advice) << check.advice;
    EXPECT_EQ(!check.all_ink.empty(), c.all_ink) << check.all_ink;
    EXPECT_EQ(!check.no_ink.empty(), c.no_ink) << check.no_ink;
    for (const std::string* line : {&check.advice, &check.all_ink, &check.no_ink})
      if (!line->empty()) {
        EXPECT_EQ(line->find(std::string(c.name) + ": "), 0u) << *line;
        EXPECT_EQ(line->find('\n'), std::string::npos) << *line;
      }
  }
  const sketch_ink_check white =
      check_sketch_ink(as_input_image(cv::Mat(4, 4, CV_8UC1, cv::Scalar(255))), ink_threshold, "white.png");
  EXPECT_EQ(white.no_ink, "white.png: no pixel is ink under the ink threshold 0.937255 (config/color_thresh.conf), "
                          "so there is no stroke to trace");
  const sketch_ink_check black =
      check_sketch_ink(as_input_image(cv::Mat(4, 4, CV_8UC1, cv::Scalar(0))), ink_threshold, "black.png");
  EXPECT_EQ(black.all_ink, "black.png: every pixel is ink, so there is no stroke to trace");
  EXPECT_EQ(black.advice, mostly_ink_advice(as_input_image(cv::Mat(4, 4, CV_8UC1, cv::Scalar(0))),
                                            ink_threshold, "black.png"));
}

TEST(SketchInkCheck, FollowsTheThresholdAndTakesAnEmptyImageForNothing) {
  // Under a threshold below the paper's grey the grey page is a drawing, not a blob.
  const sketch_ink_check lower = check_sketch_ink(as_input_image(ring_on_grey_paper()), 0.5f, "grey_paper.png");
  EXPECT_TRUE(lower.advice.empty()) << lower.advice;
  EXPECT_TRUE(lower.all_ink.empty());
  EXPECT_TRUE(lower.no_ink.empty());
  const sketch_ink_check none = check_sketch_ink(cv::Mat(), ink_threshold, "none.png");
  EXPECT_TRUE(none.advice.empty() && none.all_ink.empty() && none.no_ink.empty());
}

}  // namespace

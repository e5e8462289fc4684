#include "pipeline/region_params.h"

#include <fstream>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <gtest/gtest.h>

#include "pipeline/load_sketch.h"
#include "support/sketch_fixtures.h"

namespace {

TEST(RegionParams, ShippedFileMissingAndShortFiles) {
  const region_params defaults;
  const region_params shipped = read_region_params();
  EXPECT_EQ(shipped.least_depth, defaults.least_depth);
  EXPECT_EQ(shipped.least_size, defaults.least_size);
  EXPECT_EQ(shipped.neck_ratio, defaults.neck_ratio);
  EXPECT_EQ(shipped.neck_margin, defaults.neck_margin);

  const region_params missing = read_region_params(fixtures::temp_path("no_region.conf").c_str());
  EXPECT_EQ(missing.least_size, defaults.least_size);
  EXPECT_EQ(missing.neck_margin, defaults.neck_margin);

  struct file_case {
    const char* text;
    region_params expected;
  };
  const std::vector<file_case> cases = {
      {"7 80 0.25 2\n", {7, 80, 0.25f, 2}},
      {"7 80", {7, 80, defaults.neck_ratio, defaults.neck_margin}},
      {"7 oops 0.25 2", {7, defaults.least_size, defaults.neck_ratio, defaults.neck_margin}},
      {"", defaults},
  };
  for (const file_case& c : cases) {
    const std::string path = fixtures::temp_path("region.conf");
    std::ofstream(path) << c.text;
    const region_params p = read_region_params(path.c_str());
    EXPECT_EQ(p.least_depth, c.expected.least_depth) << c.text;
    EXPECT_EQ(p.least_size, c.expected.least_size) << c.text;
    EXPECT_EQ(p.neck_ratio, c.expected.neck_ratio) << c.text;
    EXPECT_EQ(p.neck_margin, c.expected.neck_margin) << c.text;
  }
}

// The shipped defaults on drawn sheets saved as files: four circles, one with a 4-pixel gap
// in its stroke, at several stroke widths, antialiased, as PNG and as JPEG.
TEST(RegionParams, ShippedDefaultsFindTheRegionsOfDrawnSheets) {
  const region_params p = read_region_params();
  for (int width : {1, 2, 3, 5})
    for (const char* ext : {".png", ".jpg"}) {
      SCOPED_TRACE(testing::Message() << "width " << width << ext);
      cv::Mat s = fixtures::blank_sketch(240, 240);
      cv::circle(s, cv::Point(60, 60), 40, cv::Scalar(0), width, cv::LINE_AA);
      cv::circle(s, cv::Point(180, 60), 25, cv::Scalar(0), width, cv::LINE_AA);
      cv::circle(s, cv::Point(60, 180), 15, cv::Scalar(0), width, cv::LINE_AA);
      const double gap = (4.0 + width) / 35.0 * 180.0 / CV_PI;  // degrees
      cv::ellipse(s, cv::Point(180, 180), cv::Size(35, 35), 0, gap, 360, cv::Scalar(0), width, cv::LINE_AA);
      const std::string path = fixtures::temp_path(std::string("sheet") + ext);
      ASSERT_TRUE(cv::imwrite(path, s, {cv::IMWRITE_JPEG_QUALITY, 80}));
      cv::Mat input;
      testing::internal::CaptureStdout();
      ASSERT_TRUE(load_sketch(path.c_str(), &input));
      testing::internal::GetCapturedStdout();
      fixtures::extraction e = fixtures::run_region_steps(input, p, 3);
      ASSERT_EQ(e.layers.size(), 1u);
      const layer& l = e.layers.front();
      int kept = 0;
      for (std::size_t i = 1; i < l.v_discarded.size(); ++i) kept += l.v_discarded[i] == 0;
      EXPECT_EQ(kept, 5);  // the outside and one region per circle
    }
}

}  // namespace

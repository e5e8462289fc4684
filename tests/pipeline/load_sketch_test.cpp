#include "pipeline/load_sketch.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "support/sketch_fixtures.h"

namespace {

// What load_sketch says on standard error; the decoders' own lines there (libpng's) are
// left out.
std::string capture_load(const std::string& path, cv::Mat& out, bool& ok, std::string* why = nullptr) {
  testing::internal::CaptureStderr();
  ok = load_sketch(path.c_str(), &out, why);
  std::istringstream lines(testing::internal::GetCapturedStderr());
  std::string said;
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("libpng ", 0) != 0) said += line + "\n";
  return said;
}

std::string write_bytes(const char* name, const std::vector<uchar>& bytes) {
  const std::string path = fixtures::temp_path(name);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return path;
}

TEST(LoadSketch, DoublesAndScalesGreyBytes) {
  cv::Mat s(2, 3, CV_8UC1);
  s.at<uchar>(0, 0) = 0;
  s.at<uchar>(0, 1) = 238;
  s.at<uchar>(0, 2) = 239;
  s.at<uchar>(1, 0) = 255;
  s.at<uchar>(1, 1) = 100;
  s.at<uchar>(1, 2) = 7;
  const std::string path = fixtures::temp_path("grey.png");
  ASSERT_TRUE(cv::imwrite(path, s));
  cv::Mat out;
  bool ok;
  EXPECT_EQ(capture_load(path, out, ok), "");
  ASSERT_TRUE(ok);
  ASSERT_EQ(out.type(), CV_32FC1);
  ASSERT_EQ(out.rows, 4);
  ASSERT_EQ(out.cols, 6);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 6; ++c)
      EXPECT_EQ(out.at<float>(r, c), s.at<uchar>(r / 2, c / 2) * 0.003921569f) << r << " " << c;
  // The ink threshold falls between 238 and 239.
  EXPECT_LE(out.at<float>(0, 2), 0.9372549f);
  EXPECT_GT(out.at<float>(0, 4), 0.9372549f);
}

// Every kind of file a user may hand in loads to the same grey for a plain colour.
TEST(LoadSketch, GreyColourDepthAndAlphaVariants) {
  struct variant {
    const char* name;
    cv::Mat image;
    int expected_grey;  // tolerance 1 for lossy and scaled formats
  };
  const cv::Vec3b bgr(40, 120, 200);
  // Red-to-grey weights on blue, green, red: 0.299 B + 0.587 G + 0.114 R.
  const int colour_grey = int(0.299 * 40 + 0.587 * 120 + 0.114 * 200 + 0.5);
  cv::Mat transparent(4, 4, CV_8UC4, cv::Scalar(0, 0, 0, 0));  // black but fully transparent
  transparent.at<cv::Vec4b>(1, 1) = cv::Vec4b(0, 0, 0, 255);      // one opaque black pixel
  cv::Mat half(4, 4, CV_8UC4, cv::Scalar(0, 0, 0, 128));           // black at half cover
  const std::vector<variant> variants = {
      {"grey8.png", cv::Mat(4, 4, CV_8UC1, cv::Scalar(90)), 90},
      {"grey16.png", cv::Mat(4, 4, CV_16UC1, cv::Scalar(90 * 257)), 90},
      {"colour8.png", cv::Mat(4, 4, CV_8UC3, cv::Scalar(bgr)), colour_grey},
      {"colour16.png", cv::Mat(4, 4, CV_16UC3, cv::Scalar(40 * 257, 120 * 257, 200 * 257)), colour_grey},
      {"grey.jpg", cv::Mat(8, 8, CV_8UC1, cv::Scalar(90)), 90},
      {"colour.jpg", cv::Mat(8, 8, CV_8UC3, cv::Scalar(bgr)), colour_grey},
      {"transparent.png", transparent, 255},
      {"half.png", half, 127},
  };
  for (const variant& v : variants) {
    const std::string path = fixtures::temp_path(v.name);
    ASSERT_TRUE(cv::imwrite(path, v.image)) << v.name;
    cv::Mat out;
    bool ok;
    capture_load(path, out, ok);
    ASSERT_TRUE(ok) << v.name;
    ASSERT_EQ(out.rows, 2 * v.image.rows) << v.name;
    EXPECT_NEAR(out.at<float>(0, 0) * 255.0f, v.expected_grey, 1.01) << v.name;
  }
  // The opaque pixel stays ink, its transparent surroundings are paper.
  cv::Mat out;
  bool ok;
  capture_load(fixtures::temp_path("transparent.png"), out, ok);
  EXPECT_EQ(out.at<float>(2, 2), 0.0f);
  EXPECT_EQ(out.at<float>(3, 3), 0.0f);
  EXPECT_EQ(out.at<float>(5, 5), 255 * 0.003921569f);
}

TEST(LoadSketch, OnePixelSketch) {
  const std::string path = fixtures::temp_path("one.png");
  ASSERT_TRUE(cv::imwrite(path, cv::Mat(1, 1, CV_8UC1, cv::Scalar(0))));
  cv::Mat out;
  bool ok;
  capture_load(path, out, ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(out.size(), cv::Size(2, 2));
  EXPECT_EQ(cv::countNonZero(out), 0);
}

// Bad input: one line on standard error naming the file, a false result, an empty image.
TEST(LoadSketch, RefusesBadFilesWithOneMessage) {
  const std::string empty = fixtures::temp_path("empty.png");
  std::ofstream(empty).close();
  const std::string text = fixtures::temp_path("notes.png");
  std::ofstream(text) << "these are not pixels\n";
  const std::string truncated = fixtures::temp_path("truncated.png");
  {
    std::vector<uchar> png;
    cv::imencode(".png", cv::Mat(20, 20, CV_8UC1, cv::Scalar(3)), png);
    std::ofstream(truncated, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), 30);
  }
  const std::string wide = fixtures::temp_path("wide.png");
  ASSERT_TRUE(cv::imwrite(wide, cv::Mat(1, max_sketch_side + 1, CV_8UC1, cv::Scalar(255))));
  const std::string big = fixtures::temp_path("big.jpg");
  ASSERT_TRUE(cv::imwrite(big, cv::Mat(3100, 4100, CV_8UC1, cv::Scalar(255))));

  // Headers that claim 20000 x 20000 pixels over a few bytes of data: refused on the
  // header's word, before any decoder allocates the image.
  auto patched = [](const char* name, const char* ext) {
    std::vector<uchar> bytes;
    cv::imencode(ext, cv::Mat(8, 8, CV_8UC1, cv::Scalar(0)), bytes);
    const auto put16 = [&](std::size_t at, int v) {
      bytes[at] = uchar(v >> 8);
      bytes[at + 1] = uchar(v & 255);
    };
    if (std::string(ext) == ".png") {
      put16(18, 20000);  // IHDR width, low half of the big-endian 32-bit field
      put16(22, 20000);  // height
    } else {
      for (std::size_t i = 2; i + 8 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {  // baseline frame header
          put16(i + 5, 20000);
          put16(i + 7, 20000);
          break;
        }
    }
    const std::string path = fixtures::temp_path(name);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
  };

  struct bad {
    std::string path;
    const char* why;
  };
  const std::vector<bad> cases = {
      {fixtures::temp_path("missing.png"), "no such file"},
      {fixtures::temp_path(""), "folder"},
      {empty, "empty"},
      {text, "not an image"},
      {truncated, "not an image"},
      {wide, "8193 x 1 pixels"},
      {big, "4100 x 3100 pixels, more than the 8192 pixels a side or 12582912 pixels that are read; "
            "scale or crop it to at most 8192 pixels a side and 12582912 pixels"},
      {patched("huge.png", ".png"), "20000 x 20000 pixels"},
      {patched("huge.jpg", ".jpg"), "20000 x 20000 pixels"},
  };
  for (const bad& b : cases) {
    cv::Mat out(3, 3, CV_32FC1);
    bool ok = true;
    std::string why = "stale";
    const std::string said = capture_load(b.path, out, ok, &why);
    EXPECT_FALSE(ok) << b.path;
    EXPECT_TRUE(out.empty()) << b.path;
    EXPECT_NE(said.find("\"" + b.path + "\""), std::string::npos) << said;
    EXPECT_NE(said.find(b.why), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    // The caller gets the reason the line gives, for its own message.
    EXPECT_NE(why.find(b.why), std::string::npos) << why;
    EXPECT_EQ(said, "cannot load sketch \"" + b.path + "\": " + why + "\n");
  }
  cv::Mat out;
  std::string why;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(load_sketch(nullptr, &out, &why));
  EXPECT_NE(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(why, "no file name given");
  // A sketch that loads leaves no reason behind.
  const std::string fine = fixtures::temp_path("fine.png");
  ASSERT_TRUE(cv::imwrite(fine, cv::Mat(2, 2, CV_8UC1, cv::Scalar(0))));
  EXPECT_TRUE(load_sketch(fine.c_str(), &out, &why));
  EXPECT_EQ(why, "");
}

// A JPEG cut short decodes without error, the missing part grey: it is refused with the
// reason wherever the cut falls, and a whole one is read in every form an encoder
// writes, also with bytes after its end.
TEST(LoadSketch, JpegCutShortIsRefusedAndWholeOnesAreRead) {
  cv::Mat sketch(120, 160, CV_8UC3, cv::Scalar(255, 255, 255));
  cv::circle(sketch, {80, 60}, 40, cv::Scalar(0, 0, 0), 3);
  cv::line(sketch, {0, 0}, {159, 119}, cv::Scalar(30, 60, 90), 2);
  auto encoded = [&](const std::vector<int>& params, bool grey = false) {
    std::vector<uchar> bytes;
    cv::Mat img = sketch;
    if (grey) cv::cvtColor(sketch, img, cv::COLOR_BGR2GRAY);
    EXPECT_TRUE(cv::imencode(".jpg", img, bytes, params));
    return bytes;
  };
  struct form {
    const char* name;
    std::vector<uchar> bytes;
  };
  std::vector<form> whole = {
      {"baseline.jpg", encoded({})},
      {"grey.jpg", encoded({}, true)},
      {"progressive.jpg", encoded({cv::IMWRITE_JPEG_PROGRESSIVE, 1})},
      {"restarts.jpg", encoded({cv::IMWRITE_JPEG_RST_INTERVAL, 2})},
      {"optimised.jpg", encoded({cv::IMWRITE_JPEG_OPTIMIZE, 1, cv::IMWRITE_JPEG_QUALITY, 100})},
  };
  // An EXIF block holding a thumbnail, whose own end marker comes before the image's.
  std::vector<uchar> exif = whole[0].bytes;
  const std::vector<uchar> app1 = {0xFF, 0xE1, 0x00, 0x0C, 'E', 'x', 'i', 'f', 0, 0, 0xFF, 0xD8, 0xFF, 0xD9};
  exif.insert(exif.begin() + 2, app1.begin(), app1.end());
  whole.push_back({"exif.jpg", exif});
  std::vector<uchar> trailing = whole[0].bytes;
  for (uchar b : {0x00, 0xFF, 0xD8, 0x12, 0x0A}) trailing.push_back(b);
  whole.push_back({"trailing.jpg", trailing});

  for (const form& f : whole) {
    SCOPED_TRACE(f.name);
    cv::Mat out;
    bool ok = false;
    const std::string said = capture_load(write_bytes(f.name, f.bytes), out, ok);
    EXPECT_TRUE(ok) << said;
    EXPECT_EQ(said, "");
    EXPECT_EQ(out.size(), cv::Size(320, 240));
    // Cut at a quarter, at half, and just before the end marker (the decoder draws all
    // but the last rows then): refused.
    const std::size_t n = f.bytes.size() - (f.name == std::string("trailing.jpg") ? 5 : 0);
    for (const std::size_t keep : {n / 4, n / 2, n - 2}) {
      const std::vector<uchar> cut(f.bytes.begin(), f.bytes.begin() + keep);
      const std::string path = write_bytes("cut.jpg", cut);
      std::string why;
      const std::string line = capture_load(path, out, ok, &why);
      EXPECT_FALSE(ok) << keep << " of " << n;
      EXPECT_TRUE(out.empty());
      EXPECT_EQ(why, "the JPEG file is cut short (it ends before its end-of-image marker), so part of "
                     "the picture is missing");
      EXPECT_EQ(line, "cannot load sketch \"" + path + "\": " + why + "\n");
    }
  }
}

// A phone photo of a sketch, 12 megapixels, is read whole: the limit sits above it.
TEST(LoadSketch, TwelveMegapixelPhotoIsRead) {
  for (const cv::Size size : {cv::Size(4000, 3000), cv::Size(3024, 4032), cv::Size(4096, 3072)}) {
    const std::string path = fixtures::temp_path("photo.jpg");
    cv::Mat photo(size, CV_8UC1, cv::Scalar(235));
    cv::line(photo, {100, 100}, {size.width - 100, size.height - 100}, cv::Scalar(40), 5);
    ASSERT_TRUE(cv::imwrite(path, photo));
    cv::Mat out;
    ASSERT_TRUE(load_sketch(path.c_str(), &out)) << size;
    EXPECT_EQ(out.size(), cv::Size(2 * size.width, 2 * size.height));
  }
}

}  // namespace

#include "gl/gl_context.h"
#include "gl/png_snapshot.h"
#include "gl/texture.h"

#include <gmock/gmock.h>
#include <opencv2/imgcodecs.hpp>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Level 0 of a texture as RGBA bytes, rows in texture order.
cv::Mat texture_rgba(base_texture& texture) {
  texture.bind();
  int width = 0, height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  cv::Mat rgba(height, width, CV_8UC4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  return rgba;
}

}  // namespace

class texture_test : public gl_test {};

TEST_F(texture_test, grey_and_colour_images_become_rgba_bytes) {
  cv::Mat gray = (cv::Mat_<float>(1, 3) << 0.5f, 1.0f, 0.0f);
  Texture_opencv from_gray(gray);
  EXPECT_EQ(from_gray.name, "lol");
  cv::Mat rgba = texture_rgba(from_gray);
  EXPECT_EQ(rgba.at<cv::Vec4b>(0, 0), cv::Vec4b(127, 127, 127, 255));
  EXPECT_EQ(rgba.at<cv::Vec4b>(0, 1), cv::Vec4b(255, 255, 255, 255));
  EXPECT_EQ(rgba.at<cv::Vec4b>(0, 2), cv::Vec4b(0, 0, 0, 255));

  cv::Mat_<cv::Vec3f> colour(2, 1, cv::Vec3f(10.7f, 20.2f, 250.9f));
  colour(1, 0) = cv::Vec3f(0, 0, 0);
  Texture_opencv from_colour(colour);
  EXPECT_EQ(from_colour.name, "lol_2.0");
  rgba = texture_rgba(from_colour);
  ASSERT_EQ(rgba.size(), cv::Size(1, 2));
  EXPECT_EQ(rgba.at<cv::Vec4b>(0, 0), cv::Vec4b(250, 20, 10, 255));
  EXPECT_EQ(rgba.at<cv::Vec4b>(1, 0), cv::Vec4b(0, 0, 0, 255));

  // The bytes of the floats truncated show as the floats do.
  cv::Mat_<cv::Vec3b> bytes(2, 1, cv::Vec3b(10, 20, 250));
  bytes(1, 0) = cv::Vec3b(0, 0, 0);
  Texture_opencv from_bytes(bytes);
  EXPECT_EQ(from_bytes.name, "lol_2.0");
  const cv::Mat from_bytes_rgba = texture_rgba(from_bytes);
  ASSERT_EQ(from_bytes_rgba.size(), rgba.size());
  EXPECT_EQ(cv::norm(from_bytes_rgba, rgba, cv::NORM_INF), 0.0);
}

// Large images are converted a band of rows at a time: every row arrives, the last band
// short, whether the texture is made or refreshed.
TEST_F(texture_test, images_taller_than_a_band_arrive_whole) {
  struct upload_case {
    const char* what;
    int rows, cols;
    int type;
    bool update;
  };
  const upload_case cases[] = {
      {"grey, made", 301, 8192, CV_32FC1, false},
      {"grey, refreshed", 301, 8192, CV_32FC1, true},
      {"colour, made", 130, 8190, CV_32FC3, false},
      {"colour, refreshed", 130, 8190, CV_32FC3, true},
      {"colour bytes, made", 130, 8190, CV_8UC3, false},
      {"colour bytes, refreshed", 130, 8190, CV_8UC3, true},
      {"one column", 3, 1, CV_32FC3, false},
      {"one column of bytes", 3, 1, CV_8UC3, false},
  };
  cv::RNG rng(20);
  for (const upload_case& c : cases) {
    SCOPED_TRACE(c.what);
    const bool colour = c.type != CV_32FC1;
    cv::Mat image(c.rows, c.cols, c.type);
    rng.fill(image, cv::RNG::UNIFORM, 0.0, colour ? 256.0 : 1.0);
    Texture_opencv texture(cv::Mat(1, 1, CV_32FC1, cv::Scalar(0.0f)));
    if (c.update) {
      colour ? texture.update_color(image) : texture.update_gray(image);
    } else {
      ASSERT_TRUE(colour ? texture.load_color(image) : texture.load_gray(image));
    }
    const cv::Mat rgba = texture_rgba(texture);
    ASSERT_EQ(rgba.size(), image.size());
    int differing = 0;
    for (int y = 0; y < image.rows; ++y)
      for (int x = 0; x < image.cols; ++x) {
        cv::Vec4b expected;
        if (c.type == CV_8UC3) {
          const cv::Vec3b bgr = image.at<cv::Vec3b>(y, x);
          expected = {bgr[2], bgr[1], bgr[0], 255};
        } else if (colour) {
          const cv::Vec3f bgr = image.at<cv::Vec3f>(y, x);
          expected = {uchar(int(bgr[2])), uchar(int(bgr[1])), uchar(int(bgr[0])), 255};
        } else {
          const uchar b = uchar(int(image.at<float>(y, x) * 255.0f));
          expected = {b, b, b, 255};
        }
        if (rgba.at<cv::Vec4b>(y, x) != expected) ++differing;
      }
    EXPECT_EQ(differing, 0);
  }
}

TEST_F(texture_test, updates_replace_the_content_of_the_same_texture) {
  Texture_opencv texture(cv::Mat(2, 2, CV_32FC1, cv::Scalar(0.0f)));
  GLuint id = texture.get_id();
  texture.update_gray(cv::Mat(3, 5, CV_32FC1, cv::Scalar(1.0f)));
  EXPECT_EQ(texture.get_id(), id);
  EXPECT_EQ(texture.name, "lol");
  cv::Mat rgba = texture_rgba(texture);
  EXPECT_EQ(rgba.size(), cv::Size(5, 3));
  EXPECT_EQ(rgba.at<cv::Vec4b>(2, 4), cv::Vec4b(255, 255, 255, 255));
  texture.update_color(cv::Mat(1, 1, CV_32FC3, cv::Scalar(1, 2, 3)));
  EXPECT_EQ(texture_rgba(texture).at<cv::Vec4b>(0, 0), cv::Vec4b(3, 2, 1, 255));

  // Loading anew makes a new texture and frees the old one.
  ASSERT_TRUE(texture.load_gray(cv::Mat(1, 1, CV_32FC1, cv::Scalar(0.0f))));
  EXPECT_NE(texture.get_id(), id);
  EXPECT_FALSE(glIsTexture(id));
  EXPECT_EQ(texture_rgba(texture).at<cv::Vec4b>(0, 0), cv::Vec4b(0, 0, 0, 255));
}

// No data, or data of another kind, changes nothing and says so.
TEST_F(texture_test, images_without_usable_data_are_refused) {
  Texture_opencv texture;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(texture.load_gray(cv::Mat()));
  EXPECT_FALSE(texture.load_color(cv::Mat(2, 2, CV_32FC1, cv::Scalar(0.5f))));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unable to load texture lol\nUnable to load texture lol_2.0\n");
  EXPECT_EQ(texture.get_id(), GLuint(-1));

  Texture_opencv kept(cv::Mat(1, 1, CV_32FC1, cv::Scalar(1.0f)));
  testing::internal::CaptureStderr();
  kept.update_gray(cv::Mat(1, 1, CV_8UC1, cv::Scalar(0)));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Invalid image lol\n");
  EXPECT_EQ(texture_rgba(kept).at<cv::Vec4b>(0, 0), cv::Vec4b(255, 255, 255, 255));
}

TEST_F(texture_test, an_image_file_loads_as_rgba) {
  fs::path folder = scratch_folder("vt_gl_texture");
  std::string path = (folder / "red.png").string();
  cv::imwrite(path, cv::Mat(2, 3, CV_8UC3, cv::Scalar(0, 0, 255)));
  testing::internal::CaptureStdout();
  Texture_opencv texture(path);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), path + "\n");
  EXPECT_EQ(texture.name, path);
  EXPECT_EQ(texture_rgba(texture).at<cv::Vec4b>(1, 2), cv::Vec4b(255, 0, 0, 255));

  std::string missing = (folder / "missing.png").string();
  Texture_opencv none;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(none.load(missing));
  EXPECT_THAT(testing::internal::GetCapturedStderr(), testing::HasSubstr("Unable to load texture " + missing + "\n"));
  fs::remove_all(folder);
}

// GL reads rows bottom-up: the texture's last row is the top of the picture.
TEST_F(texture_test, a_snapshot_writes_the_texture_upright) {
  fs::path folder = scratch_folder("vt_gl_snapshot");
  cv::Mat_<cv::Vec3f> colour(2, 3, cv::Vec3f(0, 0, 0));
  colour(1, 0) = cv::Vec3f(0, 0, 255);  // red in the texture's second row
  Texture_opencv texture(colour);
  std::string path = (folder / "snap.png").string();
  EXPECT_TRUE(texture.save(path));
  cv::Mat png = cv::imread(path, cv::IMREAD_UNCHANGED);
  ASSERT_EQ(png.size(), cv::Size(3, 2));
  ASSERT_EQ(png.type(), CV_8UC4);
  EXPECT_EQ(png.at<cv::Vec4b>(0, 0), cv::Vec4b(0, 0, 255, 255));
  EXPECT_EQ(png.at<cv::Vec4b>(1, 0), cv::Vec4b(0, 0, 0, 255));

  base_texture plain;
  EXPECT_FALSE(plain.save_pixels(path, nullptr, png.cols, png.rows));
  EXPECT_FALSE(plain.load(path));
  fs::remove_all(folder);
}

TEST(png_snapshot, grey_rows_are_flipped_and_a_failed_write_is_named_and_reported) {
  fs::path folder = scratch_folder("vt_gl_png");
  const unsigned char bytes[] = {1, 2, 3, 4, 5, 6};
  int width = 3, height = 2;
  std::string path = (folder / "gray.png").string();
  EXPECT_TRUE(save_gray_png(path, bytes, width, height));
  cv::Mat png = cv::imread(path, cv::IMREAD_UNCHANGED);
  EXPECT_EQ(png.type(), CV_8UC1);
  EXPECT_EQ(png.at<unsigned char>(0, 0), 4);
  EXPECT_EQ(png.at<unsigned char>(1, 2), 3);
  const std::string missing = (folder / "no_folder").string();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(save_gray_png(missing + "/gray.png", bytes, width, height));
  EXPECT_FALSE(save_rgba_png(missing + "/rgba.png", bytes, width = 1, height = 1));
  EXPECT_FALSE(save_gray_png(path, bytes, width = 0, height = 0));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "png: could not write file " + missing + "/gray.png: No such file or directory\n"
            "png: could not write file " + missing + "/rgba.png: No such file or directory\n"
            "png: could not write file " + path + ": the image is empty\n");
  EXPECT_EQ(cv::imread(path, cv::IMREAD_UNCHANGED).at<unsigned char>(0, 0), 4);  // the older file stays
  fs::remove_all(folder);
}

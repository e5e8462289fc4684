#include "drawable_fixtures.h"
#include "gl/fbo.h"
#include "gl/gl_bezier.h"
#include "gl/gl_context.h"
#include "gl/image_tex.h"
#include "gl/texture.h"
#include "gl/vbo.h"

#include <gmock/gmock.h>
#include <opencv2/imgcodecs.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int side = 64;

// Grey squares at given depths, zoom and pan, as the view would draw its images.
class depth_scene {
public:
  VBO vbo;
  std::vector<std::unique_ptr<Image_tex>> squares;

  depth_scene() { fill_image_quad(vbo); }
  void add(float depth, float s, glm::vec2 t) {
    squares.push_back(make_image(vbo, cv::Mat(4, 4, CV_32FC1, cv::Scalar(0.5f)), depth));
    squares.back()->s = s;
    squares.back()->t = t;
  }
  void draw() {
    for (auto& square : squares) square->draw(glm::mat4(1.0f));
  }
};

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The lines of the text, where a line "*" stands for any line (a depth that the depth
// buffer's precision rounds, as 2 * 0.5 - 1 printed as 1.19209e-07).
testing::Matcher<std::vector<std::string>> lines_like(const std::string& text) {
  std::vector<testing::Matcher<std::string>> lines;
  for (const std::string& line : lines_of(text))
    lines.push_back(line == "*" ? testing::Matcher<std::string>(testing::_) : testing::Matcher<std::string>(line));
  return testing::ElementsAreArray(lines);
}

}  // namespace

class fbo_test : public gl_test {};

// Drawn depths 0.25 to 0.75 are stretched to 0..255; the cleared background (above the
// range) is stored as 255 and a depth of exactly 0 (below it) as 0.
TEST_F(fbo_test, the_depth_snapshot_stretches_the_drawn_depths) {
  fs::path folder = scratch_folder("vt_gl_depth");
  offscreen_target target(side, side);
  depth_scene scene;
  scene.add(0.75f, 0.9f, {0, 0});
  scene.add(0.25f, 0.25f, {0, 0});
  scene.add(0.5f, 0.25f, {-2.5f, 0});
  VBO line_vbo;
  line_vbo.add_array("line", std::vector<glm::vec2>{{0.0f, 0.98f}, {1.0f, 0.98f}});
  line_vbo.upload();
  auto line = make_curve<gl_bezier_deg_1>(line_vbo, "line", 2, glm::vec3(0.0f), 0.0f);
  target.bind_and_clear();
  scene.draw();
  line->draw(glm::mat4(1.0f));

  std::string prefix = (folder / "").string();
  testing::internal::CaptureStdout();
  target.fbo->save_render_buffer(prefix, "depth");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "0.25 0.75\n-0.5 0.5\nsaved as " + prefix + "depth.png\n");
  GLint read_bound = 0;
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read_bound);
  EXPECT_EQ(GLuint(read_bound), target.fbo->id);
  cv::Mat depth = cv::imread(prefix + "depth.png", cv::IMREAD_UNCHANGED);
  ASSERT_EQ(depth.size(), cv::Size(side, side));
  ASSERT_EQ(depth.type(), CV_8UC1);
  EXPECT_EQ(depth.at<unsigned char>(side / 2, side / 2), 0);         // 0.25
  EXPECT_EQ(depth.at<unsigned char>(side / 2, side / 8), 127);       // 0.5, at the left
  EXPECT_EQ(depth.at<unsigned char>(side / 4, side / 2), 255);       // 0.75
  EXPECT_EQ(depth.at<unsigned char>(0, 0), 255);                     // cleared: 1
  EXPECT_EQ(depth.at<unsigned char>(side - 1, side / 2), 0);         // the line at depth 0
  fs::remove_all(folder);
}

// T and Y print "saved as" only for a file really written. A flat depth (nothing drawn,
// or one depth only) has no range to picture: it says so and leaves an older picture
// as it was; a write that fails names the file and the reason on standard error.
TEST_F(fbo_test, saved_as_is_printed_only_for_a_snapshot_written) {
  fs::path folder = scratch_folder("vt_gl_flat_depth");
  const std::string prefix = (folder / "").string();
  const std::string missing = (folder / "no_folder" / "").string();
  struct snapshot_case {
    const char* name;
    std::vector<float> depths;  // one square per depth, nested
    std::string prefix;
    std::string out;            // standard output of both snapshots
    std::string err;
    bool depth_written;
  };
  const snapshot_case cases[] = {
      {"nothing drawn", {}, prefix,
       "saved as " + prefix + "color.png\n10 -10\n19 -21\nno depth picture written to " + prefix +
           "depth.png: all depths are equal (nothing is drawn), so there is nothing to show\n",
       "", false},
      {"one depth", {0.5f}, prefix,
       "saved as " + prefix + "color.png\n0.5 0.5\n*\nno depth picture written to " + prefix +
           "depth.png: all drawn depths are equal (0.5), so there is nothing to show\n",
       "", false},
      {"a range", {0.75f, 0.25f}, prefix,
       "saved as " + prefix + "color.png\n0.25 0.75\n-0.5 0.5\nsaved as " + prefix + "depth.png\n", "", true},
      {"a missing folder", {0.75f, 0.25f}, missing, "0.25 0.75\n-0.5 0.5\n",
       "png: could not write file " + missing + "color.png: No such file or directory\npng: could not write file " +
           missing + "depth.png: No such file or directory\n",
       false},
  };
  offscreen_target target(side, side);
  for (const snapshot_case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(folder / "color.png");
    std::ofstream(folder / "depth.png") << "older picture";
    depth_scene scene;
    float s = 0.9f;
    for (float d : c.depths) scene.add(d, s /= 2, {0, 0});
    target.bind_and_clear();
    scene.draw();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    target.fbo->save_texture(c.prefix, "color");
    target.fbo->save_render_buffer(c.prefix, "depth");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
    EXPECT_THAT(lines_of(testing::internal::GetCapturedStdout()), lines_like(c.out));
    // What was claimed is on the disk, and nothing else changed.
    const bool colour_written = c.prefix == prefix;
    EXPECT_EQ(cv::imread(prefix + "color.png", cv::IMREAD_UNCHANGED).size(),
              colour_written ? cv::Size(side, side) : cv::Size());
    cv::Mat depth = cv::imread(prefix + "depth.png", cv::IMREAD_UNCHANGED);
    if (c.depth_written) {
      ASSERT_EQ(depth.size(), cv::Size(side, side));
      EXPECT_EQ(depth.at<unsigned char>(side / 2, side / 2), 0);  // 0.25
      EXPECT_EQ(depth.at<unsigned char>(0, 0), 255);              // cleared: 1
    } else {
      std::ifstream older(folder / "depth.png");
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(older), {}), "older picture");
    }
    EXPECT_FALSE(fs::exists(missing));
  }
  fs::remove_all(folder);
}

// Under an empty prefix both snapshots land in the working folder as color.png and
// depth.png, and after a resize they cover the new size.
TEST_F(fbo_test, snapshots_follow_the_resized_attachments) {
  fs::path folder = scratch_folder("vt_gl_snapshots");
  offscreen_target target(side, side);
  target.fbo->resize(40, 30);
  target.width = 40;
  target.height = 30;
  depth_scene scene;
  scene.add(0.75f, 0.5f, {0, 0});
  scene.add(0.25f, 0.25f, {0, 0});
  target.bind_and_clear();
  scene.draw();
  ASSERT_EQ(chdir(folder.c_str()), 0);
  testing::internal::CaptureStdout();
  target.fbo->save_texture("", "color");
  target.fbo->save_render_buffer("", "depth");
  std::string printed = testing::internal::GetCapturedStdout();
  ASSERT_EQ(chdir(VELLUMTRACE_SOURCE_DIR), 0);
  EXPECT_THAT(printed, testing::HasSubstr("saved as color.png\n"));
  EXPECT_THAT(printed, testing::HasSubstr("saved as depth.png\n"));
  cv::Mat colour = cv::imread((folder / "color.png").string(), cv::IMREAD_UNCHANGED);
  cv::Mat depth = cv::imread((folder / "depth.png").string(), cv::IMREAD_UNCHANGED);
  EXPECT_EQ(colour.size(), cv::Size(40, 30));
  EXPECT_EQ(depth.size(), cv::Size(40, 30));
  EXPECT_EQ(colour.at<cv::Vec4b>(15, 20), cv::Vec4b(127, 127, 127, 255));
  EXPECT_EQ(colour.at<cv::Vec4b>(0, 0), cv::Vec4b(255, 255, 255, 0));
  EXPECT_EQ(target.fbo->render_buffers.at("depth")->width, 40.0f);
  fs::remove_all(folder);
}

TEST_F(fbo_test, attachments_are_replaced_by_name_and_unknown_names_are_refused) {
  offscreen_target target(8, 8);
  auto texture = std::make_shared<Texture_opencv>(glm::vec2(8, 8));
  target.fbo->add_texture("color", texture, GL_COLOR_ATTACHMENT0);
  EXPECT_EQ(target.fbo->textures.size(), 1u);
  EXPECT_EQ(target.fbo->textures.at("color")->texture, texture);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target.fbo->id);
  testing::internal::CaptureStderr();
  target.fbo->attach_texture("colour");
  target.fbo->attach_render_buffer("deep");
  testing::internal::CaptureStdout();
  target.fbo->save_texture("", "colour");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "FBO: no attachment named colour\nFBO: no attachment named deep\nFBO: no attachment named colour\n");
  EXPECT_EQ(target.fbo->textures.size(), 1u);
  EXPECT_TRUE(target.fbo->render_buffers.count("deep") == 0);
}

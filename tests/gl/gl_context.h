#pragma once
// A real GL context for the GL tests: GLX on the X display (Xvfb under CI), a legacy
// context so Mesa gives the compatibility profile, GLEW initialised, working folder at the
// repository root so shader/ is found. One context per process, made on first use.

#include <GL/glew.h>
#include <glm/glm.hpp>
#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include <filesystem>
#include <memory>
#include <string>

class FBO;

// Makes the process's context current (creating it once); false with a reason when there
// is no display.
bool make_gl_context_current(std::string& why_not);

// An off-screen target of width x height with a colour texture and a depth render buffer,
// set up as the view draws: depth test, alpha blending, white transparent clear colour.
class offscreen_target {
public:
  int width;
  int height;
  std::unique_ptr<FBO> fbo;

  offscreen_target(int width, int height);
  ~offscreen_target();
  void bind_and_clear();
  // The colour attachment read back, upright (first row at the top), RGBA bytes.
  cv::Mat read_rgba();
};

// An empty folder <name>_<pid> under the system's temporary folder; the test removes it.
std::filesystem::path scratch_folder(const std::string& name);

// Saves the colour of an RGBA picture as a PNG under the build folder's gl_test_pictures/.
void save_test_picture(const cv::Mat& rgba, const std::string& name);

// Every GL test: a current context, an empty registry before and after, no GL error left.
class gl_test : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  bool has_context = false;
};

// Whether a program, vertex array or buffer is bound, or the line width is not 1.
std::string leftover_gl_state();

#include "gl/gl_context.h"

#include "gl/fbo.h"
#include "gl/shader_registry.h"
#include "gl/texture.h"

#include <GL/glx.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <filesystem>
#include <sstream>
#include <unistd.h>

namespace {

struct glx_context {
  Display* display = nullptr;
  GLXPbuffer pbuffer = 0;
  GLXContext context = nullptr;
  std::string failure;
};

glx_context make_context() {
  glx_context gl;
  // A virtual server that has just started may still refuse the first connections.
  for (int attempt = 0; attempt < 20 && gl.display == nullptr; ++attempt) {
    gl.display = XOpenDisplay(nullptr);
    if (gl.display == nullptr) usleep(100 * 1000);
  }
  if (gl.display == nullptr) {
    gl.failure = "no X display: run the GL tests under xvfb-run -a";
    return gl;
  }
  const int attributes[] = {GLX_DRAWABLE_TYPE, GLX_PBUFFER_BIT, GLX_RENDER_TYPE, GLX_RGBA_BIT,
                            GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8, GLX_ALPHA_SIZE, 8,
                            GLX_DEPTH_SIZE, 24, None};
  int count = 0;
  GLXFBConfig* configs = glXChooseFBConfig(gl.display, DefaultScreen(gl.display), attributes, &count);
  if (configs == nullptr || count == 0) {
    gl.failure = "no GLX frame buffer configuration with a pbuffer";
    return gl;
  }
  const int pbuffer_size[] = {GLX_PBUFFER_WIDTH, 16, GLX_PBUFFER_HEIGHT, 16, None};
  gl.pbuffer = glXCreatePbuffer(gl.display, configs[0], pbuffer_size);
  // A legacy context: Mesa answers with its highest compatibility profile.
  gl.context = glXCreateNewContext(gl.display, configs[0], GLX_RGBA_TYPE, nullptr, True);
  XFree(configs);
  if (gl.context == nullptr || !glXMakeContextCurrent(gl.display, gl.pbuffer, gl.pbuffer, gl.context)) {
    gl.failure = "cannot make a GLX context current";
    return gl;
  }
  glewExperimental = GL_TRUE;
  if (glewInit() != GLEW_OK) {
    gl.failure = "glewInit failed";
    return gl;
  }
  glGetError();  // GLEW may leave an error behind
  return gl;
}

}  // namespace

bool make_gl_context_current(std::string& why_not) {
  static glx_context gl = make_context();
  why_not = gl.failure;
  if (!gl.failure.empty()) return false;
  return glXMakeContextCurrent(gl.display, gl.pbuffer, gl.pbuffer, gl.context);
}

offscreen_target::offscreen_target(int width, int height)
    : width(width), height(height), fbo(std::make_unique<FBO>()) {
  glGenFramebuffers(1, &fbo->id);
  fbo->add_texture("color", std::make_shared<Texture_opencv>(glm::vec2(width, height)), GL_COLOR_ATTACHMENT0);
  GLuint depth = 0;
  glGenRenderbuffers(1, &depth);
  glBindRenderbuffer(GL_RENDERBUFFER, depth);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
  fbo->add_render_buffer("depth", std::make_shared<RenderBuffer>(depth, GL_DEPTH_COMPONENT24, float(width),
                                                                 float(height), GL_DEPTH_ATTACHMENT));
  fbo->draw_buffers = {GL_COLOR_ATTACHMENT0};
}

offscreen_target::~offscreen_target() {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void offscreen_target::bind_and_clear() {
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo->id);
  glDrawBuffers(1, fbo->draw_buffers.data());
  fbo->target = GL_DRAW_FRAMEBUFFER;
  fbo->attach_texture("color");
  fbo->attach_render_buffer("depth");
  EXPECT_EQ(glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
  glViewport(0, 0, width, height);
  glClearColor(1, 1, 1, 0);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

cv::Mat offscreen_target::read_rgba() {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo->id);
  fbo->target = GL_READ_FRAMEBUFFER;
  fbo->attach_texture("color");
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  cv::Mat bottom_up(height, width, CV_8UC4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottom_up.data);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  cv::Mat upright;
  cv::flip(bottom_up, upright, 0);
  return upright;
}

std::filesystem::path scratch_folder(const std::string& name) {
  std::filesystem::path folder = std::filesystem::temp_directory_path() / (name + "_" + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

void save_test_picture(const cv::Mat& rgba, const std::string& name) {
  std::filesystem::path folder = std::filesystem::path(VELLUMTRACE_BINARY_DIR) / "gl_test_pictures";
  std::filesystem::create_directories(folder);
  // Colour only: the frame's alpha would make viewers show it washed out.
  cv::Mat bgr;
  cv::cvtColor(rgba, bgr, cv::COLOR_RGBA2BGR);
  cv::imwrite((folder / (name + ".png")).string(), bgr);
}

void gl_test::SetUp() {
  std::string why_not;
  has_context = make_gl_context_current(why_not);
  ASSERT_TRUE(has_context) << why_not;
  ASSERT_EQ(chdir(VELLUMTRACE_SOURCE_DIR), 0);
  shader_registry.clear();
  while (glGetError() != GL_NO_ERROR) {
  }
}

void gl_test::TearDown() {
  if (!has_context) return;
  shader_registry.clear();
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

std::string leftover_gl_state() {
  std::ostringstream left;
  const std::pair<GLenum, const char*> bindings[] = {
      {GL_CURRENT_PROGRAM, "program"},
      {GL_VERTEX_ARRAY_BINDING, "vertex array"},
      {GL_ARRAY_BUFFER_BINDING, "array buffer"},
      {GL_ELEMENT_ARRAY_BUFFER_BINDING, "element buffer"}};
  for (const auto& [query, what] : bindings) {
    GLint bound = 0;
    glGetIntegerv(query, &bound);
    if (bound != 0) left << what << " " << bound << " bound; ";
  }
  GLfloat width = 0;
  glGetFloatv(GL_LINE_WIDTH, &width);
  if (width != 1.0f) left << "line width " << width << "; ";
  return left.str();
}

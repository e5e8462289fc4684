// GL set-up, frames, the named drawables and the copy of zoom and pan into them.
#include "app/gl_widget.h"

#include <algorithm>
#include <iostream>
#include <stdexcept>

#include <glm/gtc/matrix_transform.hpp>

#include "app/curve_vertex_arrays.h"
#include "gl/shader_registry.h"
#include "gl/texture.h"
#include "gl/vao.h"

namespace {

// Zoom and pan into the drawable; registered once in the draw list and the view transforms.
template <class T>
T* place_and_register(gl_widget& view, T* drawable) {
  drawable->s = view.zoom;
  drawable->t = glm::vec2(view.pan_x, view.pan_y);
  repere_2d* frame = drawable;
  if (std::find(view.view_transforms.begin(), view.view_transforms.end(), frame) == view.view_transforms.end()) {
    view.view_transforms.push_back(frame);
    view.draw_list.push_back(drawable);
  }
  return drawable;
}

// A curve drawable under `name`, drawing "ct_pt" from the buffer's array of that name.
template <class T>
T* make_curve_drawable(gl_widget& view, const std::string& name, VBO* buffer, float depth,
                       const glm::vec3& colour, int count) {
  auto found = view.scene.find(name);
  T* drawable;
  if (found == view.scene.end()) {
    Shader* shader = get_shader<T>();
    drawable = new T;
    drawable->vao = new VAO(shader, buffer, {{"ct_pt", name}});
    drawable->shader = shader;
    drawable->count = count;
    drawable->line_width = 5.0f;
    drawable->colour = colour;
    drawable->alpha = 1.0f;
    drawable->depth = depth;
    view.scene.emplace(name, drawable);
  } else {
    drawable = static_cast<T*>(found->second);
    drawable->vao->link_ini();  // the buffer was refilled
    drawable->count = count;
  }
  return place_and_register(view, drawable);
}

// The image drawable under `name`; Image_tex takes a grey or a colour image.
template <class Picture>
Image_tex* make_image_drawable(gl_widget& view, const Picture& image, const std::string& name, float depth,
                               void (Texture_opencv::*update)(const cv::Mat&)) {
  auto found = view.scene.find(name);
  Image_tex* drawable;
  if (found == view.scene.end()) {
    Shader* shader = get_shader<Image_tex>();
    VAO* vao = new VAO(shader, &view.vbo_images, {{"vertex", "vertex_images"}, {"tex", "tex_coord"}});
    drawable = new Image_tex(vao, image, depth);
    // Defined until a Display slider writes its own value.
    drawable->alpha = 1.0f;
    view.scene.emplace(name, drawable);
  } else {
    drawable = static_cast<Image_tex*>(found->second);
    (static_cast<Texture_opencv*>(drawable->image.get())->*update)(image);
  }
  return place_and_register(view, drawable);
}

// The cubic that draws a stored curve of degree 0 to 3 (its four control points).
std::array<glm::dvec2, 4> as_cubic(const pick_control_points& p) {
  switch (p.size()) {
    case 0:
      return {};
    case 1:
      return {p[0], p[0], p[0], p[0]};
    case 2:
      return {p[0], p[0] + (p[1] - p[0]) / 3.0, p[0] + (p[1] - p[0]) * (2.0 / 3.0), p[1]};
    case 3:
      return {p[0], p[0] + (p[1] - p[0]) * (2.0 / 3.0), p[2] + (p[1] - p[2]) * (2.0 / 3.0), p[2]};
    default:
      return {p[0], p[1], p[2], p[3]};
  }
}

}  // namespace

// ---- GL overrides ------------------------------------------------------------------

void gl_widget::initializeGL() {
  image_view_width = static_cast<float>(width());
  image_view_height = static_cast<float>(height());
  widget_width = static_cast<float>(width());
  widget_height = static_cast<float>(height());

  if (glewInit() != GLEW_OK) {
    // Without the entry points nothing can be drawn: the view stays blank.
    std::cout << "glewInit failed, aborting." << std::endl;
    return;
  }
  gl_ready_ = true;

  glClearColor(1, 1, 1, 0);
  glShadeModel(GL_SMOOTH);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_TEXTURE_2D);

  glGenFramebuffers(1, &fbo.id);
  fbo.add_texture("color", std::make_shared<Texture_opencv>(glm::vec2(image_view_width, image_view_height)),
                  GL_COLOR_ATTACHMENT0);
  GLuint depth_id = 0;
  glGenRenderbuffers(1, &depth_id);
  glBindRenderbuffer(GL_RENDERBUFFER, depth_id);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, static_cast<int>(image_view_width),
                        static_cast<int>(image_view_height));
  fbo.add_render_buffer("depth", std::make_shared<RenderBuffer>(depth_id, GL_DEPTH_COMPONENT24, image_view_width,
                                                                image_view_height, GL_DEPTH_ATTACHMENT));
  fbo.draw_buffers = {GL_COLOR_ATTACHMENT0};

  glUseProgram(0);
  glBindVertexArray(0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);

  vbo_images.clear();
  vbo_images.add_array("vertex_images", std::vector<glm::vec3>{{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}});
  vbo_images.add_array("tex_coord", std::vector<glm::vec2>{{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  vbo_images.upload();

  // Scheduled: a repaint from inside the initialisation would initialise again.
  QGLWidget::update();
}

void gl_widget::resizeGL(int w, int h) {
  if (input_image.empty() || input_image.rows == 0) {
    // No image yet: the whole widget, not the 0 / 0 aspect of an empty one.
    viewport[0] = 0;
    viewport[1] = 0;
    viewport[2] = static_cast<float>(w);
    viewport[3] = static_cast<float>(h);
  } else {
    const float a = static_cast<float>(static_cast<double>(input_image.cols) / input_image.rows);
    const float e = h * a;
    if (e > w) {
      viewport[0] = (w - e) / 2;
      viewport[1] = 0;
      viewport[2] = e;
      viewport[3] = static_cast<float>(h);
    } else {
      viewport[0] = 0;
      viewport[1] = (h - w / a) / 2;
      viewport[2] = static_cast<float>(w);
      viewport[3] = w / a;
    }
  }
  image_view_width = viewport[2];
  image_view_height = viewport[3];
  view_scale_x = w / image_view_width;
  view_scale_y = h / image_view_height;
  widget_width = static_cast<float>(w);
  widget_height = static_cast<float>(h);
  if (!gl_ready_) return;
  makeCurrent();
  glViewport(static_cast<int>(viewport[0]), static_cast<int>(viewport[1]), static_cast<int>(viewport[2]),
             static_cast<int>(viewport[3]));
  fbo.resize(static_cast<unsigned>(w), static_cast<unsigned>(h));
}

void gl_widget::paintGL() {
  if (!gl_ready_) return;
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo.id);
  glDrawBuffers(static_cast<GLsizei>(fbo.draw_buffers.size()), fbo.draw_buffers.data());
  fbo.target = GL_DRAW_FRAMEBUFFER;
  fbo.attach_texture("color");
  fbo.attach_render_buffer("depth");
  if (glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
    std::cerr << "There is a problem with the FBO" << std::endl;

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glm::mat4 identity(1.0f);
  draw_scene(identity);

  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo.id);
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  fbo.target = GL_READ_FRAMEBUFFER;
  fbo.attach_texture("color");

  const int w = static_cast<int>(widget_width);
  const int h = static_cast<int>(widget_height);
  glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_LINEAR);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
}

void gl_widget::draw_scene(glm::mat4& m) {
  // A widget not yet sized has no aspect; the view's drawables ignore the matrix anyway.
  const float aspect = widget_height > 0 ? widget_width / widget_height : 1.0f;
  const glm::mat4 projection = glm::perspective(0.5235988f, aspect, 0.1f, 1000.0f);
  const glm::mat4 matrix = projection * (m * model);
  for (object* drawable : draw_list) drawable->draw(matrix);
}

// ---- factories ---------------------------------------------------------------------

gl_bezier_deg_1* gl_widget::make_bezier_deg_1(const std::string& name, VBO* buffer, float depth,
                                              const glm::vec3& colour, int count) {
  return make_curve_drawable<gl_bezier_deg_1>(*this, name, buffer, depth, colour, count);
}

gl_bezier_deg_2* gl_widget::make_bezier_deg_2(const std::string& name, VBO* buffer, float depth,
                                              const glm::vec3& colour, int count) {
  return make_curve_drawable<gl_bezier_deg_2>(*this, name, buffer, depth, colour, count);
}

gl_bezier_deg_3* gl_widget::make_bezier_deg_3(const std::string& name, VBO* buffer, float depth,
                                              const glm::vec3& colour, int count) {
  return make_curve_drawable<gl_bezier_deg_3>(*this, name, buffer, depth, colour, count);
}

gl_bezier_node* gl_widget::make_bezier_node(const std::string& name, VBO* buffer, float depth,
                                            const glm::vec3& colour, int count, float ratio) {
  gl_bezier_node* nodes = make_curve_drawable<gl_bezier_node>(*this, name, buffer, depth, colour, count);
  nodes->ratio = ratio;
  return nodes;
}

Image_tex* gl_widget::make_image_tex(const cv::Mat& image, const std::string& name, float depth) {
  return make_image_drawable(*this, image, name, depth, &Texture_opencv::update_gray);
}

Image_tex* gl_widget::make_image_tex_colour(const cv::Mat& image, const std::string& name, float depth) {
  // A byte picture is uploaded as it is: a float copy of it would be 12 bytes a pixel.
  if (image.type() == CV_8UC3)
    return make_image_drawable(*this, cv::Mat_<cv::Vec3b>(image), name, depth, &Texture_opencv::update_color);
  return make_image_drawable(*this, cv::Mat_<cv::Vec3f>(image), name, depth, &Texture_opencv::update_color);
}

std::array<float*, 4> gl_widget::add_curve_drawables(const std::string& name, VBO* buffer, float depth,
                                                     const glm::vec3& colour, int nb_cubic, int nb_quadratic,
                                                     int nb_straight, int nb_node) {
  gl_bezier_deg_1* straight = make_bezier_deg_1(name + "_1", buffer, depth, colour, nb_straight);
  gl_bezier_deg_2* quadratic = make_bezier_deg_2(name + "_2", buffer, depth, colour, nb_quadratic);
  gl_bezier_deg_3* cubic = make_bezier_deg_3(name + "_3", buffer, depth, colour, nb_cubic);
  gl_bezier_node* nodes = make_bezier_node(name + "_node", buffer, depth - 0.01f, colour + glm::vec3(0.5f),
                                           nb_node, image_view_width / image_view_height);
  return {&straight->alpha, &quadratic->alpha, &cubic->alpha, &nodes->alpha};
}

std::array<float*, 4> gl_widget::build_curve_drawables(VBO* buffer, const std::string& name, float depth,
                                                       const glm::vec3& colour) {
  const curve_vertex_arrays arrays = make_curve_vertex_arrays(
      network, static_cast<float>(input_image.cols), static_cast<float>(input_image.rows));
  buffer->clear();
  buffer->add_array(name + "_3", arrays.cubic);
  buffer->add_array(name + "_2", arrays.quadratic);
  buffer->add_array(name + "_1", arrays.straight);
  buffer->add_array(name + "_node", arrays.nodes);
  buffer->upload();
  return add_curve_drawables(name, buffer, depth, colour, static_cast<int>(arrays.cubic.size()),
                             static_cast<int>(arrays.quadratic.size()), static_cast<int>(arrays.straight.size()),
                             static_cast<int>(arrays.nodes.size()));
}

gl_bezier_deg_3* gl_widget::update_selected_drawable(VBO* buffer) {
  // Without GL entry points (GLEW failed) nothing is drawn, the selection itself stands.
  if (!gl_ready_) return nullptr;
  const float w = static_cast<float>(input_image.cols);
  const float h = static_cast<float>(input_image.rows);
  std::vector<glm::vec4> cubics;
  cubics.reserve(2 * selection.size());
  for (const auto& picked : selection) {
    auto layer = pick_index.find(picked.first);
    if (layer == pick_index.end()) throw std::out_of_range("invalid map<K, T> key");
    auto entry = layer->second.find(picked.second);
    if (entry == layer->second.end()) throw std::out_of_range("invalid map<K, T> key");
    // Straight and quadratic curves (from a .graph file) are drawn as the same cubic.
    const std::array<glm::dvec2, 4> p = as_cubic(entry->second);
    const auto u = [w](double x) { return static_cast<float>(x / w); };
    const auto v = [h](double y) { return static_cast<float>(y / h); };
    cubics.emplace_back(u(p[0].x), v(p[0].y), u(p[1].x), v(p[1].y));
    cubics.emplace_back(u(p[2].x), v(p[2].y), u(p[3].x), v(p[3].y));
  }
  buffer->clear();
  buffer->add_array("bezier_selected", cubics);
  buffer->upload();
  return make_selected_drawable("bezier_selected", buffer);
}

gl_bezier_deg_3* gl_widget::make_selected_drawable(const std::string& name, VBO* buffer) {
  if (!gl_ready_) return nullptr;
  gl_bezier_deg_3* selected = make_curve_drawable<gl_bezier_deg_3>(
      *this, name, buffer, 0.0f, glm::vec3(0, 1, 0), 2 * static_cast<int>(selection.size()));
  updateGL();
  return selected;
}

void gl_widget::apply_view_to_drawables() {
  for (repere_2d* frame : view_transforms) {
    frame->s = zoom;
    frame->t = glm::vec2(pan_x, pan_y);
  }
}

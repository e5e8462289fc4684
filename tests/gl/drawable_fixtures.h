#pragma once
// Drawables made as the view's factories make them, for the GL tests to draw.

#include "gl/image_tex.h"
#include "gl/shader_registry.h"
#include "gl/vbo.h"

#include <glm/glm.hpp>
#include <opencv2/core.hpp>

#include <memory>
#include <string>

// A curve drawable (gl_bezier_deg_1, _2, _3 or gl_bezier_node) over one array of vbo, with
// count vertices, an RGB colour in 0..1 and a depth in 0..1.
template <class T>
std::unique_ptr<T> make_curve(VBO& vbo, const std::string& array, int count, glm::vec3 colour, float depth) {
  auto drawable = std::make_unique<T>();
  drawable->vao = new VAO(get_shader<T>(), &vbo, {{"ct_pt", array}});
  drawable->shader = drawable->vao->shader;
  drawable->count = count;
  drawable->colour = colour;
  drawable->depth = depth;
  return drawable;
}

// The image quad's buffer, as the view fills it: "vertex_images" and "tex_coord".
void fill_image_quad(VBO& vbo);

// An image over a buffer filled by fill_image_quad: grey (CV_32FC1, 0..1) or colour
// (BGR, 0..255).
std::unique_ptr<Image_tex> make_image(VBO& quad, const cv::Mat& gray, float depth);
std::unique_ptr<Image_tex> make_image(VBO& quad, const cv::Mat_<cv::Vec3f>& colour, float depth);

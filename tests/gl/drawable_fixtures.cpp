#include "drawable_fixtures.h"

#include <vector>

namespace {

VAO* image_vao(VBO& quad) {
  return new VAO(get_shader<Image_tex>(), &quad, {{"vertex", "vertex_images"}, {"tex", "tex_coord"}});
}

}  // namespace

void fill_image_quad(VBO& vbo) {
  vbo.clear();
  vbo.add_array("vertex_images", std::vector<glm::vec3>{{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}});
  vbo.add_array("tex_coord", std::vector<glm::vec2>{{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  vbo.upload();
}

std::unique_ptr<Image_tex> make_image(VBO& quad, const cv::Mat& gray, float depth) {
  return std::make_unique<Image_tex>(image_vao(quad), gray, depth);
}

std::unique_ptr<Image_tex> make_image(VBO& quad, const cv::Mat_<cv::Vec3f>& colour, float depth) {
  return std::make_unique<Image_tex>(image_vao(quad), colour, depth);
}

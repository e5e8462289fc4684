#include "gl/image_tex.h"

#include "gl/texture.h"

Image_tex::Image_tex(VAO* vao, const cv::Mat& gray, float depth) : depth(depth) {
  this->vao = vao;
  shader = vao->shader;
  set_texture("texture", std::make_shared<Texture_opencv>(gray));
}

Image_tex::Image_tex(VAO* vao, const cv::Mat_<cv::Vec3f>& colour, float depth) : depth(depth) {
  this->vao = vao;
  shader = vao->shader;
  set_texture("texture", std::make_shared<Texture_opencv>(colour));
}

Image_tex::Image_tex(VAO* vao, const cv::Mat_<cv::Vec3b>& colour, float depth) : depth(depth) {
  this->vao = vao;
  shader = vao->shader;
  set_texture("texture", std::make_shared<Texture_opencv>(colour));
}

Image_tex::~Image_tex() {
  image.reset();
  uniform.clear();
}

void Image_tex::set_texture(const std::string& uniform_name, std::shared_ptr<base_texture> texture) {
  uniform = uniform_name;
  image = std::move(texture);
}

void Image_tex::draw(const glm::mat4&) {
  begin_draw(*this, *this);
  // All images share one program: this image's texture replaces the previous one's.
  shader->setTexture(uniform, image);
  shader->bindTextures();
  shader->setUniform("alpha", alpha);
  shader->setUniform("depth", depth);
  glDrawArrays(GL_QUADS, 0, 4);
  end_draw();
}

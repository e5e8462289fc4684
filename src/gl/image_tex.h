#pragma once
// An image drawn as a textured quad, upright, with opacity and depth.

#include "gl/object.h"
#include "gl/shader_registry.h"

#include <opencv2/core.hpp>

#include <memory>
#include <string>

class base_texture;

class Image_tex : public base_object<Image_tex, repere_2d, draw_null> {
public:
  std::string uniform;                   // the sampler its texture is bound to: "texture"
  std::shared_ptr<base_texture> image;   // a Texture_opencv
  float alpha = 1.0f;                    // opacity 0..1; the view wires it to a slider
  float depth;                           // 0..1, smaller in front

  // vao's shader becomes the drawable's. A single-channel float image, values 0..1 ...
  Image_tex(VAO* vao, const cv::Mat& gray, float depth);
  // ... or a three-channel float image, values 0..255, blue-green-red.
  Image_tex(VAO* vao, const cv::Mat_<cv::Vec3f>& colour, float depth);
  // ... or a three-channel byte image, blue-green-red.
  Image_tex(VAO* vao, const cv::Mat_<cv::Vec3b>& colour, float depth);
  ~Image_tex() override;

  void set_texture(const std::string& uniform_name, std::shared_ptr<base_texture> texture);
  void draw(const glm::mat4& m) override;
};

template <>
struct shader_files<Image_tex> {
  static constexpr const char* vertex = "shader/shader_tex.vert";
  static constexpr const char* geometry = nullptr;
  static constexpr const char* fragment = "shader/shader_tex.frag";
};

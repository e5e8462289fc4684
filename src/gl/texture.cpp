#include "gl/texture.h"

#include "gl/png_snapshot.h"

#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <iostream>
#include <vector>

namespace {

constexpr GLuint no_texture = static_cast<GLuint>(-1);

// v x 255 truncated, kept modulo 256 as the byte conversion does.
unsigned char gray_byte(float v) { return static_cast<unsigned char>(static_cast<int>(v * 255.0f)); }
unsigned char colour_byte(float v) { return static_cast<unsigned char>(static_cast<int>(v)); }

// Rows [begin, end) of a single-channel float image as RGBA bytes, appended to rgba.
void gray_rows_to_rgba(const cv::Mat& image, int begin, int end, std::vector<unsigned char>& rgba) {
  for (int row = begin; row < end; ++row) {
    const float* values = image.ptr<float>(row);
    for (int col = 0; col < image.cols; ++col) {
      unsigned char b = gray_byte(values[col]);
      rgba.insert(rgba.end(), {b, b, b, 255});
    }
  }
}

// The same for a three-channel float image in blue, green, red order.
void colour_rows_to_rgba(const cv::Mat& image, int begin, int end, std::vector<unsigned char>& rgba) {
  for (int row = begin; row < end; ++row) {
    const cv::Vec3f* pixels = image.ptr<cv::Vec3f>(row);
    for (int col = 0; col < image.cols; ++col) {
      const cv::Vec3f& bgr = pixels[col];
      rgba.insert(rgba.end(), {colour_byte(bgr[2]), colour_byte(bgr[1]), colour_byte(bgr[0]), 255});
    }
  }
}

// The same for a three-channel byte image in blue, green, red order.
void colour_byte_rows_to_rgba(const cv::Mat& image, int begin, int end, std::vector<unsigned char>& rgba) {
  for (int row = begin; row < end; ++row) {
    const cv::Vec3b* pixels = image.ptr<cv::Vec3b>(row);
    for (int col = 0; col < image.cols; ++col)
      rgba.insert(rgba.end(), {pixels[col][2], pixels[col][1], pixels[col][0], 255});
  }
}

bool holds(const cv::Mat& image, int type) { return !image.empty() && image.type() == type; }

// RGBA bytes of an 8-bit blue, green, red image.
std::vector<unsigned char> bgr8_to_rgba(const cv::Mat& image) {
  std::vector<unsigned char> rgba;
  if (image.empty() || image.type() != CV_8UC3) return rgba;
  rgba.reserve(image.total() * 4);
  for (int row = 0; row < image.rows; ++row) {
    const cv::Vec3b* pixels = image.ptr<cv::Vec3b>(row);
    for (int col = 0; col < image.cols; ++col)
      rgba.insert(rgba.end(), {pixels[col][2], pixels[col][1], pixels[col][0], 255});
  }
  return rgba;
}

const unsigned char* data_or_null(const std::vector<unsigned char>& bytes) {
  return bytes.empty() ? nullptr : bytes.data();
}

void set_linear_filters() {
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

void set_clamped_edges() {
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

// Level 0 of texture `id` becomes the image, converted and sent a band of rows at a time:
// on a 12-megapixel sketch (twice that size) a converted copy of the whole image would
// hold 190 MB beside the texture.
template <class RowsToRgba>
void upload_in_bands(GLuint id, const cv::Mat& image, RowsToRgba rows_to_rgba) {
  glBindTexture(GL_TEXTURE_2D, id);
  set_linear_filters();
  set_clamped_edges();
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, image.cols, image.rows, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  const int band_rows = std::max(1, (1 << 20) / image.cols);  // about 4 MB of RGBA
  std::vector<unsigned char> rgba;
  rgba.reserve(static_cast<size_t>(std::min(band_rows, image.rows)) * image.cols * 4);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int row = 0; row < image.rows; row += band_rows) {
    const int end = std::min(image.rows, row + band_rows);
    rgba.clear();
    rows_to_rgba(image, row, end, rgba);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, row, image.cols, end - row, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

}  // namespace

base_texture::base_texture() : id(no_texture), target(GL_TEXTURE_2D) {}

void allocate_rgba_texture(GLuint id, int width, int height) {
  glBindTexture(GL_TEXTURE_2D, id);
  set_linear_filters();
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
}

base_texture::base_texture(const glm::vec2& size) : id(no_texture), target(GL_TEXTURE_2D) {
  glGenTextures(1, &id);
  allocate_rgba_texture(id, static_cast<int>(size.x), static_cast<int>(size.y));
}

base_texture::base_texture(GLuint texture_name)
    : id(texture_name), name("Texture from id: " + std::to_string(texture_name)), target(GL_TEXTURE_2D) {}

base_texture::~base_texture() { glDeleteTextures(1, &id); }

bool base_texture::load(const std::string&) { return false; }

bool base_texture::save_pixels(const std::string&, unsigned char*, int&, int&) { return false; }

void base_texture::upload(const unsigned char* data, int width, int height, GLenum format) {
  if (data == nullptr) {
    std::cerr << "Invalid image " << name << std::endl;
    return;
  }
  glBindTexture(GL_TEXTURE_2D, id);
  set_linear_filters();
  set_clamped_edges();
  // Rows of any width are packed tightly.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, format, GL_UNSIGNED_BYTE, data);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

void base_texture::release_pixels() {
  if (id == no_texture) return;
  glBindTexture(GL_TEXTURE_2D, id);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 0, 0, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
}

bool base_texture::save(const std::string& path) {
  glBindTexture(GL_TEXTURE_2D, id);
  int width = 0;
  int height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  return save_pixels(path, pixels.data(), width, height);
}

void base_texture::bind() { glBindTexture(GL_TEXTURE_2D, id); }

GLuint base_texture::get_id() { return id; }

Texture_opencv::Texture_opencv() = default;

Texture_opencv::Texture_opencv(const cv::Mat& gray) { load_gray(gray); }

Texture_opencv::Texture_opencv(const cv::Mat_<cv::Vec3f>& colour) { load_color(colour); }

Texture_opencv::Texture_opencv(const cv::Mat_<cv::Vec3b>& colour) { load_color(colour); }

Texture_opencv::Texture_opencv(const std::string& path) { load(path); }

Texture_opencv::Texture_opencv(GLuint texture_name) : base_texture(texture_name) {}

Texture_opencv::Texture_opencv(const glm::vec2& size) : base_texture(size) {}

bool Texture_opencv::load(const std::string& path) {
  name = path;
  std::cout << path << std::endl;
  cv::Mat image = cv::imread(path, cv::IMREAD_COLOR);
  std::vector<unsigned char> rgba = bgr8_to_rgba(image);
  return upload_new(data_or_null(rgba), image.cols, image.rows, path, GL_RGBA);
}

bool Texture_opencv::load_gray(const cv::Mat& image) {
  return load_in_bands(image, CV_32FC1, "lol", gray_rows_to_rgba);
}

bool Texture_opencv::load_color(const cv::Mat& image) {
  if (image.type() == CV_8UC3) return load_in_bands(image, CV_8UC3, "lol_2.0", colour_byte_rows_to_rgba);
  return load_in_bands(image, CV_32FC3, "lol_2.0", colour_rows_to_rgba);
}

void Texture_opencv::update_gray(const cv::Mat& image) { update_in_bands(image, CV_32FC1, gray_rows_to_rgba); }

void Texture_opencv::update_color(const cv::Mat& image) {
  if (image.type() == CV_8UC3) {
    update_in_bands(image, CV_8UC3, colour_byte_rows_to_rgba);
    return;
  }
  update_in_bands(image, CV_32FC3, colour_rows_to_rgba);
}

template <class RowsToRgba>
bool Texture_opencv::load_in_bands(const cv::Mat& image, int type, const std::string& new_name,
                                   RowsToRgba rows_to_rgba) {
  if (!holds(image, type)) {
    std::cerr << "Unable to load texture " << new_name << std::endl;
    return false;
  }
  name = new_name;
  replace_texture_name();
  upload_in_bands(id, image, rows_to_rgba);
  return true;
}

template <class RowsToRgba>
void Texture_opencv::update_in_bands(const cv::Mat& image, int type, RowsToRgba rows_to_rgba) {
  if (!holds(image, type)) {
    std::cerr << "Invalid image " << name << std::endl;
    return;
  }
  upload_in_bands(id, image, rows_to_rgba);
}

void Texture_opencv::replace_texture_name() {
  // A texture made again replaces the old one rather than leaking it.
  GLuint old = id;
  glGenTextures(1, &id);
  if (old != no_texture) glDeleteTextures(1, &old);
}

bool Texture_opencv::upload_new(const unsigned char* data, int width, int height,
                                const std::string& name, GLenum format) {
  if (data == nullptr) {
    std::cerr << "Unable to load texture " << name << std::endl;
    return false;
  }
  this->name = name;
  replace_texture_name();
  upload(data, width, height, format);
  return true;
}

bool Texture_opencv::save_pixels(const std::string& path, unsigned char* data, int& width, int& height) {
  return save_rgba_png(path, data, width, height);
}

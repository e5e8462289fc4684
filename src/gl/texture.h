#pragma once
// GL textures: the base holding a texture name, and Texture_opencv, which converts
// OpenCV images into RGBA textures. Texture rows follow the source image (its first row
// at texture coordinate 0). GUI thread only, with the view's GL context current.

#include <GL/glew.h>
#include <glm/glm.hpp>
#include <opencv2/core.hpp>

#include <string>

// Binds texture `id` with linear filters and gives it an empty RGBA image of the size.
void allocate_rgba_texture(GLuint id, int width, int height);

class base_texture {
public:
  GLuint id;          // texture name; all bits set while there is none
  std::string name;   // a file path, a fixed word or "Texture from id: " + the name
  GLenum target;      // always GL_TEXTURE_2D

  base_texture();
  // A render target: linear filters, level 0 allocated as RGBA bytes of the size (pixels).
  explicit base_texture(const glm::vec2& size);
  // Takes ownership of an existing texture name.
  explicit base_texture(GLuint texture_name);
  base_texture(const base_texture&) = delete;
  base_texture& operator=(const base_texture&) = delete;
  virtual ~base_texture();

  virtual bool load(const std::string& path);
  // Writes read-back BGRA pixels (rows bottom-up); the base writes nothing.
  virtual bool save_pixels(const std::string& path, unsigned char* data, int& width, int& height);

  // Loads level 0 of id with RGBA bytes from data in the given pixel format; null data
  // prints "Invalid image " + name on standard error.
  void upload(const unsigned char* data, int width, int height, GLenum format);
  // Frees level 0's pixels (it becomes 0 x 0); the name stays for the next upload.
  void release_pixels();
  // Reads level 0 back and hands it to save_pixels.
  bool save(const std::string& path);
  void bind();
  GLuint get_id();
};

class Texture_opencv : public base_texture {
public:
  Texture_opencv();
  // A single-channel float image, values 0..1.
  explicit Texture_opencv(const cv::Mat& gray);
  // A three-channel float image, values 0..255 in blue, green, red order.
  explicit Texture_opencv(const cv::Mat_<cv::Vec3f>& colour);
  // ... or bytes, the same bytes as the floats truncated.
  explicit Texture_opencv(const cv::Mat_<cv::Vec3b>& colour);
  // An image file.
  explicit Texture_opencv(const std::string& path);
  explicit Texture_opencv(GLuint texture_name);
  explicit Texture_opencv(const glm::vec2& size);

  bool load(const std::string& path) override;
  // New texture from a grey float image (name "lol") or a colour float or byte image
  // (name "lol_2.0"); false, with "Unable to load texture " + the name, when there is no
  // data (an empty image or one of another element type).
  bool load_gray(const cv::Mat& image);
  bool load_color(const cv::Mat& image);
  // The same conversions into the existing texture.
  void update_gray(const cv::Mat& image);
  void update_color(const cv::Mat& image);
  bool upload_new(const unsigned char* data, int width, int height, const std::string& name,
                  GLenum format);
  bool save_pixels(const std::string& path, unsigned char* data, int& width, int& height) override;

private:
  // The image of the given type, converted a band of rows at a time.
  template <class RowsToRgba>
  bool load_in_bands(const cv::Mat& image, int type, const std::string& new_name, RowsToRgba rows_to_rgba);
  template <class RowsToRgba>
  void update_in_bands(const cv::Mat& image, int type, RowsToRgba rows_to_rgba);
  // A new texture name in id; the old texture, if any, is deleted.
  void replace_texture_name();
};

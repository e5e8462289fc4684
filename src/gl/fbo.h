#pragma once
// The off-screen frame buffer with its colour texture and depth render buffer, and the
// PNG snapshots of both. GUI thread only, with the view's GL context current.

#include <GL/glew.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

class base_texture;

// A colour attachment: the texture and the point it is attached at.
struct Texture_fbo {
  std::shared_ptr<base_texture> texture;
  GLenum attachment;

  Texture_fbo(std::shared_ptr<base_texture> texture, const GLenum& attachment);
  bool save(const char* path);
};

// A depth attachment; its owner generates id and allocates the storage.
struct RenderBuffer {
  GLuint id;               // render buffer object
  GLenum internal_format;  // GL_DEPTH_COMPONENT24 for the view
  float width;             // storage size in pixels
  float height;
  GLenum attachment;       // GL_DEPTH_ATTACHMENT for the view

  RenderBuffer(GLuint id, GLenum internal_format, float width, float height, GLenum attachment);
  RenderBuffer(const RenderBuffer&) = delete;
  RenderBuffer& operator=(const RenderBuffer&) = delete;
  ~RenderBuffer();
  // Depth snapshot of the frame buffer bound for reading: prints the range of the drawn
  // depths (cleared 1 and 0 excluded) and writes it stretched to 0..255 as a grey PNG.
  // True when the file was written; with all depths equal there is no range and no
  // picture, and a line on standard output says so.
  bool save(const char* path);
};

class FBO {
public:
  GLuint id = 0;                      // frame buffer object, 0 until the owner makes it
  std::vector<GLenum> draw_buffers;   // given to glDrawBuffers when drawing into it
  std::map<std::string, std::shared_ptr<Texture_fbo>> textures;
  std::map<std::string, std::shared_ptr<RenderBuffer>> render_buffers;
  GLenum target = GL_DRAW_FRAMEBUFFER;  // where the attach operations attach

  FBO() = default;
  FBO(const FBO&) = delete;
  FBO& operator=(const FBO&) = delete;
  ~FBO();

  void add_texture(const std::string& name, std::shared_ptr<base_texture> texture,
                   const GLenum& attachment);
  void add_render_buffer(const std::string& name, std::shared_ptr<RenderBuffer> render_buffer);
  // The frame buffer must be bound to target already.
  void attach_texture(const std::string& name);
  void attach_render_buffer(const std::string& name);
  // Reallocates every attachment at the new size; contents are lost.
  void resize(unsigned width, unsigned height);
  // Snapshots into prefix + name + ".png"; print "saved as " + the path once the file
  // is written (otherwise the reason has been printed). The frame buffer stays bound
  // for reading.
  void save_texture(const std::string& prefix, const std::string& name);
  void save_render_buffer(const std::string& prefix, const std::string& name);
};

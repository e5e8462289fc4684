#include "gl/fbo.h"

#include "gl/png_snapshot.h"
#include "gl/texture.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <string>
#include <vector>

Texture_fbo::Texture_fbo(std::shared_ptr<base_texture> texture, const GLenum& attachment)
    : texture(std::move(texture)), attachment(attachment) {}

bool Texture_fbo::save(const char* path) { return texture->save(path); }

RenderBuffer::RenderBuffer(GLuint id, GLenum internal_format, float width, float height, GLenum attachment)
    : id(id), internal_format(internal_format), width(width), height(height), attachment(attachment) {}

RenderBuffer::~RenderBuffer() { glDeleteRenderbuffers(1, &id); }

namespace {

struct depth_range {
  float min = 10.0f;
  float max = -10.0f;
};

// Neither the cleared depth 1 nor a depth of 0 counts, for either end: a frame with
// nothing drawn keeps min 10 and max -10.
depth_range drawn_depth_range(const std::vector<float>& depths) {
  depth_range range;
  for (float d : depths) {
    if (d == 0.0f || d == 1.0f) continue;
    if (d > range.max) range.max = d;
    if (d < range.min) range.min = d;
  }
  return range;
}

void print_depth_range(const depth_range& range) {
  std::cout << range.min << " " << range.max << std::endl;
  std::cout << 2 * range.min - 1 << " " << 2 * range.max - 1 << std::endl;
}

// In place of "saved as": the user asked for a picture and gets none.
void report_flat_depth(const std::string& path, const depth_range& range) {
  std::cout << "no depth picture written to " << path << ": ";
  if (range.min > range.max)
    std::cout << "all depths are equal (nothing is drawn), so there is nothing to show";
  else
    std::cout << "all drawn depths are equal (" << range.min << "), so there is nothing to show";
  std::cout << std::endl;
}

// Depths in [min, max] stretched to 0..255; a depth beyond max (the cleared background)
// becomes 255 and one below min (a depth of exactly 0) becomes 0.
std::vector<unsigned char> depth_bytes(const std::vector<float>& depths, const depth_range& range) {
  const float f = static_cast<float>(255.0 / (static_cast<double>(range.max) - range.min));
  std::vector<unsigned char> bytes(depths.size());
  for (size_t i = 0; i < depths.size(); ++i) {
    float d = depths[i];
    if (d > range.max)
      bytes[i] = 255;
    else if (d < range.min)
      bytes[i] = 0;
    else
      bytes[i] = static_cast<unsigned char>(std::min(255.0f, std::floor((d - range.min) * f)));
  }
  return bytes;
}

}  // namespace

bool RenderBuffer::save(const char* path) {
  glBindRenderbuffer(GL_RENDERBUFFER, id);
  int w = static_cast<int>(width);
  int h = static_cast<int>(height);
  std::vector<float> depths(static_cast<size_t>(w) * static_cast<size_t>(h));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_DEPTH_COMPONENT, GL_FLOAT, depths.data());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  depth_range range = drawn_depth_range(depths);
  print_depth_range(range);
  // One depth only, or nothing drawn (min 10, max -10): there is no range to stretch.
  if (range.min >= range.max) {
    report_flat_depth(path, range);
    return false;
  }
  std::vector<unsigned char> bytes = depth_bytes(depths, range);
  return save_gray_png(path, bytes.data(), w, h);
}

FBO::~FBO() {
  textures.clear();
  render_buffers.clear();
  if (id != 0) glDeleteFramebuffers(1, &id);
  draw_buffers.clear();
}

void FBO::add_texture(const std::string& name, std::shared_ptr<base_texture> texture, const GLenum& attachment) {
  textures[name] = std::make_shared<Texture_fbo>(std::move(texture), attachment);
}

void FBO::add_render_buffer(const std::string& name, std::shared_ptr<RenderBuffer> render_buffer) {
  render_buffers[name] = std::move(render_buffer);
}

namespace {

// An attachment name the owner never added is reported, not created empty.
template <class Map>
typename Map::mapped_type::element_type* find_attachment(Map& attachments, const std::string& name) {
  auto found = attachments.find(name);
  if (found == attachments.end() || !found->second) {
    std::cerr << "FBO: no attachment named " << name << std::endl;
    return nullptr;
  }
  return found->second.get();
}

}  // namespace

void FBO::attach_texture(const std::string& name) {
  Texture_fbo* found = find_attachment(textures, name);
  if (found == nullptr) return;
  const Texture_fbo& colour = *found;
  glFramebufferTexture2D(target, colour.attachment, GL_TEXTURE_2D, colour.texture->get_id(), 0);
}

void FBO::attach_render_buffer(const std::string& name) {
  RenderBuffer* found = find_attachment(render_buffers, name);
  if (found == nullptr) return;
  const RenderBuffer& depth = *found;
  glFramebufferRenderbuffer(target, depth.attachment, GL_RENDERBUFFER, depth.id);
}

void FBO::resize(unsigned width, unsigned height) {
  for (auto& [name, colour] : textures)
    allocate_rgba_texture(colour->texture->get_id(), static_cast<GLsizei>(width), static_cast<GLsizei>(height));
  for (auto& [name, depth] : render_buffers) {
    glBindRenderbuffer(GL_RENDERBUFFER, depth->id);
    glRenderbufferStorage(GL_RENDERBUFFER, depth->internal_format, static_cast<GLsizei>(width),
                          static_cast<GLsizei>(height));
    depth->width = static_cast<float>(width);
    depth->height = static_cast<float>(height);
  }
}

void FBO::save_texture(const std::string& prefix, const std::string& name) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, id);
  target = GL_READ_FRAMEBUFFER;
  Texture_fbo* colour = find_attachment(textures, name);
  if (colour == nullptr) return;
  attach_texture(name);
  std::string path = prefix + name + ".png";
  // A failed write has named itself on standard error.
  if (colour->save(path.c_str())) std::cout << "saved as " << path << std::endl;
}

void FBO::save_render_buffer(const std::string& prefix, const std::string& name) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, id);
  target = GL_READ_FRAMEBUFFER;
  RenderBuffer* depth = find_attachment(render_buffers, name);
  if (depth == nullptr) return;
  attach_render_buffer(name);
  std::string path = prefix + name + ".png";
  // A picture not written has said why.
  if (depth->save(path.c_str())) std::cout << "saved as " << path << std::endl;
}

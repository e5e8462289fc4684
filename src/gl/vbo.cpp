#include "gl/vbo.h"

#include <cstring>
#include <iostream>

VBO::VBO(GLenum target, GLenum usage) : target(target), usage(usage) {}

VBO::~VBO() {
  clear();
  if (GLenum error = glGetError(); error != GL_NO_ERROR)
    std::cerr << "VBO_DESTRUCTOR_ERROR error: " << error << std::endl;
}

void VBO::add_array(const std::string& name, const std::vector<glm::vec2>& data) {
  add_floats(name, data.empty() ? nullptr : &data[0].x, data.size(), 2);
}

void VBO::add_array(const std::string& name, const std::vector<glm::vec3>& data) {
  add_floats(name, data.empty() ? nullptr : &data[0].x, data.size(), 3);
}

void VBO::add_array(const std::string& name, const std::vector<glm::vec4>& data) {
  add_floats(name, data.empty() ? nullptr : &data[0].x, data.size(), 4);
}

void VBO::add_floats(const std::string& name, const float* data, size_t count, int components) {
  arrays[name] = vbo_array{total, components};
  size_t size = count * static_cast<size_t>(components) * sizeof(float);
  total += static_cast<uint32_t>(size);
  chunk_sizes.push_back(size);
  char* block = new char[size];
  if (size > 0) std::memcpy(block, data, size);
  chunks.push_back(block);
}

void VBO::upload() {
  char* block = new char[total];
  size_t at = 0;
  for (size_t i = 0; i < chunks.size(); ++i) {
    if (chunk_sizes[i] > 0) std::memcpy(block + at, chunks[i], chunk_sizes[i]);
    at += chunk_sizes[i];
  }
  if (id == 0) glGenBuffers(1, &id);
  glBindBuffer(target, id);
  glBufferData(target, total, block, usage);
  delete[] block;
  for (char* chunk : chunks) delete[] chunk;
  chunks.clear();
  chunk_sizes.clear();
  total = 0;
}

void VBO::clear() {
  if (id != 0) {
    glDeleteBuffers(1, &id);
    id = 0;
  }
  for (char* chunk : chunks) delete[] chunk;
  chunks.clear();
  chunk_sizes.clear();
  arrays.clear();
  total = 0;
}

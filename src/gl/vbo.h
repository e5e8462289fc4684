#pragma once
// Named float arrays gathered on the CPU side and uploaded together into one GL buffer.
// GUI thread only, with the view's GL context current.

#include <GL/glew.h>
#include <glm/glm.hpp>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Where one array of a VBO lies in the uploaded buffer.
struct vbo_array {
  uint32_t offset = 0;   // bytes from the buffer's start to the array's first float
  int32_t components = 0;  // floats per vertex: 2, 3 or 4
};

class VBO {
public:
  std::map<std::string, vbo_array> arrays;  // array name -> place in the buffer
  std::vector<char*> chunks;                // pending blocks since the last upload, owned
  std::vector<size_t> chunk_sizes;          // byte size of each pending block
  uint32_t total = 0;  // bytes pending; also the offset of the next added array
  GLuint id = 0;       // buffer object, 0 until the first upload and after a clear
  GLenum target;       // GL_ARRAY_BUFFER for every buffer of the view
  GLenum usage;        // GL_STATIC_DRAW or GL_DYNAMIC_DRAW

  explicit VBO(GLenum target = GL_ARRAY_BUFFER, GLenum usage = GL_STATIC_DRAW);
  VBO(const VBO&) = delete;
  VBO& operator=(const VBO&) = delete;
  // clear, then prints a pending GL error ("VBO_DESTRUCTOR_ERROR error: ").
  ~VBO();

  // Appends one array to the pending data; a name already present moves to the new data.
  void add_array(const std::string& name, const std::vector<glm::vec2>& data);
  void add_array(const std::string& name, const std::vector<glm::vec3>& data);
  void add_array(const std::string& name, const std::vector<glm::vec4>& data);
  // Sends all pending arrays to the buffer in one call (replacing its store) and leaves
  // the buffer bound to target; arrays keeps describing the uploaded buffer.
  void upload();
  // Deletes the buffer object and forgets every array.
  void clear();

private:
  void add_floats(const std::string& name, const float* data, size_t count, int components);
};

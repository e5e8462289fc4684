#include "gl/vao.h"

#include "gl/shader.h"
#include "gl/vbo.h"

#include <cstdlib>
#include <iostream>

std::function<void(std::string&, std::vector<glm::vec2>&)> fill_tex_img =
    [](std::string& name, std::vector<glm::vec2>& data) {
      name = "tex_img";
      data = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    };

std::function<void(std::string&, std::vector<glm::vec3>&)> fill_vertex_img =
    [](std::string& name, std::vector<glm::vec3>& data) {
      name = "vertex_img";
      data = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
    };

namespace {

// Reads one GL error and prints it under the checkpoint's number.
void checkpoint(int number) {
  if (GLenum error = glGetError(); error != GL_NO_ERROR)
    std::cerr << "ERROR: error " << number << ": " << error << std::endl;
}

void report_error(const char* prefix, GLenum error) {
  std::cerr << prefix << error << std::endl;
  if (error == GL_INVALID_OPERATION) print_gl_invalid_operation_lines();
}

}  // namespace

VAO::VAO(Shader* const& shader, VBO* vertices,
         std::initializer_list<std::pair<std::string, std::string>> attribute_arrays) {
  for (const auto& [attribute, array] : attribute_arrays) attributes[attribute] = array;
  if (shader == nullptr) {
    std::cout << "you have to set a shader" << std::endl;
    std::exit(1);
  }
  this->shader = shader;
  this->vertices = vertices;
  link_ini();
}

VAO::~VAO() {
  if (id != 0) {
    glBindVertexArray(0);
    glDeleteVertexArrays(1, &id);
    id = 0;
    if (GLenum error = glGetError(); error != GL_NO_ERROR) report_error("VAO del: error: ", error);
  }
  if (GLenum error = glGetError(); error != GL_NO_ERROR) report_error("VAO DESTRUCTOR: error: ", error);
}

void VAO::link_ini() {
  if (GLenum error = glGetError(); error != GL_NO_ERROR) {
    std::cerr << "VAO link_ini: error: " << error << std::endl;
    if (error == GL_INVALID_OPERATION) std::cerr << "GL_INVALID_OPERATION" << std::endl;
  }
  if (id == 0) glGenVertexArrays(1, &id);
  GLuint program = shader->getProgram();
  glBindVertexArray(id);
  checkpoint(615);
  for (const auto& [attribute, array] : attributes) {
    GLint location = glGetAttribLocation(program, attribute.c_str());
    if (GLenum error = glGetError(); error != GL_NO_ERROR)
      std::cerr << "ERROR: error " << 623 << ": " << error << "   " << attribute << std::endl;
    glBindBuffer(vertices->target, vertices->id);
    glEnableVertexAttribArray(static_cast<GLuint>(location));
    checkpoint(629);
    auto found = vertices->arrays.find(array);
    if (found == vertices->arrays.end()) {
      std::cout << array << " is not present into the vbo" << std::endl;
      // Enabled without a pointer it would read client memory at address 0 when drawn;
      // disabled it reads the attribute's constant value instead.
      if (location >= 0) glDisableVertexAttribArray(static_cast<GLuint>(location));
    } else {
      glVertexAttribPointer(static_cast<GLuint>(location), found->second.components, GL_FLOAT,
                            GL_FALSE, 0,
                            reinterpret_cast<const void*>(static_cast<uintptr_t>(found->second.offset)));
      checkpoint(637);
    }
    checkpoint(645);
  }
  checkpoint(652);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindVertexArray(0);
  checkpoint(658);
}

#include "gl/shader.h"

#include "gl/texture.h"
#include "gl/vao.h"
#include "gl/vbo.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <vector>

int validation_count = 0;

void print_gl_invalid_operation_lines() {
  std::cerr << "GL_INVALID_OPERATION is generated if a geometry shader is active and mode is "
               "incompatible with the input primitive type of the geometry shader in the "
               "currently installed program object."
            << std::endl;
  std::cerr << "GL_INVALID_OPERATION is generated if a non-zero buffer object name is bound to "
               "an enabled array or the element array and the buffer object's data store is "
               "currently mapped."
            << std::endl;
}

namespace {

void delete_stage(GLuint program, GLuint& stage) {
  if (stage == 0) return;
  glDetachShader(program, stage);
  glDeleteShader(stage);
  stage = 0;
}

}  // namespace

Shader::Shader() { init(); }

Shader::Shader(const std::string& vertex_path, const std::string& fragment_path) {
  init();
  loadFiles(vertex_path, fragment_path);
}

Shader::Shader(Shader&& other)
    : current_vao(other.current_vao),
      name(other.name),
      vertex_shader(other.vertex_shader),
      fragment_shader(other.fragment_shader),
      geometry_shader(other.geometry_shader),
      program(other.program) {
  other.current_vao = nullptr;
  other.name.clear();
  other.vertex_shader = 0;
  other.fragment_shader = 0;
  other.geometry_shader = 0;
  other.program = 0;
}

Shader::~Shader() {
  if (GLenum error = glGetError(); error != GL_NO_ERROR)
    std::cerr << "SHADER_DESTRUCTOR_ERROR: error begin: " << error << std::endl;
  delete_stage(program, vertex_shader);
  delete_stage(program, fragment_shader);
  delete_stage(program, geometry_shader);
  if (program != 0) {
    glDeleteProgram(program);
    program = 0;
  }
  if (GLenum error = glGetError(); error != GL_NO_ERROR)
    std::cerr << "SHADER_DESTRUCTOR_ERROR: error end: " << error << std::endl;
}

void Shader::init() {
  vertex_shader = 0;
  fragment_shader = 0;
  geometry_shader = 0;
  program = 0;
  if (!isSupported())
    throw std::runtime_error("Error: GL Shaders not supported or Glew not initialized properly!");
  program = glCreateProgram();
}

bool Shader::isSupported() { return GLEW_ARB_vertex_shader && GLEW_ARB_fragment_shader; }

std::string Shader::loadFile(const std::string& path) {
  std::ifstream file(path, std::ios::in | std::ios::binary);
  if (!file) throw std::runtime_error("Error: Unable to load shader file " + path);
  std::ostringstream text;
  text << file.rdbuf();
  if (name.empty()) name = path;
  return text.str();
}

GLuint Shader::createSharedObjects(std::string source, GLenum type) {
  GLuint object = glCreateShader(type);
  if (object == 0) std::cerr << "Shader::createSharedObjects: Failed creating shader object";
  const char* text = source.c_str();
  glShaderSource(object, 1, &text, nullptr);
  glCompileShader(object);
  GLint status = 0;
  glGetShaderiv(object, GL_COMPILE_STATUS, &status);
  if (status) {
    glAttachShader(program, object);
    return object;
  }
  std::cerr << "Shader::createSharedObjects: Shader " + source + " failed compilation." << std::endl;
  printLog(object);
  glDeleteShader(object);
  return 0;
}

void Shader::setVertexShader(const std::string& source) {
  vertex_shader = createSharedObjects(source, GL_VERTEX_SHADER);
  link();
}

void Shader::setFragmentShader(const std::string& source) {
  fragment_shader = createSharedObjects(source, GL_FRAGMENT_SHADER);
  link();
}

void Shader::setGeometryShader(const std::string& source) {
  geometry_shader = createSharedObjects(source, GL_GEOMETRY_SHADER);
  link();
}

void Shader::loadVertexShader(const std::string& path) { setVertexShader(loadFile(path)); }
void Shader::loadFragmentShader(const std::string& path) { setFragmentShader(loadFile(path)); }
void Shader::loadGeometryShader(const std::string& path) { setGeometryShader(loadFile(path)); }

void Shader::loadFiles(const std::string& vertex_path, const std::string& fragment_path) {
  std::string vertex_source = loadFile(vertex_path);
  std::string fragment_source = loadFile(fragment_path);
  setSources(vertex_source, fragment_source);
}

void Shader::setSources(const std::string& vertex_source, const std::string& fragment_source) {
  setVertexShader(vertex_source);
  setFragmentShader(fragment_source);
}

void Shader::link() {
  glLinkProgram(program);
  GLint status = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &status);
  if (!status) printLog(program);
}

void Shader::printLog(GLuint object) {
  GLint length = 0;
  std::vector<char> log;
  if (glIsShader(object)) {
    glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    log.assign(static_cast<size_t>(length) + 1, '\0');
    glGetShaderInfoLog(object, length, nullptr, log.data());
  } else if (glIsProgram(object)) {
    glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
    log.assign(static_cast<size_t>(length) + 1, '\0');
    glGetProgramInfoLog(object, length, nullptr, log.data());
  } else {
    std::cerr << "Shader::printLog: Not a shader or a program" << std::endl;
    return;
  }
  std::cerr << log.data() << std::endl;
}

GLint Shader::getUniformLocation(const std::string& uniform_name) {
  if (program == 0) return -1;
  return glGetUniformLocation(program, uniform_name.c_str());
}

void Shader::setTexture(const std::string& uniform_name, std::shared_ptr<base_texture> texture) {
  textures[getUniformLocation(uniform_name)] = std::move(texture);
}

void Shader::addTexture(const std::string& uniform_name, GLuint texture_name) {
  setTexture(uniform_name, std::make_shared<Texture_opencv>(texture_name));
}

void Shader::clearTextures() { textures.clear(); }

void Shader::bindTextures() {
  GLint unit = 0;
  for (auto& [location, texture] : textures) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(texture->target, texture->get_id());
    glUniform1i(location, unit);
    ++unit;
  }
  glActiveTexture(GL_TEXTURE0);
}

void Shader::use() {
  if (validation_count == 0) {
    glValidateProgram(program);
    validation_count = 1;
  }
  // The error read here is the one the previous draw left behind.
  if (glGetError() == GL_INVALID_OPERATION) {
    print_gl_invalid_operation_lines();
    std::exit(1);
  }
  glUseProgram(program);
  bindTextures();
  if (current_vao == nullptr) return;
  if (current_vao->indices != nullptr)
    glBindBuffer(current_vao->indices->target, current_vao->indices->id);
  if (current_vao->id != 0)
    glBindVertexArray(current_vao->id);
  else if (current_vao->vertices != nullptr)
    glBindBuffer(current_vao->vertices->target, current_vao->vertices->id);
}

void Shader::unbind() {
  glBindVertexArray(0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glUseProgram(0);
}

GLuint Shader::getProgram() { return program; }

void Shader::setUniform(const char* uniform_name, const float& value) {
  glUniform1f(getUniformLocation(uniform_name), value);
}

void Shader::setUniform(const char* uniform_name, const glm::vec2& value) {
  glUniform2f(getUniformLocation(uniform_name), value.x, value.y);
}

void Shader::setUniform(const char* uniform_name, const glm::vec3& value) {
  glUniform3f(getUniformLocation(uniform_name), value.x, value.y, value.z);
}

void Shader::setUniform(const char* uniform_name, const glm::mat4& value) {
  glUniformMatrix4fv(getUniformLocation(uniform_name), 1, GL_FALSE, &value[0][0]);
}

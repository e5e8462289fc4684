#pragma once
// One GLSL program with its shader objects, the textures its samplers read and the
// vertex array it draws next. GUI thread only, with the view's GL context current.

#include <GL/glew.h>
#include <glm/glm.hpp>

#include <map>
#include <memory>
#include <string>

class VAO;
class base_texture;

// Raised to 1 by the first Shader::use of the process, which alone validates its program.
extern int validation_count;

// The two lines that explain a GL_INVALID_OPERATION, on standard error.
void print_gl_invalid_operation_lines();

class Shader {
public:
  VAO* current_vao = nullptr;  // not owned: the vertex array that the next use binds
  std::string name;            // path of the first shader file loaded; empty until then
  GLuint vertex_shader = 0;    // shader objects, 0 = none
  GLuint fragment_shader = 0;
  GLuint geometry_shader = 0;
  GLuint program = 0;  // program object, 0 = none
  // Uniform location -> texture bound to a unit of its own by bindTextures; -1 is an
  // ordinary key (a sampler the program lacks).
  std::map<GLint, std::shared_ptr<base_texture>> textures;

  // Creates the program object; throws std::runtime_error "Error: GL Shaders not
  // supported or Glew not initialized properly!" without shader support.
  Shader();
  Shader(const std::string& vertex_path, const std::string& fragment_path);
  // Takes the GL objects, current_vao and a copy of name; leaves the source owning
  // nothing. Textures are not carried over.
  Shader(Shader&& other);
  Shader(const Shader&) = delete;
  Shader& operator=(const Shader&) = delete;
  Shader& operator=(Shader&&) = delete;
  // Prints pending GL errors ("SHADER_DESTRUCTOR_ERROR: ...") and deletes the objects.
  virtual ~Shader();

  void init();
  static bool isSupported();

  // Whole text of a file; throws std::runtime_error "Error: Unable to load shader file "
  // + path when it cannot be read. Sets name to the path if still empty.
  std::string loadFile(const std::string& path);
  // A compiled shader object of the stage type attached to program, or 0 on failure
  // (the source and the log are printed on standard error).
  GLuint createSharedObjects(std::string source, GLenum type);
  // Compile the stage, then link the program and print its log when linking fails.
  void setVertexShader(const std::string& source);
  void setFragmentShader(const std::string& source);
  void setGeometryShader(const std::string& source);
  void loadVertexShader(const std::string& path);
  void loadFragmentShader(const std::string& path);
  void loadGeometryShader(const std::string& path);
  void loadFiles(const std::string& vertex_path, const std::string& fragment_path);
  void setSources(const std::string& vertex_source, const std::string& fragment_source);
  void link();
  // Info log of a shader or program object on standard error.
  void printLog(GLuint object);

  // -1 when there is no program.
  GLint getUniformLocation(const std::string& uniform_name);
  void setTexture(const std::string& uniform_name, std::shared_ptr<base_texture> texture);
  // Wraps an existing GL texture name, which the Shader's texture then owns.
  void addTexture(const std::string& uniform_name, GLuint texture_name);
  void clearTextures();
  // Texture i of textures (ascending location) goes to unit GL_TEXTURE0 + i.
  void bindTextures();
  // Makes the program current with its textures and current_vao. Ends the process with
  // status 1 on a pending GL_INVALID_OPERATION (left by the previous draw).
  void use();
  // Unbinds vertex array, element and array buffers and program.
  static void unbind();
  GLuint getProgram();

  // The program must be current; the location is looked up on every call.
  void setUniform(const char* uniform_name, const float& value);
  void setUniform(const char* uniform_name, const glm::vec2& value);
  void setUniform(const char* uniform_name, const glm::vec3& value);
  void setUniform(const char* uniform_name, const glm::mat4& value);
};

#pragma once
// Binds the attributes of one program to named arrays of one VBO inside a GL vertex
// array object. GUI thread only, with the view's GL context current.

#include <GL/glew.h>
#include <glm/glm.hpp>

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

class Shader;
class VBO;

class VAO {
public:
  GLuint id = 0;              // vertex array object, 0 until the first link_ini
  VBO* vertices = nullptr;    // not owned: the buffer of the attribute arrays
  VBO* indices = nullptr;     // not owned: element indices; null in this system
  Shader* shader = nullptr;   // not owned (the registry owns it): whose attribute locations
  std::map<std::string, std::string> attributes;  // attribute name -> VBO array name

  // Fills attributes from the (attribute, array) pairs, a repeated attribute keeping the
  // last array; a null shader prints "you have to set a shader" and exits with status 1.
  VAO(Shader* const& shader, VBO* vertices,
      std::initializer_list<std::pair<std::string, std::string>> attribute_arrays);
  VAO(const VAO&) = delete;
  VAO& operator=(const VAO&) = delete;
  // Deletes the vertex array object (never the VBOs or the Shader), printing GL errors.
  ~VAO();

  // (Re)makes the attribute bindings against the current contents of vertices; called
  // again whenever the VBO was refilled. An array the VBO lacks prints its name and
  // " is not present into the vbo".
  void link_ini();
};

// Fill the image quad's arrays under the names "tex_img" (texture coordinates) and
// "vertex_img" (corners).
extern std::function<void(std::string&, std::vector<glm::vec2>&)> fill_tex_img;
extern std::function<void(std::string&, std::vector<glm::vec3>&)> fill_vertex_img;

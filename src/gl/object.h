#pragma once
// The root of everything the view draws, and the frame policies of its drawables.

#include "gl/shader.h"
#include "gl/vao.h"

#include <glm/glm.hpp>

#include <type_traits>

struct object {
  VAO* vao = nullptr;        // owned: deleted by the destructor
  Shader* shader = nullptr;  // not owned: the class's program in shader_registry

  object() = default;
  object(const object&) = delete;
  object& operator=(const object&) = delete;
  virtual ~object();
  // m is the view's view-projection matrix; the 2-D drawables ignore it.
  virtual void draw(const glm::mat4& m) = 0;
};

// Pan and zoom of a 2-D drawable: the normalised image point (u, v) lands at
// ((2u - 1 + t.x) s, (1 - 2v + t.y) s) in normalised device coordinates.
struct repere_2d {
  glm::vec2 t = glm::vec2(0.0f, 0.0f);
  float s = 1.0f;
};

// The view's camera.
class repere_origin {
public:
  glm::mat4 model = glm::mat4(1.0f);
};

struct draw_null {};

// M becomes M x T, T the translation by (x, y, z).
void mat4_translate(glm::mat4& m, float& x, float& y, float& z);

// Steps shared by every draw: make the program current on vao, set "t" and "s" ...
void begin_draw(object& drawable, const repere_2d& frame);
// ... and leave no program, vertex array or buffer bound.
void end_draw();

template <class T, class R, class D>
class base_object : public object, public R {
public:
  // Only the view draws through this (it never does): "repere" = m x model.
  void draw(const glm::mat4& m) override {
    if constexpr (std::is_same_v<R, repere_origin>) {
      shader->current_vao = vao;
      shader->use();
      shader->setUniform("repere", m * this->model);
      end_draw();
    } else {
      (void)m;
    }
  }
};

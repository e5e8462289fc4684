#include "gl/object.h"

object::~object() {
  delete vao;
  vao = nullptr;
  shader = nullptr;
}

void mat4_translate(glm::mat4& m, float& x, float& y, float& z) {
  glm::mat4 translation(1.0f);
  translation[3] = glm::vec4(x, y, z, 1.0f);
  m = m * translation;
}

void begin_draw(object& drawable, const repere_2d& frame) {
  drawable.shader->current_vao = drawable.vao;
  drawable.shader->use();
  drawable.shader->setUniform("t", frame.t);
  drawable.shader->setUniform("s", frame.s);
}

void end_draw() {
  Shader::unbind();
  glBindVertexArray(0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
}

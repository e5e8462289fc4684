#include "gl/gl_bezier.h"

namespace {

// Colour, opacity and depth, in the order every curve program expects them.
void set_curve_uniforms(Shader& shader, const glm::vec3& colour, const float& alpha, const float& depth) {
  shader.setUniform("color_curve", colour);
  shader.setUniform("alpha", alpha);
  shader.setUniform("depth", depth);
}

void draw_wide(GLenum mode, int count, float line_width) {
  glLineWidth(line_width);
  glDrawArrays(mode, 0, count);
  glLineWidth(1.0f);
}

}  // namespace

void gl_bezier_deg_1::draw(const glm::mat4&) {
  begin_draw(*this, *this);
  draw_primitives();
  end_draw();
}

void gl_bezier_deg_1::draw_primitives() {
  set_curve_uniforms(*shader, colour, alpha, depth);
  draw_wide(GL_LINES, count, line_width);
}

void gl_bezier_deg_2::draw(const glm::mat4&) {
  begin_draw(*this, *this);
  draw_primitives();
  end_draw();
}

void gl_bezier_deg_2::draw_primitives() {
  set_curve_uniforms(*shader, colour, alpha, depth);
  draw_wide(GL_TRIANGLES, count, line_width);
}

// Same sequence as the straight segments: each vertex carries two control points.
void gl_bezier_deg_3::draw(const glm::mat4&) {
  begin_draw(*this, *this);
  set_curve_uniforms(*shader, colour, alpha, depth);
  draw_wide(GL_LINES, count, line_width);
  end_draw();
}

void gl_bezier_node::draw(const glm::mat4&) {
  begin_draw(*this, *this);
  draw_primitives();
  end_draw();
}

void gl_bezier_node::draw_primitives() {
  set_curve_uniforms(*shader, colour, alpha, depth);
  shader->setUniform("radius_of_point", 0.03f);
  shader->setUniform("ratio", ratio);
  glDrawArrays(GL_POINTS, 0, count);
}

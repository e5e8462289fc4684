#pragma once
// The curves of one degree of a curve set, and the end points of a set. Positions in the
// buffers are normalised image coordinates (u = x / width, v = y / height, v downwards).
// The view's factories allocate these and set every member.

#include "gl/object.h"
#include "gl/shader_registry.h"

#include <glm/glm.hpp>

// Straight segments: "ct_pt" vec2, two vertices per curve, drawn as lines.
class gl_bezier_deg_1 : public base_object<gl_bezier_deg_1, repere_2d, draw_null> {
public:
  int count = 0;             // vertices to draw
  float line_width = 5.0f;   // pixels
  glm::vec3 colour = glm::vec3(0.0f);  // RGB 0..1
  float alpha = 1.0f;        // opacity 0..1
  float depth = 0.0f;        // 0..1, smaller in front

  void draw(const glm::mat4& m) override;
  void draw_primitives();
};

// Quadratics: "ct_pt" vec2, three vertices per curve, drawn as triangles.
class gl_bezier_deg_2 : public base_object<gl_bezier_deg_2, repere_2d, draw_null> {
public:
  int count = 0;
  float line_width = 5.0f;
  glm::vec3 colour = glm::vec3(0.0f);
  float alpha = 1.0f;
  float depth = 0.0f;

  void draw(const glm::mat4& m) override;
  void draw_primitives();
};

// Cubics: "ct_pt" vec4 holding two control points, two vertices per curve, as lines.
class gl_bezier_deg_3 : public base_object<gl_bezier_deg_3, repere_2d, draw_null> {
public:
  int count = 0;
  float line_width = 5.0f;
  glm::vec3 colour = glm::vec3(0.0f);
  float alpha = 1.0f;
  float depth = 0.0f;

  void draw(const glm::mat4& m) override;
};

// End points: "ct_pt" vec2, one vertex per point, drawn as round marks.
class gl_bezier_node : public base_object<gl_bezier_node, repere_2d, draw_null> {
public:
  int count = 0;
  float line_width = 5.0f;  // unused
  glm::vec3 colour = glm::vec3(0.0f);
  float alpha = 1.0f;
  float depth = 0.0f;
  float ratio = 1.0f;       // view width / view height

  void draw(const glm::mat4& m) override;
  void draw_primitives();
};

template <>
struct shader_files<gl_bezier_deg_1> {
  static constexpr const char* vertex = "shader/shader_bezier_from_ctpt_deg1.vert";
  static constexpr const char* geometry = nullptr;
  static constexpr const char* fragment = "shader/shader_bezier_from_ctpt_deg1.frag";
};
template <>
struct shader_files<gl_bezier_deg_2> {
  static constexpr const char* vertex = "shader/shader_bezier_from_ctpt_deg2.vert";
  static constexpr const char* geometry = "shader/shader_bezier_from_ctpt_deg2.geom";
  static constexpr const char* fragment = "shader/shader_bezier_from_ctpt_deg2.frag";
};
template <>
struct shader_files<gl_bezier_deg_3> {
  static constexpr const char* vertex = "shader/shader_bezier_from_ctpt_deg3.vert";
  static constexpr const char* geometry = "shader/shader_bezier_from_ctpt_deg3.geom";
  static constexpr const char* fragment = "shader/shader_bezier_from_ctpt_deg3.frag";
};
template <>
struct shader_files<gl_bezier_node> {
  static constexpr const char* vertex = "shader/shader_bezier_node.vert";
  static constexpr const char* geometry = "shader/shader_bezier_node.geom";
  static constexpr const char* fragment = "shader/shader_bezier_node.frag";
};

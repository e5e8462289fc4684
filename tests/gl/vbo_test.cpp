#include "gl/gl_bezier.h"
#include "gl/gl_context.h"
#include "gl/vao.h"
#include "gl/vbo.h"

#include <cstring>
#include <vector>

namespace {

// The bytes of the buffer object, read back from GL.
std::vector<float> buffer_floats(const VBO& vbo) {
  glBindBuffer(GL_ARRAY_BUFFER, vbo.id);
  GLint size = 0;
  glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
  std::vector<float> floats(size_t(size) / sizeof(float));
  glGetBufferSubData(GL_ARRAY_BUFFER, 0, size, floats.data());
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  return floats;
}

}  // namespace

class vbo_test : public gl_test {};

TEST_F(vbo_test, arrays_are_uploaded_back_to_back_in_the_order_added) {
  VBO vbo;
  vbo.add_array("a", std::vector<glm::vec2>{{1, 2}, {3, 4}, {5, 6}});
  vbo.add_array("b", std::vector<glm::vec4>{{7, 8, 9, 10}, {11, 12, 13, 14}});
  vbo.add_array("c", std::vector<glm::vec3>{{15, 16, 17}});
  vbo.add_array("empty", std::vector<glm::vec2>{});
  EXPECT_EQ(vbo.arrays.at("a").offset, 0u);
  EXPECT_EQ(vbo.arrays.at("b").offset, 24u);
  EXPECT_EQ(vbo.arrays.at("c").offset, 56u);
  EXPECT_EQ(vbo.arrays.at("empty").offset, 68u);
  EXPECT_EQ(vbo.arrays.at("b").components, 4);
  EXPECT_EQ(vbo.total, 68u);
  vbo.upload();
  EXPECT_NE(vbo.id, 0u);
  GLint bound = 0;
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
  EXPECT_EQ(GLuint(bound), vbo.id);
  std::vector<float> expected;
  for (int i = 1; i <= 17; ++i) expected.push_back(float(i));
  EXPECT_EQ(buffer_floats(vbo), expected);
  EXPECT_EQ(vbo.total, 0u);
  EXPECT_TRUE(vbo.chunks.empty());
  EXPECT_EQ(vbo.arrays.size(), 4u);
}

// A name added again moves to its new data; the old bytes stay until the next clear. A
// second upload without a clear holds only what was added since, from offset 0.
TEST_F(vbo_test, names_added_again_and_uploads_without_a_clear) {
  VBO vbo(GL_ARRAY_BUFFER, GL_DYNAMIC_DRAW);
  vbo.add_array("a", std::vector<glm::vec2>{{1, 2}});
  vbo.add_array("a", std::vector<glm::vec2>{{3, 4}});
  EXPECT_EQ(vbo.arrays.at("a").offset, 8u);
  vbo.upload();
  EXPECT_EQ(buffer_floats(vbo), (std::vector<float>{1, 2, 3, 4}));
  GLuint first_id = vbo.id;
  vbo.add_array("b", std::vector<glm::vec2>{{5, 6}});
  vbo.upload();
  EXPECT_EQ(vbo.id, first_id);
  EXPECT_EQ(vbo.arrays.at("b").offset, 0u);
  EXPECT_EQ(vbo.arrays.at("a").offset, 8u);
  EXPECT_EQ(buffer_floats(vbo), (std::vector<float>{5, 6}));
  vbo.clear();
  EXPECT_EQ(vbo.id, 0u);
  EXPECT_TRUE(vbo.arrays.empty());
  EXPECT_FALSE(glIsBuffer(first_id));
}

TEST_F(vbo_test, attributes_point_at_their_arrays) {
  Shader* shader = get_shader<gl_bezier_deg_3>();
  VBO vbo;
  vbo.add_array("other", std::vector<glm::vec2>{{0, 0}});
  vbo.add_array("cubic", std::vector<glm::vec4>{{0, 0, 0, 0}, {1, 1, 1, 1}});
  vbo.upload();
  VAO vao(shader, &vbo, {{"ct_pt", "other"}, {"ct_pt", "cubic"}});  // the last pair wins
  EXPECT_EQ(vao.attributes.size(), 1u);
  EXPECT_EQ(leftover_gl_state(), "");
  GLint location = glGetAttribLocation(shader->getProgram(), "ct_pt");
  glBindVertexArray(vao.id);
  GLint size = 0, buffer = 0;
  void* offset = nullptr;
  glGetVertexAttribiv(GLuint(location), GL_VERTEX_ATTRIB_ARRAY_SIZE, &size);
  glGetVertexAttribiv(GLuint(location), GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &buffer);
  glGetVertexAttribPointerv(GLuint(location), GL_VERTEX_ATTRIB_ARRAY_POINTER, &offset);
  EXPECT_EQ(size, 4);
  EXPECT_EQ(GLuint(buffer), vbo.id);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(offset), 8u);

  // Cleared and refilled: a new buffer object under the same vertex array.
  vbo.clear();
  vbo.add_array("cubic", std::vector<glm::vec4>{{0, 0, 0, 0}, {1, 1, 1, 1}});
  vbo.upload();
  GLuint vao_id = vao.id;
  vao.link_ini();
  EXPECT_EQ(vao.id, vao_id);
  glBindVertexArray(vao.id);
  glGetVertexAttribiv(GLuint(location), GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &buffer);
  glGetVertexAttribPointerv(GLuint(location), GL_VERTEX_ATTRIB_ARRAY_POINTER, &offset);
  EXPECT_EQ(GLuint(buffer), vbo.id);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(offset), 0u);
  glBindVertexArray(0);
}

// A missing array is named; the attribute is left reading its constant value, so drawing
// does not read from a null pointer.
TEST_F(vbo_test, a_missing_array_is_named_and_drawing_stays_safe) {
  VBO vbo;
  vbo.add_array("present", std::vector<glm::vec2>{{0, 0}});
  vbo.upload();
  testing::internal::CaptureStdout();
  auto drawable = std::make_unique<gl_bezier_deg_1>();
  drawable->vao = new VAO(get_shader<gl_bezier_deg_1>(), &vbo, {{"ct_pt", "absent"}});
  drawable->shader = drawable->vao->shader;
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "absent is not present into the vbo\n");
  drawable->count = 2;
  offscreen_target target(8, 8);
  target.bind_and_clear();
  drawable->draw(glm::mat4(1.0f));
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// An attribute the program lacks gets location -1, which GL refuses; the line names it.
TEST_F(vbo_test, an_attribute_the_program_lacks_is_reported) {
  VBO vbo;
  vbo.add_array("present", std::vector<glm::vec2>{{0, 0}});
  vbo.upload();
  testing::internal::CaptureStderr();
  {
    VAO vao(get_shader<gl_bezier_deg_1>(), &vbo, {{"no_such_attribute", "present"}});
  }
  std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_NE(printed.find("ERROR: error 629: 1281\n"), std::string::npos) << printed;
  EXPECT_NE(printed.find("ERROR: error 637: 1281\n"), std::string::npos) << printed;
}

TEST_F(vbo_test, a_vao_without_a_shader_ends_the_process) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  VBO vbo;
  Shader* none = nullptr;
  EXPECT_EXIT(VAO(none, &vbo, {{"ct_pt", "a"}}), testing::ExitedWithCode(1), "");
}

TEST(image_quad_fills, give_the_quad_under_their_names) {
  std::string name;
  std::vector<glm::vec2> tex;
  std::vector<glm::vec3> corners;
  fill_tex_img(name, tex);
  EXPECT_EQ(name, "tex_img");
  EXPECT_EQ(tex, (std::vector<glm::vec2>{{0, 0}, {1, 0}, {1, 1}, {0, 1}}));
  fill_vertex_img(name, corners);
  EXPECT_EQ(name, "vertex_img");
  EXPECT_EQ(corners, (std::vector<glm::vec3>{{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}}));
}

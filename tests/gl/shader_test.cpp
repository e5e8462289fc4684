#include "gl/gl_bezier.h"
#include "gl/gl_context.h"
#include "gl/image_tex.h"
#include "gl/shader_registry.h"
#include "gl/texture.h"

#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

class shader_test : public gl_test {};

// Every shader file compiles and every program links: nothing is printed.
TEST_F(shader_test, each_drawing_class_builds_its_program_once) {
  testing::internal::CaptureStderr();
  Shader* image = get_shader<Image_tex>();
  Shader* straight = get_shader<gl_bezier_deg_1>();
  Shader* quadratic = get_shader<gl_bezier_deg_2>();
  Shader* cubic = get_shader<gl_bezier_deg_3>();
  Shader* nodes = get_shader<gl_bezier_node>();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(shader_registry.size(), 5u);
  for (Shader* shader : {image, straight, quadratic, cubic, nodes}) {
    GLint linked = 0;
    glGetProgramiv(shader->getProgram(), GL_LINK_STATUS, &linked);
    EXPECT_TRUE(linked) << shader->name;
    EXPECT_NE(shader->vertex_shader, 0u);
    EXPECT_NE(shader->fragment_shader, 0u);
  }
  EXPECT_EQ(image->geometry_shader, 0u);
  EXPECT_NE(cubic->geometry_shader, 0u);
  EXPECT_EQ(cubic->name, "shader/shader_bezier_from_ctpt_deg3.vert");
  EXPECT_EQ(get_shader<gl_bezier_deg_3>(), cubic);
  EXPECT_EQ(shader_registry.size(), 5u);
}

// A missing geometry file throws after the vertex stage; no entry is kept, so a later
// request, with the file back, builds the program.
TEST_F(shader_test, a_missing_file_throws_and_leaves_no_entry) {
  fs::path folder = scratch_folder("vt_gl_missing");
  fs::create_directories(folder / "shader");
  fs::copy_file("shader/shader_bezier_from_ctpt_deg2.vert", folder / "shader/shader_bezier_from_ctpt_deg2.vert");
  ASSERT_EQ(chdir(folder.c_str()), 0);
  try {
    get_shader<gl_bezier_deg_2>();
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Error: Unable to load shader file shader/shader_bezier_from_ctpt_deg2.geom");
  }
  EXPECT_EQ(shader_registry.count(std::type_index(typeid(gl_bezier_deg_2))), 0u);
  ASSERT_EQ(chdir(VELLUMTRACE_SOURCE_DIR), 0);
  fs::remove_all(folder);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  Shader* quadratic = get_shader<gl_bezier_deg_2>();
  EXPECT_NE(quadratic->geometry_shader, 0u);
  EXPECT_EQ(shader_registry.size(), 1u);
}

TEST_F(shader_test, a_stage_that_does_not_compile_prints_its_source_and_log) {
  Shader shader;
  testing::internal::CaptureStderr();
  shader.setVertexShader("#version 450\nvoid main() { not glsl; }\n");
  std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_NE(printed.find("Shader::createSharedObjects: Shader #version 450\nvoid main() { not glsl; }\n failed "
                         "compilation.\n"),
            std::string::npos)
      << printed;
  EXPECT_GT(printed.size(), 120u) << "the compiler's log is missing";
  EXPECT_EQ(shader.vertex_shader, 0u);
  EXPECT_NE(shader.getProgram(), 0u);
}

TEST_F(shader_test, move_takes_the_gl_objects_and_leaves_the_source_owning_nothing) {
  Shader source;
  source.loadVertexShader("shader/shader_bezier_from_ctpt_deg1.vert");
  source.setTexture("texture", std::make_shared<Texture_opencv>());
  GLuint program = source.getProgram();
  GLuint vertex = source.vertex_shader;
  Shader moved(std::move(source));
  EXPECT_EQ(moved.getProgram(), program);
  EXPECT_EQ(moved.vertex_shader, vertex);
  EXPECT_EQ(moved.name, "shader/shader_bezier_from_ctpt_deg1.vert");
  EXPECT_TRUE(moved.textures.empty());
  EXPECT_EQ(source.getProgram(), 0u);
  EXPECT_EQ(source.vertex_shader, 0u);
  EXPECT_TRUE(source.name.empty());
  EXPECT_EQ(source.getUniformLocation("t"), -1);
}

TEST_F(shader_test, destructor_reports_a_pending_error) {
  auto shader = std::make_unique<Shader>();
  glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS + 12345);  // GL_INVALID_ENUM
  testing::internal::CaptureStderr();
  shader.reset();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "SHADER_DESTRUCTOR_ERROR: error begin: 1280\n");
}

// Only the very first use of the process validates, whichever program it is.
TEST_F(shader_test, only_the_first_use_validates) {
  validation_count = 0;
  Shader* first = get_shader<gl_bezier_deg_1>();
  Shader* second = get_shader<gl_bezier_node>();
  first->use();
  second->use();
  Shader::unbind();
  GLint first_valid = 0, second_valid = 0;
  glGetProgramiv(first->getProgram(), GL_VALIDATE_STATUS, &first_valid);
  glGetProgramiv(second->getProgram(), GL_VALIDATE_STATUS, &second_valid);
  EXPECT_TRUE(first_valid);
  EXPECT_FALSE(second_valid);
  EXPECT_EQ(validation_count, 1);
}

TEST_F(shader_test, use_consumes_any_pending_error_but_invalid_operation) {
  Shader* shader = get_shader<gl_bezier_deg_1>();
  glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS + 12345);  // GL_INVALID_ENUM
  shader->use();
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  GLint current = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  EXPECT_EQ(GLuint(current), shader->getProgram());
  Shader::unbind();
}

TEST_F(shader_test, use_ends_the_process_on_a_pending_invalid_operation) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  Shader* shader = get_shader<gl_bezier_deg_1>();
  EXPECT_EXIT(
      {
        glUseProgram(0);
        glUniform1f(0, 1.0f);  // no current program: GL_INVALID_OPERATION
        shader->use();
      },
      testing::ExitedWithCode(1),
      "GL_INVALID_OPERATION is generated if a geometry shader is active[^\n]*\n"
      "GL_INVALID_OPERATION is generated if a non-zero buffer object name");
}

// One texture per location: a second texture under the same name replaces the first; a
// name the program lacks files the texture under -1, which still gets a unit.
TEST_F(shader_test, textures_are_kept_per_location_and_bound_to_units_in_order) {
  Shader* shader = get_shader<Image_tex>();
  auto first = std::make_shared<Texture_opencv>(cv::Mat(2, 2, CV_32FC1, cv::Scalar(0.5f)));
  auto second = std::make_shared<Texture_opencv>(cv::Mat(2, 2, CV_32FC1, cv::Scalar(0.25f)));
  auto stray = std::make_shared<Texture_opencv>(cv::Mat(2, 2, CV_32FC1, cv::Scalar(1.0f)));
  shader->setTexture("texture", first);
  shader->setTexture("texture", second);
  shader->setTexture("no_such_sampler", stray);
  ASSERT_EQ(shader->textures.size(), 2u);
  EXPECT_EQ(shader->textures.at(-1), stray);
  EXPECT_EQ(shader->textures.at(shader->getUniformLocation("texture")), second);
  glUseProgram(shader->getProgram());
  shader->bindTextures();
  GLint bound = 0;
  glActiveTexture(GL_TEXTURE0);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(GLuint(bound), stray->get_id());
  glActiveTexture(GL_TEXTURE1);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(GLuint(bound), second->get_id());
  glActiveTexture(GL_TEXTURE0);
  GLint unit = -1;
  glGetUniformiv(shader->getProgram(), shader->getUniformLocation("texture"), &unit);
  EXPECT_EQ(unit, 1);
  Shader::unbind();
  shader->clearTextures();
  EXPECT_TRUE(shader->textures.empty());
}

TEST_F(shader_test, add_texture_wraps_and_owns_an_existing_texture_name) {
  Shader shader;
  GLuint name = 0;
  glGenTextures(1, &name);
  shader.addTexture("texture", name);
  ASSERT_EQ(shader.textures.size(), 1u);
  EXPECT_EQ(shader.textures.begin()->second->get_id(), name);
  EXPECT_EQ(shader.textures.begin()->second->name, "Texture from id: " + std::to_string(name));
  shader.clearTextures();
  EXPECT_FALSE(glIsTexture(name));
}

TEST_F(shader_test, loading_both_files_links_a_program) {
  Shader shader("shader/shader_bezier_from_ctpt_deg1.vert", "shader/shader_bezier_from_ctpt_deg1.frag");
  GLint linked = 0;
  glGetProgramiv(shader.getProgram(), GL_LINK_STATUS, &linked);
  EXPECT_TRUE(linked);
  EXPECT_TRUE(Shader::isSupported());
  EXPECT_NE(shader.getUniformLocation("color_curve"), -1);
}

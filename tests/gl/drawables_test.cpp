#include "drawable_fixtures.h"
#include "gl/gl_bezier.h"
#include "gl/gl_context.h"
#include "gl/image_tex.h"
#include "gl/texture.h"
#include "gl/vbo.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int side = 256;

// Where the normalised image point (u, v) lands, in pixels of the target (x right, y down).
glm::dvec2 to_pixels(glm::dvec2 uv, const repere_2d& frame) {
  double x = (2 * uv.x - 1 + frame.t.x) * frame.s;
  double y = (1 - 2 * uv.y + frame.t.y) * frame.s;
  return {(x + 1) / 2 * side, (1 - y) / 2 * side};
}

bool lit(const cv::Mat& rgba, int row, int col) {
  const cv::Vec4b& p = rgba.at<cv::Vec4b>(row, col);
  return p[0] < 200 || p[1] < 200 || p[2] < 200;
}

// Distance from the pixel centre (x, y) to the polyline.
double distance_to(const std::vector<glm::dvec2>& polyline, glm::dvec2 p) {
  double best = 1e9;
  for (size_t i = 0; i + 1 < polyline.size(); ++i) {
    glm::dvec2 a = polyline[i], b = polyline[i + 1];
    double t = glm::clamp(glm::dot(p - a, b - a) / glm::max(glm::dot(b - a, b - a), 1e-12), 0.0, 1.0);
    best = std::min(best, glm::length(p - (a + t * (b - a))));
  }
  return best;
}

// Every lit pixel lies near the curve, and every part of the curve inside the target is lit.
void expect_drawn_along(const cv::Mat& rgba, const std::vector<glm::dvec2>& curve, double near) {
  int lit_count = 0;
  double worst = 0;
  for (int row = 0; row < rgba.rows; ++row)
    for (int col = 0; col < rgba.cols; ++col)
      if (lit(rgba, row, col)) {
        ++lit_count;
        worst = std::max(worst, distance_to(curve, {col + 0.5, row + 0.5}));
      }
  EXPECT_GT(lit_count, 50);
  EXPECT_LE(worst, near) << "a lit pixel far from the curve";
  for (const glm::dvec2& p : curve) {
    int col = int(p.x), row = int(p.y);
    if (col < 2 || row < 2 || col >= side - 2 || row >= side - 2) continue;
    bool covered = false;
    for (int dr = -1; dr <= 1; ++dr)
      for (int dc = -1; dc <= 1; ++dc) covered = covered || lit(rgba, row + dr, col + dc);
    EXPECT_TRUE(covered) << "curve point (" << p.x << ", " << p.y << ") not drawn";
  }
}

std::vector<glm::dvec2> sample_bezier(const std::vector<glm::dvec2>& control, const repere_2d& frame) {
  std::vector<glm::dvec2> points;
  const int n = int(control.size()) - 1;
  for (int i = 0; i <= 400; ++i) {
    double u = i / 400.0;
    glm::dvec2 p(0.0);
    for (int k = 0; k <= n; ++k) {
      double binomial = n == 3 ? (k == 0 || k == 3 ? 1 : 3) : (n == 2 ? (k == 1 ? 2 : 1) : 1);
      p += binomial * std::pow(u, k) * std::pow(1 - u, n - k) * control[k];
    }
    points.push_back(to_pixels(p, frame));
  }
  return points;
}

glm::vec2 as_float(glm::dvec2 p) { return glm::vec2(float(p.x), float(p.y)); }

}  // namespace

class drawables_test : public gl_test {};

// Each degree drawn through its own program, panned and zoomed, lies on the analytic curve.
TEST_F(drawables_test, curves_of_each_degree_lie_on_the_analytic_curve) {
  struct curve_case {
    const char* name;
    std::vector<glm::dvec2> control;
    repere_2d frame;
  };
  const std::vector<curve_case> cases = {
      {"deg1", {{0.1, 0.2}, {0.9, 0.7}}, {glm::vec2(0.1f, -0.2f), 0.8f}},
      {"deg2", {{0.1, 0.9}, {0.5, -0.4}, {0.9, 0.9}}, {glm::vec2(-0.15f, 0.1f), 0.9f}},
      {"deg3", {{0.1, 0.5}, {0.3, -0.3}, {0.7, 1.3}, {0.9, 0.5}}, {glm::vec2(0.05f, 0.05f), 1.3f}},
  };
  offscreen_target target(side, side);
  for (const curve_case& c : cases) {
    SCOPED_TRACE(c.name);
    VBO vbo(GL_ARRAY_BUFFER, GL_DYNAMIC_DRAW);
    std::unique_ptr<object> drawable;
    if (c.control.size() == 4) {
      vbo.add_array("cubic", std::vector<glm::vec4>{
                                 {as_float(c.control[0]), as_float(c.control[1])},
                                 {as_float(c.control[2]), as_float(c.control[3])}});
      vbo.upload();
      auto cubic = make_curve<gl_bezier_deg_3>(vbo, "cubic", 2, glm::vec3(0, 0, 1), 0.5f);
      static_cast<repere_2d&>(*cubic) = c.frame;
      drawable = std::move(cubic);
    } else {
      std::vector<glm::vec2> points;
      for (glm::dvec2 p : c.control) points.push_back(as_float(p));
      vbo.add_array("points", points);
      vbo.upload();
      if (c.control.size() == 2) {
        auto straight = make_curve<gl_bezier_deg_1>(vbo, "points", 2, glm::vec3(1, 0, 0), 0.5f);
        static_cast<repere_2d&>(*straight) = c.frame;
        drawable = std::move(straight);
      } else {
        auto quadratic = make_curve<gl_bezier_deg_2>(vbo, "points", 3, glm::vec3(0, 0.5f, 0), 0.5f);
        static_cast<repere_2d&>(*quadratic) = c.frame;
        drawable = std::move(quadratic);
      }
    }
    target.bind_and_clear();
    drawable->draw(glm::mat4(1.0f));
    EXPECT_EQ(leftover_gl_state(), "");
    cv::Mat picture = target.read_rgba();
    save_test_picture(picture, std::string("curve_") + c.name);
    // Line width 5: half of it, plus a pixel for rasterisation.
    expect_drawn_along(picture, sample_bezier(c.control, c.frame), 2.5 + 1.5);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  }
}

TEST_F(drawables_test, curve_colour_and_opacity_blend_over_the_background) {
  offscreen_target target(side, side);
  VBO vbo;
  vbo.add_array("points", std::vector<glm::vec2>{{0.0f, 0.5f}, {1.0f, 0.5f}});
  vbo.upload();
  auto straight = make_curve<gl_bezier_deg_1>(vbo, "points", 2, glm::vec3(1, 0, 0), 0.5f);
  straight->alpha = 0.5f;
  target.bind_and_clear();
  straight->draw(glm::mat4(1.0f));
  cv::Vec4b middle = target.read_rgba().at<cv::Vec4b>(side / 2, side / 2);
  EXPECT_EQ(middle[0], 255);
  EXPECT_NEAR(middle[1], 127, 2);
  EXPECT_NEAR(middle[2], 127, 2);
}

// End points become round marks of radius 0.03 (normalised device units), kept round by ratio.
TEST_F(drawables_test, nodes_are_drawn_where_the_end_points_are) {
  const int width = 2 * side, height = side;
  offscreen_target target(width, height);
  VBO vbo;
  const std::vector<glm::vec2> ends = {{0.25f, 0.25f}, {0.75f, 0.6f}};
  vbo.add_array("ends", ends);
  vbo.upload();
  auto nodes = make_curve<gl_bezier_node>(vbo, "ends", 2, glm::vec3(0.5f, 0.5f, 1.5f), 0.77f);
  nodes->ratio = float(width) / float(height);
  nodes->t = glm::vec2(0.1f, 0.0f);
  nodes->s = 0.9f;
  target.bind_and_clear();
  nodes->draw(glm::mat4(1.0f));
  EXPECT_EQ(leftover_gl_state(), "");
  cv::Mat picture = target.read_rgba();
  save_test_picture(picture, "nodes");
  const double radius = 0.03 * height / 2;  // pixels, in both directions
  std::vector<glm::dvec2> centres;
  for (glm::vec2 e : ends) {
    double x = (2 * e.x - 1 + nodes->t.x) * nodes->s, y = (1 - 2 * e.y + nodes->t.y) * nodes->s;
    centres.push_back({(x + 1) / 2 * width, (1 - y) / 2 * height});
  }
  int lit_count = 0;
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < width; ++col) {
      double nearest = 1e9;
      for (glm::dvec2 c : centres) nearest = std::min(nearest, glm::length(glm::dvec2(col + 0.5, row + 0.5) - c));
      bool inside = nearest < radius - 1, outside = nearest > radius + 1;
      if (lit(picture, row, col)) {
        ++lit_count;
        EXPECT_FALSE(outside) << "lit at " << col << ", " << row;
      } else {
        EXPECT_FALSE(inside) << "unlit at " << col << ", " << row;
      }
    }
  EXPECT_GT(lit_count, 2 * 3.14 * (radius - 1) * (radius - 1));
  cv::Vec4b centre = picture.at<cv::Vec4b>(int(centres[0].y), int(centres[0].x));
  EXPECT_EQ(centre, cv::Vec4b(128, 128, 255, 255));
}

TEST_F(drawables_test, a_drawable_with_count_zero_draws_nothing) {
  offscreen_target target(side, side);
  VBO vbo;
  vbo.add_array("empty", std::vector<glm::vec2>{});
  vbo.add_array("empty4", std::vector<glm::vec4>{});
  vbo.upload();
  std::vector<std::unique_ptr<object>> drawables;
  drawables.push_back(make_curve<gl_bezier_deg_1>(vbo, "empty", 0, glm::vec3(0), 0.5f));
  drawables.push_back(make_curve<gl_bezier_deg_2>(vbo, "empty", 0, glm::vec3(0), 0.5f));
  drawables.push_back(make_curve<gl_bezier_deg_3>(vbo, "empty4", 0, glm::vec3(0), 0.5f));
  drawables.push_back(make_curve<gl_bezier_node>(vbo, "empty", 0, glm::vec3(0), 0.5f));
  target.bind_and_clear();
  for (auto& d : drawables) d->draw(glm::mat4(1.0f));
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  EXPECT_EQ(leftover_gl_state(), "");
  cv::Mat picture = target.read_rgba();
  for (int row = 0; row < side; row += 17)
    for (int col = 0; col < side; col += 13) EXPECT_FALSE(lit(picture, row, col));
}

// A grey image with a dark top-left quarter: drawn upright, at its opacity, over white.
TEST_F(drawables_test, an_image_is_drawn_upright_with_its_opacity) {
  offscreen_target target(side, side);
  VBO vbo;
  fill_image_quad(vbo);
  cv::Mat gray(64, 32, CV_32FC1, cv::Scalar(1.0f));  // taller than wide: rows are not columns
  gray(cv::Rect(0, 0, 16, 32)).setTo(0.0f);
  auto image = make_image(vbo, gray, 0.9f);
  image->alpha = 0.6f;
  target.bind_and_clear();
  image->draw(glm::mat4(1.0f));
  EXPECT_EQ(leftover_gl_state(), "");
  cv::Mat picture = target.read_rgba();
  save_test_picture(picture, "image_upright");
  // Black at 0.6 over white: 255 x 0.4.
  const int dark = int(255 * 0.4f);
  auto value = [&](int row, int col) { return int(picture.at<cv::Vec4b>(row, col)[0]); };
  EXPECT_NEAR(value(side / 4, side / 4), dark, 2);
  EXPECT_NEAR(value(side / 4, 3 * side / 4), 255, 1);
  EXPECT_NEAR(value(3 * side / 4, side / 4), 255, 1);
  EXPECT_NEAR(value(3 * side / 4, 3 * side / 4), 255, 1);
  EXPECT_NEAR(value(2, 2), dark, 2);
}

// A real drawing, drawn at its own size, comes back as the file holds it.
TEST_F(drawables_test, a_sketch_comes_back_pixel_for_pixel) {
  cv::Mat file = cv::imread("examples/fish.png", cv::IMREAD_GRAYSCALE);
  ASSERT_FALSE(file.empty());
  cv::Mat gray;
  file.convertTo(gray, CV_32FC1, 1.0 / 255);
  offscreen_target target(file.cols, file.rows);
  VBO vbo;
  fill_image_quad(vbo);
  auto image = make_image(vbo, gray, 0.9f);
  target.bind_and_clear();
  image->draw(glm::mat4(1.0f));
  cv::Mat picture = target.read_rgba();
  save_test_picture(picture, "sketch");
  std::vector<cv::Mat> channels;
  cv::split(picture, channels);
  cv::Mat difference;
  cv::absdiff(channels[0], file, difference);
  double worst = 0;
  cv::minMaxLoc(difference, nullptr, &worst);
  EXPECT_LE(worst, 1.0);  // 255 x v truncated against the file's byte
}

TEST_F(drawables_test, two_images_show_their_own_textures) {
  offscreen_target target(side, side);
  VBO vbo;
  fill_image_quad(vbo);
  auto left = make_image(vbo, cv::Mat(8, 8, CV_32FC1, cv::Scalar(0.2f)), 0.9f);
  cv::Mat_<cv::Vec3f> colour(8, 8, cv::Vec3f(200, 100, 0));  // blue, green, red
  auto right = make_image(vbo, colour, 0.84f);
  left->t = glm::vec2(-1, 0);
  left->s = 0.5f;
  right->t = glm::vec2(1, 0);
  right->s = 0.5f;
  target.bind_and_clear();
  left->draw(glm::mat4(1.0f));
  right->draw(glm::mat4(1.0f));
  cv::Mat picture = target.read_rgba();
  save_test_picture(picture, "two_images");
  EXPECT_EQ(picture.at<cv::Vec4b>(side / 2, side / 4), cv::Vec4b(51, 51, 51, 255));
  EXPECT_EQ(picture.at<cv::Vec4b>(side / 2, 3 * side / 4), cv::Vec4b(0, 100, 200, 255));
  EXPECT_EQ(picture.at<cv::Vec4b>(side / 8, side / 4), cv::Vec4b(255, 255, 255, 0));
}

// The smaller depth is in front, whatever the drawing order.
TEST_F(drawables_test, smaller_depth_is_drawn_in_front) {
  offscreen_target target(side, side);
  VBO vbo;
  vbo.add_array("points", std::vector<glm::vec2>{{0.0f, 0.5f}, {1.0f, 0.5f}});
  vbo.upload();
  auto front = make_curve<gl_bezier_deg_1>(vbo, "points", 2, glm::vec3(1, 0, 0), 0.2f);
  auto back = make_curve<gl_bezier_deg_1>(vbo, "points", 2, glm::vec3(0, 0, 1), 0.8f);
  target.bind_and_clear();
  front->draw(glm::mat4(1.0f));
  back->draw(glm::mat4(1.0f));
  EXPECT_EQ(target.read_rgba().at<cv::Vec4b>(side / 2, side / 2), cv::Vec4b(255, 0, 0, 255));
}

TEST(mat4_translate, multiplies_on_the_right) {
  glm::mat4 m(1.0f);
  m[0][0] = 2.0f;  // scale x by 2 first ...
  float x = 1, y = 2, z = 3;
  mat4_translate(m, x, y, z);
  // ... so the translation acts before the scale.
  glm::vec4 p = m * glm::vec4(0, 0, 0, 1);
  EXPECT_EQ(p, glm::vec4(2, 2, 3, 1));
}

#include "pipeline/layer.h"

#include <cmath>
#include <cstdlib>

#include <gtest/gtest.h>

namespace {

TEST(Layer, DefaultStateHasTypedEmptyImages) {
  layer l;
  for (const cv::Mat* m : {&l.ink_dist, &l.stroke_depth, &l.graph_dist, &l.labels}) {
    EXPECT_TRUE(m->empty());
    EXPECT_EQ(m->type(), CV_32SC1);
  }
  EXPECT_TRUE(l.region_mask.empty());
  EXPECT_EQ(l.region_mask.type(), CV_8SC1);
  EXPECT_EQ(l.min_x, 0);
  EXPECT_EQ(l.width, 0);
  EXPECT_TRUE(l.v_peak.empty());
  EXPECT_TRUE(l.graph.edge_pixels_by_pair.empty());
}

TEST(RandomColour, UnitLengthNonNegativeFromThreeDraws) {
  std::srand(12345);
  const int a = std::rand() % 1000, b = std::rand() % 1000, c = std::rand() % 1000;
  std::srand(12345);
  const glm::vec3 col = random_colour();
  // x comes from the third draw, z from the first.
  const float fa = a / 1000.0f, fb = b / 1000.0f, fc = c / 1000.0f;
  const float len = std::sqrt(fb * fb + fc * fc + fa * fa);
  EXPECT_FLOAT_EQ(col.x, fc * (1 / len));
  EXPECT_FLOAT_EQ(col.y, fb * (1 / len));
  EXPECT_FLOAT_EQ(col.z, fa * (1 / len));
  for (int i = 0; i < 2000; ++i) {
    const glm::vec3 v = random_colour();
    EXPECT_GE(v.x, 0);
    EXPECT_GE(v.y, 0);
    EXPECT_GE(v.z, 0);
    EXPECT_NEAR(v.x * v.x + v.y * v.y + v.z * v.z, 1.0f, 1e-5f);
  }
}

TEST(PaintColour, WritesBlueGreenRed) {
  cv::Mat img(2, 3, CV_32FC3, cv::Scalar(0, 0, 0));
  paint_colour(img, glm::ivec2(2, 1), glm::vec3(10, 20, 30));
  const cv::Vec3f px = img.at<cv::Vec3f>(1, 2);
  EXPECT_EQ(px[0], 30);
  EXPECT_EQ(px[1], 20);
  EXPECT_EQ(px[2], 10);
}

// A byte picture takes the bytes the texture shows of the floats: truncated, not rounded.
TEST(PaintColour, WritesTheShownBytesIntoAByteImage) {
  struct byte_case {
    glm::vec3 colour;
    cv::Vec3b bgr;
  };
  const byte_case cases[] = {
      {{10, 20, 30}, {30, 20, 10}},
      {{0.99f, 127.5f, 254.999f}, {254, 127, 0}},
      {{255, 0, 0}, {0, 0, 255}},
  };
  for (const byte_case& c : cases) {
    cv::Mat img(2, 3, CV_8UC3, cv::Scalar(7, 7, 7));
    paint_colour(img, glm::ivec2(2, 1), c.colour);
    EXPECT_EQ(img.at<cv::Vec3b>(1, 2), c.bgr);
    EXPECT_EQ(img.at<cv::Vec3b>(0, 2), cv::Vec3b(7, 7, 7)) << "only the one pixel is painted";
  }
}

}  // namespace

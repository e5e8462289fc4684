#include "pipeline/layer.h"

#include <cmath>
#include <cstdlib>

layer::layer()
    : ink_dist(0, 0, CV_32SC1),
      stroke_depth(0, 0, CV_32SC1),
      graph_dist(0, 0, CV_32SC1),
      labels(0, 0, CV_32SC1),
      region_mask(0, 0, CV_8SC1) {}

glm::vec3 random_colour() {
  float a, b, c;
  do {
    a = static_cast<float>(std::rand() % 1000) / 1000.0f;
    b = static_cast<float>(std::rand() % 1000) / 1000.0f;
    c = static_cast<float>(std::rand() % 1000) / 1000.0f;
  } while (a == 0.0f && b == 0.0f && c == 0.0f);
  const float len = std::sqrt(b * b + c * c + a * a);
  const float inv = 1.0f / len;
  return glm::vec3(c * inv, b * inv, a * inv);
}

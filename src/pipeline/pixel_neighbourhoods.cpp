#include "pipeline/pixel_neighbourhoods.h"

glm::ivec2 centroid(std::set<glm::ivec2>::const_iterator begin,
                    std::set<glm::ivec2>::const_iterator end) {
  int32_t sx = 0, sy = 0, n = 0;
  for (auto it = begin; it != end; ++it) {
    sx += it->x;
    sy += it->y;
    ++n;
  }
  const double inv = 1.0 / n;
  return glm::ivec2(static_cast<int>(sx * inv), static_cast<int>(sy * inv));
}

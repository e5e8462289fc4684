#pragma once
// Pixels, their order and region-label pairs, shared by every raster step.
//
// A pixel is a glm::ivec2 (x = column, y = row). Every pixel set and pixel-keyed map
// orders pixels by x, then by y (not row-major): the floods walk these containers in
// that order and the .graph file stores them in it, so std::less is fixed here.

#include <cstdint>
#include <functional>
#include <utility>

#include <glm/vec2.hpp>

namespace std {
template <>
struct less<glm::ivec2> {
  bool operator()(const glm::ivec2& a, const glm::ivec2& b) const {
    return a.x < b.x || (a.x == b.x && a.y < b.y);
  }
};
}  // namespace std

// Two region labels, always stored smaller label first; ordered by first, then second.
using ipair = std::pair<int32_t, int32_t>;

// The key of the boundary between labels a and b (either order).
inline ipair make_ipair(int32_t a, int32_t b) { return a < b ? ipair(a, b) : ipair(b, a); }

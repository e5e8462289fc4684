#pragma once
// Painting a layer's window pixels into an image of the input size (region image,
// boundary image: three channels, blue, green, red, 0 to 255, floats or bytes).

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>
#include <opencv2/core/mat.hpp>

#include "pipeline/layer.h"

// Paints window pixel `p` of layer `l` at its image position p - (offset_x, offset_y)
// in `colour` (x = red, y = green, z = blue). Pixels in the top or left margin of the
// window (row or column below `margin`) are not painted. Neither is a pixel whose image
// position falls outside `image`: the window's right and bottom margins reach past the
// ink, and past the image when the ink touches its border.
inline void paint_window_pixel(cv::Mat& image, const layer& l, glm::ivec2 p,
                               const glm::vec3& colour) {
  if (p.x < l.margin || p.y < l.margin) return;
  const glm::ivec2 at(p.x - l.offset_x, p.y - l.offset_y);
  if (at.x < 0 || at.y < 0 || at.x >= image.cols || at.y >= image.rows) return;
  paint_colour(image, at, colour);
}

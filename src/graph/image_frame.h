#pragma once
// The image's frame, which every drawn curve stays within, and the least-squares solve
// that keeps a fit's control points inside it.
//
// A curve is inside the image when every point of its Bézier over [0, 1] lies in
// [0, width] x [0, height] (image pixels); its control points may lie outside. A fit
// whose curve leaves the frame is redone with its control points held in the frame
// (by the convex hull property its curve then stays inside too).

#include <glm/vec2.hpp>

struct image_frame {
  double width = 0;   // image columns, pixels; 0 (no image known): fits run free
  double height = 0;  // image rows, pixels

  bool known() const { return width > 0 && height > 0; }
  glm::dvec2 clamp(glm::dvec2 p) const;
};

// How far (pixels) a curve may stray past the frame before it counts as outside:
// rounding of a fit whose samples lie on the border.
constexpr double frame_tolerance = 1e-6;

// Whether some point of the Bézier of `count` control points (1 to 4) lies outside the
// frame by more than frame_tolerance. A non-finite point counts as outside. An unknown
// frame holds everything.
bool leaves_frame(const image_frame& frame, const glm::dvec2* ctrl, int count);

// Minimises c^T a c - 2 b^T c over lo <= c <= hi for k = 1 to 4 unknowns; a is k by k,
// row-major, symmetric positive semi-definite; lo[j] <= hi[j]. Writes c.
void box_least_squares(int k, const double* a, const double* b, const double* lo,
                       const double* hi, double* c);

// The least-squares control points (k = 1 to 4, normal matrix a row-major, right-hand
// sides bx, by) held in the frame. With hold_ends, points 0 and k - 1 keep the values
// they have in ctrl on entry, moved into the frame. Writes ctrl[0 .. k - 1].
void fit_in_frame(const image_frame& frame, int k, const double* a, const double* bx,
                  const double* by, bool hold_ends, glm::dvec2* ctrl);

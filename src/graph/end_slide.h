#pragma once
// End slides: a curve's lone end (no other curve ends at its connection) moves along the
// curve that passes through its junction to where the sliding curve fits its own samples
// best; a quadratic's or cubic's inner control points are refitted with both ends fixed.
// curve::slide_lone_end and curve::slide_lone_ends (declared in curve.h) run them.

#include <glm/vec2.hpp>

struct curve;

// Work record of one slide, on the stack of the slide operation. The point pointers
// point into the sliding curve's first segment (curve_segment::v_ctrl_point) and dangle
// once that vector is resized; the record owns nothing.
struct end_slide {
  struct curve* curve = nullptr;      // the curve whose end slides (curve_graph::curves)
  glm::dvec2* first_point = nullptr;  // control point 0 of its first segment
  glm::dvec2* last_point = nullptr;   // control point `degree` of that segment
  glm::dvec2* end_point = nullptr;    // first_point or last_point at the chosen end; null
                                      // until found, or when the curve holds no fragment
                                      // listed at that end's junction
  struct curve* through = nullptr;    // a curve passing through the end's junction without
                                      // ending there; null when there is none
  bool end_index = false;             // chosen end: false = curve::v_nconnection[0], true = [1]

  // Turns to the other end and finds its control point and passing curve. Leaves both
  // null when that end has no connection or junction.
  void next_end();
};

// Places the chosen end at parameter x (narrowed to float) of the passing curve's first
// segment; with no passing curve, or no chosen end point, nothing moves.
void place_slide_end(end_slide& slide, double x);

// Quarter-probe search over [a, b] of the passing curve's parameter at which the sliding
// curve (first segment of the given degree, 1 to 3) fits best. The cost of x is
// curve_segment::error of the sliding segment after placing the end at x (degree 1) or
// after refit_inner_points at x (degrees 2, 3), in pixels squared. Returns the parameter
// and writes its cost to `cost`; the segment is left as the last probe made it.
template <int degree>
double slide_search(double a, double b, double& cost, end_slide& slide);

// For degree 2 or 3: places the end at x, refits the inner control points by weighted
// least squares (float sums) with control points 0 and `degree` held fixed, and returns
// curve_segment::error of the segment. The curve's mean error is not updated. With no
// usable sample, or none that bears on the inner points (a quadratic's zero diagonal
// sum, a cubic's zero 2 by 2 system: every sample at u = 0 or 1, or of weight 0), the
// inner points stay.
template <int degree>
double refit_inner_points(end_slide& slide, double x);

// Puts the ends of c's first segment (control points 0 and degree) at start and end and,
// for a quadratic or cubic, refits the inner points with both held as refit_inner_points
// does. A segment of another degree, or without its degree + 1 points, is left as it is.
// The curve's mean error is not updated.
void fit_inner_points_between(curve& c, glm::dvec2 start, glm::dvec2 end);

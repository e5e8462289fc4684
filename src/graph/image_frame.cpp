#include "graph/image_frame.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <Eigen/Dense>

namespace {

// Bernstein polynomial of control values v[0 .. count - 1] at u.
double bernstein_value(const double* v, int count, double u) {
  double w[4];
  std::copy(v, v + count, w);
  for (int level = count - 1; level > 0; --level)
    for (int i = 0; i < level; ++i) w[i] = (1 - u) * w[i] + u * w[i + 1];
  return w[0];
}

// Whether the polynomial of control values v stays in [0 - tol, size + tol] over [0, 1]:
// its extremes lie at the ends or where its derivative vanishes.
bool axis_inside(const double* v, int count, double size) {
  const auto ok = [&](double x) {
    return std::isfinite(x) && x >= -frame_tolerance && x <= size + frame_tolerance;
  };
  bool hull = true;
  for (int i = 0; i < count; ++i) hull = hull && ok(v[i]);
  if (hull) return true;
  if (!ok(v[0]) || !ok(v[count - 1])) return false;
  double roots[2];
  int nb_roots = 0;
  if (count == 3) {
    const double d = v[0] - 2 * v[1] + v[2];  // derivative 2 ((v1 - v0) + u d)
    if (d != 0) roots[nb_roots++] = (v[0] - v[1]) / d;
  } else if (count == 4) {
    // Derivative over 3: q0 (1 - u)^2 + 2 q1 u (1 - u) + q2 u^2.
    const double q0 = v[1] - v[0], q1 = v[2] - v[1], q2 = v[3] - v[2];
    const double a = q0 - 2 * q1 + q2, b = 2 * (q1 - q0), c = q0;
    // The form without cancellation: a is often nearly 0 (a curve close to a parabola).
    const double disc = b * b - 4 * a * c;
    if (disc >= 0) {
      const double q = -0.5 * (b + std::copysign(std::sqrt(disc), b));
      if (a != 0) roots[nb_roots++] = q / a;
      if (q != 0) roots[nb_roots++] = c / q;
    }
  }
  for (int i = 0; i < nb_roots; ++i)
    if (roots[i] > 0 && roots[i] < 1 && !ok(bernstein_value(v, count, roots[i]))) return false;
  return true;
}

}  // namespace

glm::dvec2 image_frame::clamp(glm::dvec2 p) const {
  // A point that is not finite has no nearest place in the frame: its corner (0, 0).
  return glm::dvec2(std::isfinite(p.x) ? std::clamp(p.x, 0.0, width) : 0.0,
                    std::isfinite(p.y) ? std::clamp(p.y, 0.0, height) : 0.0);
}

bool leaves_frame(const image_frame& frame, const glm::dvec2* ctrl, int count) {
  if (!frame.known() || count <= 0) return false;
  double x[4], y[4];
  for (int i = 0; i < count; ++i) {
    x[i] = ctrl[i].x;
    y[i] = ctrl[i].y;
  }
  return !axis_inside(x, count, frame.width) || !axis_inside(y, count, frame.height);
}

void box_least_squares(int k, const double* a, const double* b, const double* lo,
                       const double* hi, double* c) {
  using mat = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, 0, 4, 4>;
  using vec = Eigen::Matrix<double, Eigen::Dynamic, 1, 0, 4, 1>;
  // Every unknown is free, at its lower or at its upper bound; the optimum is the best
  // feasible one of these 3^k candidates (at most 81), each free part solved exactly.
  int nb_states = 1;
  for (int j = 0; j < k; ++j) nb_states *= 3;
  double best = std::numeric_limits<double>::infinity();
  for (int j = 0; j < k; ++j) c[j] = lo[j];
  for (int code = 0; code < nb_states; ++code) {
    int state[4], free_index[4], nb_free = 0;
    bool redundant = false;
    for (int j = 0, rest = code; j < k; ++j, rest /= 3) {
      state[j] = rest % 3;  // 0 free, 1 lower, 2 upper
      if (state[j] == 0) free_index[nb_free++] = j;
      if (state[j] == 2 && hi[j] == lo[j]) redundant = true;
      if (state[j] == 0 && hi[j] == lo[j]) redundant = true;
    }
    if (redundant) continue;
    double x[4];
    for (int j = 0; j < k; ++j) x[j] = state[j] == 1 ? lo[j] : hi[j];
    if (nb_free > 0) {
      mat m(nb_free, nb_free);
      vec r(nb_free);
      for (int p = 0; p < nb_free; ++p) {
        const int i = free_index[p];
        r[p] = b[i];
        for (int j = 0; j < k; ++j)
          if (state[j] != 0) r[p] -= a[i * k + j] * x[j];
        for (int q = 0; q < nb_free; ++q) m(p, q) = a[i * k + free_index[q]];
      }
      const vec solution = Eigen::CompleteOrthogonalDecomposition<mat>(m).solve(r);
      bool feasible = solution.allFinite();
      for (int p = 0; feasible && p < nb_free; ++p) {
        const int i = free_index[p];
        feasible = solution[p] >= lo[i] && solution[p] <= hi[i];
        x[i] = solution[p];
      }
      if (!feasible) continue;
    }
    double value = 0;
    for (int i = 0; i < k; ++i) {
      double ax = 0;
      for (int j = 0; j < k; ++j) ax += a[i * k + j] * x[j];
      value += x[i] * (ax - 2 * b[i]);
    }
    if (value < best) {
      best = value;
      std::copy(x, x + k, c);
    }
  }
}

void fit_in_frame(const image_frame& frame, int k, const double* a, const double* bx,
                  const double* by, bool hold_ends, glm::dvec2* ctrl) {
  double lo_x[4] = {}, hi_x[4] = {}, lo_y[4] = {}, hi_y[4] = {}, cx[4] = {}, cy[4] = {};
  for (int j = 0; j < k; ++j) {
    lo_x[j] = lo_y[j] = 0;
    hi_x[j] = frame.width;
    hi_y[j] = frame.height;
  }
  if (hold_ends)
    for (int j : {0, k - 1}) {
      const glm::dvec2 p = frame.clamp(ctrl[j]);
      lo_x[j] = hi_x[j] = p.x;
      lo_y[j] = hi_y[j] = p.y;
    }
  box_least_squares(k, a, bx, lo_x, hi_x, cx);
  box_least_squares(k, a, by, lo_y, hi_y, cy);
  for (int j = 0; j < k; ++j) ctrl[j] = glm::dvec2(cx[j], cy[j]);
}

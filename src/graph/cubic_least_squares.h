#pragma once
// Least-squares machinery shared by the fragment fits (f_curve.cpp) and their twins on
// plain point vectors (point_cubic_fit.cpp): the single-precision and SVD range fits, the
// lower-degree fit used when a normal matrix is singular, the cut search and the
// piecewise fit. Templates over the point type (glm::vec2 or glm::dvec2).

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iostream>
#include <vector>

#include <Eigen/Dense>
#include <glm/vec2.hpp>

#include "graph/bezier.h"

namespace cubic_ls {

using polygon_list = std::vector<std::vector<glm::dvec2>>;

// Counts distinct values, up to four: a cubic needs four distinct parameters, and fewer
// make its normal matrix singular.
template <class T>
struct distinct_values {
  T seen[4] = {};
  int count = 0;
  void add(T v) {
    if (count == 4) return;
    for (int i = 0; i < count; ++i)
      if (seen[i] == v) return;
    seen[count++] = v;
  }
};

// Cubic Bernstein values in float, in the expanded form the single fits use.
inline Eigen::Vector4f cubic_basis_float(float s) {
  const float s2 = s * s;
  const float s3 = s2 * s;
  const float a = 3 * s - 3 * s2;   // 3s - 3s^2
  const float c = 3 * s2 - 3 * s3;  // 3s^2 - 3s^3
  return Eigen::Vector4f((1 - s3) - a, a - c, c, s3);
}

inline bool finite(const glm::dvec2& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// Bernstein values of degree 0 to 3 in double.
inline void low_degree_basis(int degree, double u, double* b) {
  const double v = 1 - u;
  switch (degree) {
    case 0: b[0] = 1; break;
    case 1: b[0] = v; b[1] = u; break;
    case 2: b[0] = v * v; b[1] = 2 * u * v; b[2] = u * u; break;
    default: cubic_basis(u, b); break;
  }
}

// The weighted least-squares Bézier of degree distinct - 1 (at most 3), raised to degree
// 3, in double. With k distinct parameters the degree k - 1 system is regular; a solve
// that still comes out non-finite retries one degree lower. visit(f) must call
// f(u, x, y, w) once per sample of the fit. Returns false, leaving out untouched, when no
// degree gives finite points (no sample, or non-finite samples).
template <class Visit>
bool fit_lower_degree(const Visit& visit, int distinct, glm::dvec2* out) {
  using mat = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, 0, 4, 4>;
  using vec = Eigen::Matrix<double, Eigen::Dynamic, 1, 0, 4, 1>;
  for (int degree = std::min(distinct, 4) - 1; degree >= 0; --degree) {
    const int m = degree + 1;
    mat n = mat::Zero(m, m);
    vec rx = vec::Zero(m), ry = vec::Zero(m);
    visit([&](double u, double x, double y, double w) {
      double b[4];
      low_degree_basis(degree, u, b);
      for (int j = 0; j < m; ++j) {
        for (int k = 0; k < m; ++k) n(j, k) += w * b[j] * b[k];
        rx[j] += w * x * b[j];
        ry[j] += w * y * b[j];
      }
    });
    const Eigen::CompleteOrthogonalDecomposition<mat> solver(n);
    const vec cx = solver.solve(rx), cy = solver.solve(ry);
    if (!cx.allFinite() || !cy.allFinite()) continue;
    glm::dvec2 q[4];
    for (int k = 0; k < m; ++k) q[k] = glm::dvec2(cx[k], cy[k]);
    switch (degree) {  // degree elevation: the same curve written as a cubic
      case 0: q[1] = q[2] = q[3] = q[0]; break;
      case 1: {
        const glm::dvec2 a = q[0], b = q[1];
        q[1] = (2.0 * a + b) / 3.0;
        q[2] = (a + 2.0 * b) / 3.0;
        q[3] = b;
        break;
      }
      case 2: {
        const glm::dvec2 a = q[0], b = q[1], c = q[2];
        q[1] = (a + 2.0 * b) / 3.0;
        q[2] = (2.0 * b + c) / 3.0;
        q[3] = c;
        break;
      }
      default: break;
    }
    std::copy(q, q + 4, out);
    return true;
  }
  return false;
}

// Unweighted single-precision cubic of the samples with t0 <= t <= t1, parameter
// rescaled onto [0, 1]; coordinates are narrowed to float.
template <class Point>
void fit_range_float(const std::vector<Point>& points, const std::vector<double>& params,
                     glm::dvec2* out, double t0, double t1) {
  if (t0 == t1) return;
  const double scale = 1 / (t1 - t0);
  const std::size_t n = std::min(points.size(), params.size());
  // Normal matrix columns in registers, as in f_curve::fit_cubic.
  Eigen::Vector4f n0 = Eigen::Vector4f::Zero(), n1 = n0, n2 = n0, n3 = n0;
  Eigen::Vector4f rx = Eigen::Vector4f::Zero(), ry = Eigen::Vector4f::Zero();
  distinct_values<float> distinct;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = params[i];
    if (!(t0 <= t && t <= t1)) continue;
    const float u = static_cast<float>((t - t0) * scale);
    const Eigen::Vector4f b = cubic_basis_float(u);
    const float x = static_cast<float>(points[i].x), y = static_cast<float>(points[i].y);
    n0 += b[0] * b;
    n1 += b[1] * b;
    n2 += b[2] * b;
    n3 += b[3] * b;
    rx += x * b;
    ry += y * b;
    if (distinct.count < 4) distinct.add(u);
  }
  Eigen::Matrix4f nm;
  nm << n0, n1, n2, n3;
  if (distinct.count == 4) {
    const Eigen::Matrix4f inv = nm.inverse();
    const Eigen::Vector4f cx = inv * rx, cy = inv * ry;
    if (cx.allFinite() && cy.allFinite()) {
      for (int k = 0; k < 4; ++k) out[k] = glm::dvec2(cx[k], cy[k]);
      return;
    }
  }
  fit_lower_degree(
      [&](auto&& f) {
        for (std::size_t i = 0; i < n; ++i) {
          const double t = params[i];
          if (!(t0 <= t && t <= t1)) continue;
          f(static_cast<double>(static_cast<float>((t - t0) * scale)),
            static_cast<double>(static_cast<float>(points[i].x)),
            static_cast<double>(static_cast<float>(points[i].y)), 1.0);
        }
      },
      distinct.count, out);
}

// The same fit in double precision: one 8-by-8 system (x coefficients 0 to 3, y
// coefficients 4 to 7) solved by a full singular value decomposition.
template <class Point>
void fit_range_svd(const std::vector<Point>& points, const std::vector<double>& params,
                   glm::dvec2* out, double t0, double t1) {
  if (t0 == t1) return;
  using mat8 = Eigen::Matrix<double, 8, 8>;
  using vec8 = Eigen::Matrix<double, 8, 1>;
  const double scale = 1 / (t1 - t0);
  const std::size_t n = std::min(points.size(), params.size());
  mat8 a = mat8::Zero();
  vec8 rhs = vec8::Zero();
  distinct_values<double> distinct;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = params[i];
    if (!(t0 <= t && t <= t1)) continue;
    const double u = (t - t0) * scale;
    double bv[4];
    cubic_basis(u, bv);
    const Eigen::Vector4d b(bv[0], bv[1], bv[2], bv[3]);
    const Eigen::Matrix4d bb = b * b.transpose();
    a.topLeftCorner<4, 4>() += bb;
    a.bottomRightCorner<4, 4>() += bb;
    rhs.head<4>() += static_cast<double>(points[i].x) * b;
    rhs.tail<4>() += static_cast<double>(points[i].y) * b;
    distinct.add(u);
  }
  if (distinct.count == 4) {
    const Eigen::JacobiSVD<mat8> svd(a, Eigen::ComputeFullU | Eigen::ComputeFullV);
    const vec8 solution = svd.solve(rhs);
    if (solution.allFinite()) {
      for (int k = 0; k < 4; ++k) out[k] = glm::dvec2(solution[k], solution[k + 4]);
      return;
    }
  }
  fit_lower_degree(
      [&](auto&& f) {
        for (std::size_t i = 0; i < n; ++i) {
          const double t = params[i];
          if (!(t0 <= t && t <= t1)) continue;
          f((t - t0) * scale, static_cast<double>(points[i].x),
            static_cast<double>(points[i].y), 1.0);
        }
      },
      distinct.count, out);
}

// Error of the two-part fit cut at l within [t0, t1]: range_error(polygon, a, b) of the
// two parts weighted by their sample counts; a sample at exactly l counts on the right.
template <class RangeError>
double split_error(const std::vector<double>& params, const polygon_list& polygons, double t0,
                   double t1, double l, const RangeError& range_error) {
  std::size_t n_left = 0, n_right = 0;
  for (const double t : params) {
    if (!(t0 <= t && t <= t1)) continue;
    if (t < l)
      ++n_left;
    else
      ++n_right;
  }
  const double e_left = range_error(polygons[0].data(), t0, l);
  const double e_right = range_error(polygons[1].data(), l, t1);
  const double n = static_cast<double>(n_left + n_right);
  return e_right * (static_cast<double>(n_right) / n) +
         (static_cast<double>(n_left) / n) * e_left;
}

// The bracketing cut search. fit_range(out, a, b) fits four points to [a, b];
// range_error(ctrl, a, b) measures them; cut_error(l) is the split error at l with the
// trial fits in scratch.
template <class FitRange, class RangeError, class CutError>
void find_split(const std::vector<double>& params, polygon_list& scratch, double t0, double t1,
                double& result, float error_threshold, float min_gain, float end_margin,
                int min_samples, const FitRange& fit_range, const RangeError& range_error,
                const CutError& cut_error) {
  result = -1;
  scratch.resize(2);
  for (auto& polygon : scratch) polygon.resize(4);
  fit_range(scratch[0].data(), t0, t1);
  const double e_all = range_error(scratch[0].data(), t0, t1);
  const double threshold = error_threshold, gain = min_gain, margin = end_margin;
  if (threshold > e_all) return;

  // Every trial cuts the whole search range, not just the bracket.
  auto error_at = [&](double p) {
    fit_range(scratch[0].data(), t0, p);
    fit_range(scratch[1].data(), p, t1);
    return cut_error(p);
  };
  double a = t0, b = t1, m = (t0 + t1) * 0.5;
  double q1 = (m + a) * 0.5, q3 = (m + b) * 0.5;
  double e_m = error_at(m);
  for (;;) {
    const double e1 = error_at(q1);
    const double e3 = error_at(q3);
    const double old_a = a, old_b = b, old_m = m;
    if (e3 > e1 + 0.001 && e_m > e1 + 0.001) {
      b = m;
      m = q1;
      e_m = e1;
    } else if (e3 > e_m + 0.001 && e1 > e_m + 0.001) {
      a = q1;
      b = q3;
    } else if (e_m > e3 + 0.001 && e1 > e3 + 0.001) {
      a = m;
      m = q3;
      e_m = e3;
    } else {
      break;
    }
    // Once the bracket is a few adjacent doubles the probes round onto its ends and a
    // move can leave everything as it was; the search would repeat itself forever.
    if (a == old_a && b == old_b && m == old_m) break;
    q1 = (m + a) * 0.5;
    q3 = (m + b) * 0.5;
  }

  long n_left = 0, n_right = 0;
  for (const double t : params) {
    if (!(t0 <= t && t <= t1)) continue;
    if (t < m)
      ++n_left;
    else
      ++n_right;
  }
  result = m;
  // A middle error that is not a number (a side without samples) proves no gain.
  const bool gains = gain + e_m <= e_all;
  if (n_left < min_samples || n_right < min_samples || !gains || t0 + margin > m ||
      m + margin > t1) {
    scratch.resize(1);
    fit_range(scratch[0].data(), t0, t1);
    result = -1;
  }
}

// Up to four cubics over [0, 1]. search(scratch, t0, t1, result) is the cut search,
// fit_svd(out, a, b) the SVD range fit.
template <class Search, class FitSvd>
void fit_pieces(polygon_list& out, const Search& search, const FitSvd& fit_svd) {
  polygon_list whole;
  double s = -1;
  search(whole, 0.0, 1.0, s);
  if (s == -1) {
    out.assign(1, std::vector<glm::dvec2>(4));
    fit_svd(out[0].data(), 0.0, 1.0);
    return;
  }
  polygon_list left, right;
  double s1 = -1, s2 = -1;
  search(left, 0.0, s, s1);
  search(right, s, 1.0, s2);
  out.clear();
  if (s1 == -1 && s2 == -1) {
    polygon_list again;
    double s_again = -1;
    search(again, 0.0, 1.0, s_again);
    out = again;
  } else if (s1 == -1) {
    out = {right[0], right[0], right[1]};
    fit_svd(out[0].data(), 0.0, s);
    std::cout << "3.2" << std::endl;
  } else if (s2 == -1) {
    out = {left[0], left[1], left[1]};
    fit_svd(out[2].data(), s, 1.0);
    std::cout << "3.1" << std::endl;
  } else {
    out = {left[0], left[1], right[0], right[1]};
    std::cout << "3.0" << std::endl;
  }
}

}  // namespace cubic_ls

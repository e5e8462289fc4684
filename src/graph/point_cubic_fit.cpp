#include "graph/point_cubic_fit.h"

#include <algorithm>
#include <cstddef>

#include "graph/bezier.h"
#include "graph/cubic_least_squares.h"

void fit_cubic_range_points(const std::vector<glm::dvec2>& points,
                            const std::vector<double>& parameters, glm::dvec2* out, double t0,
                            double t1) {
  cubic_ls::fit_range_float(points, parameters, out, t0, t1);
}

void fit_cubic_range_svd_points(const std::vector<glm::dvec2>& points,
                                const std::vector<double>& parameters, glm::dvec2* out,
                                double t0, double t1) {
  cubic_ls::fit_range_svd(points, parameters, out, t0, t1);
}

double cubic_range_error_points(const std::vector<glm::dvec2>& points,
                                const std::vector<double>& parameters, const glm::dvec2* ctrl,
                                double t0, double t1) {
  if (t0 == t1) return 0;
  const double scale = 1 / (t1 - t0);
  const std::size_t n = std::min(points.size(), parameters.size());
  double sum = 0;
  std::size_t count = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = parameters[i];
    if (!(t0 <= t && t <= t1)) continue;
    double b[4];
    cubic_basis((t - t0) * scale, b);
    double cx = 0, cy = 0;
    for (int k = 0; k < 4; ++k) {
      cx += b[k] * ctrl[k].x;
      cy += b[k] * ctrl[k].y;
    }
    const double dx = points[i].x - cx;
    const double dy = points[i].y - cy;
    sum += dy * dy + dx * dx;
    ++count;
  }
  return sum / static_cast<double>(count);
}

double split_error_points(const point_split_context& context, double l) {
  return cubic_ls::split_error(
      *context.parameters, *context.polygons, context.t0, context.t1, l,
      [&](const glm::dvec2* ctrl, double a, double b) {
        return cubic_range_error_points(*context.points, *context.parameters, ctrl, a, b);
      });
}

void find_split_points(const std::vector<glm::dvec2>& points,
                       const std::vector<double>& parameters,
                       std::vector<std::vector<glm::dvec2>>& scratch, double t0, double t1,
                       double& result, float error_threshold, float min_gain, float end_margin,
                       int min_samples) {
  const point_split_context context{&points, &parameters, &scratch, t0, t1};
  cubic_ls::find_split(
      parameters, scratch, t0, t1, result, error_threshold, min_gain, end_margin, min_samples,
      [&](glm::dvec2* out, double a, double b) {
        fit_cubic_range_points(points, parameters, out, a, b);
      },
      [&](const glm::dvec2* ctrl, double a, double b) {
        return cubic_range_error_points(points, parameters, ctrl, a, b);
      },
      [&](double l) { return split_error_points(context, l); });
}

void fit_pieces_points(const std::vector<glm::dvec2>& points,
                       const std::vector<double>& parameters,
                       std::vector<std::vector<glm::dvec2>>& out, float error_threshold,
                       float min_gain, float end_margin, int min_samples) {
  cubic_ls::fit_pieces(
      out,
      [&](cubic_ls::polygon_list& scratch, double t0, double t1, double& result) {
        find_split_points(points, parameters, scratch, t0, t1, result, error_threshold,
                          min_gain, end_margin, min_samples);
      },
      [&](glm::dvec2* o, double a, double b) {
        fit_cubic_range_svd_points(points, parameters, o, a, b);
      });
}

#pragma once
// Cubic fits and the cut search on a plain vector of points with its own parameter
// vector: the twins of the fragment fits of f_curve.h, for callers holding no fragment.
// Points are in pixels, parameters one per point; samples with t0 <= t <= t1 take part.

#include <vector>

#include <glm/vec2.hpp>

// Unweighted cubic in single precision (coordinates narrowed to float), out[0 .. 3].
// Writes nothing when t0 == t1 or no point lies in the range; fewer than four distinct
// parameters give the lower-degree fit raised to a cubic.
void fit_cubic_range_points(const std::vector<glm::dvec2>& points,
                            const std::vector<double>& parameters, glm::dvec2* out, double t0,
                            double t1);

// The same fit in double precision, solved by a singular value decomposition.
void fit_cubic_range_svd_points(const std::vector<glm::dvec2>& points,
                                const std::vector<double>& parameters, glm::dvec2* out,
                                double t0, double t1);

// Mean squared distance (pixels^2) of the points in [t0, t1] from ctrl[0 .. 3], all in
// double. 0 when t0 == t1, not a number when the range holds no point.
double cubic_range_error_points(const std::vector<glm::dvec2>& points,
                                const std::vector<double>& parameters, const glm::dvec2* ctrl,
                                double t0, double t1);

// A cut search over [t0, t1] of a point vector.
struct point_split_context {
  const std::vector<glm::dvec2>* points = nullptr;
  const std::vector<double>* parameters = nullptr;                 // one per point
  const std::vector<std::vector<glm::dvec2>>* polygons = nullptr;  // [0] fits [t0, l], [1] [l, t1]
  double t0 = 0;
  double t1 = 1;
};

// split_error of f_curve.h with cubic_range_error_points.
double split_error_points(const point_split_context& context, double l);

// f_curve::find_split on the points, with the same thresholds and result convention.
void find_split_points(const std::vector<glm::dvec2>& points,
                       const std::vector<double>& parameters,
                       std::vector<std::vector<glm::dvec2>>& scratch, double t0, double t1,
                       double& result, float error_threshold, float min_gain, float end_margin,
                       int min_samples);

// f_curve::fit_pieces on the points: up to four cubics over [0, 1], replacing out.
void fit_pieces_points(const std::vector<glm::dvec2>& points,
                       const std::vector<double>& parameters,
                       std::vector<std::vector<glm::dvec2>>& out, float error_threshold,
                       float min_gain, float end_margin, int min_samples);

#include "graph/fragment_error.h"

#include <cassert>

#include "graph/bezier.h"

namespace {

// Sum of squared distances of all samples from the cubic, with the mixed precision of
// the range error of the split search: products in double narrowed to float, the curve
// point and the differences in float, the sum in double.
double squared_distance_sum(const f_curve& f) {
  if (f.v_t.empty()) return 0;
  assert(f.v_ctrl_point.size() >= 4 && "fragment error needs a fitted fragment");
  const glm::dvec2* p = f.v_ctrl_point.data();
  double sum = 0;
  for (std::size_t i = 0; i < f.v_t.size() && i < f.v_point.size(); ++i) {
    double b[4];
    cubic_basis(f.v_t[i], b);
    float cx = 0, cy = 0;
    for (int k = 0; k < 4; ++k) {
      cx += static_cast<float>(b[k] * p[k].x);
      cy += static_cast<float>(b[k] * p[k].y);
    }
    const float dx = f.v_point[i].x - cx;
    const float dy = f.v_point[i].y - cy;
    sum += dy * dy + dx * dx;
  }
  return sum;
}

}  // namespace

double f_curve::mean_squared_error() const {
  if (v_t.empty()) return 0;
  return squared_distance_sum(*this) / static_cast<double>(v_t.size());
}

double fragments_mean_squared_error(const std::list<f_curve>& fragments) {
  double sum = 0;
  std::size_t count = 0;
  for (const f_curve& f : fragments) {
    sum += squared_distance_sum(f);
    count += f.v_t.size();
  }
  return count == 0 ? 0 : sum / static_cast<double>(count);
}

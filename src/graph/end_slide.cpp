#include "graph/end_slide.h"

#include <algorithm>

#include <Eigen/Dense>

#include "graph/bezier.h"
#include "graph/curve.h"
#include "graph/f_curve.h"
#include "graph/nregion.h"
#include "graph/quarter_probe_search.h"

namespace {

template <class T, class V>
bool contains(const std::vector<T*>& list, const V* item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

void end_slide::next_end() {
  end_index = !end_index;
  end_point = nullptr;
  through = nullptr;
  const std::size_t index = end_index ? 1 : 0;
  if (index >= curve->v_nconnection.size() || curve->v_segment.empty()) return;
  const nconnection* connection = curve->v_nconnection[index];
  if (!connection || connection->v_frag_conn.empty() || !connection->v_frag_conn.front()) {
    return;
  }
  const frag_conn& junction = *connection->v_frag_conn.front();

  const curve_segment& segment = curve->v_segment.front();
  if (!segment.v_frag_ref.empty()) {
    for (const frag_end& entry : junction.v_frag_end) {
      if (!entry.fragment || !contains(entry.fragment->v_curve, curve)) continue;
      const frag_ref& ref = segment.v_frag_ref.front().fragment == entry.fragment
                                ? segment.v_frag_ref.front()
                                : segment.v_frag_ref.back();
      // End 0 of an unreversed fragment and end 3 of a reversed one lie at the start.
      end_point = ref.reversed == (entry.end == 0) ? last_point : first_point;
      break;
    }
  }

  for (struct curve* c : junction.v_curve) {
    if (!contains(connection->v_curve, c)) {
      through = c;
      break;
    }
  }
}

void place_slide_end(end_slide& slide, double x) {
  if (!slide.through || !slide.end_point || slide.through->v_segment.empty()) return;
  const std::vector<glm::dvec2>& ctrl = slide.through->v_segment.front().v_ctrl_point;
  if (ctrl.empty()) return;
  const int degree = static_cast<int>(ctrl.size()) - 1;
  *slide.end_point = bezier_eval(degree, ctrl.data(), static_cast<float>(x));
}

namespace {

// The normal equations of the inner points, in float: they depend on the samples and
// their parameters only, not on where the slid end lies, so one sum serves every probe
// of a search.
template <int degree>
struct inner_sums {
  static constexpr int k = degree + 1;
  float m[k][k] = {};
  float rx[k] = {};
  float ry[k] = {};
  std::size_t used = 0;
};

template <int degree>
inner_sums<degree> sum_inner_equations(const curve_segment& segment) {
  constexpr int k = degree + 1;
  inner_sums<degree> sums;
  float(&m)[k][k] = sums.m;
  float(&rx)[k] = sums.rx;
  float(&ry)[k] = sums.ry;
  for (const frag_ref& ref : segment.v_frag_ref) {
    if (ref.t0 == ref.t1 || !ref.fragment) continue;
    float slope = 0;
    float offset = 0;
    const bool full =
        frag_ref::parameter_map(slope, offset, ref.reversed, ref.t0, ref.t1, ref.u0, ref.u1);
    const f_curve& f = *ref.fragment;
    const std::size_t n = std::min({f.v_point.size(), f.v_t.size(), f.v_weight.size()});
    for (std::size_t i = 0; i < n; ++i) {
      const double t = f.v_t[i];
      if (!full) {
        const float tf = static_cast<float>(t);
        if (tf < ref.t0 || tf > ref.t1) continue;
      }
      const double u = static_cast<double>(slope) * t + static_cast<double>(offset);
      float b[k];
      if constexpr (degree == 2) {
        b[0] = static_cast<float>(u * u - 2 * u + 1);
        b[1] = static_cast<float>(2 * u - 2 * u * u);
        b[2] = static_cast<float>(u * u);
      } else {
        const float s = static_cast<float>(u);
        const float s2 = s * s;
        const float s3 = s2 * s;
        b[0] = 3 * s2 - s3 - 3 * s + 1;
        b[1] = 3 * s3 - 6 * s2 + 3 * s;
        b[2] = 3 * s2 - 3 * s3;
        b[3] = s3;
      }
      const float w = f.v_weight[i];
      const float px = f.v_point[i].x;
      const float py = f.v_point[i].y;
      for (int r = 0; r < k; ++r) {
        for (int c = 0; c < k; ++c) m[r][c] += w * b[r] * b[c];
        rx[r] += w * px * b[r];
        ry[r] += w * py * b[r];
      }
      ++sums.used;
    }
  }
  return sums;
}

// Places the end at x, solves the inner points from the sums and returns the error.
template <int degree>
double place_and_solve(end_slide& slide, double x, const inner_sums<degree>& sums) {
  place_slide_end(slide, x);
  curve_segment& segment = slide.curve->v_segment.front();
  const auto& m = sums.m;
  const auto& rx = sums.rx;
  const auto& ry = sums.ry;
  std::vector<glm::dvec2>& p = segment.v_ctrl_point;
  const glm::dvec2 p0 = *slide.first_point;
  const glm::dvec2 pn = *slide.last_point;
  // Without samples the system says nothing about the inner points: keep them.
  if (sums.used > 0) {
    if constexpr (degree == 2) {
      if (m[1][1] != 0) {
        p[1].x = (rx[1] - (m[1][2] * pn.x + m[1][0] * p0.x)) * (1 / static_cast<double>(m[1][1]));
        p[1].y = (ry[1] - (m[1][2] * pn.y + m[1][0] * p0.y)) * (1 / static_cast<double>(m[1][1]));
      }
    } else if (m[1][1] != 0 || m[1][2] != 0 || m[2][1] != 0 || m[2][2] != 0) {
      // Every sample at u = 0 or 1 (or of weight 0) leaves the system zero, and its
      // least-squares solution would put both inner points at the image origin.
      Eigen::Matrix2f a;
      a << m[1][1], m[1][2], m[2][1], m[2][2];
      const Eigen::JacobiSVD<Eigen::Matrix2f> svd(a, Eigen::ComputeFullU | Eigen::ComputeFullV);
      const Eigen::Vector2f bx(static_cast<float>(rx[1] - (m[3][1] * pn.x + m[0][1] * p0.x)),
                               static_cast<float>(rx[2] - (m[3][2] * pn.x + m[0][2] * p0.x)));
      const Eigen::Vector2f by(static_cast<float>(ry[1] - (m[3][1] * pn.y + m[0][1] * p0.y)),
                               static_cast<float>(ry[2] - (m[3][2] * pn.y + m[0][2] * p0.y)));
      const Eigen::Vector2f sx = svd.solve(bx);
      const Eigen::Vector2f sy = svd.solve(by);
      p[1] = {sx[0], sy[0]};
      p[2] = {sx[1], sy[1]};
    }
  }
  return segment.error();
}

}  // namespace

template <int degree>
double refit_inner_points(end_slide& slide, double x) {
  static_assert(degree == 2 || degree == 3, "only a quadratic or a cubic has inner points");
  return place_and_solve<degree>(slide, x, sum_inner_equations<degree>(slide.curve->v_segment.front()));
}

template <int degree>
double slide_search(double a, double b, double& cost, end_slide& slide) {
  static_assert(degree >= 1 && degree <= 3, "curves have degree 1 to 3");
  if constexpr (degree == 1) {
    return quarter_probe_search(a, b, cost, [&slide](double x) {
      place_slide_end(slide, x);
      return slide.curve->v_segment.front().error();
    });
  } else {
    const inner_sums<degree> sums = sum_inner_equations<degree>(slide.curve->v_segment.front());
    return quarter_probe_search(a, b, cost, [&slide, &sums](double x) {
      return place_and_solve<degree>(slide, x, sums);
    });
  }
}

template double slide_search<1>(double, double, double&, end_slide&);
template double slide_search<2>(double, double, double&, end_slide&);
template double slide_search<3>(double, double, double&, end_slide&);
template double refit_inner_points<2>(end_slide&, double);
template double refit_inner_points<3>(end_slide&, double);

void fit_inner_points_between(curve& c, glm::dvec2 start, glm::dvec2 end) {
  if (c.v_segment.empty()) return;
  curve_segment& segment = c.v_segment.front();
  const int degree = segment.degree;
  if (degree < 1 || degree > 3 || segment.v_ctrl_point.size() != static_cast<std::size_t>(degree) + 1) return;
  segment.v_ctrl_point.front() = start;
  segment.v_ctrl_point.back() = end;
  // No passing curve: the record places nothing, the ends stay where they were put.
  end_slide held;
  held.curve = &c;
  held.first_point = &segment.v_ctrl_point.front();
  held.last_point = &segment.v_ctrl_point.back();
  if (degree == 2) refit_inner_points<2>(held, 0);
  if (degree == 3) refit_inner_points<3>(held, 0);
}

namespace {

// Slides the record's chosen end: the search, then the end placed (and the inner points
// refitted) once more at the chosen parameter, since the search leaves the last probe.
void slide_chosen_end(end_slide& slide, int degree) {
  if (!slide.end_point) return;
  double cost = 0;
  switch (degree) {
    case 1:
      place_slide_end(slide, slide_search<1>(0, 1, cost, slide));
      break;
    case 2:
      refit_inner_points<2>(slide, slide_search<2>(0, 1, cost, slide));
      break;
    case 3:
      refit_inner_points<3>(slide, slide_search<3>(0, 1, cost, slide));
      break;
    default:
      break;
  }
  // The end lies on a curve inside the image; the inner points may not run past it.
  slide.curve->v_segment.front().keep_in_frame(true);
}

// Sets up the record for c, or returns false when c cannot slide: no segment, a degree
// other than 1 to 3, too few control points, or fewer than two connections.
bool start_slide(curve& c, end_slide& slide) {
  if (c.v_segment.empty() || c.v_nconnection.size() < 2 || !c.v_nconnection.front()) {
    return false;
  }
  curve_segment& segment = c.v_segment.front();
  const int degree = segment.degree;
  if (degree < 1 || degree > 3 ||
      segment.v_ctrl_point.size() < static_cast<std::size_t>(degree) + 1) {
    return false;
  }
  slide.curve = &c;
  slide.first_point = &segment.v_ctrl_point[0];
  slide.last_point = &segment.v_ctrl_point[degree];
  slide.end_point = nullptr;
  slide.through = nullptr;
  // The first next_end turns to end 0 when end 0 is lone, to end 1 otherwise.
  slide.end_index = c.v_nconnection.front()->v_curve.size() == 1;
  return true;
}

}  // namespace

void curve::slide_lone_end() {
  end_slide slide;
  if (!start_slide(*this, slide)) return;
  slide.next_end();
  slide_chosen_end(slide, v_segment.front().degree);
}

void curve::slide_lone_ends() {
  end_slide slide;
  if (!start_slide(*this, slide)) return;
  slide.next_end();
  slide_chosen_end(slide, v_segment.front().degree);
  slide.next_end();
  slide_chosen_end(slide, v_segment.front().degree);
}

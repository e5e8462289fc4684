#include "graph/two_curve_fit.h"

#include <Eigen/Core>
#include <Eigen/LU>

#include "graph/curve.h"
#include "graph/f_curve.h"
#include "graph/joint_system.h"
#include "graph/nregion.h"

namespace {

using vec6 = Eigen::Matrix<float, 6, 1>;
using mat6 = Eigen::Matrix<float, 6, 6>;

inline void cubic_basis_float(float u, float b[4]) {
  const float u2 = u * u;
  const float u3 = u2 * u;
  b[0] = ((3 * u2 - u3) - 3 * u) + 1;
  b[1] = (3 * u3 - 6 * u2) + 3 * u;
  b[2] = 3 * u2 - 3 * u3;
  b[3] = u3;
}

// Calls visit(u, w, x, y) for every used sample of the segment.
template <typename visitor>
void for_each_sample(const curve_segment& seg, visitor visit) {
  for (const frag_ref& ref : seg.v_frag_ref) {
    if (ref.t0 == ref.t1) continue;
    double slope, offset;
    frag_ref_mapping(ref, slope, offset);
    const bool full = ref.t0 == 0 && ref.t1 == 1;
    const f_curve& f = *ref.fragment;
    if (f.v_point.size() != f.v_t.size() || f.v_weight.size() != f.v_t.size()) continue;
    for (std::size_t i = 0; i < f.v_t.size(); ++i) {
      const double t = f.v_t[i];
      if (!full && !(ref.t0 <= t && t <= ref.t1)) continue;
      visit(static_cast<float>(t * slope + offset), f.v_weight[i], f.v_point[i].x, f.v_point[i].y);
    }
  }
}

// Which control points play which role in the tie.
struct layout {
  int ja, na;      // the first curve's junction end and its inner neighbour
  int jb, kb;      // the second curve's junction end and the tied inner point
  int f0, f1;      // the second curve's two free points (variables 4 and 5)
};

bool find_layout(const curve& a, const curve& b, const nconnection& conn, layout& l) {
  if (&a == &b || conn.v_frag_conn.empty()) return false;
  if (a.v_segment.empty() || b.v_segment.empty()) return false;
  if (a.v_segment[0].degree != 3 || b.v_segment[0].degree != 3) return false;
  const int ea = curve_end_at(a, *conn.v_frag_conn[0]);
  const int eb = curve_end_at(b, *conn.v_frag_conn[0]);
  if (ea < 0 || eb < 0) return false;
  l.ja = ea;
  l.na = ea == 0 ? 1 : 2;
  l.jb = eb;
  l.kb = eb == 0 ? 1 : 2;
  l.f0 = eb == 0 ? 2 : 0;
  l.f1 = eb == 0 ? 3 : 1;
  return true;
}

void assemble(const curve& a, const curve& b, const layout& l, float ratio, mat6& normal,
              vec6& rx, vec6& ry) {
  normal.setZero();
  rx.setZero();
  ry.setZero();
  auto add = [&](const vec6& r, float w, float x, float y) {
    normal += (w * r) * r.transpose();
    rx += (w * x) * r;
    ry += (w * y) * r;
  };
  for_each_sample(a.v_segment[0], [&](float u, float w, float x, float y) {
    float bs[4];
    cubic_basis_float(u, bs);
    vec6 r;
    r << bs[0], bs[1], bs[2], bs[3], 0, 0;
    add(r, w, x, y);
  });
  for_each_sample(b.v_segment[0], [&](float u, float w, float x, float y) {
    float bs[4];
    cubic_basis_float(u, bs);
    vec6 r = vec6::Zero();
    r[l.ja] += bs[l.jb] + (1 - ratio) * bs[l.kb];
    r[l.na] += ratio * bs[l.kb];
    r[4] = bs[l.f0];
    r[5] = bs[l.f1];
    add(r, w, x, y);
  });
}

float squared_error(const curve_segment& seg) {
  float sum = 0;
  for_each_sample(seg, [&](float u, float w, float x, float y) {
    float bs[4];
    cubic_basis_float(u, bs);
    float cx = 0, cy = 0;
    for (int k = 0; k < 4; ++k) {
      cx += bs[k] * static_cast<float>(seg.v_ctrl_point[k].x);
      cy += bs[k] * static_cast<float>(seg.v_ctrl_point[k].y);
    }
    const float dx = x - cx, dy = y - cy;
    sum += w * (dx * dx + dy * dy);
  });
  return sum;
}

float write_and_measure(curve& a, curve& b, const layout& l, float ratio, const vec6& sx,
                        const vec6& sy) {
  std::vector<glm::dvec2>& pa = a.v_segment[0].v_ctrl_point;
  std::vector<glm::dvec2>& pb = b.v_segment[0].v_ctrl_point;
  pa.resize(4);
  pb.resize(4);
  for (int k = 0; k < 4; ++k) pa[k] = glm::dvec2(sx[k], sy[k]);
  pb[l.jb] = pa[l.ja];
  pb[l.kb] = glm::dvec2((1 - ratio) * sx[l.ja] + ratio * sx[l.na],
                        (1 - ratio) * sy[l.ja] + ratio * sy[l.na]);
  pb[l.f0] = glm::dvec2(sx[4], sy[4]);
  pb[l.f1] = glm::dvec2(sx[5], sy[5]);
  return squared_error(a.v_segment[0]) + squared_error(b.v_segment[0]);
}

}  // namespace

float fit_two_curves_c1(curve& first, curve& second, const nconnection& connection, float ratio) {
  layout l;
  if (!find_layout(first, second, connection, l)) return -1;
  mat6 normal;
  vec6 rx, ry;
  assemble(first, second, l, ratio, normal, rx, ry);
  const mat6 inverse = normal.inverse();
  return write_and_measure(first, second, l, ratio, inverse * rx, inverse * ry);
}

float fit_two_curves_c1_reduced(curve& first, curve& second, const nconnection& connection,
                                float ratio) {
  layout l;
  if (!find_layout(first, second, connection, l)) return -1;
  mat6 normal;
  vec6 rx, ry;
  assemble(first, second, l, ratio, normal, rx, ry);

  // The second curve's far points only meet the first curve through the coupling block
  // q: eliminate them (Schur complement) and invert what is left in closed form.
  const Eigen::Matrix4f p = normal.topLeftCorner<4, 4>();
  const Eigen::Matrix<float, 4, 2> q = normal.topRightCorner<4, 2>();
  const Eigen::Matrix2f r_inv = normal.bottomRightCorner<2, 2>().inverse();
  const Eigen::Matrix4f s_inv = (p - q * r_inv * q.transpose()).inverse();
  auto solve = [&](const vec6& rhs) {
    vec6 out;
    const Eigen::Vector4f a = s_inv * (rhs.head<4>() - q * (r_inv * rhs.tail<2>()));
    out.head<4>() = a;
    out.tail<2>() = r_inv * (rhs.tail<2>() - q.transpose() * a);
    return out;
  };
  return write_and_measure(first, second, l, ratio, solve(rx), solve(ry));
}

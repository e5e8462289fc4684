// Ordering of a segment's fragments along their chain, its least-squares fit and error.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <utility>

#include <Eigen/Dense>

#include "graph/curve.h"
#include "graph/f_curve.h"
#include "graph/image_frame.h"

namespace {

bool full_range(const frag_ref& r) { return r.t0 == 0 && r.t1 == 1; }

// Samples the fits can read without running past any of the three vectors.
std::size_t sample_count(const f_curve& f) {
  return std::min({f.v_t.size(), f.v_point.size(), f.v_weight.size()});
}

// The first entry of j naming f, or null when f is not at j.
const frag_end* entry_at(const f_curve* f, const frag_conn* j) {
  for (const frag_end& e : j->v_frag_end)
    if (e.fragment == f) return &e;
  return nullptr;
}

// Basis of degree K - 1 at u, in the expanded forms the fits and errors share.
template <int K>
inline void segment_basis(double u, double* b) {
  if constexpr (K == 1) {
    (void)u;
    b[0] = 1;
  } else if constexpr (K == 2) {
    b[0] = 1 - u;
    b[1] = u;
  } else if constexpr (K == 3) {
    const double u2 = u * u;
    b[0] = u2 - 2 * u + 1;
    b[1] = 2 * u - 2 * u2;
    b[2] = u2;
  } else {
    const double u2 = u * u;
    const double u3 = u2 * u;
    b[0] = 3 * u2 - u3 - 3 * u + 1;
    b[1] = 3 * u3 - 6 * u2 + 3 * u;
    b[2] = 3 * u2 - 3 * u3;
    b[3] = u3;
  }
}

template <int K>
struct normal_equations {
  Eigen::Matrix<double, K, K> a = Eigen::Matrix<double, K, K>::Zero();
  Eigen::Matrix<double, K, 1> bx = Eigen::Matrix<double, K, 1>::Zero();
  Eigen::Matrix<double, K, 1> by = Eigen::Matrix<double, K, 1>::Zero();
  double s = 0;
  std::size_t used = 0;  // samples that entered
};

// Running sums of the normal equations over the used samples.
template <int K>
struct sums {
  using vec = Eigen::Matrix<double, K, 1>;
  Eigen::Matrix<double, K, K> a = Eigen::Matrix<double, K, K>::Zero();
  vec bx = vec::Zero(), by = vec::Zero();
  double s = 0;
  std::size_t used = 0;

  inline void add(float u, float wf, float xf, float yf) {
    vec b;
    segment_basis<K>(u, b.data());
    const double w = wf, x = xf, y = yf;
    const vec wb = w * b;
    a.noalias() += wb * b.transpose();
    bx += (w * x) * b;
    by += (w * y) * b;
    s += (x * x + y * y) * w;
    ++used;
  }

  Eigen::Matrix<double, K, K> matrix() const { return a; }
  vec rhs_x() const { return bx; }
  vec rhs_y() const { return by; }
};

// The cubic case runs in every annealing move: its ten distinct matrix entries and the
// right-hand sides are named scalars so that they stay in registers (an array or a full
// 4-by-4 matrix is stored and reloaded every sample). The lower triangle mirrors the
// upper one.
template <>
struct sums<4> {
  double a00 = 0, a01 = 0, a02 = 0, a03 = 0, a11 = 0, a12 = 0, a13 = 0, a22 = 0, a23 = 0, a33 = 0;
  double x0 = 0, x1 = 0, x2 = 0, x3 = 0, y0 = 0, y1 = 0, y2 = 0, y3 = 0;
  double s = 0;
  std::size_t used = 0;

  inline void add(float u, float wf, float xf, float yf) {
    double b[4];
    segment_basis<4>(u, b);
    const double w = wf, x = xf, y = yf;
    const double w0 = w * b[0], w1 = w * b[1], w2 = w * b[2], w3 = w * b[3];
    a00 += w0 * b[0];
    a01 += w0 * b[1];
    a02 += w0 * b[2];
    a03 += w0 * b[3];
    a11 += w1 * b[1];
    a12 += w1 * b[2];
    a13 += w1 * b[3];
    a22 += w2 * b[2];
    a23 += w2 * b[3];
    a33 += w3 * b[3];
    const double wx = w * x, wy = w * y;
    x0 += wx * b[0];
    x1 += wx * b[1];
    x2 += wx * b[2];
    x3 += wx * b[3];
    y0 += wy * b[0];
    y1 += wy * b[1];
    y2 += wy * b[2];
    y3 += wy * b[3];
    s += (x * x + y * y) * w;
    ++used;
  }

  Eigen::Matrix4d matrix() const {
    Eigen::Matrix4d m;
    m << a00, a01, a02, a03, a01, a11, a12, a13, a02, a12, a22, a23, a03, a13, a23, a33;
    return m;
  }
  Eigen::Vector4d rhs_x() const { return Eigen::Vector4d(x0, x1, x2, x3); }
  Eigen::Vector4d rhs_y() const { return Eigen::Vector4d(y0, y1, y2, y3); }
};

// One frag_ref's samples into the sums, with u in the precision the fit prescribes:
// from float slope and offset in double for a full range, in float for a narrower one.
template <int K, bool unit_weights = false>
void accumulate_ref(const frag_ref& r, sums<K>& total) {
  sums<K> acc = total;  // a local copy the compiler can keep in registers
  float slope, offset;
  const bool full = frag_ref::parameter_map(slope, offset, r.reversed, r.t0, r.t1, r.u0, r.u1);
  const f_curve& f = *r.fragment;
  const std::size_t n = sample_count(f);
  const double* t = f.v_t.data();
  const glm::vec2* p = f.v_point.data();
  const float* w = f.v_weight.data();
  if (full) {
    const double sl = slope, of = offset;
    for (std::size_t i = 0; i < n; ++i)
      acc.add(static_cast<float>(sl * t[i] + of), unit_weights ? 1.0f : w[i], p[i].x, p[i].y);
  } else {
    for (std::size_t i = 0; i < n; ++i) {
      const float ti = static_cast<float>(t[i]);
      if (ti < r.t0 || ti > r.t1) continue;
      acc.add(slope * ti + offset, unit_weights ? 1.0f : w[i], p[i].x, p[i].y);
    }
  }
  total = acc;
}

template <int K, bool unit_weights = false>
void accumulate(const curve_segment& seg, normal_equations<K>& ne) {
  sums<K> acc;
  for (const frag_ref& r : seg.v_frag_ref)
    if (r.t0 != r.t1) accumulate_ref<K, unit_weights>(r, acc);
  ne.a = acc.matrix();
  ne.bx = acc.rhs_x();
  ne.by = acc.rhs_y();
  ne.s = acc.s;
  ne.used = acc.used;
}

// Solves the normal equations with the closed-form inverse. False when the matrix is
// (numerically) singular, i.e. the samples do not determine K coefficients, or when the
// solution is not finite.
template <int K>
bool solve(const normal_equations<K>& ne, glm::dvec2* out) {
  if (ne.used == 0) return false;
  if constexpr (K == 1) {
    if (!(ne.a(0, 0) > 0)) return false;
    out[0] = glm::dvec2(ne.bx(0) / ne.a(0, 0), ne.by(0) / ne.a(0, 0));
    return std::isfinite(out[0].x) && std::isfinite(out[0].y);
  } else {
    // A Gram matrix has det <= product of its diagonal; the ratio says how far the
    // samples are from pinning every coefficient.
    double diag = 1;
    for (int i = 0; i < K; ++i) diag *= ne.a(i, i);
    const double det = ne.a.determinant();
    if (!(diag > 0) || !(std::abs(det) > 1e-12 * diag)) return false;
    const Eigen::Matrix<double, K, K> inv = ne.a.inverse();
    const Eigen::Matrix<double, K, 1> cx = inv * ne.bx;
    const Eigen::Matrix<double, K, 1> cy = inv * ne.by;
    for (int j = 0; j < K; ++j) {
      if (!std::isfinite(cx(j)) || !std::isfinite(cy(j))) return false;
      out[j] = glm::dvec2(cx(j), cy(j));
    }
    return true;
  }
}

// Degree elevation: K - 1 points to the same curve with K points.
template <int K>
void elevate(const glm::dvec2* low, glm::dvec2* out) {
  const int n = K - 1;
  out[0] = low[0];
  for (int i = 1; i < n; ++i) {
    const double a = static_cast<double>(i) / n;
    out[i] = a * low[i - 1] + (1 - a) * low[i];
  }
  out[n] = low[n - 1];
}

// Fit with K points of the used samples, falling back on lower degrees while the
// samples do not determine the coefficients. False only when no sample is used.
template <int K>
bool fit_points(const curve_segment& seg, const normal_equations<K>& ne, glm::dvec2* out) {
  if (solve<K>(ne, out)) return true;
  if constexpr (K == 1) {
    if (ne.used == 0) return false;
    // Weights all zero: every point fits equally well; take the plain mean.
    normal_equations<1> plain;
    accumulate<1, true>(seg, plain);
    return solve<1>(plain, out);
  } else {
    if (ne.used == 0) return false;
    normal_equations<K - 1> lower;
    accumulate<K - 1>(seg, lower);
    glm::dvec2 low[K - 1];
    if (!fit_points<K - 1>(seg, lower, low)) return false;
    elevate<K>(low, out);
    return true;
  }
}

// Keeps what a segment without samples had: its points when they suffice, else copies of
// its first point (or the origin).
void keep_previous(std::vector<glm::dvec2>& ctrl, std::size_t k) {
  bool finite = ctrl.size() >= k;
  for (std::size_t i = 0; finite && i < k; ++i)
    finite = std::isfinite(ctrl[i].x) && std::isfinite(ctrl[i].y);
  if (finite) {
    ctrl.resize(k);
    return;
  }
  glm::dvec2 p(0, 0);
  if (!ctrl.empty() && std::isfinite(ctrl[0].x) && std::isfinite(ctrl[0].y)) p = ctrl[0];
  ctrl.assign(k, p);
}

// The image the segment's samples come from: its first fragment's.
image_frame segment_frame(const curve_segment& seg) {
  return seg.v_frag_ref.empty() || !seg.v_frag_ref.front().fragment
             ? image_frame()
             : seg.v_frag_ref.front().fragment->frame;
}

// The K points held in the frame for the segment's normal equations.
template <int K>
void fit_points_in_frame(const normal_equations<K>& ne, const image_frame& frame, bool hold_ends,
                         glm::dvec2* points) {
  double a[K * K], bx[K], by[K];
  for (int i = 0; i < K; ++i) {
    for (int j = 0; j < K; ++j) a[i * K + j] = ne.a(i, j);
    bx[i] = ne.bx(i);
    by[i] = ne.by(i);
  }
  fit_in_frame(frame, K, a, bx, by, hold_ends, points);
}

// determined: whether the samples fixed the points (false: previous points were kept).
template <int K>
float fit_least_squares(curve_segment& seg, bool* determined = nullptr) {
  normal_equations<K> ne;
  accumulate<K>(seg, ne);
  glm::dvec2 pts[K];
  const bool fitted = fit_points<K>(seg, ne, pts);
  if (determined) *determined = fitted;
  if (fitted) {
    seg.v_ctrl_point.resize(K);
    for (int j = 0; j < K; ++j) seg.v_ctrl_point[j] = pts[j];
  } else {
    keep_previous(seg.v_ctrl_point, K);
  }
  const image_frame frame = segment_frame(seg);
  if (fitted && leaves_frame(frame, seg.v_ctrl_point.data(), K))
    fit_points_in_frame<K>(ne, frame, false, seg.v_ctrl_point.data());
  Eigen::Matrix<double, K, 1> cx, cy;
  for (int j = 0; j < K; ++j) {
    cx(j) = seg.v_ctrl_point[j].x;
    cy(j) = seg.v_ctrl_point[j].y;
  }
  const double r = ne.s + (cx.transpose() * ne.a - 2 * ne.bx.transpose()) * cx +
                   (cy.transpose() * ne.a - 2 * ne.by.transpose()) * cy;
  return static_cast<float>(r);
}

float fit_centroid(curve_segment& seg) {
  float sx = 0, sy = 0, sw = 0;
  std::size_t count = 0;
  for (const frag_ref& r : seg.v_frag_ref) {
    const f_curve& f = *r.fragment;
    const std::size_t n = std::min(f.v_point.size(), f.v_weight.size());
    for (std::size_t i = 0; i < n; ++i) {
      const float w = f.v_weight[i];
      sx += w * f.v_point[i].x;
      sy += w * f.v_point[i].y;
      sw += w;
    }
    count += n;
  }
  if (sw != 0) {
    seg.v_ctrl_point.resize(1);
    seg.v_ctrl_point[0] = glm::dvec2(sx * (1 / sw), sy * (1 / sw));
  } else if (count > 0) {
    // All weights zero: the plain mean, so the point stays finite.
    double mx = 0, my = 0;
    for (const frag_ref& r : seg.v_frag_ref) {
      const f_curve& f = *r.fragment;
      const std::size_t n = std::min(f.v_point.size(), f.v_weight.size());
      for (std::size_t i = 0; i < n; ++i) {
        mx += f.v_point[i].x;
        my += f.v_point[i].y;
      }
    }
    seg.v_ctrl_point.resize(1);
    seg.v_ctrl_point[0] = glm::dvec2(mx / count, my / count);
  } else {
    keep_previous(seg.v_ctrl_point, 1);
  }
  const float cx = static_cast<float>(seg.v_ctrl_point[0].x);
  const float cy = static_cast<float>(seg.v_ctrl_point[0].y);
  float result = 0;
  for (const frag_ref& r : seg.v_frag_ref) {
    const f_curve& f = *r.fragment;
    const std::size_t n = std::min(f.v_point.size(), f.v_weight.size());
    for (std::size_t i = 0; i < n; ++i) {
      const float dx = cx - f.v_point[i].x, dy = cy - f.v_point[i].y;
      result += f.v_weight[i] * (dx * dx + dy * dy);
    }
  }
  return result;
}

double error_centroid(const curve_segment& seg) {
  const float cx = static_cast<float>(seg.v_ctrl_point[0].x);
  const float cy = static_cast<float>(seg.v_ctrl_point[0].y);
  float sum = 0;
  std::size_t count = 0;
  for (const frag_ref& r : seg.v_frag_ref) {
    const f_curve& f = *r.fragment;
    const std::size_t n = std::min(f.v_point.size(), f.v_weight.size());
    for (std::size_t i = 0; i < n; ++i) {
      const float dx = cx - f.v_point[i].x, dy = cy - f.v_point[i].y;
      sum += f.v_weight[i] * (dx * dx + dy * dy);
    }
    count += n;
  }
  return static_cast<double>(sum / static_cast<float>(count));
}

template <int K>
double error_bezier(const curve_segment& seg) {
  const glm::dvec2* c = seg.v_ctrl_point.data();
  double sum = 0;
  std::size_t count = 0;
  for (const frag_ref& r : seg.v_frag_ref) {
    if (r.t0 == r.t1) continue;
    float slope, offset;
    const bool full = frag_ref::parameter_map(slope, offset, r.reversed, r.t0, r.t1, r.u0, r.u1);
    const f_curve& f = *r.fragment;
    const std::size_t n = sample_count(f);
    for (std::size_t i = 0; i < n; ++i) {
      if (!full) {
        const float ti = static_cast<float>(f.v_t[i]);
        if (ti < r.t0 || ti > r.t1) continue;
      }
      const double u = static_cast<double>(slope) * f.v_t[i] + static_cast<double>(offset);
      double b[K];
      segment_basis<K>(u, b);
      double px = 0, py = 0;
      for (int j = 0; j < K; ++j) {
        const double bj = static_cast<float>(b[j]);
        px += bj * c[j].x;
        py += bj * c[j].y;
      }
      const float dx = f.v_point[i].x - static_cast<float>(px);
      const float dy = f.v_point[i].y - static_cast<float>(py);
      sum += (dx * dx + dy * dy) * f.v_weight[i];
      ++count;
    }
  }
  return sum / static_cast<double>(count);
}

}  // namespace

bool frag_ref::parameter_map(float& slope, float& offset, bool reversed, float t0, float t1,
                             float u0, float u1) {
  if (t0 == 0 && t1 == 1) {
    slope = reversed ? -(u1 - u0) : u1 - u0;
    offset = reversed ? u1 : u0;
    return true;
  }
  if (t0 == t1) {
    // An empty range uses no sample; keep the map finite all the same.
    slope = 0;
    offset = reversed ? u1 : u0;
    return false;
  }
  const float s = (u1 - u0) / (t1 - t0);
  if (reversed) {
    slope = -s;
    offset = u1 + s * t0;
  } else {
    slope = s;
    offset = u0 - s * t0;
  }
  return false;
}

frag_conn* shared_junction(const frag_ref& a, const frag_ref& b) {
  const std::vector<frag_conn*>& other = b.fragment->v_frag_conn;
  for (frag_conn* j : a.fragment->v_frag_conn)
    if (j && std::find(other.begin(), other.end(), j) != other.end()) return j;
  return nullptr;
}

bool meets_at_t1(const f_curve* f, const frag_conn* j) {
  for (const frag_end& e : j->v_frag_end)
    if (e.fragment == f && e.end != 0) return true;
  return false;
}

bool meets_at_t0(const f_curve* f, const frag_conn* j) {
  for (const frag_end& e : j->v_frag_end)
    if (e.fragment == f && e.end == 0) return true;
  return false;
}

bool same_end_at(const f_curve* a, const f_curve* b, const frag_conn* j) {
  int end_a = -1, end_b = -1;
  for (const frag_end& e : j->v_frag_end) {
    if (e.fragment == a) end_a = e.end;
    if (e.fragment == b) end_b = e.end;
  }
  if (end_a < 0 || end_b < 0) return false;
  return (end_a != 0) == (end_b != 0);
}

namespace {

// Buffers of the ordering, reused from call to call: it runs in every annealing move.
struct ordering_scratch {
  std::vector<int> count;
  std::vector<long> position;
  std::vector<char> placed;
  std::vector<const frag_conn*> visited;
  std::vector<std::pair<std::size_t, frag_conn*>> queue;
  std::vector<std::size_t> order;
  std::vector<frag_ref> ordered;
};

thread_local ordering_scratch ordering;

}  // namespace

void curve_segment::order_fragments() {
  const std::size_t n = v_frag_ref.size();
  if (n == 0) return;
  if (n == 1) {
    v_frag_ref[0].u0 = 0;
    v_frag_ref[0].u1 = 1;
    return;
  }

  ordering_scratch& o = ordering;
  std::vector<int>& count = o.count;
  count.assign(n, 0);
  int total = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const frag_ref& r = v_frag_ref[i];
    if (full_range(r)) {
      count[i] = static_cast<int>(r.fragment->v_point.size());
    } else {
      const double t0 = r.t0, t1 = r.t1;
      count[i] = static_cast<int>(std::count_if(r.fragment->v_t.begin(), r.fragment->v_t.end(),
                                                [&](double t) { return t0 <= t && t <= t1; }));
    }
    total += count[i];
  }

  // Breadth-first walks from frag_ref 0 through shared junctions; forward positions
  // count up, backward ones down, one step per pop.
  std::vector<long>& position = o.position;
  position.assign(n, 0);
  std::vector<char>& placed = o.placed;
  placed.assign(n, 0);
  placed[0] = 1;
  std::vector<const frag_conn*>& visited = o.visited;  // few: a linear search will do
  visited.clear();
  auto walk = [&](frag_conn* start, long step) {
    std::vector<std::pair<std::size_t, frag_conn*>>& queue = o.queue;
    queue.clear();
    std::size_t head = 0;
    if (start) queue.emplace_back(0, start);
    long p = 0;
    while (head < queue.size()) {
      const auto [r, j] = queue[head++];
      p += step;
      if (std::find(visited.begin(), visited.end(), j) != visited.end()) continue;
      visited.push_back(j);
      for (const frag_end& e : j->v_frag_end) {
        if (e.fragment == v_frag_ref[r].fragment) continue;
        for (std::size_t k = 0; k < n; ++k) {
          if (placed[k] || v_frag_ref[k].fragment != e.fragment) continue;
          placed[k] = 1;
          position[k] = p;
          const std::vector<frag_conn*>& js = e.fragment->v_frag_conn;
          frag_conn* next = nullptr;
          if (!js.empty() && js[0] != j) next = js[0];
          else if (js.size() > 1) next = js[1];
          if (next) queue.emplace_back(k, next);
          break;
        }
      }
    }
  };
  const std::vector<frag_conn*>& js0 = v_frag_ref[0].fragment->v_frag_conn;
  walk(js0.size() > 1 ? js0[1] : nullptr, 1);
  walk(!js0.empty() ? js0[0] : nullptr, -1);

  std::vector<std::size_t>& order = o.order;
  order.clear();
  for (std::size_t i = 0; i < n; ++i)
    if (placed[i]) order.push_back(i);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return position[a] < position[b]; });
  // A branch positions several frag_refs in one pop: the first of the old order stays.
  order.erase(std::unique(order.begin(), order.end(),
                          [&](std::size_t a, std::size_t b) { return position[a] == position[b]; }),
              order.end());

  std::vector<frag_ref>& ordered = o.ordered;
  ordered.clear();
  if (total > 0) {
    const float s = 1 / static_cast<float>(total);
    float u = 0;
    for (std::size_t i : order) {
      frag_ref r = v_frag_ref[i];
      r.u0 = u;
      r.u1 = static_cast<float>(count[i]) * s + u;
      u = r.u1;
      ordered.push_back(r);
    }
  } else {
    // No samples to share out: equal shares keep the ranges finite.
    const float m = static_cast<float>(order.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
      frag_ref r = v_frag_ref[order[k]];
      r.u0 = static_cast<float>(k) / m;
      r.u1 = static_cast<float>(k + 1) / m;
      ordered.push_back(r);
    }
  }
  v_frag_ref.assign(ordered.begin(), ordered.end());
  set_reversed();
}

void curve_segment::set_reversed() {
  const std::size_t n = v_frag_ref.size();
  if (n < 2) return;
  frag_conn* j = shared_junction(v_frag_ref[0], v_frag_ref[1]);
  if (!j) return;
  const frag_end* first = entry_at(v_frag_ref[0].fragment, j);
  v_frag_ref[0].reversed = first && first->end == 0;
  for (std::size_t i = 1; i < n; ++i) {
    if (v_frag_ref[i - 1].fragment->v_frag_conn.empty()) return;
    j = shared_junction(v_frag_ref[i - 1], v_frag_ref[i]);
    if (!j) return;
    const frag_end* e = entry_at(v_frag_ref[i].fragment, j);
    v_frag_ref[i].reversed = e && e->end != 0;
  }
}

bool curve_segment::is_chained() {
  if (v_frag_ref.empty()) return true;
  v_frag_ref[0].reversed = false;
  for (std::size_t i = 1; i < v_frag_ref.size(); ++i)
    if (!shared_junction(v_frag_ref[i - 1], v_frag_ref[i])) return false;
  return true;
}

struct segment_fit_memo::table {
  struct hash {
    std::size_t operator()(const std::vector<std::uint64_t>& key) const {
      std::uint64_t h = 1469598103934665603ull;
      for (std::uint64_t w : key) h = (h ^ w) * 1099511628211ull ^ (w >> 29);
      return static_cast<std::size_t>(h);
    }
  };
  struct fit_result {
    std::array<glm::dvec2, 4> points;
    float sum;
  };
  // Kept fits, keyed by the points' count and each frag_ref's fragment, range bits,
  // share bits and flag.
  std::unordered_map<std::vector<std::uint64_t>, fit_result, hash> fits;
  std::vector<std::uint64_t> key;  // reused for lookups
  // Enough for the chains of a long run; past it the table starts afresh.
  static constexpr std::size_t capacity = 1 << 18;
};

namespace {

thread_local segment_fit_memo::table* active_fit_memo = nullptr;

std::uint64_t float_pair(float a, float b) {
  std::uint32_t x, y;
  std::memcpy(&x, &a, sizeof x);
  std::memcpy(&y, &b, sizeof y);
  return static_cast<std::uint64_t>(x) << 32 | y;
}

template <int K>
float fit_remembered(curve_segment& seg, segment_fit_memo::table& memo) {
  std::vector<std::uint64_t>& key = memo.key;
  key.clear();
  key.push_back(K);
  for (const frag_ref& r : seg.v_frag_ref) {
    key.push_back(reinterpret_cast<std::uintptr_t>(r.fragment));
    key.push_back(float_pair(r.t0, r.t1));
    key.push_back(float_pair(r.u0, r.u1));
    key.push_back(r.reversed);
  }
  const auto found = memo.fits.find(key);
  if (found != memo.fits.end()) {
    seg.v_ctrl_point.resize(K);
    for (int j = 0; j < K; ++j) seg.v_ctrl_point[j] = found->second.points[j];
    return found->second.sum;
  }
  bool determined = false;
  const float sum = fit_least_squares<K>(seg, &determined);
  if (determined) {
    if (memo.fits.size() >= segment_fit_memo::table::capacity) memo.fits.clear();
    segment_fit_memo::table::fit_result kept{};
    for (int j = 0; j < K; ++j) kept.points[j] = seg.v_ctrl_point[j];
    kept.sum = sum;
    memo.fits.emplace(key, kept);
  }
  return sum;
}

}  // namespace

segment_fit_memo::segment_fit_memo() : table_(new table), outer_(active_fit_memo) {
  active_fit_memo = table_;
}

segment_fit_memo::~segment_fit_memo() {
  active_fit_memo = outer_;
  delete table_;
}

float curve_segment::fit() {
  if (segment_fit_memo::table* memo = active_fit_memo) {
    switch (degree) {
      case 0: return fit_centroid(*this);
      case 1: return fit_remembered<2>(*this, *memo);
      case 2: return fit_remembered<3>(*this, *memo);
      default: return fit_remembered<4>(*this, *memo);
    }
  }
  switch (degree) {
    case 0: return fit_centroid(*this);
    case 1: return fit_least_squares<2>(*this);
    case 2: return fit_least_squares<3>(*this);
    default: return fit_least_squares<4>(*this);
  }
}

namespace {

template <int K>
void keep_segment_in_frame(curve_segment& seg, bool hold_ends) {
  const image_frame frame = segment_frame(seg);
  if (!frame.known() || seg.v_ctrl_point.size() != static_cast<std::size_t>(K)) return;
  glm::dvec2* p = seg.v_ctrl_point.data();
  const bool ends_out = hold_ends && (frame.clamp(p[0]) != p[0] || frame.clamp(p[K - 1]) != p[K - 1]);
  if (!ends_out && !leaves_frame(frame, p, K)) return;
  normal_equations<K> ne;
  accumulate<K>(seg, ne);
  if (ne.used == 0) {
    for (int j = 0; j < K; ++j) p[j] = frame.clamp(p[j]);
    return;
  }
  fit_points_in_frame<K>(ne, frame, hold_ends, p);
}

}  // namespace

void curve_segment::keep_in_frame(bool hold_ends) {
  switch (degree) {
    case 1: keep_segment_in_frame<2>(*this, hold_ends); break;
    case 2: keep_segment_in_frame<3>(*this, hold_ends); break;
    case 3: keep_segment_in_frame<4>(*this, hold_ends); break;
    default: break;
  }
}

double curve_segment::error() const {
  const std::size_t k = degree == 0 ? 1 : degree == 1 ? 2 : degree == 2 ? 3 : 4;
  if (v_ctrl_point.size() < k) return std::numeric_limits<double>::quiet_NaN();
  switch (degree) {
    case 0: return error_centroid(*this);
    case 1: return error_bezier<2>(*this);
    case 2: return error_bezier<3>(*this);
    default: return error_bezier<4>(*this);
  }
}

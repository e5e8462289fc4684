#include "graph/f_curve.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iostream>

#include "graph/cubic_least_squares.h"
#include "graph/layer_graph.h"

void f_curve::fit_cubic() {
  // Weights are read per sample too: a short weight list would be read past its end.
  if (v_t.size() != v_point.size() || v_weight.size() != v_point.size()) {
    std::cout << "aa" << std::endl;
    return;
  }
  v_ctrl_point.resize(4);
  const std::size_t n = v_t.size();

  // The normal matrix is kept as four column registers: one array would be stored and
  // reloaded every sample.
  Eigen::Vector4f n0 = Eigen::Vector4f::Zero(), n1 = n0, n2 = n0, n3 = n0;
  Eigen::Vector4f rx = Eigen::Vector4f::Zero(), ry = Eigen::Vector4f::Zero();
  float s_sum = 0;  // sum of w |p|^2, for the error in expanded form
  // Distinct weighted parameters, up to four; a regular fragment has them in its first
  // few samples, so this scan ends at once.
  cubic_ls::distinct_values<float> distinct;
  for (std::size_t i = 0; i < n && distinct.count < 4; ++i)
    if (v_weight[i] != 0) distinct.add(static_cast<float>(v_t[i]));

  for (std::size_t i = 0; i < n; ++i) {
    const float s = static_cast<float>(v_t[i]);
    const Eigen::Vector4f b = cubic_ls::cubic_basis_float(s);
    const float w = v_weight[i];
    const float x = v_point[i].x, y = v_point[i].y;
    const Eigen::Vector4f wb = w * b;
    n0 += b[0] * wb;
    n1 += b[1] * wb;
    n2 += b[2] * wb;
    n3 += b[3] * wb;
    rx += (w * x) * b;
    ry += (w * y) * b;
    s_sum += (x * x + y * y) * w;
  }
  Eigen::Matrix4f nm;
  nm << n0, n1, n2, n3;

  if (distinct.count == 4) {
    const Eigen::Matrix4f inv = nm.inverse();
    const Eigen::Vector4f cx = inv * rx, cy = inv * ry;
    if (cx.allFinite() && cy.allFinite()) {
      for (int k = 0; k < 4; ++k)
        v_ctrl_point[k] = glm::dvec2(static_cast<double>(cx[k]), static_cast<double>(cy[k]));
      total_error = s_sum + cx.dot(nm * cx - 2 * rx) + cy.dot(nm * cy - 2 * ry);
      mean_error = total_error / static_cast<float>(n);
      keep_in_frame();
      return;
    }
  }

  // Singular system (fewer than four distinct parameters): the best curve of lower
  // degree, whose error is measured directly since the expanded form needs the cubic
  // normal equations to hold.
  cubic_ls::fit_lower_degree(
      [&](auto&& f) {
        for (std::size_t i = 0; i < n; ++i)
          if (v_weight[i] != 0)
            f(static_cast<double>(static_cast<float>(v_t[i])), static_cast<double>(v_point[i].x),
              static_cast<double>(v_point[i].y), static_cast<double>(v_weight[i]));
      },
      distinct.count, v_ctrl_point.data());
  double sum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (v_weight[i] == 0) continue;
    double b[4];
    cubic_basis(static_cast<double>(static_cast<float>(v_t[i])), b);
    glm::dvec2 c(0, 0);
    for (int k = 0; k < 4; ++k) c += b[k] * v_ctrl_point[k];
    const glm::dvec2 d = glm::dvec2(v_point[i]) - c;
    sum += static_cast<double>(v_weight[i]) * (d.x * d.x + d.y * d.y);
  }
  total_error = static_cast<float>(sum);
  mean_error = n == 0 ? 0.0f : total_error / static_cast<float>(n);
  keep_in_frame();
}

void f_curve::keep_in_frame(bool hold_ends) {
  if (!frame.known() || v_ctrl_point.size() != 4) return;
  const bool ends_out = hold_ends && (frame.clamp(v_ctrl_point[0]) != v_ctrl_point[0] ||
                                      frame.clamp(v_ctrl_point[3]) != v_ctrl_point[3]);
  if (!ends_out && !leaves_frame(frame, v_ctrl_point.data(), 4)) return;
  const std::size_t n = std::min({v_t.size(), v_point.size(), v_weight.size()});
  // Parameters narrowed to float, as the fit above reads them.
  const auto visit = [&](auto&& f) {
    for (std::size_t i = 0; i < n; ++i)
      if (v_weight[i] != 0) {
        double b[4];
        cubic_basis(static_cast<double>(static_cast<float>(v_t[i])), b);
        f(b, glm::dvec2(v_point[i]), static_cast<double>(v_weight[i]));
      }
  };
  double a[16] = {}, bx[4] = {}, by[4] = {};
  visit([&](const double* b, glm::dvec2 p, double w) {
    for (int j = 0; j < 4; ++j) {
      for (int k = 0; k < 4; ++k) a[j * 4 + k] += w * b[j] * b[k];
      bx[j] += w * p.x * b[j];
      by[j] += w * p.y * b[j];
    }
  });
  fit_in_frame(frame, 4, a, bx, by, hold_ends, v_ctrl_point.data());
  double sum = 0;
  visit([&](const double* b, glm::dvec2 p, double w) {
    glm::dvec2 c(0, 0);
    for (int k = 0; k < 4; ++k) c += b[k] * v_ctrl_point[k];
    const glm::dvec2 d = p - c;
    sum += w * (d.x * d.x + d.y * d.y);
  });
  total_error = static_cast<float>(sum);
  mean_error = n == 0 ? 0.0f : total_error / static_cast<float>(n);
}

void f_curve::fit_cubic_range(const std::vector<double>& parameters, glm::dvec2* out,
                              double t0, double t1) const {
  cubic_ls::fit_range_float(v_point, parameters, out, t0, t1);
}

void f_curve::fit_cubic_range_svd(const std::vector<double>& parameters, glm::dvec2* out,
                                  double t0, double t1) const {
  cubic_ls::fit_range_svd(v_point, parameters, out, t0, t1);
}

double cubic_range_error(const f_curve& fragment, const std::vector<double>& parameters,
                         const glm::dvec2* ctrl, double t0, double t1) {
  if (t0 == t1) return 0;
  const double scale = 1 / (t1 - t0);
  const std::size_t n = std::min(parameters.size(), fragment.v_point.size());
  double sum = 0;
  std::size_t count = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = parameters[i];
    if (!(t0 <= t && t <= t1)) continue;
    double b[4];
    cubic_basis((t - t0) * scale, b);
    float cx = 0, cy = 0;
    for (int k = 0; k < 4; ++k) {
      cx += static_cast<float>(b[k] * ctrl[k].x);
      cy += static_cast<float>(b[k] * ctrl[k].y);
    }
    const float dx = fragment.v_point[i].x - cx;
    const float dy = fragment.v_point[i].y - cy;
    sum += dy * dy + dx * dx;
    ++count;
  }
  return sum / static_cast<double>(count);
}

double split_error(const split_context& context, double l) {
  return cubic_ls::split_error(
      *context.parameters, *context.polygons, context.t0, context.t1, l,
      [&](const glm::dvec2* ctrl, double a, double b) {
        return cubic_range_error(*context.fragment, *context.parameters, ctrl, a, b);
      });
}

void f_curve::find_split(const std::vector<double>& parameters,
                         std::vector<std::vector<glm::dvec2>>& scratch, double t0, double t1,
                         double& result, float error_threshold, float min_gain,
                         float end_margin, int min_samples) const {
  const split_context context{this, &parameters, &scratch, t0, t1};
  cubic_ls::find_split(
      parameters, scratch, t0, t1, result, error_threshold, min_gain, end_margin, min_samples,
      [&](glm::dvec2* out, double a, double b) { fit_cubic_range(parameters, out, a, b); },
      [&](const glm::dvec2* ctrl, double a, double b) {
        return cubic_range_error(*this, parameters, ctrl, a, b);
      },
      [&](double l) { return split_error(context, l); });
}

void f_curve::split_if_better(layer_graph& layer, float error_threshold, float min_gain,
                              float end_margin, int min_samples) {
  std::vector<std::vector<glm::dvec2>> scratch;
  double result = -1;
  find_split(v_t, scratch, 0, 1, result, error_threshold, min_gain, end_margin, min_samples);
  if (result != -1) split_at(layer, result);
}

void f_curve::split_at(layer_graph& layer, double t) {
  // Exactly 0 or 1 would leave one side empty; outside (0, 1) (or not a number) the
  // cut is not on the fragment at all.
  if (!(t > 0 && t < 1)) return;
  layer.f_curves.emplace_back();
  f_curve& tail = layer.f_curves.back();
  tail.frame = frame;

  for (edge* e : v_edge) {
    e->v_f_curve.push_back(&tail);
    tail.v_edge.push_back(e);
  }
  for (curve* c : v_curve) {
    c->v_f_curve.push_back(&tail);
    tail.v_curve.push_back(c);
  }

  // Samples: the head is compacted in place, the tail gets the rest, both in old order.
  const std::size_t n = std::min({v_t.size(), v_point.size(), v_weight.size()});
  const double head_scale = 1 / t, tail_scale = 1 / (1 - t);
  std::size_t kept = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double ti = v_t[i];
    if (ti < t) {
      v_t[kept] = head_scale * ti;
      v_point[kept] = v_point[i];
      v_weight[kept] = v_weight[i];
      ++kept;
    } else {
      tail.v_t.push_back((ti - t) * tail_scale);
      tail.v_point.push_back(v_point[i]);
      tail.v_weight.push_back(v_weight[i]);
    }
  }
  v_t.resize(kept);
  v_point.resize(kept);
  v_weight.resize(kept);

  // Junctions: the t = 0 end stays, the t = 1 end now belongs to the tail. Every entry
  // naming this fragment is looked at, so that a fragment whose two ends meet at one
  // junction (a closed stroke) is relinked at both.
  std::vector<frag_conn*> stayed;
  for (std::size_t i = 0; i < v_frag_conn.size(); ++i) {
    frag_conn* junction = v_frag_conn[i];
    if (std::find(v_frag_conn.begin(), v_frag_conn.begin() + i, junction) !=
        v_frag_conn.begin() + i)
      continue;
    bool start_here = false, end_here = false;
    for (frag_end& fe : junction->v_frag_end) {
      if (fe.fragment != this) continue;
      if (fe.end == 0) {
        start_here = true;
      } else {
        fe.fragment = &tail;
        end_here = true;
      }
    }
    if (start_here) stayed.push_back(junction);
    if (end_here) tail.v_frag_conn.push_back(junction);
  }
  v_frag_conn = std::move(stayed);

  layer.frag_conns.emplace_back();
  frag_conn& cut = layer.frag_conns.back();
  v_frag_conn.push_back(&cut);
  tail.v_frag_conn.push_back(&cut);
  for (edge* e : v_edge) {
    e->v_frag_conn.push_back(&cut);
    cut.v_edge.push_back(e);
  }
  cut.v_frag_end.push_back(frag_end{this, 3});
  cut.v_frag_end.push_back(frag_end{&tail, 0});
}

void f_curve::fit_pieces(std::vector<std::vector<glm::dvec2>>& out, float error_threshold,
                         float min_gain, float end_margin, int min_samples) const {
  cubic_ls::fit_pieces(
      out,
      [&](cubic_ls::polygon_list& scratch, double t0, double t1, double& result) {
        find_split(v_t, scratch, t0, t1, result, error_threshold, min_gain, end_margin,
                   min_samples);
      },
      [&](glm::dvec2* o, double a, double b) { fit_cubic_range_svd(v_t, o, a, b); });
}

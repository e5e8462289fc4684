#include "graph/junction_fit.h"

#include <cstdint>
#include <vector>

#include <Eigen/SVD>

#include "graph/bezier.h"
#include "graph/f_curve.h"

namespace {

int end_index(const frag_end& fe) { return fe.end != 0 ? 3 : 0; }

// Steps shared by both joint fits: every fragment's control points resized to four, and
// the unweighted cubic equations of its samples on its x and y blocks.
void fill_equations(const frag_conn& j, Eigen::MatrixXd& matrix, Eigen::VectorXd& rhs) {
  const Eigen::Index n = static_cast<Eigen::Index>(j.v_frag_end.size());
  matrix.setZero(8 * n, 8 * n);
  rhs.setZero(8 * n);
  for (Eigen::Index k = 0; k < n; ++k) {
    f_curve& f = *j.v_frag_end[k].fragment;
    f.v_ctrl_point.resize(4);
    if (f.v_t.size() != f.v_point.size()) continue;
    const Eigen::Index bx = 8 * k, by = 8 * k + 4;
    for (std::size_t i = 0; i < f.v_t.size(); ++i) {
      double b[4];
      cubic_basis(f.v_t[i], b);
      const double x = f.v_point[i].x, y = f.v_point[i].y;
      for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
          matrix(bx + r, bx + c) += b[r] * b[c];
          matrix(by + r, by + c) += b[r] * b[c];
        }
        rhs[bx + r] += x * b[r];
        rhs[by + r] += y * b[r];
      }
    }
  }
}

// Row, column and right side of f (and f + 4) added to those of s (and s + 4), then zero.
void merge_point(Eigen::MatrixXd& matrix, Eigen::VectorXd& rhs, int s, int f) {
  for (int c = 0; c < 2; ++c) {
    const int m = s + 4 * c, v = f + 4 * c;
    if (m == v) continue;
    matrix.row(m) += matrix.row(v);
    matrix.col(m) += matrix.col(v);
    matrix.row(v).setZero();
    matrix.col(v).setZero();
    rhs[m] += rhs[v];
    rhs[v] = 0;
  }
}

Eigen::VectorXd solve_svd(const Eigen::MatrixXd& matrix, const Eigen::VectorXd& rhs) {
  Eigen::JacobiSVD<Eigen::MatrixXd> svd(matrix, Eigen::ComputeFullU | Eigen::ComputeFullV);
  return svd.solve(rhs);
}

void assign_solution(const frag_conn& j, const Eigen::VectorXd& u) {
  for (std::size_t k = 0; k < j.v_frag_end.size(); ++k) {
    f_curve& f = *j.v_frag_end[k].fragment;
    for (int i = 0; i < 4; ++i) f.v_ctrl_point[i] = glm::dvec2(u[8 * k + i], u[8 * k + 4 + i]);
  }
}

}  // namespace

void joint_fit_fix_point(Eigen::MatrixXd& matrix, Eigen::VectorXd& rhs, int v, glm::dvec2 held) {
  // Whole columns: after a merge, part of a held column sits in the shared point's row.
  rhs -= matrix.col(v) * held.x;
  rhs -= matrix.col(v + 4) * held.y;
  for (const int w : {v, v + 4}) {
    matrix.row(w).setZero();
    matrix.col(w).setZero();
    rhs[w] = 0;
  }
}

void frag_conn::fit_joint() {
  const std::size_t n = v_frag_end.size();
  if (n == 0) return;
  if (n == 1) {
    v_frag_end[0].fragment->fit_cubic();
    return;
  }
  Eigen::MatrixXd matrix;
  Eigen::VectorXd rhs;
  fill_equations(*this, matrix, rhs);
  const int s = end_index(v_frag_end[0]);
  for (std::size_t k = 1; k < n; ++k)
    merge_point(matrix, rhs, s, static_cast<int>(8 * k) + end_index(v_frag_end[k]));
  assign_solution(*this, solve_svd(matrix, rhs));
  const glm::dvec2 shared = v_frag_end[0].fragment->v_ctrl_point[s];
  for (std::size_t k = 1; k < n; ++k)
    v_frag_end[k].fragment->v_ctrl_point[end_index(v_frag_end[k])] = shared;
}

void frag_conn::fit_joint_fixed_far_ends() {
  const std::size_t n = v_frag_end.size();
  if (n == 0) return;
  if (n == 1) {
    v_frag_end[0].fragment->fit_cubic();
    return;
  }
  Eigen::MatrixXd matrix;
  Eigen::VectorXd rhs;
  fill_equations(*this, matrix, rhs);

  std::vector<glm::dvec2> held(n);
  const int s = end_index(v_frag_end[0]);
  for (std::size_t k = 0; k < n; ++k) {
    const frag_end& fe = v_frag_end[k];
    const int e = end_index(fe);
    if (k > 0) merge_point(matrix, rhs, s, static_cast<int>(8 * k) + e);
    held[k] = fe.fragment->v_ctrl_point[3 - e];
    joint_fit_fix_point(matrix, rhs, static_cast<int>(8 * k) + 3 - e, held[k]);
  }

  assign_solution(*this, solve_svd(matrix, rhs));
  f_curve& first = *v_frag_end[0].fragment;
  first.v_ctrl_point[3 - s] = held[0];
  const glm::dvec2 shared = first.v_ctrl_point[s];
  for (std::size_t k = 1; k < n; ++k) {
    const int e = end_index(v_frag_end[k]);
    std::vector<glm::dvec2>& ctrl = v_frag_end[k].fragment->v_ctrl_point;
    ctrl[e] = shared;
    ctrl[3 - e] = held[k];
  }
}

void frag_conn::choose_ends() {
  const std::size_t n = v_frag_end.size();
  if (n == 0 || n > 30) return;
  for (const frag_end& fe : v_frag_end)
    if (fe.fragment->v_ctrl_point.size() < 4) return;

  const std::uint32_t nb_choice = std::uint32_t{1} << n;
  std::uint32_t best = 0;
  double best_spread = 0;
  for (std::uint32_t c = 0; c < nb_choice; ++c) {
    glm::dvec2 mean(0, 0);
    for (std::size_t j = 0; j < n; ++j)
      mean += v_frag_end[j].fragment->v_ctrl_point[(c >> j) & 1u ? 3 : 0];
    mean /= static_cast<double>(n);
    double spread = 0;
    for (std::size_t j = 0; j < n; ++j) {
      const glm::dvec2 d = v_frag_end[j].fragment->v_ctrl_point[(c >> j) & 1u ? 3 : 0] - mean;
      spread += d.x * d.x + d.y * d.y;
    }
    if (c == 0 || spread < best_spread) {
      best = c;
      best_spread = spread;
    }
  }
  for (std::size_t j = 0; j < n; ++j) v_frag_end[j].end = (best >> j) & 1u ? 3 : 0;
}

void frag_conn::add_fragment_pair(f_curve* a, f_curve* b) {
  for (f_curve* f : {a, b}) {
    bool listed = false;
    for (const frag_end& fe : v_frag_end) listed = listed || fe.fragment == f;
    if (!listed) v_frag_end.push_back({f, 0});
  }
}

void frag_conn::add_pair_and_choose_ends(f_curve* a, f_curve* b) {
  add_fragment_pair(a, b);
  choose_ends();
}

void frag_conn::add_pair_refit_and_choose_ends(f_curve* a, f_curve* b) {
  add_fragment_pair(a, b);
  refit_and_choose_ends();
}

void frag_conn::refit_and_choose_ends() {
  for (const frag_end& fe : v_frag_end) fe.fragment->fit_cubic();
  choose_ends();
}

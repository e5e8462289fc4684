#include "graph/joint_fit_svd.h"

#include <unordered_map>

#include <Eigen/Core>
#include <Eigen/SVD>

#include "graph/f_curve.h"
#include "graph/joint_system.h"

namespace {

// Unweighted cubic equations of one point list on block j of the system.
template <typename point>
void add_block(Eigen::MatrixXd& matrix, Eigen::VectorXd& rhs, int j,
               const std::vector<double>& params, const std::vector<point>& points) {
  const int bx = 8 * j, by = 8 * j + 4;
  for (std::size_t i = 0; i < params.size(); ++i) {
    double b[4];
    joint_cubic_basis(params[i], b);
    const double x = points[i].x, y = points[i].y;
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

// Merges the x and the y variable of end (j, e) into those of (j0, e0).
void merge_end(Eigen::MatrixXd& matrix, Eigen::VectorXd& rhs, int j0, int e0, int j, int e) {
  for (int c = 0; c < 2; ++c) {
    const int m = 8 * j0 + 4 * c + e0, v = 8 * j + 4 * c + e;
    merge_matrix_variable(matrix, m, v);
    merge_rhs_variable(rhs, m, v);
  }
}

Eigen::VectorXd solve_thin_svd(const Eigen::MatrixXd& matrix, const Eigen::VectorXd& rhs) {
  Eigen::JacobiSVD<Eigen::MatrixXd> svd(matrix, Eigen::ComputeThinU | Eigen::ComputeThinV);
  return svd.solve(rhs);
}

int end_of(int end) { return end != 0 ? 3 : 0; }

}  // namespace

void fit_fragments_jointly_svd(const std::vector<frag_conn*>& junctions) {
  std::vector<f_curve*> fragments;
  std::unordered_map<const f_curve*, int> index_of;
  gather_joint_fragments(junctions, fragments, index_of);
  if (fragments.empty()) return;

  const Eigen::Index n = 8 * static_cast<Eigen::Index>(fragments.size());
  Eigen::MatrixXd matrix = Eigen::MatrixXd::Zero(n, n);
  Eigen::VectorXd rhs = Eigen::VectorXd::Zero(n);
  for (std::size_t k = 0; k < fragments.size(); ++k) {
    const f_curve& f = *fragments[k];
    if (f.v_point.size() == f.v_t.size()) add_block(matrix, rhs, static_cast<int>(k), f.v_t, f.v_point);
  }
  for (frag_conn* j : junctions) {
    if (j->v_frag_end.size() < 2) continue;
    const frag_end& first = j->v_frag_end[0];
    for (std::size_t e = 1; e < j->v_frag_end.size(); ++e) {
      const frag_end& fe = j->v_frag_end[e];
      merge_end(matrix, rhs, index_of[first.fragment], end_of(first.end), index_of[fe.fragment],
                end_of(fe.end));
    }
  }

  const Eigen::VectorXd u = solve_thin_svd(matrix, rhs);
  for (std::size_t k = 0; k < fragments.size(); ++k) {
    std::vector<glm::dvec2>& ctrl = fragments[k]->v_ctrl_point;
    ctrl.resize(4);
    for (int c = 0; c < 4; ++c) ctrl[c] = glm::dvec2(u[8 * k + c], u[8 * k + 4 + c]);
  }
  for (frag_conn* j : junctions) {
    if (j->v_frag_end.size() < 2) continue;
    const frag_end& first = j->v_frag_end[0];
    const glm::dvec2 shared = first.fragment->v_ctrl_point[end_of(first.end)];
    for (std::size_t e = 1; e < j->v_frag_end.size(); ++e)
      j->v_frag_end[e].fragment->v_ctrl_point[end_of(j->v_frag_end[e].end)] = shared;
  }
}

void fit_polylines_jointly_svd(const std::vector<std::vector<glm::dvec2>>& polylines,
                               const std::vector<std::vector<double>>& parameters,
                               const std::vector<std::vector<std::pair<int, int>>>& junctions,
                               std::vector<std::vector<glm::dvec2>>& ctrl_polygons) {
  const int nb = static_cast<int>(polylines.size());
  ctrl_polygons.assign(nb, std::vector<glm::dvec2>(4));
  if (nb == 0) return;

  const Eigen::Index n = 8 * static_cast<Eigen::Index>(nb);
  Eigen::MatrixXd matrix = Eigen::MatrixXd::Zero(n, n);
  Eigen::VectorXd rhs = Eigen::VectorXd::Zero(n);
  for (int j = 0; j < nb; ++j)
    if (parameters[j].size() == polylines[j].size())
      add_block(matrix, rhs, j, parameters[j], polylines[j]);
  for (const std::vector<std::pair<int, int>>& list : junctions)
    for (std::size_t e = 1; e < list.size(); ++e)
      merge_end(matrix, rhs, list[0].first, end_of(list[0].second), list[e].first,
                end_of(list[e].second));

  const Eigen::VectorXd u = solve_thin_svd(matrix, rhs);
  for (int j = 0; j < nb; ++j)
    for (int c = 0; c < 4; ++c) ctrl_polygons[j][c] = glm::dvec2(u[8 * j + c], u[8 * j + 4 + c]);
  for (const std::vector<std::pair<int, int>>& list : junctions) {
    if (list.size() < 2) continue;
    const glm::dvec2 shared = ctrl_polygons[list[0].first][end_of(list[0].second)];
    for (std::size_t e = 1; e < list.size(); ++e)
      ctrl_polygons[list[e].first][end_of(list[e].second)] = shared;
  }
}

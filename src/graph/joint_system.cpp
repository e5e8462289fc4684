#include "graph/joint_system.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <numeric>
#include <utility>

#include <Eigen/Eigenvalues>
#include <Eigen/SparseCore>
#include <Eigen/UmfPackSupport>

#include "graph/curve.h"
#include "graph/f_curve.h"

namespace {

// Pivots (of the row-scaled matrix) this much smaller than the largest one come from a
// rank-deficient block: too few distinct sample parameters for the points to fit.
constexpr double kSmallestRelativePivot = 1e-12;

// An owner's own block whose smallest eigenvalue is below this fraction of its largest
// leaves a combination of its points to rounding; well above the pivot test, so that
// every owner the solve would reject is caught first.
constexpr double kSmallestRelativeEigenvalue = 1e-9;

// Strength of the springs between an underdetermined owner's points, relative to the
// largest eigenvalue of its block (or of the whole matrix when it has no equation).
constexpr double kSpringWeight = 1e-6;

// Adds w * sum |p[k + 1] - p[k]|^2 over the count points from base to the matrix.
template <class Matrix>
void add_springs(Matrix& matrix, int base, int count, double w) {
  for (int k = base; k + 1 < base + count; ++k) {
    matrix(k, k) += w;
    matrix(k + 1, k + 1) += w;
    matrix(k, k + 1) -= w;
    matrix(k + 1, k) -= w;
  }
}

}  // namespace

void merge_matrix_variable(Eigen::MatrixXd& matrix, int m, int v) {
  if (m == v) return;  // column m += column m and then zeroing it would wipe the point
  matrix.col(m) += matrix.col(v);
  // Rows are strided in column-major storage, and row v holds only its owner's block and
  // what earlier merges brought: one pass finds its entries, and only those are moved
  // (adding a zero changes nothing).
  const Eigen::Index n = matrix.cols();
  for (Eigen::Index j = 0; j < n; ++j) {
    const double x = matrix(v, j);
    if (x != 0) {
      matrix(m, j) += x;
      matrix(v, j) = 0;
    }
  }
  matrix.col(v).setZero();
}

void merge_rhs_variable(Eigen::VectorXd& rhs, int m, int v) {
  if (m == v) return;
  rhs[m] += rhs[v];
  rhs[v] = 0;
}

void joint_matrix::set_zero(int n) {
  cols_.assign(static_cast<std::size_t>(n), {});
  rows_.assign(static_cast<std::size_t>(n), {});
}

double* joint_matrix::find(int row, int col) {
  for (entry& e : cols_[col])
    if (e.row == row) return &e.value;
  return nullptr;
}

double& joint_matrix::operator()(int row, int col) {
  if (double* v = find(row, col)) return *v;
  cols_[col].push_back({row, 0.0});
  rows_[row].push_back(col);
  return cols_[col].back().value;
}

double joint_matrix::value(int row, int col) const {
  for (const entry& e : cols_[col])
    if (e.row == row) return e.value;
  return 0.0;
}

// An entry that was never written is 0 in the dense matrix, and adding a multiple of 0
// to an entry leaves it as it is: only written entries need the arithmetic.
void joint_matrix::merge(int m, int v) {
  if (m == v) return;
  for (std::size_t k = 0; k < cols_[v].size(); ++k) {
    const entry e = cols_[v][k];
    (*this)(e.row, m) += e.value;
  }
  for (std::size_t k = 0; k < rows_[v].size(); ++k) {
    const int j = rows_[v][k];
    const double x = value(v, j);
    if (x != 0) {
      (*this)(m, j) += x;  // may grow column j: find (v, j) again below
      *find(v, j) = 0;
    }
  }
  for (entry& e : cols_[v]) e.value = 0;
}

std::vector<std::pair<int, double>> joint_matrix::isolate(int v) {
  std::vector<std::pair<int, double>> column;
  for (entry& e : cols_[v]) {
    if (e.row != v && e.value != 0) column.emplace_back(e.row, e.value);
    e.value = 0;
  }
  for (const int j : rows_[v]) *find(v, j) = 0;
  (*this)(v, v) = 1.0;
  return column;
}

void joint_matrix::tie(int v, int m, double cm, int n, double cn) {
  for (std::size_t k = 0; k < cols_[v].size(); ++k) {
    const entry e = cols_[v][k];
    (*this)(e.row, m) += cm * e.value;
  }
  for (std::size_t k = 0; k < cols_[v].size(); ++k) {
    const entry e = cols_[v][k];
    (*this)(e.row, n) += cn * e.value;
  }
  for (std::size_t k = 0; k < rows_[v].size(); ++k) {
    const int j = rows_[v][k];
    const double x = value(v, j);
    (*this)(m, j) += cm * x;
  }
  for (std::size_t k = 0; k < rows_[v].size(); ++k) {
    const int j = rows_[v][k];
    const double x = value(v, j);
    (*this)(n, j) += cn * x;
  }
  for (entry& e : cols_[v]) e.value = 0;
  for (int j : rows_[v]) *find(v, j) = 0;
}

Eigen::SparseMatrix<double> joint_matrix::sparse_view(double reference, double epsilon) const {
  const Eigen::Index n = size();
  Eigen::SparseMatrix<double> sparse(n, n);
  std::vector<int> per_column(cols_.size());
  std::vector<entry> kept;
  for (std::size_t j = 0; j < cols_.size(); ++j)
    for (const entry& e : cols_[j])
      if (!Eigen::internal::isMuchSmallerThan(e.value, reference, epsilon)) ++per_column[j];
  sparse.reserve(per_column);
  for (std::size_t j = 0; j < cols_.size(); ++j) {
    kept.clear();
    for (const entry& e : cols_[j])
      if (!Eigen::internal::isMuchSmallerThan(e.value, reference, epsilon)) kept.push_back(e);
    std::sort(kept.begin(), kept.end(), [](const entry& a, const entry& b) { return a.row < b.row; });
    for (const entry& e : kept)
      sparse.insert(e.row, static_cast<Eigen::Index>(j)) = e.value;
  }
  sparse.makeCompressed();
  return sparse;
}

joint_system::joint_system(std::vector<int> owner_of, int nb_owner)
    : owner_of_(std::move(owner_of)), parent_(nb_owner), emptied_(owner_of_.size(), false) {
  const Eigen::Index n = size();
  matrix.set_zero(static_cast<int>(n));
  rhs_x.setZero(n);
  rhs_y.setZero(n);
  std::iota(parent_.begin(), parent_.end(), 0);
}

int joint_system::find(int owner) {
  while (parent_[owner] != owner) {
    parent_[owner] = parent_[parent_[owner]];
    owner = parent_[owner];
  }
  return owner;
}

int joint_system::regularise_underdetermined() {
  // Entry by entry: the matrix is read and written through its element access only.
  const int n = size();
  double whole = 0;
  for (int i = 0; i < n; ++i) whole = std::max(whole, std::abs(matrix(i, i)));
  int count = 0;
  for (int base = 0; base < n;) {
    int end = base + 1;
    while (end < n && owner_of_[end] == owner_of_[base]) ++end;
    const int width = end - base;
    Eigen::MatrixXd block(width, width);
    for (int c = 0; c < width; ++c)
      for (int r = 0; r < width; ++r) block(r, c) = matrix(base + r, base + c);
    const Eigen::VectorXd eigenvalues = Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(block).eigenvalues();
    const double largest = eigenvalues[width - 1];
    if (width > 1 && !(eigenvalues[0] > kSmallestRelativeEigenvalue * largest)) {
      // Without a single equation the scale comes from the rest, so that the springs
      // still hardly pull on the points this owner shares with others.
      const double scale = largest > 0 ? largest : whole > 0 ? whole : 1.0;
      add_springs(matrix, base, width, kSpringWeight * scale);
      ++count;
    }
    base = end;
  }
  return count;
}

void joint_system::merge(int m, int v) {
  if (m == v) return;
  matrix.merge(m, v);
  merge_rhs_variable(rhs_x, m, v);
  merge_rhs_variable(rhs_y, m, v);
  emptied_[v] = true;
  emptied_[m] = false;  // it holds v's equations now, whatever happened to it before
  parent_[find(owner_of_[v])] = find(owner_of_[m]);
}

void joint_system::tie(int v, int m, double cm, int n, double cn) {
  // Columns first, then rows: the result is T^T A T for the substitution matrix T.
  matrix.tie(v, m, cm, n, cn);
  for (Eigen::VectorXd* rhs : {&rhs_x, &rhs_y}) {
    (*rhs)[m] += cm * (*rhs)[v];
    (*rhs)[n] += cn * (*rhs)[v];
    (*rhs)[v] = 0;
  }
  emptied_[v] = true;
  parent_[find(owner_of_[v])] = find(owner_of_[m]);
  parent_[find(owner_of_[n])] = find(owner_of_[m]);
}

void joint_system::fix(int v, double px, double py) {
  for (const auto& [row, a] : matrix.isolate(v)) {
    rhs_x[row] -= a * px;
    rhs_y[row] -= a * py;
  }
  rhs_x[v] = px;
  rhs_y[v] = py;
  emptied_[v] = false;
}

std::vector<bool> joint_system::solve() {
  const int n = size();
  std::vector<bool> usable(parent_.size(), false);
  if (n == 0) return usable;

  // A merged-away variable has an empty row and column, which would leave one zero
  // pivot per merge; a unit diagonal with a zero right side keeps the system regular
  // without changing the solution of any other variable.
  for (int v = 0; v < n; ++v)
    if (emptied_[v]) matrix(v, v) = 1.0;

  Eigen::SparseMatrix<double> sparse = matrix.sparse_view(1e-5, 1e-12);
  Eigen::UmfPackLU<Eigen::SparseMatrix<double>> lu;
  lu.compute(sparse);
  if (lu.umfpackFactorizeReturncode() < 0) return usable;  // no factors to solve with

  x.resize(sparse.cols());
  x = lu.solve(rhs_x);
  y.resize(sparse.cols());
  y = lu.solve(rhs_y);

  // A zero pivot shows as infinities or NaN in the variables that depend on it, a pivot
  // lost in rounding as huge finite values; either way the solution of that group is
  // meaningless. The factors never mix owners that no merge joined, so the damage stays
  // in the group.
  std::vector<bool> failed(parent_.size(), false);
  for (int i = 0; i < n; ++i)
    if (!std::isfinite(x[i]) || !std::isfinite(y[i])) failed[find(owner_of_[i])] = true;
  const Eigen::SparseMatrix<double>& u = lu.matrixU();
  const auto& column_of_pivot = lu.permutationQ();
  std::vector<double> pivot(n, 0.0);
  double largest = 0;
  for (int k = 0; k < n; ++k) {
    for (Eigen::SparseMatrix<double>::InnerIterator it(u, k); it; ++it)
      if (it.row() == k) pivot[k] = std::abs(it.value());
    largest = std::max(largest, pivot[k]);
  }
  for (int k = 0; k < n; ++k)
    if (!(pivot[k] > kSmallestRelativePivot * largest))
      failed[find(owner_of_[column_of_pivot[k]])] = true;
  for (std::size_t o = 0; o < usable.size(); ++o) usable[o] = !failed[find(static_cast<int>(o))];
  return usable;
}

void frag_ref_mapping(const frag_ref& ref, double& slope, double& offset) {
  const double t0 = ref.t0, t1 = ref.t1, u0 = ref.u0, u1 = ref.u1;
  if (t0 == 0 && t1 == 1) {
    slope = u1 - u0;
    offset = 0;
  } else {
    slope = (u1 - u0) / (t1 - t0);
    offset = -slope * t0;
  }
  if (ref.reversed) {
    // t0 must land on u1: u = u1 - slope * (t - t0).
    offset = -offset;
    slope = -slope;
    offset += u1;
  } else {
    offset += u0;
  }
}

int curve_end_at(const curve& c, const frag_conn& junction, const std::vector<int>& taken) {
  if (c.v_segment.empty() || c.v_segment[0].v_frag_ref.empty()) return -1;
  const curve_segment& seg = c.v_segment[0];
  for (const frag_end& fe : junction.v_frag_end) {
    const f_curve* f = fe.fragment;
    bool held = false;
    for (const curve* h : f->v_curve) held = held || h == &c;
    if (!held) continue;
    const frag_ref& first = seg.v_frag_ref.front();
    const frag_ref& last = seg.v_frag_ref.back();
    // A closed curve of one fragment: its frag_ref runs from the fragment's t = 0 end
    // at the start; with several fragments the fragment tells which frag_ref it is.
    const frag_ref& ref = first.fragment == f ? first : last;
    int s = fe.end != 0 ? 3 : 0;
    if (ref.reversed) s = 3 - s;
    const int end = s == 0 ? 0 : seg.degree;
    if (std::find(taken.begin(), taken.end(), end) != taken.end()) continue;
    if (first.fragment != f && last.fragment != f) std::cout << "zilfhaczmlfcj;azmcf;j" << std::endl;
    return end;
  }
  return -1;
}

void gather_joint_fragments(const std::vector<frag_conn*>& junctions, std::vector<f_curve*>& fragments,
                            std::unordered_map<const f_curve*, int>& index_of) {
  for (frag_conn* j : junctions) {
    if (j->v_frag_end.size() >= 2) {
      for (const frag_end& fe : j->v_frag_end)
        if (index_of.emplace(fe.fragment, static_cast<int>(fragments.size())).second)
          fragments.push_back(fe.fragment);
    } else if (j->v_frag_end.size() == 1) {
      j->v_frag_end[0].fragment->fit_cubic();
    }
  }
}

// The joint fits' matrix keeps only written entries; what it hands the solver must be
// what the dense matrix of the same operations gives, bit for bit.

#include "graph/joint_system.h"

#include <cstring>
#include <random>

#include <gtest/gtest.h>

namespace {

// The dense substitution v = cm * m + cn * n: columns first, then rows.
void dense_tie(Eigen::MatrixXd& a, int v, int m, double cm, int n, double cn) {
  a.col(m) += cm * a.col(v);
  a.col(n) += cn * a.col(v);
  a.row(m) += cm * a.row(v);
  a.row(n) += cn * a.row(v);
  a.col(v).setZero();
  a.row(v).setZero();
}

void expect_same_sparse(const Eigen::SparseMatrix<double>& got, const Eigen::SparseMatrix<double>& want) {
  ASSERT_EQ(got.rows(), want.rows());
  ASSERT_EQ(got.nonZeros(), want.nonZeros());
  ASSERT_TRUE(got.isCompressed());
  for (Eigen::Index j = 0; j <= got.cols(); ++j) ASSERT_EQ(got.outerIndexPtr()[j], want.outerIndexPtr()[j]) << j;
  for (Eigen::Index k = 0; k < got.nonZeros(); ++k) {
    ASSERT_EQ(got.innerIndexPtr()[k], want.innerIndexPtr()[k]) << k;
    ASSERT_EQ(std::memcmp(&got.valuePtr()[k], &want.valuePtr()[k], sizeof(double)), 0)
        << k << ": " << got.valuePtr()[k] << " against " << want.valuePtr()[k];
  }
}

// Blocks of 4 variables filled as normal equations are (every entry of the block, some
// of them tiny or exactly cancelling), then seeded merges and ties as at junctions.
TEST(JointMatrix, MergesAndTiesHandTheSolverWhatTheDenseMatrixWould) {
  for (unsigned seed : {1u, 2u, 3u, 4u}) {
    SCOPED_TRACE(seed);
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> value(-2.0, 2.0);
    std::uniform_int_distribution<int> pick(0, 99);
    const int blocks = 25, n = 4 * blocks;
    Eigen::MatrixXd dense = Eigen::MatrixXd::Zero(n, n);
    joint_matrix sparse;
    sparse.set_zero(n);
    for (int b = 0; b < blocks; ++b)
      for (int pass = 0; pass < 3; ++pass)
        for (int r = 0; r < 4; ++r)
          for (int c = 0; c < 4; ++c) {
            double x = value(gen);
            if (pick(gen) < 5) x *= 1e-19;  // pruned by the view
            dense(4 * b + r, 4 * b + c) += x;
            sparse(4 * b + r, 4 * b + c) += x;
          }
    for (int step = 0; step < 40; ++step) {
      const int v = pick(gen), m = pick(gen), o = pick(gen);
      if (step % 4 == 3) {
        if (v == m || v == o || m == o) continue;
        dense_tie(dense, v, m, 2.0, o, -1.0);
        sparse.tie(v, m, 2.0, o, -1.0);
      } else {
        merge_matrix_variable(dense, m, v);
        sparse.merge(m, v);
      }
    }
    for (int i = 0; i < n; i += 7) {
      dense(i, i) = 1.0;
      sparse(i, i) = 1.0;
    }
    // Entry by entry (a zero may differ in sign only).
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) ASSERT_EQ(dense(i, j), sparse.value(i, j)) << i << ", " << j;
    Eigen::SparseMatrix<double> want = dense.sparseView(1e-5, 1e-12);
    want.makeCompressed();
    expect_same_sparse(sparse.sparse_view(1e-5, 1e-12), want);
  }
}

}  // namespace

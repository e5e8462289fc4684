#pragma once
// The least-squares system shared by the joint fits: normal equations over the
// control points of many fragments or curves, one matrix for both coordinates, end
// variables merged where things meet, and one sparse LU solve per coordinate.

#include <unordered_map>
#include <utility>
#include <vector>

#include <Eigen/Core>
#include <Eigen/SparseCore>

struct curve;
struct f_curve;
struct frag_conn;
struct frag_ref;

// The fragments that meet others at the junctions, once each in order of first appearance
// (which keeps the numbering, and so the rounding of a solve, the same from run to run),
// with their positions. A fragment alone at a junction is fitted on its own at once.
void gather_joint_fragments(const std::vector<frag_conn*>& junctions, std::vector<f_curve*>& fragments,
                            std::unordered_map<const f_curve*, int>& index_of);

// Adds the substitution v = m to a dense normal matrix: column m += column v, then
// row m += row v, then row and column v are zero. Does nothing when m == v (a closed
// stroke lists the same end twice).
void merge_matrix_variable(Eigen::MatrixXd& matrix, int m, int v);

// The same substitution on a right-hand side: rhs[m] += rhs[v], rhs[v] = 0.
void merge_rhs_variable(Eigen::VectorXd& rhs, int m, int v);

// The square matrix of joint normal equations, stored by column with the entries that
// were ever written (a system couples only the few ends that meet, so nearly all of an
// n-by-n matrix would be zeros). Every operation does, entry by entry, the arithmetic of
// the same operation on a dense matrix, so a solve sees the same values.
class joint_matrix {
 public:
  // n by n, all zero.
  void set_zero(int n);
  int size() const { return static_cast<int>(cols_.size()); }
  // The entry, created as 0 when it has not been written.
  double& operator()(int row, int col);
  // The entry's value; 0 when it has not been written.
  double value(int row, int col) const;
  // The substitution of merge_matrix_variable: column m += column v, then row m += row v
  // (entries that are not 0), then row and column v are zero; nothing when m == v.
  void merge(int m, int v);
  // The substitution v = cm * m + cn * n (all distinct): columns m and n take cm and cn
  // times column v, then rows m and n the same of row v; row and column v are zero.
  void tie(int v, int m, double cm, int n, double cn);
  // Row and column v become those of the unit equation; returns the entries (row, value)
  // that column v held in the other rows, for the caller's right-hand sides.
  std::vector<std::pair<int, double>> isolate(int v);
  // As Eigen's sparseView(reference, epsilon) of the dense matrix: every entry whose
  // magnitude is not at most |reference| * epsilon, compressed.
  Eigen::SparseMatrix<double> sparse_view(double reference, double epsilon) const;

 private:
  struct entry {
    int row;
    double value;
  };
  double* find(int row, int col);
  std::vector<std::vector<entry>> cols_;  // written entries of each column
  std::vector<std::vector<int>> rows_;    // columns of the written entries of each row
};

// Normal equations over n variables, each variable belonging to one "owner" (a
// fragment or a curve, numbered 0 .. nb_owner - 1).
class joint_system {
 public:
  // owner_of[i] is the owner of variable i; every owner number lies in [0, nb_owner).
  joint_system(std::vector<int> owner_of, int nb_owner);

  int size() const { return static_cast<int>(owner_of_.size()); }

  // For every owner whose own equations leave some combination of its points free (too
  // few distinct sample parameters for its degree, or no sample at all), adds a weak pull
  // of each of its points towards the next one (a chain of springs, 1e-6 of the owner's
  // largest eigenvalue). The free combinations then take the straightest control polygon
  // that fits the samples, the fitted ones move by a negligible amount, and the system
  // stays regular, so that such an owner no longer freezes every owner joined to it.
  // Call after all equations and before any merge; owners' variables are contiguous.
  // Returns how many owners were regularised.
  int regularise_underdetermined();

  // Substitutes v = m in the matrix and both right-hand sides, and records that the
  // owners of m and v now depend on each other's solution.
  void merge(int m, int v);

  // Substitutes v = cm * m + cn * n (all three distinct), the same way.
  void tie(int v, int m, double cm, int n, double cn);

  // Holds v at (px, py): its terms move to the other rows' right-hand sides and its own
  // equation becomes v = p, which the solve returns within rounding.
  void fix(int v, double px, double py);
  // v no longer holds equations of its own (merged away or tied).
  bool emptied(int v) const { return emptied_[v]; }

  // Solves matrix * x = rhs_x and matrix * y = rhs_y: the matrix goes through
  // sparseView(1e-5, 1e-12) and makeCompressed, then one UMFPACK factorisation serves
  // both right-hand sides (the y system has the same matrix). Merged-away variables get
  // a unit diagonal entry first, so they come out as 0 and leave the rest unchanged.
  // Returns, per owner, whether its solution is usable: false for every owner joined by
  // merges to a variable that came out infinite or not a number (a singular system), and
  // for all owners when the factorisation fails outright.
  std::vector<bool> solve();

  joint_matrix matrix;     // n by n, zero until filled
  Eigen::VectorXd rhs_x;   // n, zero until filled
  Eigen::VectorXd rhs_y;
  Eigen::VectorXd x;       // solutions, valid after solve() for usable owners
  Eigen::VectorXd y;

 private:
  int find(int owner);

  std::vector<int> owner_of_;
  std::vector<int> parent_;    // union-find over owners joined by merges
  std::vector<bool> emptied_;  // variable was merged away and holds no equation
};

// Segment parameter of a fragment parameter t, u = slope * t + offset, for a frag_ref:
// over [t0, t1] it runs from u0 to u1, or from u1 to u0 when reversed. In double from
// the float fields.
void frag_ref_mapping(const frag_ref& ref, double& slope, double& offset);

// Control-point index on the first segment of c of its end at the junction: the first
// entry of the junction whose fragment c holds gives the fragment end, turned around
// when its frag_ref is reversed; 0 for the segment's start, its degree for its end.
// Returns -1 when no entry's fragment belongs to c or c has no frag_ref. A fragment that
// is neither the first nor the last of the segment writes "zilfhaczmlfcj;azmcf;j" and
// the last frag_ref is used. Entries giving an index listed in `taken` are passed over:
// a closed curve, listed once per end at its one junction, finds its other end there.
int curve_end_at(const curve& c, const frag_conn& junction, const std::vector<int>& taken = {});

// Cubic Bernstein values at t in the expanded form of the joint fits.
inline void joint_cubic_basis(double t, double b[4]) {
  const double t2 = t * t;
  const double t3 = t2 * t;
  b[0] = ((3 * t2 - t3) - 3 * t) + 1;
  b[1] = (3 * t3 - 6 * t2) + 3 * t;
  b[2] = 3 * t2 - 3 * t3;
  b[3] = t3;
}

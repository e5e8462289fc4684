#pragma once
// Joint fits of a whole layer: every fragment (or curve) is refitted by weighted least
// squares, and the end control points of all that meet at one junction are a single
// shared variable, so their ends coincide afterwards. One sparse system per coordinate,
// solved with UMFPACK.
//
// Neither fit computes fit errors. A fragment or curve whose samples leave some of its
// points free (too few distinct parameters) gets the straightest control polygon that
// fits them, so it does not make the system singular. When the system is singular all
// the same (UMFPACK finds a zero pivot, or a solution is not finite, as with non-finite
// samples), the fragments or curves joined to the damaged variables through shared ends
// keep their previous control points, and one line saying how many were kept is written
// to standard output.

#include <list>
#include <vector>

#include <Eigen/Core>
#include <glm/vec2.hpp>

class joint_matrix;
struct curve;
struct frag_conn;
struct nconnection;

// Refits the fragments of the given junctions (the caller passes every junction of a
// layer). A junction of one fragment refits it alone with f_curve::fit_cubic, at once and
// with its errors; the fragments of junctions with two or more entries are refitted
// together as cubics, with one shared point per such junction, and their fit errors are
// left as they were. Needs v_t, v_point and v_weight of equal length; a fragment whose
// lengths differ contributes no equations.
void fit_fragments_jointly(const std::vector<frag_conn*>& junctions);

// Refits the first segment of every curve of the list at its degree (1 to 3; degree 0
// curves get no equations). Curves ending at one of the given connections (the caller
// passes those where at least two curves end) share their end points there. A
// connection where fewer than two curve ends are found writes "error  azertyuiazertazert"
// twice. Curves with another degree, or without a segment, keep their points, and so do
// the curves frozen in the view (main_gl_widget's fixed_curves): their points are held in
// the system, so the curves that meet them share their end points as they stand. A curve
// the user merged by hand (main_gl_widget's must_merge) and did not freeze shares no
// variable: one curve over a corner fits its samples badly, and would pull the junctions
// off the ink. It takes the others' shared points afterwards (fit_between_junctions).
void fit_curves_jointly(const std::vector<nconnection*>& connections, std::list<curve>& curves);

// Puts c's two ends at the points of their junctions and refits a quadratic's or cubic's
// inner points between them (fit_inner_points_between): at a junction where another curve
// ends that is not itself merged by hand, that curve's end point; elsewhere the point
// where the junction's fragments meet, c's own fragment's end point there. A curve
// without two connections, or an end without such a point, is left as it is. Its inner
// points are then kept inside the image, its ends held. The curve's mean error is not
// updated.
void fit_between_junctions(curve& c);

// Not called by either program: fit_curves_jointly plus a smooth join at every
// connection where exactly two curves (both of degree 2 or 3) end and their inner tangent
// directions before the fit (end point to inner neighbour) have a cosine below -0.9:
// the second curve's inner neighbour is tied to the mirror 2J - N of the first curve's
// inner neighbour N about the shared point J, in the system and in the result.
void fit_curves_jointly_smooth(const std::vector<nconnection*>& connections,
                               std::list<curve>& curves);

// Adds the samples of one fragment to the normal equations of a curve segment of the
// given degree (1, 2 or 3) whose variables start at base: matrix += w b b^T on the
// (degree + 1)-square diagonal block at base, rhs_x += (x w) b and rhs_y += (y w) b from
// base on. b is the Bernstein basis at u = t * slope + offset. With t0 = 0 and t1 = 1
// every sample is used, otherwise those with t0 <= t <= t1. basis is scratch of at least
// degree + 1 values. params, samples and weights have one entry per sample.
template <int degree>
void add_normal_equations(joint_matrix& matrix, Eigen::VectorXd& rhs_x, Eigen::VectorXd& rhs_y,
                          double* basis, double t0, double t1, int base, double slope,
                          double offset, const std::vector<double>& params,
                          const std::vector<glm::vec2>& samples, const std::vector<float>& weights);

extern template void add_normal_equations<1>(joint_matrix&, Eigen::VectorXd&, Eigen::VectorXd&,
                                             double*, double, double, int, double, double,
                                             const std::vector<double>&,
                                             const std::vector<glm::vec2>&,
                                             const std::vector<float>&);
extern template void add_normal_equations<2>(joint_matrix&, Eigen::VectorXd&, Eigen::VectorXd&,
                                             double*, double, double, int, double, double,
                                             const std::vector<double>&,
                                             const std::vector<glm::vec2>&,
                                             const std::vector<float>&);
extern template void add_normal_equations<3>(joint_matrix&, Eigen::VectorXd&, Eigen::VectorXd&,
                                             double*, double, double, int, double, double,
                                             const std::vector<double>&,
                                             const std::vector<glm::vec2>&,
                                             const std::vector<float>&);

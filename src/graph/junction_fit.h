#pragma once
// Fits at one junction: all fragments meeting there as cubics in one dense system of
// eight variables per fragment (x0..x3, y0..y3; fragment k owns 8k .. 8k + 7, in entry
// order), solved by a Jacobi SVD, and the choice of which end of each fragment lies at
// the junction. The operations are members of frag_conn (graph/f_curve.h); they are
// meant for junctions of a few fragments (a 8n-square system, 2^n end choices).

#include <Eigen/Core>
#include <glm/vec2.hpp>

// Holds the point of variables (v, v + 4) at `held` in the system matrix * u = rhs:
// both columns times the held coordinates are taken off the right side, then both rows,
// both columns and both right-side entries are zero.
void joint_fit_fix_point(Eigen::MatrixXd& matrix, Eigen::VectorXd& rhs, int v, glm::dvec2 held);

#pragma once
// Joint cubic fits solved densely by a Jacobi SVD (thin U and V): unweighted, eight
// variables per fragment or point list (x coefficients at 8j .. 8j + 3, y at 8j + 4 ..
// 8j + 7), end variables merged per junction as in the sparse joint fit. Neither program
// calls them; the system grows as (8 n)^2, so they suit a handful of fragments.

#include <utility>
#include <vector>

#include <glm/vec2.hpp>

struct frag_conn;

// As fit_fragments_jointly (same joint set, same lone refits with f_curve::fit_cubic, same
// merges and copy of the shared points), but unweighted and solved by the SVD.
void fit_fragments_jointly_svd(const std::vector<frag_conn*>& junctions);

// The same scheme for plain point lists: polylines[j] with parameters[j] (one per point),
// junctions as lists of (list index, end index 0 or 3), the first pair of each being the
// shared point. ctrl_polygons is replaced by one cubic (four points) per list.
void fit_polylines_jointly_svd(const std::vector<std::vector<glm::dvec2>>& polylines,
                               const std::vector<std::vector<double>>& parameters,
                               const std::vector<std::vector<std::pair<int, int>>>& junctions,
                               std::vector<std::vector<glm::dvec2>>& ctrl_polygons);

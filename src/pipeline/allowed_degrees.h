#pragma once
// The curve degrees the user allows (the view's "Curve degree" boxes) applied to a
// network. Every curve starts cubic and the degree move only avoids unticked degrees,
// so without these a run would keep every degree it started with.

#include <cstddef>

struct curve_network;

// The degree a curve of degree d takes under `allowed` (indexed by degree, 0 = not
// allowed): d when allowed or outside 1 to 3, else the nearest allowed lower degree,
// else the nearest allowed higher one; d when none of 1 to 3 is allowed.
int nearest_allowed_degree(const int (&allowed)[4], int d);

// nearest_allowed_degree under the view's allowed degrees; d itself without the view.
int allowed_degree_for(int d);

// Refits every curve whose first segment's degree the view does not allow at
// allowed_degree_for that degree (curve::refit_at_degree), except the curves the user
// froze, which keep their control points. Returns how many curves changed; none without
// the view.
std::size_t refit_at_allowed_degrees(curve_network& network);

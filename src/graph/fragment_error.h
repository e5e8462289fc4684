#pragma once
// Unweighted error measures of fragments against their own cubics (pixels^2). The
// per-fragment measure is f_curve::mean_squared_error (graph/f_curve.h).

#include <list>

#include "graph/f_curve.h"

// Mean over every sample of every fragment of the squared distance between the sample
// and its fragment's cubic at the sample's parameter; 0 without samples. Every fragment
// with samples needs four control points.
double fragments_mean_squared_error(const std::list<f_curve>& fragments);

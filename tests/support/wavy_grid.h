#pragma once
// A linked layer shaped like a sheet of graph paper drawn by hand, for annealing tests
// and benchmarks: a lattice of nodes (cols x rows) joined by horizontal and vertical
// fragments, rows (cols - 1) + cols (rows - 1) of them, each one cubic curve. The rows and columns are
// gentle waves, so neighbouring fragments of a line continue each other and merging
// them costs little fit error, while a whole line fits one cubic poorly.

#include "graph/layer_graph.h"

namespace fixture {

// spacing: pixels between lattice nodes; samples: per fragment, ends included.
// Junctions in row-major lattice order, fragments horizontal ones first. Linked as
// link_one_curve_per_fragment does (cubic curves, one nconnection per junction).
void wavy_grid(layer_graph& lg, int cols, int rows, double spacing = 20.0, int samples = 12);
// A square lattice: 2 side (side - 1) fragments.
inline void wavy_grid(layer_graph& lg, int side) { wavy_grid(lg, side, side); }

}  // namespace fixture

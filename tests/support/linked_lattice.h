#pragma once
// A lattice layer taken through extraction step 9: one curve per fragment, one
// connection per junction, everything fitted.

#include "graph/curve_network.h"

// Appends one layer to an empty network holding build_fragment_lattice(cols, rows, seed), then
// links the network (curve_network::link). Fragments are numbered as the lattice makes
// them: per node in row order, first the one to its right, then the one below.
layer_graph& add_linked_lattice(curve_network& network, int cols, int rows, unsigned seed);

// The i-th fragment of the layer, in list order.
f_curve* fragment_at(layer_graph& lg, int i);

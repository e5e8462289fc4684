#pragma once
// Fragments sampled from known cubics for the joint-fit tests and benchmarks: loose
// fragments with unfitted control points, their junctions, and a lattice layer.

#include <initializer_list>

#include "graph/layer_graph.h"
#include "support/layer_fixtures.h"

// Appends a fragment of n samples of c (fixture::sample_cubic), all of the given weight,
// with its control points emptied so that only a fit can bring them back.
f_curve& add_sampled_fragment(layer_graph& lg, const fixture::cubic& c, int n,
                              float weight = 1.0f);

// Appends a junction with the given ends and lists it in each fragment's v_frag_conn.
frag_conn& add_junction(layer_graph& lg, std::initializer_list<frag_end> ends);

// A lattice of cols x rows nodes 40 pixels apart, a fragment from each node to its right
// and to its lower neighbour (2 cols rows - cols - rows fragments, each from its t = 0
// end), each an exact cubic bent by a seeded random amount, sampled 30 times with seeded
// weights in [0.5, 1.5], control points emptied. One junction per node, where the ends
// meet exactly.
void build_fragment_lattice(layer_graph& lg, int cols, int rows, unsigned seed);

#pragma once
// Checks of the fragment layer of a layer graph (fragments, junctions, edges), valid
// before curves exist as well as after; for tests to run after every edit.

#include <string>

struct layer_graph;

// Returns one readable line per violation, empty when the fragment links are consistent:
// - every fragment, junction, edge and curve pointer names an element of this layer;
// - f_curve::v_edge and edge::v_f_curve mirror each other;
// - f_curve::v_curve and curve::v_f_curve mirror each other;
// - a fragment lists a junction exactly when the junction has a frag_end naming it;
// - frag_conn::v_edge and edge::v_frag_conn mirror each other;
// - each fragment's v_t, v_point and v_weight have one entry per sample;
// - a fragment with junctions has its t = 0 end and its t = 1 end at exactly one
//   junction entry each.
std::string check_fragment_links(const layer_graph& lg);

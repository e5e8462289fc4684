#pragma once
// Hand-built topological graphs for the ordering and network-region tests: nodes
// with one junction each, straight one-cubic fragments, edges and regions, linked
// the way the network build links them. Every call appends to the layer's lists.

#include <vector>

#include <glm/vec2.hpp>

#include "graph/layer_graph.h"

namespace topology_builder {

// A node with its own junction (node::v_frag_conn[0]).
node* add_node(layer_graph& g);

// A junction without a node, as a fragment cut makes.
frag_conn* add_junction(layer_graph& g);

// A fragment from junction a (its t = 0 end) to junction b (its t = 1 end): samples
// evenly spaced on the segment pa -> pb, weight 1, the straight cubic as control points.
f_curve* add_fragment(layer_graph& g, frag_conn* a, frag_conn* b, glm::dvec2 pa, glm::dvec2 pb, int samples = 11);

// An edge from n0 to n1 holding the fragments and junctions in the given (possibly
// scrambled) order; links fragments, junctions and nodes to it.
edge* add_edge(layer_graph& g, node* n0, node* n1, const std::vector<f_curve*>& fragments,
               const std::vector<frag_conn*>& junctions);

// A region with no boundary yet.
region* add_region(layer_graph& g);

// e separates left and right: both regions get the edge and its nodes, the nodes and
// the edge the regions.
void bound(edge* e, region* left, region* right);

// The network link, done by hand: one curve per fragment (no segments) and one
// connection per junction, ends recorded both ways.
void link_network(layer_graph& g);

}  // namespace topology_builder

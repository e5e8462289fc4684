#pragma once
// Cutting a closed boundary (an edge that touches no node, such as the boundary of an
// island region) into two edges between two new nodes.

#include <cstdint>
#include <map>

#include "pipeline/pixel_graph.h"

// Acts only when nodes_of_edge[f] is empty (the entry is created when missing).
// With S the pixels of edge f (edge_of_pixel == f) among edge_pixels_by_pair of f's
// pair, taken from `edge_pairs`:
//   - p0 = the first pixel of S, p1 = the pixel of S farthest from p0, p2 = the pixel of
//     S whose smaller squared distance to p0 and p1 is largest (earlier pixels win ties);
//   - p0 and p1 become junction pixels and the new nodes N and N + 1 (N = the node count,
//     v_node_centroid.size()), with their centroid and node pixel; they leave the edge
//     pixel sets and edge_of_pixel, and join junction_pixels_by_pair of the pair;
//   - the new edge g = edge_count (edge_count grows by 1) takes the arc of f that holds
//     p2: a flood from p2 through f's pixels that stops spreading within chessboard
//     distance 2 of p0 or p1. Both f and g run between N and N + 1, and g joins
//     edges_of_pair of the pair.
//   - where a thick band turns a sharp corner at p0 or p1, the flood would run round the
//     node into the other arc and take all of f: the distance then grows (up to 12)
//     until it leaves f pixels away from the nodes, and f's pixels within it that g did
//     not take join the nearer node as junction pixels (centroid and node pixel as for
//     any cluster), so that both arcs reach both nodes.
// rows and cols are the window size (the flood's clipping).
void split_closed_edge(pixel_graph& graph, std::map<int32_t, ipair>& edge_pairs, int32_t f,
                       int32_t& edge_count, int rows, int cols);

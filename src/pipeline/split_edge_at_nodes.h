#pragma once
// Cutting an edge that does not run from one node to another into arcs that do: a loop
// that an open stroke touches once (one node), a traced stroke whose far end got no node
// (one node), or a band that passes beside a node without being cut by it (three or more
// nodes). Step 7 makes fragments only of edges with two nodes, so without the cut such
// an edge's pixels would end up in no fragment.

#include <cstdint>
#include <map>
#include <vector>

#include "pipeline/pixel_graph.h"

// Cuts edge f, whose pixels (window coordinates, edge_of_pixel == f) are `pixels`, at
// its nodes (nodes_of_edge[f]):
//   1. the pixels within chessboard distance 2 of a pixel of one of f's nodes are held
//      back; the rest falls apart into 8-connected runs, and each run ends at the nodes
//      that have a pixel within chessboard distance 3 of it;
//   2. a run that ends at one node only (a loop, or a stroke with a free end) gets a new
//      node at its pixel farthest from that node, walking through the run (the first
//      pixel reached wins ties), and is cut again there, so that a loop becomes two arcs
//      and a free stroke one; a run that ends at three or more nodes is cut across at
//      each node but the two farthest apart along it (the pixels whose walking distance
//      from one of those two is within 1 of the mean over the pixels that end at the
//      node), and the pieces are taken again;
//      where that cuts nothing apart, the run runs between the two far nodes;
//   3. the first run keeps the id f, every further one gets the id edge_count (which
//      grows by 1) and joins edges_of_pair of f's pair (from `edge_pairs`);
//   4. the held-back pixels go to the run that reaches them first, by 8-neighbour steps
//      through f's pixels; pixels no run reaches stay with f;
//   5. nodes_of_edge and edges_of_node are rebuilt for f and the new ids.
// A new node pixel becomes a junction pixel of f's pair with node id v_node_centroid's
// size and its own centroid and node pixel (as split_closed_edge places its nodes).
// Does nothing when f has no node or when f is one run between exactly two nodes.
// Returns whether f was cut or got a node.
bool split_edge_at_nodes(pixel_graph& graph, std::map<int32_t, ipair>& edge_pairs, int32_t f,
                         const std::vector<glm::ivec2>& pixels, int32_t& edge_count);

#pragma once
// Extraction step 5: the pixel-level graph of every raster layer (edges, nodes and their
// links), from the edge and junction pixels of step 4.

#include <cstdint>
#include <list>

#include <opencv2/core/mat.hpp>

#include "pipeline/layer.h"

// Boundaries with fewer pixels than this become junction pixels when
// config/min_nb_pixel_in_edge.conf is missing or holds no integer.
constexpr int32_t default_min_nb_pixel_in_edge = 20;

// Reads the one integer of `path` (formatted stream input); the default above when the
// file is missing or does not start with an integer.
int32_t read_min_nb_pixel_in_edge(const char* path = "config/min_nb_pixel_in_edge.conf");

// Step 5 on every layer in list order (layers whose v_peak holds one entry are skipped),
// reading config/min_nb_pixel_in_edge.conf anew for every layer:
//   1. every pair of edge_pixels_by_pair with fewer pixels than min_nb_pixel_in_edge
//      (compared as an unsigned count, so a negative value absorbs every boundary) has
//      its pixels moved from edge_pixels to junction_pixels (the per-pair entry stays);
//   2. edges: every 8-connected run of non-junction edge pixels of one pair gets an edge
//      id from 0, in pair order then pixel order (edge_of_pixel, edges_of_pair);
//   3. nodes: every 8-connected cluster of junction pixels gets a node id from 0, in pixel
//      order (node_of_pixel), linked both ways with the edges it touches (nodes_of_edge,
//      edges_of_node);
//   4. v_node_centroid (mean pixel) and v_node_pixel (greatest pixel in (x, y) order);
//   5. every edge with other than two nodes is cut and coloured black: one without nodes
//      by split_closed_edge, one with one node or three and more by split_edge_at_nodes
//      (so that no edge pixel is left in an edge that step 7 cannot build); the others
//      and the edges the cuts add get random_colour x 255; nodes with two or more edges
//      get random_colour x 255,
//      the others white (v_node_color); every node id gets an edges_of_node entry;
//   6. every edge pixel is painted in its edge's colour in `region_image` (not in the
//      window's top and left margins, nor outside the image).
// Reads layer::graph (edge_pixels_by_pair, edge_pixels, junction_pixels), the window
// size (layer::window_size), layer::margin and layer::offset_x/_y. The colours are drawn
// from the C rand source: per layer, the 2-node edges in id order, the added edges, then
// the nodes with 2 or more edges.
void extract_nodes(cv::Mat* region_image, std::list<layer>* layers);

#pragma once
// Extraction step 4, dangling strokes: distance of every stroke pixel from the
// current pixel graph.

#include <list>

#include "pipeline/layer.h"

// For every layer (single-label layers included): layer::graph_dist becomes a new
// CV_32SC1 window image holding, for every pixel reached, its ring distance (8-neighbour
// steps) from the edge and junction pixels of layer::graph, 0 on those pixels. The flood
// runs only through pixels that are not the inside of a kept region (stroke_depth != 0
// or region_mask == 0). A stroke that the flood does not reach (an 8-connected run of
// such pixels touching no edge or junction pixel: a drawing without enclosed regions, or
// a stroke standing alone in a region) is then measured from one of its own ends, its
// pixel farthest, walking through it, from its pixel farthest from its first pixel in
// row-major order; that end gets 0 but joins no pixel set of the graph. Every pixel
// still not reached is -1.
// Reads layer::graph.edge_pixels, .junction_pixels, layer::stroke_depth,
// layer::region_mask and the window size (layer::ink_dist).
void compute_graph_distance(std::list<layer>& layers);

#pragma once
// Extraction step 4, dangling strokes: distance of every stroke pixel from the
// current pixel graph.

#include <list>
#include <vector>

#include <opencv2/core/mat.hpp>

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

// The same for one layer. When `from_end` is given it becomes a CV_8UC1 window mask, 1
// on the pixels of the strokes measured from their own end (empty when the stroke images
// are missing, see below).
void compute_layer_graph_distance(layer& l, cv::Mat* from_end = nullptr);

// Brings layer::graph_dist, computed by compute_layer_graph_distance with `from_end`
// (and kept up to date by this function since), to the values that call would give now
// that the pixels `added` joined the edge or junction pixels of layer::graph (nothing
// else may have changed). It only walks where distances fall: the strokes around the
// added pixels, and the strokes measured from their own end that the added pixels now
// reach. Falls back to the whole computation when `from_end` is empty. When given,
// `dirty_rows` (one entry per window row) gets 1 at every row where a value changed.
void update_layer_graph_distance(layer& l, cv::Mat& from_end, const std::vector<glm::ivec2>& added,
                                 std::vector<char>* dirty_rows = nullptr);

#pragma once
// Extraction step 6, first part: the nodes in the region image.

#include <list>

#include <opencv2/core/mat.hpp>

#include "pipeline/layer.h"

// Paints every node pixel (layer::graph.node_of_pixel) of every layer whose v_peak holds
// more than one entry in its node's colour (v_node_color) into `region_image`, except in
// the window's top and left margins and outside the image. Reads layer::margin and
// layer::offset_x/_y; changes nothing in the layers.
void paint_nodes(cv::Mat* region_image, const std::list<layer>& layers);

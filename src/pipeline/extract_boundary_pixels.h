#pragma once
// Extraction step 4, first part: boundary (edge) pixels and junction pixels of the
// grown label image.

#include <list>

#include <opencv2/core/mat.hpp>

#include "pipeline/layer.h"

// For every layer whose v_peak holds more than one entry, every window pixel p whose
// 3 by 3 block (window_3x3) holds labels other than p's own label F:
//   - exactly one other label d: p is an edge pixel of the pair (min(F, d), max(F, d));
//   - two or more: p is a junction pixel, listed under every pair (F, d).
// Reads layer::labels (after the label growth), layer::margin, layer::offset_x/_y.
// Fills layer::graph: edge_pixels_by_pair, edge_pixels, junction_pixels_by_pair,
// junction_pixels (window coordinates; entries are added, nothing is cleared).
//
// `boundary_image` is replaced by a black CV_32FC3 image of `region_image`'s size (empty
// when the region image is: nothing is painted then); a null `boundary_image` makes none.
// Edge pixels are painted black in the region image and white in the boundary image,
// junction pixels white in both, except in the window's top and left margins and
// outside the image.
void extract_boundary_pixels(std::list<layer>& layers, cv::Mat* region_image,
                             cv::Mat* boundary_image);

#pragma once
// Layers written by hand for the raster step tests: a label window given as text, one
// character per pixel ('0' to '9'), with the window origin at image (0, 0).

#include <string>
#include <vector>

#include "pipeline/layer.h"

// A layer whose labels are `rows` (all rows the same length), v_peak with one entry per
// label 0 .. nb_labels - 1, margin `margin` and offsets (margin, margin), so window pixel
// (x, y) paints at image (x - margin, y - margin). ink_dist has the window size (all 1),
// stroke_depth is 0 and region_mask 1 everywhere.
layer hand_layer(const std::vector<std::string>& rows, int nb_labels, int margin = 0);

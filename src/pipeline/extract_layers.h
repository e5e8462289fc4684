#pragma once
// Extraction step 0: the ink of the input image split into raster layers, each with its
// window and ink distance image.

#include <list>

#include <opencv2/core/mat.hpp>

#include "pipeline/layer.h"

// A pixel of the input image is ink when its value is not above this float (the float
// nearest to 239/255): grey bytes 0 to 238 are ink, 239 to 255 paper.
constexpr float ink_threshold = 0.9372549f;
inline bool is_ink(float v) { return v <= ink_threshold; }

// Reads the one number of config/color_thresh.conf. The value takes no part in any
// computation (the ink test above is fixed); 0 when the file is missing or unreadable.
double read_color_thresh();

// Rebuilds `layers` from the input image (CV_32FC1, values in [0, 1]).
//   separate_layers true: one layer per 8-connected ink component, in the order of each
//     component's first pixel in a row-major scan; components of fewer than
//     `min_layer_size` pixels are dropped.
//   separate_layers false: all ink in one layer, whatever its size.
// Fills layer::ink_pixels (image coordinates), min_x, min_y, width, height. Replaces
// the region image by a CV_32FC3 image of the input size, black, with every layer's ink
// painted in one random colour per layer (drawn in list order). No ink, or an empty
// input image, gives an empty list (and an empty region image for an empty input).
void extract_layers(cv::Mat* input_image, std::list<layer>* layers, cv::Mat* region_image,
                    int min_layer_size, bool separate_layers);

// Sets each layer's window (margin 50, offset_x, offset_y) and layer::ink_dist: the
// chessboard distance from the layer's ink (other layers' ink counts as paper), with the
// whole window border and everything joined to it through pixels at least as far from
// the ink clamped to m, the least value on the window border. Reads and ignores
// config/color_thresh.conf. The two ints are ignored.
void compute_ink_distance(std::list<layer>& layers, int rows, int cols);

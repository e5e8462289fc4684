#pragma once
// Extraction step 0: the ink of the input image split into raster layers, each with its
// window and ink distance image.

#include <list>
#include <string>

#include <opencv2/core/mat.hpp>

#include "pipeline/layer.h"

// A pixel of the input image is ink when its value is not above the ink threshold. The
// shipped and default one is this float (the nearest to 239/255): grey bytes 0 to 238 are
// ink, 239 to 255 paper.
constexpr float ink_threshold = 0.9372549f;
inline bool is_ink(float v, float threshold = ink_threshold) { return v <= threshold; }

// The ink threshold: the first word of the file at `path`, a number from 0 up to (not
// including) 1, the fraction of white at and below which a pixel is ink. A missing file,
// or a first word that is not such a number, gives ink_threshold with one line on
// standard error naming the file.
float read_ink_threshold(const char* path = "config/color_thresh.conf");

// When more than half of the input image (CV_32FC1, values in [0, 1]) is ink under
// `threshold`, as when a scan's grey paper is darker than the threshold, one line naming
// `name`: the share of ink, the grey of the paper (the commonest grey above the split
// that Otsu's method finds in the image's histogram) and a threshold halfway between it
// and the commonest grey below the split (the ink). Empty otherwise.
std::string mostly_ink_advice(const cv::Mat& input_image, float threshold, const std::string& name);

// Rebuilds `layers` from the input image (CV_32FC1, values in [0, 1]), whose pixels are
// ink when their value is not above `threshold`, except the JPEG ringing beside darker
// ink: an 8-connected component of such pixels whose darkest value lies less than half
// as far below the threshold as the darkest pixel within 16 input pixels (8 sketch
// pixels, chessboard) of it is paper; and so are the whiskers of ringing on a component:
// its pixels less than a quarter as far below the threshold as its darkest that lie more
// than 4 steps (8-neighbour, through the component) from its darker pixels.
//   separate_layers true: one layer per 8-connected ink component, in the order of each
//     component's first pixel in a row-major scan; components of fewer than
//     `min_layer_size` pixels are dropped.
//   separate_layers false: all ink in one layer, whatever its size.
// Fills layer::ink_pixels (image coordinates), min_x, min_y, width, height. Replaces
// the region image by a CV_32FC3 image of the input size, black, with every layer's ink
// painted in one random colour per layer (drawn in list order). No ink, or an empty
// input image, gives an empty list (and an empty region image for an empty input).
// A null `region_image` paints nothing (the colours are drawn all the same); the later
// steps likewise paint nothing into an empty region image, so that a run that shows no
// pictures (the batch program) holds none.
void extract_layers(cv::Mat* input_image, std::list<layer>* layers, cv::Mat* region_image,
                    int min_layer_size, bool separate_layers, float threshold = ink_threshold);

// Sets each layer's window (margin 50, offset_x, offset_y) and layer::ink_dist: the
// chessboard distance from the layer's ink (other layers' ink counts as paper), with the
// whole window border and everything joined to it through pixels at least as far from
// the ink clamped to m, the least value on the window border. The two ints are ignored.
void compute_ink_distance(std::list<layer>& layers, int rows, int cols);

#pragma once
// Extraction step 1: the regions of every layer (4-connected areas of non-ink window
// pixels) with their depth, size, peak and colour; thin or small regions are dropped.
// Also the drop test and the region painting that steps 2 and 3 repeat.

#include <list>

#include <opencv2/core/mat.hpp>

#include "pipeline/layer.h"

// Colour of the outside region and of ink (label 0) in the layer tables.
const glm::vec3 outside_colour(255.0f, 230.0f, 150.0f);

// Reads layer::ink_dist; fills layer::labels (window, -1 none left: 0 on ink, 1, 2, ...
// by a row-major scan, label 1 holding the window corner) and appends to the five
// per-label tables. Regions whose depth (v_max_ink_dist) is below `least_depth` or whose
// size (v_nb_pixel) is below `least_size` are dropped (v_discarded 1, colour white); the
// outside label is always kept and coloured outside_colour, label 0 always dropped and
// black. Region image: set white, then every layer's regions painted (paint_regions).
void label_regions(cv::Mat& region_image, std::list<layer>& layers, int least_depth, int least_size);

// The label at window (0, 0).
int outside_label(const layer& l);

// Drop test over labels >= 1 (only when there are at least 2 labels): a label below
// either threshold becomes dropped and white. Never keeps a dropped label.
void drop_small_regions(layer& l, int least_depth, int least_size);

// Paints the window interior (margin <= wx < cols - margin, likewise rows) of one layer
// into the region image at image position (wx - offset_x, wy - offset_y): every pixel
// whose label is not the outside label, in v_color of its label. So the last column and
// row of the ink bounding box, and the outside region, are never painted. A byte image
// takes the bytes its floats would show (paint_colour).
void paint_regions(const layer& l, cv::Mat& region_image);

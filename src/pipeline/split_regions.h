#pragma once
// Extraction step 2: regions made of two hills joined by a narrow neck are cut into two
// labels (separating areas that a gap in a stroke had joined); then the region mask and
// the depth of every stroke pixel from the kept regions.
//
// Depth is the ink distance d (layer::ink_dist). A region of height H (its greatest d)
// is descended level by level from its peak; a pixel of greater d met at level f is a
// separate hill when f < neck_ratio x H and H - f > neck_margin. The saddle pixels
// between that hill and the region's own hill are cut (d set to 0, listed in
// layer::neck_pixels) and the hill becomes a new label when its own height m also
// passes m x neck_ratio > f and m - f > neck_margin and the cut really separates it. No
// split is kept that cuts a region around a closed stroke lying inside it (a ring in a
// frame): its necks join two strokes across open paper and close no gap. Nor is one kept
// whose cut runs along a channel of paper between the sides of strokes (a jigsaw knob on
// its narrow neck, a window close to a wall): a cut that closes a gap has a stroke end
// beside it, ink that runs away from the cut rather than across it.

#include <list>

#include <opencv2/core/mat.hpp>

#include "pipeline/layer.h"

// Reads layer::labels, ink_dist and the per-label tables of step 1. Changes labels,
// ink_dist (cut necks 0), neck_pixels, appends the tables of new labels, repeats the drop
// test of step 1, fills layer::region_mask (CV_8SC1, 1 on kept labels, 0 on ink and
// dropped labels) and paints the regions into the region image (not cleared first).
void split_regions(cv::Mat* region_image, std::list<layer>& layers, int least_depth,
                   int least_size, float neck_ratio, int neck_margin);

// Reads layer::labels (ink is label 0, as the split leaves it; so before the label growth)
// and region_mask; fills layer::stroke_depth: 0 on kept-region
// pixels, ring distance (3 x 3) from the kept regions on the ink and on every pixel joined
// to it through non-kept pixels, -1 where no kept region is reached.
void compute_stroke_depth(std::list<layer>& layers);

// Offered for inspection, changes nothing outside the call: per kept label, masks of the
// pixels whose ink distance exceeds max(least_depth, int(max depth x ratio)). The ratio is
// passed as the bits of a float in an int; the other two arguments are ignored.
void threshold_region_hills(const cv::Mat& unused_image, std::list<layer>& layers, int least_depth,
                            int unused, int neck_ratio_bits);

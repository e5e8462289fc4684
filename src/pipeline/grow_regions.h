#pragma once
// Extraction step 3: every stroke pixel handed to a region. Dropped regions are emptied,
// then the kept labels grow into all label-0 pixels in rings of 4-neighbour steps, so
// that two neighbouring regions meet in the middle of the stroke between them.

#include <list>

#include <opencv2/core/mat.hpp>

#include "pipeline/layer.h"

// Reads layer::labels, v_discarded, v_color. Changes layer::labels (dropped labels become
// 0, then every label-0 pixel that a kept region reaches through label-0 pixels takes the
// label it is reached from first: fewest steps, then queue order), fills
// layer::grow_level (pixel -> ring, 0 next to the region) and layer::nb_grow_level
// (greatest ring + 1, 0 when nothing grew). The per-label tables are not changed. Layers
// with only the ink label are left alone. Region image: set white, then repainted.
void grow_regions(std::list<layer>& layers, cv::Mat* region_image);

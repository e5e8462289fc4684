#pragma once
// The extraction's steps as its own functions run them, without the worker: the region
// picture stays in floats throughout, for comparing with what the programs make.

#include <list>

#include <opencv2/core/mat.hpp>

#include "pipeline/extract_layers.h"
#include "pipeline/layer.h"
#include "pipeline/region_params.h"

namespace fixtures {

// Steps 0 to 4 up to the boundary pixels: the layers of `input`, their ink distance,
// regions, region splits, stroke depth, region growth and boundary pixels, painting
// `region_image` (and `boundary_image` when given). The caller seeds rand() for the
// colours.
void run_steps_to_boundary_pixels(cv::Mat& input, std::list<layer>& layers, cv::Mat& region_image,
                                  cv::Mat* boundary_image, const region_params& rp, int min_layer_size,
                                  bool separate_layers, float threshold = ink_threshold);

}  // namespace fixtures

#pragma once
// Drawings taken through the whole extraction, steps 0 to 9, for tests that need a real
// curve network.

#include <list>
#include <memory>

#include <opencv2/core/mat.hpp>

#include "graph/curve_network.h"
#include "pipeline/layer.h"
#include "pipeline/region_params.h"

namespace fixtures {

struct extracted_network {
  std::list<layer> layers;
  cv::Mat region_image;
  cv::Mat boundary_image;
  curve_network network;
};

// Steps 0 to 9 on a sketch (CV_8UC1, 255 paper, 0 ink, taken pixel for pixel as the
// input image): all ink in one layer, `open_passes` open-stroke passes (0: none, as in
// the batch program), and step 8 as the batch driver runs it (one joint fit per layer,
// then per layer the split and one joint fit) when `refine` is set. No picture is written.
std::unique_ptr<extracted_network> extract_network(const cv::Mat& sketch, bool refine = true,
                                                   const region_params& params = region_params{},
                                                   int open_passes = 1);

}  // namespace fixtures

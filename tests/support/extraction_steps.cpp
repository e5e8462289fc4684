#include "support/extraction_steps.h"

#include "pipeline/extract_boundary_pixels.h"
#include "pipeline/grow_regions.h"
#include "pipeline/label_regions.h"
#include "pipeline/split_regions.h"

namespace fixtures {

void run_steps_to_boundary_pixels(cv::Mat& input, std::list<layer>& layers, cv::Mat& region_image,
                                  cv::Mat* boundary_image, const region_params& rp, int min_layer_size,
                                  bool separate_layers, float threshold) {
  extract_layers(&input, &layers, &region_image, min_layer_size, separate_layers, threshold);
  compute_ink_distance(layers, input.rows, input.cols);
  label_regions(region_image, layers, rp.least_depth, rp.least_size);
  split_regions(&region_image, layers, rp.least_depth, rp.least_size, rp.neck_ratio, rp.neck_margin);
  compute_stroke_depth(layers);
  grow_regions(layers, &region_image);
  extract_boundary_pixels(layers, &region_image, boundary_image);
}

}  // namespace fixtures

#include "support/network_fixtures.h"

#include "pipeline/compute_graph_distance.h"
#include "pipeline/compute_sample_weights.h"
#include "pipeline/extract_boundary_pixels.h"
#include "pipeline/extract_nodes.h"
#include "pipeline/paint_nodes.h"
#include "pipeline/trace_edge_one_node.h"
#include "support/sketch_fixtures.h"

namespace fixtures {

std::unique_ptr<extracted_network> extract_network(const cv::Mat& sketch, bool refine, const region_params& params,
                                                   int open_passes) {
  const cv::Mat input = as_input_image(sketch);
  extraction ex = run_region_steps(input, params);
  auto out = std::make_unique<extracted_network>();
  out->layers = std::move(ex.layers);
  out->region_image = ex.region_image;
  extract_boundary_pixels(out->layers, &out->region_image, &out->boundary_image);
  for (int i = 0; i < open_passes; ++i) {
    compute_graph_distance(out->layers);
    if (!trace_edge_one_node(out->layers)) break;
  }
  extract_nodes(&out->region_image, &out->layers);
  paint_nodes(&out->region_image, out->layers);
  compute_sample_weights(out->layers);
  out->network.build(&out->layers, input.rows, input.cols);
  if (refine) {
    for (layer_graph& lg : out->network) lg.fit_fragments_at_junctions();
    for (layer_graph& lg : out->network) {
      lg.split_fragments();
      lg.fit_fragments_at_junctions();
    }
  }
  out->network.link();
  return out;
}

}  // namespace fixtures

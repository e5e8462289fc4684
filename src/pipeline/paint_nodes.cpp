#include "pipeline/paint_nodes.h"

#include "pipeline/window_painting.h"

void paint_nodes(cv::Mat* region_image, const std::list<layer>& layers) {
  for (const layer& l : layers) {
    if (l.v_peak.size() <= 1) continue;
    for (const auto& [p, id] : l.graph.node_of_pixel)
      paint_window_pixel(*region_image, l, p, l.graph.v_node_color[id]);
  }
}

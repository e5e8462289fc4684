#include "pipeline/compute_sample_weights.h"

void sample_weight_functor::operator()(const std::map<glm::ivec2, int32_t>& pixels,
                                       float factor) {
  const float levels = static_cast<float>(owner.nb_grow_level + 5);
  for (const auto& entry : pixels) {
    const glm::ivec2& p = entry.first;
    const int32_t level = grow_level[p];
    const float weight = (1.0f - static_cast<float>(level) / levels) * factor;
    sample_weight.insert({p, weight});
  }
}

void compute_sample_weights(std::list<layer>& layers) {
  for (layer& l : layers) {
    if (l.v_peak.size() <= 1) continue;
    sample_weight_functor weigh(l);
    weigh(l.graph.edge_of_pixel, 1.0f);
    weigh(l.graph.node_of_pixel, 0.01f);
  }
}

#include "pipeline/compute_sample_weights.h"

namespace {

// Finds `p` in `m`, adding `value` under it when missing. `at` is the position reached
// for the previous (smaller) pixel: dense pixel runs step forward from it, sparse ones
// search the map.
template <class Map>
typename Map::iterator find_or_add(Map& m, typename Map::iterator& at, const glm::ivec2& p,
                                   const typename Map::mapped_type& value, bool dense) {
  const std::less<glm::ivec2> before;
  if (dense) {
    while (at != m.end() && before(at->first, p)) ++at;
  } else {
    at = m.lower_bound(p);
  }
  if (at == m.end() || before(p, at->first)) at = m.emplace_hint(at, p, value);
  return at;
}

}  // namespace

void sample_weight_functor::operator()(const std::map<glm::ivec2, int32_t>& pixels,
                                       float factor) {
  const float levels = static_cast<float>(owner.nb_grow_level + 5);
  // The pixels come in the maps' own order; when they are many, walking the maps
  // alongside them is cheaper than searching.
  const bool dense_levels = pixels.size() * 8 > grow_level.size();
  const bool dense_weights = pixels.size() * 8 > sample_weight.size();
  auto level_at = grow_level.begin();
  auto weight_at = sample_weight.begin();
  for (const auto& entry : pixels) {
    const glm::ivec2& p = entry.first;
    const int32_t level = find_or_add(grow_level, level_at, p, 0, dense_levels)->second;
    const float weight = (1.0f - static_cast<float>(level) / levels) * factor;
    // An existing weight is kept.
    find_or_add(sample_weight, weight_at, p, weight, dense_weights);
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

#include "app/pick_search.h"

#include <iostream>
#include <limits>

#include "graph/curve_network.h"

glm::vec2 pick_point(int x, int y, const float viewport[4], float zoom, float pan_x, float pan_y,
                     int cols, int rows) {
  const float u = (x - viewport[0]) / (viewport[2] * zoom) + 0.5f - 0.5f / zoom - 0.5f * pan_x;
  const float v = (y - viewport[1]) / (viewport[3] * zoom) + 0.5f - 0.5f / zoom + 0.5f * pan_y;
  return {u * cols, v * rows};
}

namespace {

struct candidate {
  selection_entry pick{nullptr, nullptr};
  float squared_distance = std::numeric_limits<float>::infinity();
};

// The first fragment of the first layer holding fragments, when the index has it.
candidate first_fragment_candidate(curve_network& network, const pick_index_map& index,
                                   glm::vec2 p) {
  candidate best;
  for (layer_graph& lg : network) {
    if (lg.f_curves.empty()) continue;
    layer_graph* L = &lg;
    f_curve* f = &lg.f_curves.front();
    const auto it = index.find(L);
    if (it != index.end() && it->second.count(f)) {
      nearest_parameter_on_bezier_in_copy(0, 1, &best.squared_distance, it->second, f, p);
      best.pick = {L, f};
    }
    break;
  }
  return best;
}

void take_nearer_entries(layer_graph* L, const layer_pick_index& map, glm::vec2 p, candidate& best) {
  for (const layer_pick_index::value_type& entry : map) {
    float d = 0;
    nearest_parameter_on_bezier(0, 1, &d, entry, p);
    if (d < best.squared_distance) best = {{L, entry.first}, d};
  }
}

}  // namespace

selection_entry pick_in_all_layers(curve_network& network, const pick_index_map& index, glm::vec2 p) {
  candidate best = first_fragment_candidate(network, index, p);
  for (layer_graph& lg : network) {
    const auto it = index.find(&lg);
    if (it != index.end()) take_nearer_entries(&lg, it->second, p, best);
  }
  return best.pick;
}

selection_entry pick_in_layer(layer_graph* layer, const pick_index_map& index, glm::vec2 p) {
  std::cout << "select nearest vertex" << std::endl;
  const auto it = index.find(layer);
  if (it == index.end() || it->second.empty()) return {nullptr, nullptr};
  const layer_pick_index& map = it->second;
  candidate best;
  best.pick = {layer, map.begin()->first};
  nearest_parameter_on_bezier_by_key(0, 1, &best.squared_distance, map, map.begin()->first, p);
  std::cout << "loop" << std::endl;
  take_nearer_entries(layer, map, p, best);
  std::cout << "selection_done" << std::endl;
  return best.pick;
}

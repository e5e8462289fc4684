#include "app/nearest_parameter.h"

#include <limits>
#include <stdexcept>

#include "graph/bezier.h"
#include "graph/quarter_probe_search.h"

float squared_distance_to_bezier(const std::vector<glm::dvec2>& ctrl, glm::vec2 p, float t) {
  if (ctrl.empty()) return std::numeric_limits<float>::infinity();
  const int degree = static_cast<int>(ctrl.size()) - 1;
  const glm::vec2 q(bezier_eval(degree, ctrl.data(), t));
  const glm::vec2 d = q - p;
  return d.x * d.x + d.y * d.y;
}

float squared_distance_to_bezier_at(const layer_pick_index& map, f_curve* f, glm::vec2 p, float t) {
  const auto it = map.find(f);
  if (it == map.end()) throw std::out_of_range("invalid map<K, T> key");
  return squared_distance_to_bezier(it->second, p, t);
}

float nearest_parameter_on_bezier(float t0, float t1, float* squared_distance,
                                  const layer_pick_index::value_type& entry, glm::vec2 p) {
  return quarter_probe_search<float>(t0, t1, *squared_distance, [&](float t) {
    return squared_distance_to_bezier(entry.second, p, t);
  });
}

float nearest_parameter_on_bezier_by_key(float t0, float t1, float* squared_distance,
                                         const layer_pick_index& map, f_curve* f, glm::vec2 p) {
  return quarter_probe_search<float>(t0, t1, *squared_distance, [&](float t) {
    return squared_distance_to_bezier_at(map, f, p, t);
  });
}

float nearest_parameter_on_bezier_in_copy(float t0, float t1, float* squared_distance,
                                          layer_pick_index map, f_curve* f, glm::vec2 p) {
  return quarter_probe_search<float>(t0, t1, *squared_distance, [&](float t) {
    return squared_distance_to_bezier_at(map, f, p, t);
  });
}

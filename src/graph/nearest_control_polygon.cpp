#include "graph/nearest_control_polygon.h"

#include "graph/bezier.h"
#include "graph/quarter_probe_search.h"

float nearest_parameter_on_polygon(const control_polygon& polygon, glm::vec2 point,
                                   float& squared_distance) {
  const int degree = static_cast<int>(polygon.size()) - 1;
  return quarter_probe_search(0.0f, 1.0f, squared_distance, [&](float t) {
    const glm::dvec2 c = bezier_eval(degree, polygon.data(), t);
    const float dx = point.x - static_cast<float>(c.x);
    const float dy = point.y - static_cast<float>(c.y);
    return dx * dx + dy * dy;
  });
}

namespace {

// Scores every non-empty polygon of the list against `best`, replacing it only on a
// strictly smaller score.
void scan(std::list<control_polygon>& polygons, glm::vec2 point, control_polygon*& best,
          float& best_score, std::list<control_polygon>** best_group) {
  for (control_polygon& polygon : polygons) {
    if (polygon.empty()) continue;
    float score = 0;
    nearest_parameter_on_polygon(polygon, point, score);
    if (!best || score < best_score) {
      best = &polygon;
      best_score = score;
      if (best_group) *best_group = &polygons;
    }
  }
}

}  // namespace

control_polygon* nearest_control_polygon(std::list<control_polygon>& polygons,
                                         glm::vec2 point) {
  control_polygon* best = nullptr;
  float best_score = 0;
  scan(polygons, point, best, best_score, nullptr);
  return best;
}

std::pair<std::list<control_polygon>*, control_polygon*> nearest_control_polygon_in_groups(
    std::list<std::list<control_polygon>>& groups, glm::vec2 point) {
  std::list<control_polygon>* best_group = nullptr;
  control_polygon* best = nullptr;
  float best_score = 0;
  for (std::list<control_polygon>& group : groups) {
    scan(group, point, best, best_score, &best_group);
  }
  return {best_group, best};
}

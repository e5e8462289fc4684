#pragma once
// The Bézier curve nearest to a point among lists of control polygons.

#include <list>
#include <utility>
#include <vector>

#include <glm/vec2.hpp>

using control_polygon = std::vector<glm::dvec2>;  // degree + 1 control points, image pixels

// Parameter in [0, 1] of the point of the polygon's Bézier (degree = points - 1) nearest
// to `point`, by the quarter-probe search on float parameters; writes the squared
// distance there (pixels squared, float) to `squared_distance`. Needs at least one point.
float nearest_parameter_on_polygon(const control_polygon& polygon, glm::vec2 point,
                                   float& squared_distance);

// The element whose curve passes nearest to `point`; the first of equal minima wins.
// Empty polygons are never chosen. Null when the list holds no non-empty polygon.
control_polygon* nearest_control_polygon(std::list<control_polygon>& polygons,
                                         glm::vec2 point);

// The (inner list, element) pair of the nearest element over all inner lists, the first
// of equal minima winning; both null when no inner list holds a non-empty polygon.
std::pair<std::list<control_polygon>*, control_polygon*> nearest_control_polygon_in_groups(
    std::list<std::list<control_polygon>>& groups, glm::vec2 point);

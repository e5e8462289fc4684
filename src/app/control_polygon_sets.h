#pragma once
// Control polygons of a network's curve segments, sorted by degree, for the batch
// driver's statistics.

#include <vector>

#include <glm/vec2.hpp>

struct curve_network;

// A segment's control points in sketch pixels (the working images are twice the size).
using control_polygon = std::vector<glm::vec2>;

struct control_polygon_sets {
  std::vector<control_polygon> cubics;      // segments with 4 control points
  std::vector<control_polygon> quadratics;  // 3 control points
  std::vector<control_polygon> lines;       // 2 control points
  std::vector<control_polygon> all;         // lines, then quadratics, then cubics
};

// Empties the four lists and fills them from every segment of every curve of every layer
// graph, in list order; segments of other sizes are left out. Each point is the control
// point times 0.5, narrowed to float. The counts are of segments, not of curves.
void collect_control_polygons(control_polygon_sets& sets, const curve_network& network);

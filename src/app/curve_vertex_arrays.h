#pragma once
// The curve network as the vertex arrays of the view's curve drawables.
//
// Positions are normalised image coordinates (u, v) = (x / image width, y / image
// height), taken from the double control points of each curve's first segment and
// stored as floats.

#include <vector>

#include <glm/glm.hpp>

struct curve_network;

struct curve_vertex_arrays {
  // Two vertices per cubic: (P0.u, P0.v, P1.u, P1.v), (P2.u, P2.v, P3.u, P3.v).
  std::vector<glm::vec4> cubic;
  // Three control points per quadratic.
  std::vector<glm::vec2> quadratic;
  // Two control points per straight segment.
  std::vector<glm::vec2> straight;
  // Curve end points, each once, ordered by image x then y.
  std::vector<glm::vec2> nodes;
};

// Every curve of every layer_graph in network order; a first segment with other than
// two, three or four control points gives no curve vertices but still its two ends.
// The image size is that of the view's input image (columns, rows).
curve_vertex_arrays make_curve_vertex_arrays(const curve_network& network, float image_width,
                                             float image_height);

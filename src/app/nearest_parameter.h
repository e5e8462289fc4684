#pragma once
// Nearest point of a picked curve to the pointer: the pick index and the three forms of
// the nearest-parameter search on a Bézier curve.

#include <vector>

#include <glm/vec2.hpp>

#include "app/pick_index.h"

// Squared distance (pixels^2) from p to the point at t of the Bézier of ctrl, whose degree
// is its point count minus 1; the curve point is narrowed to float first. Infinity for an
// empty control list, so an entry without points is never the nearest.
float squared_distance_to_bezier(const std::vector<glm::dvec2>& ctrl, glm::vec2 p, float t);

// The same for the control points of fragment f in map. Throws
// std::out_of_range("invalid map<K, T> key") when f is not a key.
float squared_distance_to_bezier_at(const layer_pick_index& map, f_curve* f, glm::vec2 p, float t);

// Parameter in [t0, t1] of the point of the entry's curve nearest to p, found by the
// quarter-probe search (margin 0.01 pixels^2, at most 100 steps); the squared distance
// there goes to *squared_distance.
float nearest_parameter_on_bezier(float t0, float t1, float* squared_distance,
                                  const layer_pick_index::value_type& entry, glm::vec2 p);

// The same with the control points looked up by f in map at every evaluation. Throws
// std::out_of_range("invalid map<K, T> key") when f is not a key.
float nearest_parameter_on_bezier_by_key(float t0, float t1, float* squared_distance,
                                         const layer_pick_index& map, f_curve* f, glm::vec2 p);

// The same on a copy of a layer's map (squared_distance_to_bezier_at per evaluation).
float nearest_parameter_on_bezier_in_copy(float t0, float t1, float* squared_distance,
                                          layer_pick_index map, f_curve* f, glm::vec2 p);

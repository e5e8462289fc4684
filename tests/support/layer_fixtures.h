#pragma once
// Small hand-built layers with samples on known curves, for the edit, fit, slide and
// ordering tests. Every fragment's samples sit at uniform parameters i / (n - 1) on its
// curve, weight 1; its control points are set to that curve (the loop's arcs to the
// usual four-point circle arc) and its errors are measured against them.
//
// Each fragment lists its t = 0 junction first; each edge holds its fragments and
// junctions in walking order, with a node at each end of a stroke. No fixture except
// the loop has regions, and only the loop's edge is on the background.
//
// With `link`, the layer is linked like a freshly extracted network: one cubic curve per
// fragment (in fragment order, ordered and fitted) and one nconnection per junction (in
// junction order), each curve ending at both junctions of its fragment.

#include <array>
#include <vector>

#include <glm/vec2.hpp>

#include "graph/layer_graph.h"

namespace fixture {

using cubic = std::array<glm::dvec2, 4>;

// Pointers into the layer's lists, in the order the fixture built them.
struct layer_parts {
  std::vector<f_curve*> fragments;
  std::vector<frag_conn*> junctions;
  std::vector<edge*> edges;
  std::vector<node*> nodes;
};

// Point at t of a cubic.
glm::dvec2 cubic_point(const cubic& c, double t);

// The piece [a, b] of c, reparametrised to [0, 1] (b < a runs it backwards).
cubic cubic_piece(const cubic& c, double a, double b);

// Fills f with n samples of c at t = i / (n - 1), weight 1, and c as its control points.
void sample_cubic(f_curve& f, const cubic& c, int n);

// The cubic the chain of three samples: (10, 10), (40, 60), (80, -20), (110, 30).
cubic chain_cubic();

// J0 -A- J1 -B- J2 -C- J3 along chain_cubic(), A on [0, 1/3], B on [1/3, 2/3], C on
// [2/3, 1], `samples` each. With reverse_middle B runs from J2 to J1 (its t = 0 end at
// J2). One edge; nodes at J0 and J3; J1 and J2 are cut junctions.
layer_parts chain_of_three(layer_graph& lg, int samples = 20, bool reverse_middle = false,
                           bool link = true);

// T junction at (50, 50): fragments left (10, 50) -> centre, centre -> right (90, 50),
// centre -> down (50, 90), straight lines. Junctions: centre (valence 3, entries in
// fragment order), then the left, right and down ends. One edge per arm.
layer_parts t_junction(layer_graph& lg, int samples = 20, bool link = true);

// X junction at (50, 50): left (10, 50) -> centre, centre -> right (90, 50),
// up (50, 10) -> centre, centre -> down (50, 90). Junctions: centre (valence 4), then
// the four ends in fragment order. One edge per arm.
layer_parts x_junction(layer_graph& lg, int samples = 20, bool link = true);

// Closed loop of three arcs of the circle of centre (50, 50) and radius 30: fragment k
// runs from angle 120k to 120(k + 1) degrees, from junction k to junction (k + 1) mod 3
// (each of valence 2). One edge holding all three (junctions J0 J1 J2 J0), one node at
// J0, an inside region and the background region.
layer_parts closed_loop(layer_graph& lg, int samples = 20, bool link = true);

// Adds a deterministic wave (up to 0.8 pixels across, 0.6 down) to every sample of the
// layer and refits its curves: fitted alone, the fragments no longer meet exactly at
// their junctions, so the joint fits and the end slides visibly move them.
void make_wavy(layer_graph& lg);

// Links an unlinked layer as described above.
void link_one_curve_per_fragment(layer_graph& lg);

}  // namespace fixture

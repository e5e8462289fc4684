#pragma once
// Network curves: chains of fragments fitted by Bézier segments of degree 0 to 3.

#include <cstdint>
#include <vector>

#include <glm/vec2.hpp>

struct f_curve;
struct nconnection;
struct nregion;

// A fragment inside a segment. New entries are {f, 0, 1, 0, 1, false}.
struct frag_ref {
  f_curve* fragment = nullptr;  // owned by frag_graph::f_curves
  float t0 = 0;                 // used range on the fragment's parameter
  float t1 = 1;
  float u0 = 0;                 // the fragment's share of the segment parameter
  float u1 = 1;
  bool reversed = false;        // the chain runs from the fragment's t = 1 end to its t = 0 end
};

// One Bézier of a curve.
struct curve_segment {
  std::vector<frag_ref> v_frag_ref;      // fragments in chain order
  std::vector<glm::dvec2> v_ctrl_point;  // degree + 1 points after a fit, image pixels
  int degree = 3;                        // 0 to 3
};

// A curve of the network. Owned by curve_graph::curves.
struct curve {
  std::vector<nconnection*> v_nconnection;            // where it ends; two when consistent
  std::vector<nregion*> v_nregion;                    // network regions it borders
  std::vector<f_curve*> v_f_curve;                    // fragments it holds
  std::vector<curve_segment> v_segment;               // exactly one after every rebuild
  std::vector<std::vector<glm::dvec2>> v_point_list;  // never filled; emptied by merge_segments
  std::uint64_t nb_point = 0;                         // sum of its fragments' sample counts
  int class_score = 0;                                // junction class; -1 on the background border
  double mean_error = 0;                              // segments' fit sums / nb_point, pixels^2

  // Empty curve; class_score and mean_error are rewritten by classify_junctions and refit.
  curve() = default;
};

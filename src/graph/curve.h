#pragma once
// Network curves: chains of fragments fitted by Bézier segments of degree 0 to 3.

#include <cstdint>
#include <vector>

#include <glm/vec2.hpp>

struct f_curve;
struct frag_conn;
struct nconnection;
struct nregion;
struct curve_graph;

// A fragment inside a segment. New entries are {f, 0, 1, 0, 1, false}.
struct frag_ref {
  f_curve* fragment = nullptr;  // owned by frag_graph::f_curves
  float t0 = 0;                 // used range on the fragment's parameter
  float t1 = 1;
  float u0 = 0;                 // the fragment's share of the segment parameter
  float u1 = 1;
  bool reversed = false;        // the chain runs from the fragment's t = 1 end to its t = 0 end

  // Map from the fragment parameter t onto the segment parameter: u = slope * t + offset.
  // [t0, t1] lands on [u0, u1] (on [u1, u0] when reversed). Returns true for the full
  // range [0, 1], whose entry uses every sample; a narrower one uses the samples whose
  // parameter, as a float, lies in [t0, t1].
  static bool parameter_map(float& slope, float& offset, bool reversed, float t0, float t1,
                            float u0, float u1);
};

// One Bézier of a curve.
struct curve_segment {
  std::vector<frag_ref> v_frag_ref;      // fragments in chain order
  std::vector<glm::dvec2> v_ctrl_point;  // degree + 1 points after a fit, image pixels
  int degree = 3;                        // 0 to 3

  // Puts the frag_refs in chain order by walking the shared junctions from frag_ref 0,
  // drops those the walk does not reach (and all but the first of a branch), shares
  // [0, 1] among them in proportion to their sample counts, then sets_reversed.
  // A segment whose fragments hold no sample gets equal shares.
  void order_fragments();

  // Reversed flags from the junctions consecutive fragments share; no-op below two entries.
  void set_reversed();

  // Weighted least-squares fit at `degree` (0: weighted centroid, 1 and 2 as such, any
  // other value cubic). Resizes v_ctrl_point to degree + 1 (four for a cubic) and
  // returns the weighted sum of squared distances, pixels^2 (not divided by the count).
  // Too few distinct parameters for the degree: fitted at the highest lower degree that
  // the samples determine and raised to this degree, so the points stay finite. No
  // sample at all: the previous points are kept when there are enough finite ones, else
  // they become copies of the first previous point (or the origin); the result is 0.
  float fit();

  // Mean weighted squared distance of the samples from the fitted Bézier, pixels^2;
  // changes nothing. Not a number when the segment holds no sample, or when it has fewer
  // than degree + 1 control points (not fitted at its current degree).
  double error() const;
};

// First junction of a's fragment (in its v_frag_conn order) that b's fragment also has,
// or null.
frag_conn* shared_junction(const frag_ref& a, const frag_ref& b);

// f meets j with a non-zero end (its t = 1 end); false when f is not at j.
bool meets_at_t1(const f_curve* f, const frag_conn* j);
// f meets j with end 0 (its t = 0 end); false when f is not at j.
bool meets_at_t0(const f_curve* f, const frag_conn* j);
// a and b meet j with the same end (the last entry of each counts); false when either
// is not at j.
bool same_end_at(const f_curve* a, const f_curve* b, const frag_conn* j);

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

  // One segment of `degree` holding f, ordered and fitted. Links nothing: the caller
  // links the fragment, its junctions and connections.
  curve(f_curve* f, int degree);

  // Initial link of f to this curve: fragment lists both ways, the curve at f's
  // junctions, nb_point, and a new cubic segment holding f. No connection, no fit.
  void append_fragment(f_curve* f);

  // f into v_f_curve and the last segment (a new one of `degree` when there is none);
  // nb_point grows; the last segment is ordered and fitted, its fit result returned.
  // Touches neither f_curve::v_curve nor any junction.
  float add_fragment_to_last_segment(f_curve* f, int degree);

  // All frag_refs into segment 0 (one default cubic segment when there is none), which
  // keeps its degree; ordered and fitted. v_point_list is emptied.
  void merge_segments();

  // Fits every segment; mean_error = sum of their fit results / nb_point (not a number
  // when the curve holds no sample).
  void refit();
};

#pragma once
// Fragments of a topological edge and the junctions between them.

#include <vector>

#include <glm/vec2.hpp>

#include "graph/image_frame.h"

struct curve;
struct edge;
struct layer_graph;
struct node;
struct nconnection;
struct frag_conn;

// A piece of stroke fitted by one cubic Bézier. Owned by frag_graph::f_curves;
// pointers to it dangle once it is erased from that list.
struct f_curve {
  std::vector<glm::vec2> v_point;        // stroke samples, image pixels (x = column, y = row)
  std::vector<float> v_weight;           // one weight per sample
  std::vector<double> v_t;               // one parameter per sample, in [0, 1]
  std::vector<glm::dvec2> v_ctrl_point;  // control points of its own cubic (4 after a fit)
  std::vector<curve*> v_curve;           // curves holding it (curve_graph::curves)
  std::vector<edge*> v_edge;             // edge(s) it lies on; readers use the first
  std::vector<frag_conn*> v_frag_conn;   // its two junctions; the frag_end entry says which end
  float mean_error = 0;                  // weighted squared error / sample count, pixels^2
  float total_error = 0;                 // weighted squared error, pixels^2
  image_frame frame;                     // the image its cubic stays within; unknown: free

  // Weighted least-squares cubic of all samples, in single precision: four control points
  // into v_ctrl_point, total_error = sum of w |p - C(t)|^2 (expanded form, may be slightly
  // negative for an exact fit), mean_error = total_error / number of samples.
  // v_t and v_point of different lengths: prints "aa" and changes nothing.
  // Fewer than four distinct parameters with non-zero weight: the best cubic of lower
  // degree (a point, a line, a parabola, raised to degree 3) with its direct error; no
  // such sample at all: the control points are kept (padded to four with (0, 0)) and both
  // errors are 0. Control points stay finite whenever the samples are. A cubic that
  // leaves `frame` is refitted by keep_in_frame.
  void fit_cubic();

  // When the cubic leaves `frame`, or with hold_ends when an end lies outside it: the
  // least-squares cubic (in double) with its control points in the frame, and with
  // hold_ends its end points kept where they are, moved into the frame; both errors
  // measured directly. Otherwise, and without a known frame, nothing changes.
  void keep_in_frame(bool hold_ends = false);

  // Unweighted single-precision cubic of the samples with t0 <= parameters[i] <= t1,
  // reparametrised onto [0, 1]; parameters holds one entry per sample (normally v_t).
  // Writes out[0 .. 3]; writes nothing when t0 == t1 or no sample lies in the range;
  // fewer than four distinct parameters give the lower-degree fit raised to a cubic.
  void fit_cubic_range(const std::vector<double>& parameters, glm::dvec2* out, double t0,
                       double t1) const;

  // The same fit in double precision, solved by a singular value decomposition.
  void fit_cubic_range_svd(const std::vector<double>& parameters, glm::dvec2* out, double t0,
                           double t1) const;

  // Bracketing search for the cut parameter of [t0, t1] (see the thresholds below).
  // result = the cut, or -1 for none. scratch is resized to two polygons of four points
  // and left holding the last trial fits (one polygon, the whole-range fit, when no cut).
  //   error_threshold: no cut when the whole-range mean squared error is below it (px^2)
  //   min_gain: a cut must lower the mean squared error by at least this much (px^2)
  //   end_margin: the cut keeps at least this far from t0 and t1 (parameter units)
  //   min_samples: each side keeps at least this many samples
  // A cut whose error is not a number (one side without samples) is rejected.
  void find_split(const std::vector<double>& parameters,
                  std::vector<std::vector<glm::dvec2>>& scratch, double t0, double t1,
                  double& result, float error_threshold, float min_gain, float end_margin,
                  int min_samples) const;

  // find_split over [0, 1] with a fresh scratch list; split_at when it finds a cut.
  // This fragment must be an element of layer.f_curves.
  void split_if_better(layer_graph& layer, float error_threshold, float min_gain,
                       float end_margin, int min_samples);

  // Cuts this fragment (an element of layer.f_curves) at parameter t: samples with
  // parameter >= t move to a new fragment appended to layer.f_curves, a new junction
  // {this, 3}, {new, 0} is appended to layer.frag_conns, and edges, curves and junctions
  // are relinked. Both sides' parameters are rescaled onto [0, 1]. Nothing is refitted:
  // this keeps its old control points and errors, the new fragment has none.
  // Does nothing unless 0 < t < 1.
  void split_at(layer_graph& layer, double t);

  // Up to four cubics covering [0, 1] (one when find_split finds no cut), fitted with
  // fit_cubic_range_svd; replaces out. Prints "3.0", "3.1" or "3.2" for the deeper cuts.
  void fit_pieces(std::vector<std::vector<glm::dvec2>>& out, float error_threshold,
                  float min_gain, float end_margin, int min_samples) const;

  // Unweighted mean squared distance (pixels^2) of all samples from the fragment's
  // cubic at their parameters; 0 without samples. Needs four control points.
  double mean_squared_error() const;
};

// Unweighted mean squared distance (pixels^2) of the samples of fragment with
// t0 <= parameters[i] <= t1 from the cubic ctrl[0 .. 3] reparametrised onto [t0, t1].
// 0 when t0 == t1; not a number (0 / 0) when the range holds no sample.
double cubic_range_error(const f_curve& fragment, const std::vector<double>& parameters,
                         const glm::dvec2* ctrl, double t0, double t1);

// A cut search over [t0, t1] of a fragment's samples.
struct split_context {
  const f_curve* fragment = nullptr;                           // the samples
  const std::vector<double>* parameters = nullptr;             // one per sample
  const std::vector<std::vector<glm::dvec2>>* polygons = nullptr;  // [0] fits [t0, l], [1] [l, t1]
  double t0 = 0;
  double t1 = 1;
};

// Error of the two-part fit cut at l: the two parts' cubic_range_error weighted by their
// sample counts (a sample at exactly l counts on the right). Not a number when a part
// holds no sample.
double split_error(const split_context& context, double l);

// One fragment end at a junction.
struct frag_end {
  f_curve* fragment = nullptr;  // owned by frag_graph::f_curves
  int end = 0;                  // 0: its t = 0 end is here; 3 (any non-zero): its t = 1 end
};

// A junction of fragments. Owned by frag_graph::frag_conns.
struct frag_conn {
  std::vector<frag_end> v_frag_end;            // fragments meeting here; size is the valence
  std::vector<node*> v_node;                   // topological node; none for a cut junction
  std::vector<edge*> v_edge;                   // edges whose fragments meet here
  std::vector<nconnection*> v_nconnection;     // exactly one once the network is linked
  std::vector<curve*> v_curve;                 // every curve holding a fragment that meets here

  // Fits at this junction alone (neither program calls them; see graph/junction_fit.h).
  // A junction of one fragment refits it with f_curve::fit_cubic. Otherwise all its
  // fragments are refitted together as unweighted cubics sharing one point at their
  // junction ends: the first entry's control point at its end. Errors are not touched.
  void fit_joint();
  // The same, with every fragment's far control point (index 3 - end) held in place.
  void fit_joint_fixed_far_ends();
  // Sets every entry's end to 0 or 3: of all 2^n choices of control point 0 or 3 per
  // fragment, the one whose points spread least about their mean (the first found on
  // ties; bit j of the choice is entry j). Needs four control points on every fragment
  // and at most 30 entries; otherwise the ends are left as they are.
  void choose_ends();
  // Appends {f, 0} for each of a and b that the junction does not list yet.
  void add_fragment_pair(f_curve* a, f_curve* b);
  // add_fragment_pair, then choose_ends.
  void add_pair_and_choose_ends(f_curve* a, f_curve* b);
  // add_fragment_pair, f_curve::fit_cubic on every fragment here, then choose_ends.
  void add_pair_refit_and_choose_ends(f_curve* a, f_curve* b);
  // f_curve::fit_cubic on every fragment here, then choose_ends.
  void refit_and_choose_ends();
};

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
struct curve_network;
struct layer_graph;

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
  // A Bézier that would leave the image (the frame of its first fragment) is the best
  // one with its control points in the frame.
  float fit();

  // For a segment of degree 1 to 3 fitted by another fit (a joint one): when its Bézier
  // leaves the image, or with hold_ends when an end point lies outside it, refits it
  // with its control points in the frame; with hold_ends its end points stay where they
  // are, moved into the frame. Changes nothing else and computes no error.
  void keep_in_frame(bool hold_ends);

  // Mean weighted squared distance of the samples from the fitted Bézier, pixels^2;
  // changes nothing. Not a number when the segment holds no sample, or when it has fewer
  // than degree + 1 control points (not fitted at its current degree).
  double error() const;

  // Clears the first frag_ref's reversed flag; true when every two consecutive
  // frag_refs' fragments share a junction. Not called by either program.
  bool is_chained();
};

// While one lives, curve_segment::fit on this thread hands back the result of an
// earlier fit of a segment with the same fragments, ranges, flags and degree instead
// of fitting again: the annealing moves and their undos rebuild the same chains over
// and over. Only fits that the samples determine are kept (a fit that keeps previous
// points depends on more than its inputs). The fragments' samples must not change and
// no fragment may be destroyed while one lives. Scopes nest; the innermost one serves.
class segment_fit_memo {
 public:
  segment_fit_memo();
  ~segment_fit_memo();
  segment_fit_memo(const segment_fit_memo&) = delete;
  segment_fit_memo& operator=(const segment_fit_memo&) = delete;
  struct table;

 private:
  table* table_;
  table* outer_;
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
  // Every segment set to `degree`, then refit: the curve drawn at another degree over
  // the same fragments.
  void refit_at_degree(int degree);

  // --- Editing. Every operation below keeps the links of a linked network in step
  // (fragment <-> curve, junction -> curve, curve ends <-> connections, segments and
  // nb_point). g is the curve_graph that owns this curve in g.curves.

  // Adds f at an end of this curve: f goes into g.shared_fragments first (its callers
  // add a fragment another curve still holds); a junction of f new to the curve becomes
  // an end (a junction without connection prints the marker line and gets no end), one
  // the curve already reached stops being an end. Then merge_segments and refit; the
  // merged segment keeps the degree of the first segment.
  void add_fragment(curve_graph& g, f_curve* f);
  // The same, leaving one new cubic segment for f unmerged and unfitted.
  void add_fragment_norefit(curve_graph& g, f_curve* f);

  // Merges d, a curve meeting this one, into this curve and erases d from g.curves
  // (d dangles afterwards). The ends become d's outer ends followed by this curve's;
  // g.shared_fragments is not touched. A junction of d's fragments listing neither curve
  // prints a "strange " line and then lists this curve. Then merge_segments and refit.
  // Absorbing null or the curve itself does nothing.
  void absorb(curve_graph& g, curve* d);
  // The same without merge_segments and refit.
  void absorb_norefit(curve_graph& g, curve* d);

  // mode 0: this curve leaves the network and is erased from g.curves (it dangles
  // afterwards). Mode 1 (2): the fragment of the first (last) frag_ref of the first
  // segment leaves the curve, which then ends at the junction that fragment shared with
  // the rest; its segments are reordered and refitted, keeping their degree. A curve
  // holding one fragment or none has no rest to keep: modes 1 and 2 act as mode 0.
  // For every fragment taken away: one not in g.shared_fragments gets a new one-fragment
  // curve (degree of this curve's first segment, its class_score, linked to both
  // connections of the fragment, refitted) at the end of g.curves; one in the set leaves
  // the set when fewer than two holders remain and gets a new curve when none remains.
  void detach(curve_graph& g, int mode);

  // Junction class score (stored in class_score): -1 when a fragment's first edge is on
  // the background; otherwise counts, over the junctions the curve passes through and
  // those where it ends, how the other strokes there continue.
  int classify_junctions();

  // --- Annealing moves (curve_moves.cpp). Each applies its change to this curve of
  // layer lg, prices the whole network with net.energy(lambda, mu) (both narrowed to
  // float) and keeps the change when move_stands(E_new, *E, threshold), setting *E to
  // E_new; otherwise it undoes the change and leaves *E as it was. A move that does not
  // apply changes nothing. Every move but move_change_degree may erase this curve, kept
  // or undone (restored chains are new records at the end of lg.curves): callers must
  // not use the pointer afterwards. An undone move leaves the same chains of fragments
  // with the same degrees and shared fragments, so the same energy up to rounding.

  // Refits at degree d (1 to 3; nothing for another value, the current degree, or one
  // the view does not allow). Undone in place.
  void move_change_degree(int d, curve_network& net, float* E, double threshold,
                          double lambda, double mu);
  // Batch split at frag_ref k of the first segment (0: into one-fragment curves; else
  // refs [0, k) and [k, n) each become a curve, a one-fragment part keeping its own
  // curve). A curve of one fragment is left alone; one whose fragments all have other
  // holders is dissolved without a test, and *E is set to the new energy.
  void move_split(curve_network& net, layer_graph& lg, float* E, double threshold,
                  double lambda, double mu, int k);
  // The split of the interactive program: as move_split, but it never separates
  // fragments the view's must_merge pairs on this curve (with such a pair, k = 0 does
  // nothing). Looks every fragment up in must_merge, adding empty entries. Without the
  // view it is move_split.
  void move_split_gui(curve_network& net, layer_graph& lg, float* E, double threshold,
                      double lambda, double mu, int k);
  // Extends this curve by h, a fragment it does not hold at exactly one of h's
  // junctions, unless h would close it into a loop. h's one-fragment curve is absorbed
  // (nothing happens when the view froze that curve); a fragment held otherwise is
  // added and so shared.
  void move_extend(curve_network& net, layer_graph& lg, f_curve* h, float* E,
                   double threshold, double lambda, double mu);
  // Merges d, a curve sharing exactly one end with this one and touching it only
  // there. Two curves sharing both ends are left alone; ends forming neither 2 nor 3
  // connections print a "bad fco size: " line.
  void move_merge(curve_network& net, layer_graph& lg, curve* d, float* E, double threshold,
                  double lambda, double mu);
  // Runs this curve through h, which keeps its own curve and so becomes shared, into n:
  // this curve ends at one junction of h, n at the other, all four ends differ and the
  // two curves do not touch.
  void move_bridge(curve_network& net, layer_graph& lg, f_curve* h, curve* n, float* E,
                   double threshold, double lambda, double mu);

  // --- Offered with the editing operations; neither program calls them.

  // f into v_f_curve and a cubic last segment, nb_point grows; no ordering, no fit, no
  // link. Returns f's sample count.
  std::uint64_t push_fragment_cubic(f_curve* f);

  // Scratch curves that link nothing: a's fragments, segments and sample count, plus a
  // cubic segment for each fragment of b (or for f) that a does not hold; merged and
  // refitted.
  curve(const curve& a, const curve& b);
  curve(const curve& a, f_curve* f);

  // Error after detaching in `mode` (0: the fragments' own total errors over nb_point,
  // minus mu per fragment with another holder; 1, 2: the rest refitted on a scratch curve
  // plus the dropped fragment's own total error, over nb_point, minus mu when that
  // fragment has another holder). When that error minus mean_error is below threshold,
  // detaches in that mode and returns the difference (this curve may be gone); else 0.
  double detach_if_cheaper(curve_graph& g, double threshold, double mu, int mode);

  // Error change of merging b into this curve, on a scratch curve against the
  // fragments' own fits, minus mu per fragment the two share. When the two have exactly
  // two ends off the other curve and the change is below threshold: absorb_checked and
  // return the change; else 0.
  double try_absorb(layer_graph& lg, curve* b, double threshold, double mu, bool& duplicate);
  // The same for adding f, plus mu; adds with add_fragment_checked.
  double try_add_fragment(layer_graph& lg, f_curve* f, double threshold, double mu, bool& duplicate);

  // absorb (reporting inconsistencies under line 750) or add_fragment, then duplicate =
  // whether another curve of g holds exactly the same set of fragments.
  void absorb_checked(curve_graph& g, curve* d, bool& duplicate);
  void add_fragment_checked(curve_graph& g, f_curve* f, bool& duplicate);

  // class_score = -1 when a fragment's first edge is on the background, else 0.
  void classify_background();

  // End slides (end_slide.cpp). They need two connections and a first segment of degree
  // 1 to 3 with its control points; otherwise nothing changes. Only the first segment is
  // read and written, and curve::mean_error is not updated.
  // Slides the lone end (the one at whose connection no other curve ends) along the curve
  // passing through its junction, and refits a quadratic's or cubic's inner points.
  void slide_lone_end();
  // The same for a curve whose two ends are both lone: end 0 first, then end 1.
  void slide_lone_ends();
};

// One curve of `degree` holding the whole chain, built around the first fragment that
// has a one-fragment curve of its own: its neighbours' one-fragment curves are absorbed,
// other fragments added (and so shared). Null, changing nothing, when the chain has
// fewer than two fragments or none has a one-fragment curve.
curve* build_curve_from_chain(curve_graph& g, const std::vector<f_curve*>& chain, int degree);

// Grows c over a chain of fragments from chain[i] outwards, first back to chain[0], then on
// to the last: take(f) adds f to c or absorbs the curve holding it. Then c's first segment
// gets `degree`, its segments are merged and it is refitted. Returns c.
template <class Take>
curve* grow_over_chain(curve* c, const std::vector<f_curve*>& chain, std::size_t i, int degree, Take&& take) {
  for (std::size_t j = i; j-- > 0;) take(chain[j]);
  for (std::size_t j = i + 1; j < chain.size(); ++j) take(chain[j]);
  c->v_segment[0].degree = degree;
  c->merge_segments();
  c->refit();
  return c;
}

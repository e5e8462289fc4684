#pragma once
// The per-layer record of the topological graph and the curve network, and the
// network of a drawing. Elements live in std::lists and are never moved while they
// exist; links between them are raw pointers that own nothing.

#include <cstdint>
#include <iosfwd>
#include <list>
#include <set>
#include <string>
#include <vector>

#include "graph/curve.h"
#include "graph/edge.h"
#include "graph/f_curve.h"
#include "graph/nregion.h"

struct layer_graph;
struct layer;

struct frag_graph {
  std::list<f_curve> f_curves;
  std::list<frag_conn> frag_conns;
};

struct topo_graph {
  std::list<edge> edges;
  std::list<node> nodes;
  std::list<region> regions;
  layer_graph* owner = nullptr;  // the holding record; set by the .graph reader
};

struct curve_graph {
  topo_graph* topo = nullptr;           // same layer's topo_graph; set by the .graph reader
  std::set<f_curve*> shared_fragments;  // fragments an edit gave to a second curve
  std::list<curve> curves;
  std::list<nregion> nregions;
  std::list<nconnection> nconnections;
};

struct layer_graph : frag_graph, topo_graph, curve_graph {
  int height = 0;  // rows of the layer's image window (sketch doubled); SVG height
  int width = 0;   // columns of that window; SVG width

  // The image every curve of the layer stays within.
  image_frame frame() const { return {static_cast<double>(width), static_cast<double>(height)}; }

  layer_graph() = default;
  layer_graph(const layer_graph&) = delete;  // elements link to each other by address
  layer_graph& operator=(const layer_graph&) = delete;

  // Reads the next .graph layer record from a binary stream. Each curve comes back as
  // one cubic segment over all its fragments, refitted; one empty network region is
  // made per region; shared_fragments stays empty. Throws graph_format_error (a file
  // that ends early or whose counts cannot be right) or std::out_of_range (a link
  // outside its list); the partly read record is then destroyed.
  explicit layer_graph(std::istream& in);
  // The same; saved_mean_errors gets each curve's stored mean fit error, in curve list
  // order, before the refit replaces it (the record keeps no degree; that error is the
  // fit's at the degree the curve had).
  layer_graph(std::istream& in, std::vector<double>& saved_mean_errors);

  // Writes this layer's .graph record; links are list positions. Throws
  // std::out_of_range("invalid map<K, T> key") on a link to an element not in this layer.
  void write(std::ostream& out) const;

  // A layer alone in a file of its own, in the older record form (4-byte counts, no
  // sample weights, no class score, network-region links after the curves).
  // read_file fills this layer, which must be empty; both return false when the file
  // cannot be opened.
  bool write_file(const std::string& path) const;
  bool read_file(const std::string& path);

  // Layer passes (layer_passes.cpp): each applies one operation to every element of one
  // kind in list order and touches no other layer.

  // f_curve::fit_cubic on every fragment: four control points and both fit errors each.
  void fit_fragments();

  // fit_fragments_jointly on every junction of the layer: fragments meeting at a junction
  // of two or more fragments are refitted together and share their end points there.
  void fit_fragments_at_junctions();

  // fit_curves_jointly over the connections where at least two curves end: every curve
  // of the layer is refitted (first segment), sharing its end points at those. Here and
  // in the passes below, the curves frozen in the view (main_gl_widget's fixed_curves)
  // stay exactly as they are, and the curves meeting them take their end points; a curve
  // merged by hand takes the end points of the curves it meets (fit_curves_jointly).
  void fit_joined_curves();

  // Mean squared fit error of the layer's fragments plus, for every junction of two or
  // more fragment ends, the mean over ends 2 .. n of |u1 x ui|, ui being the unit tangent
  // of end i's fragment at its junction end. Needs fitted fragments.
  double junction_tangent_energy();

  // frag_conn::fit_joint, respectively frag_conn::fit_joint_fixed_far_ends, on every
  // junction of the layer in list order.
  void fit_each_junction();
  void fit_each_junction_fixed_far_ends();

  // Sweeps f_curve::split_if_better over the fragments, with the thresholds read from
  // config/threshold_split_curve.conf at every call, until a sweep changes the fragment
  // count no more; then f_curve::fit_cubic on every fragment. A cut's tail, appended to
  // the list, is tried in the same sweep, its head in the next. Run before curves exist.
  void split_fragments();

  // curve::refit on every curve but the frozen ones: segments refitted at their degree,
  // mean errors updated.
  void refit_curves();

  // curve::slide_lone_end on every curve of which exactly one of its two connections has
  // fewer than two curves ending at it. Curves without exactly two connections, frozen
  // curves and curves merged by hand (which keep their ends at their junctions) are
  // skipped.
  void slide_one_lone_end();

  // curve::slide_lone_ends on every curve at both of whose two connections it is the only
  // curve that ends. Curves without exactly two connections, frozen curves and curves
  // merged by hand are skipped.
  void slide_both_lone_ends();

  // The finishing passes: fit_joined_curves, slide_one_lone_end, slide_both_lone_ends.
  void fit_and_slide_ends();

  // curve::refit on every curve, then prints one line on standard output per broken
  // count: an edge without exactly 2 nodes, a curve without exactly 2 connections, a
  // network region whose connection and boundary-piece counts differ. Repairs nothing.
  void check();

  // The link invariants of the network, one readable line per violation ("" when the
  // layer is consistent):
  // - every link between fragments, junctions, curves and connections names an element
  //   of this layer's lists;
  // - a fragment's samples, parameters and weights are as many, it has at most four
  //   control points, and it lists a junction exactly as often as the junction lists one
  //   of its ends;
  // - f_curve::v_curve and curve::v_f_curve mirror each other; a curve holds a fragment;
  // - nconnection::v_curve and curve::v_nconnection mirror each other, end for end;
  // - frag_conn::v_curve lists, once each, exactly the curves holding a fragment there;
  // - curve::nb_point is the sum of its fragments' sample counts;
  // - a curve ends only at junctions of its own fragments;
  // - each frag_conn has exactly one nconnection and each nconnection exactly one
  //   frag_conn, naming each other;
  // - each curve holds one frag_ref per fragment it holds;
  // - curve_graph::shared_fragments names fragments of the layer;
  // - in the topological graph, edges and fragments, edges and nodes, nodes and junctions
  //   name each other, an edge with fragments has one junction more than fragments, and a
  //   region's boundary edge separates it from the region named across it.
  // as_read checks only what holds for every layer a .graph file can hold: the last two
  // rules are left out (the reader builds the segments itself and keeps no shared
  // fragments), a junction may list a curve twice (both ends of a closed one), and a
  // layer not linked yet (no connection) may have junctions without a connection.
  std::string link_violations(bool as_read = false) const;

  // Adds, for a raster layer whose only kept region is the outside one, fragments for
  // every 8-connected ink component (in the order of their first ink pixels) that holds
  // no pixel of the layer's pixel graph (no traced stroke). A component's main run goes
  // between its ends, c the pixel farthest, walking through the component (8-neighbour
  // steps), from its first pixel and e the pixel farthest from c: the pixels whose walks
  // from c and from e add up to at most the length L from c to e plus the stroke's width
  // (pixel count / (L + 1) + 1) plus 2. The other pixels fall into runs; a run reaching
  // more than 4 widths plus 4 beyond that sum is a branch and gets fragments of its own
  // the same way (up to 8 deep), a shorter one stays with the main run. Each fragment:
  // its pixels in set order (image coordinates, weights 1), parameter the walking distance
  // from e over the greatest one among them, its edge, two nodes and two junctions (end
  // 0 at e); no region. The caller fits the fragments.
  void build_single_region(const layer& raster);

  // Empties the eight element lists and shared_fragments; height, width, owner and topo
  // keep their values, so the layer can be built again in place.
  void clear();

  // At every connection where exactly two curves end, when their end tangents leave the
  // junction in nearly opposite directions (cosine below -0.9), projects each curve's
  // inner neighbour of the end onto the line through its end point parallel to the line
  // joining the two neighbours. End points stay; nothing is refitted. Skips a connection
  // where a curve holds no fragment listed at the junction, has fewer than two control
  // points, or where the two neighbours coincide. Needs two connections per curve.
  void align_two_curve_joins();

  // Edge edits (edge.cpp). No program calls them.

  // Repeatedly finds, in junction order, a junction of three or four fragment ends whose
  // end chords are pairwise nearly collinear (|cos| > 0.9) and merges the end on its
  // own side into the others (merge_lone_fragment_3, _4), starting again after every
  // merge; then refits every fragment. Meant for the layer before its curves exist.
  void merge_collinear_fragments();

  // SVG pictures of this layer (io/svg_pictures.cpp), with its height and width in the
  // header; file handling as for the curve_network pictures. No program writes them.

  // curve_network::save_curve_class_svg for this layer.
  void save_curve_class_svg(std::string path) const;
  // curve_network::save_curves_svg for this layer.
  void save_curves_svg(std::string path, bool blue) const;
  // highlighted in "#000000", then every curve of the layer except hidden_a and hidden_b
  // in shuffled jet colours. The pointers need not point into this layer.
  void save_curves_one_highlighted_svg(std::string path, const curve* highlighted,
                                       const curve* hidden_a, const curve* hidden_b) const;
  // a and b in "#000000", then every curve of the layer that holds neither fragment nor
  // any fragment of more, in shuffled jet colours.
  void save_curves_two_highlighted_svg(std::string path, const curve& a, const curve& b,
                                       const f_curve* fragment,
                                       const std::list<f_curve*>& more = {}) const;
  // Each listed curve in "#000000", then the layer's other curves in shuffled jet colours.
  void save_curves_list_highlighted_svg(std::string path,
                                        const std::list<const curve*>& highlighted) const;
  // Edges as orange lines between their nodes (id: the edge's index), then nodes as cyan
  // dots (id: the node's index); positions and early end as in
  // curve_network::save_topology_svg.
  void save_topology_svg(std::string path) const;
  // For every node, a black line between the midpoints of every two of its edges, then
  // every edge as an orange dot at its midpoint (its first fragment at t = 0.5); lines and
  // dots are numbered from 0 each. Edges without a fragment are left out.
  void save_edge_adjacency_svg(std::string path) const;
  // Every curve with two connections as an orange line between them (id: the curve's
  // index), then every connection as a cyan dot at its junction (id: its index).
  void save_connection_graph_svg(std::string path) const;
  // svg_cubic_fragments of the layer's fragments in "blue".
  void save_fragments_svg(std::string path) const;
  // svg_cubic_fragments_by_edge_flags with default "blue" and marked "red".
  void save_fragments_by_edge_flags_svg(std::string path) const;
};

#pragma once
// A drawing's curve network: one layer_graph per ink layer, in layer order.

#include <list>
#include <string>

#include "graph/layer_graph.h"

struct layer;

// While one lives on a thread, curve_network::energy of its network on that thread keeps
// every curve's terms and the running sums of the evaluation before, and adds anew only
// from the first curve that has changed since: the same float sums in the same order,
// without walking every curve. Changes are learnt from curve::refit (which every change
// of a curve's error or degree ends with), from the erasure of the editing operations
// and from the length of each curve list (curves are only appended); forget() makes the
// next evaluation walk everything. Scopes nest; the innermost one serves.
class energy_tracking {
 public:
  // A null network is tracked by nobody.
  explicit energy_tracking(const curve_network* network);
  ~energy_tracking();
  energy_tracking(const energy_tracking&) = delete;
  energy_tracking& operator=(const energy_tracking&) = delete;
  void forget();
  struct state;

 private:
  state* state_;
  state* outer_;
};

// What the curve operations tell an energy_tracking (nothing without one).
void note_curve_refitted(const curve* c);
void note_curve_erased(const curve* c);

struct curve_network : std::list<layer_graph> {
  // Energy of the network (pipeline/energy.cpp), summed in float over every curve of
  // every layer in list order:
  //   E = (N * mu + sum of w(degree)) * lambda + (1 - lambda) * sum of mean fit errors,
  // N the shared fragments of all layers, fit errors in pixels squared, degree that of
  // the curve's first segment. w(d) = (d - 1) * degree_penalty + 1 with the view, else
  // 1, 4/3, 5/3 for degrees 1, 2, 3 and 0 for any other. A curve whose mean error is not
  // finite adds only its weight, and "non finite" is printed. 0 without layers.
  float energy(float lambda, float mu) const;
  // The same with every curve's fit error measured afresh on its first segment
  // (curve_segment::error, no refit); non-finite errors are left out silently.
  float energy_recomputed(float lambda, float mu) const;

  // End-of-run passes and pictures (pipeline/recuit_end_pictures.cpp).

  // End of an interactive run: an empty line on standard output, then, below
  // output_root, "tmp/recuit_end/" + name + ".svg"; fit_joined_curves on every layer and
  // name + suffix + "_conn.svg" and "_conn_blue.svg"; slide_one_lone_end and "_conn_snap"
  // (plain and "_blue"); slide_both_lone_ends and "_conn_snap_double" (plain and
  // "_blue"); "tmp/recuit_final_snap/" + name + suffix + ".svg" (blue); classify_junctions
  // on every curve and "tmp/recuit_final_snap/" + name + suffix + "curvature.svg". name
  // is the current sketch name (empty when none is set). The passes change the network.
  void write_recuit_end(const char* suffix);

  // A complete interactive run with an optimiser of its own (pipeline/annealing_run.cpp):
  // every fragment refitted as a cubic, nb_it steps from k = 0, a progress line, then
  // write_recuit_end(""). No program calls it.
  void anneal();

  // Extraction steps 7 to 9 (pipeline/build_network.cpp).

  // Step 7: one layer_graph per raster layer (the network is resized; the records must
  // be empty), filled with the layer's regions, nodes and edges, one fitted fragment per
  // edge with two nodes and one junction per node. Height and width are the input
  // image's rows and cols. Reads the layers' pixel graphs (lookups may add entries).
  void build(std::list<layer>* layers, int rows, int cols);
  // Step 8 of the interactive program: joint fits at the junctions, the fragment split,
  // two more joint fits per layer, and the fragment-graph picture in the image's folder
  // (skipped without a view, which holds the image stem).
  void refine();
  // Step 9: one curve per fragment and one connection per junction, linked both ways and
  // refitted, then each layer's consistency report.
  void link();

  // SVG pictures (io/svg_pictures.cpp). Each writes one whole file at path (created or
  // truncated; no folder is created) with the first layer's height and width in its
  // header and ids counted from 0 over the whole file. A network without layers writes
  // no file. A file that cannot be created is named in one line on standard error and
  // the call returns normally, so a run goes on without that picture.

  // Every curve's segments; blue: all "#0000FF", else one shuffled jet colour per curve.
  void save_curves_svg(std::string path, bool blue) const;
  // Every curve in its class colour: "#0000FF" when a fragment's first edge lies on the
  // background, else "#00FF00" for a negative class_score, else "#FF0000". Reads the
  // class scores as they are (classify the curves first).
  void save_curve_class_svg(std::string path) const;
  // Fragments as black lines between their two junctions, then junctions as gray dots.
  // The first junction without fragment ends, or fragment without exactly two junctions
  // of its layer, ends the file there (footer included); later layers are not drawn.
  void save_fragment_graph_svg(std::string path) const;

  // Debugging pictures that no program writes.

  // Every fitted cubic fragment of every layer that is not a closed loop, in "blue".
  void save_cubic_fragments_svg(std::string path) const;
  // Per layer, edges as black lines between their nodes, then nodes as gray dots. A node
  // is drawn at its first junction's first fragment end; a node without one, or an edge
  // without exactly two nodes of its layer, ends the file as in save_fragment_graph_svg.
  void save_topology_svg(std::string path) const;
  // As save_topology_svg with nodes first, as orange dots, then the edges.
  void save_topology_inline_svg(std::string path) const;
  // blue: as save_curves_svg. Otherwise curves meeting at a connection where exactly two
  // curves end, with end tangents of cosine below -0.99, are chained, and each chain is
  // one path in one shuffled jet colour.
  void save_joined_curves_svg(std::string path, bool blue) const;
};

// True when some layer graph holds a fragment: without one the annealing has nothing to
// pick (pipeline/build_network.cpp).
bool holds_fragments(const curve_network& network);

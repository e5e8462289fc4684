#pragma once
// Regions and connections of the curve network.

#include <vector>

struct curve;
struct frag_conn;
struct region;
struct nregion;
struct nregion_corner;

// The connection of one junction, made when the network is linked.
struct nconnection {
  std::vector<nregion*> v_nregion;
  std::vector<curve*> v_curve;          // curves that END here, one entry per end
  std::vector<frag_conn*> v_frag_conn;  // one entry: the junction it was built from
};

// A stretch of a boundary curve of a network region.
struct curve_piece {
  struct curve* curve = nullptr;  // owned by curve_graph::curves
  double t0 = 0.0;
  double t1 = 1.0;
  nregion_corner* start_corner = nullptr;  // into the same nregion's v_corner
  nregion_corner* end_corner = nullptr;
};

// A boundary junction of a network region, between two curve pieces.
struct nregion_corner {
  struct frag_conn* frag_conn = nullptr;  // owned by frag_graph::frag_conns
  curve_piece* prev_piece = nullptr;  // the piece that ends here (into v_curve_external)
  curve_piece* next_piece = nullptr;  // the piece that starts here
};

// A network region: a closed loop of curve pieces and corners. Corner k lies between
// entries k - 1 and k of v_curve_external, corner 0 between the last entry and entry 0.
// Corners and pieces point into each other's vectors: a built nregion must stay where
// it is (curve_graph::nregions never moves it) and its vectors must not be resized.
struct nregion {
  std::vector<nconnection*> v_nconnection;     // boundary connections in loop order
  std::vector<nregion_corner> v_corner;        // one per boundary junction, loop order
  std::vector<curve_piece> v_curve_spare;      // never filled; emptied when built
  std::vector<curve_piece> v_curve_external;   // boundary pieces in loop order
  std::vector<region*> v_region;               // the topological region it was built from

  nregion() = default;
  // Empty, then build(r) when r is not null.
  explicit nregion(region* r);

  // Fills the loop from r, whose boundary lists must be in walking order
  // (region::order_boundary): one piece per boundary fragment naming the fragment's
  // first curve, one corner per boundary junction, corner k's connection in
  // v_nconnection[k]. Writes the back-links r->v_nregion, nconnection::v_nregion and
  // curve::v_nregion. A region without a boundary loop leaves everything empty; so
  // does one whose boundary cannot be entered (a node without a junction, a junction
  // without a connection, a fragment without a curve, an edge with fewer than
  // nb_f_curve + 1 junctions), after a message for the last case.
  void build(region* r);

  // The same walk and vectors as build, without any back-link.
  void build_unlinked(region* r);

  // As many pieces as connections and not none; prints "null surface" when both are
  // empty.
  bool is_valid() const;

 private:
  void build_loop(region* r, bool link_back);
};

bool nregion_is_valid(const nregion& nr);

// Refits every non-null curve, then their mean error weighted by sample count
// (pixels^2). 0 when the curves hold no sample.
double mean_curve_error(const std::vector<curve*>& curves);

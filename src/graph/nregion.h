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
  nregion_corner* start_corner = nullptr;
  nregion_corner* end_corner = nullptr;
};

// A boundary junction of a network region, between two curve pieces.
struct nregion_corner {
  struct frag_conn* frag_conn = nullptr;  // owned by frag_graph::frag_conns
  curve_piece* prev_piece = nullptr;  // the piece that ends here
  curve_piece* next_piece = nullptr;  // the piece that starts here
};

// A network region: a closed loop of curve pieces and corners. Corner k lies between
// entries k - 1 and k of v_curve_external, corner 0 between the last entry and entry 0.
struct nregion {
  std::vector<nconnection*> v_nconnection;     // boundary connections in loop order
  std::vector<nregion_corner> v_corner;        // one per boundary junction, loop order
  std::vector<curve_piece> v_curve_spare;      // never filled; emptied when built
  std::vector<curve_piece> v_curve_external;   // boundary pieces in loop order
  std::vector<region*> v_region;               // the topological region it was built from
};

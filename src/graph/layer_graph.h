#pragma once
// The per-layer record of the topological graph and the curve network, and the
// network of a drawing. Elements live in std::lists and are never moved while they
// exist; links between them are raw pointers that own nothing.

#include <cstdint>
#include <list>
#include <set>

#include "graph/curve.h"
#include "graph/edge.h"
#include "graph/f_curve.h"
#include "graph/nregion.h"

struct layer_graph;

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

  // Layer passes (layer_passes.cpp): each applies one operation to every element of one
  // kind in list order and touches no other layer.

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
};

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
};

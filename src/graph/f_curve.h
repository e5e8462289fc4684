#pragma once
// Fragments of a topological edge and the junctions between them.

#include <vector>

#include <glm/vec2.hpp>

struct curve;
struct edge;
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
};

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
};

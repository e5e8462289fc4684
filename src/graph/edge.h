#pragma once
// The topological graph of a layer: edges between regions, nodes where edges meet,
// regions enclosed by strokes. All owned by topo_graph's lists.

#include <vector>

struct f_curve;
struct frag_conn;
struct node;
struct region;
struct nregion;

// A boundary between two regions, cut into a chain of fragments.
struct edge {
  std::vector<node*> v_node;            // its two nodes
  std::vector<region*> v_region;        // the two regions it separates
  std::vector<f_curve*> v_f_curve;      // its fragments in walking order
  std::vector<frag_conn*> v_frag_conn;  // its junctions in walking order, one more than fragments
  bool display_mark = false;            // carried from a .graph file; read by one SVG colouring
  bool display_mark_2 = false;          // the same
  bool on_background = false;           // borders the background region
};

// An edge of a region's boundary with the region on its other side.
struct region_edge {
  struct edge* edge = nullptr;  // owned by topo_graph::edges
  region* other = nullptr;      // the region on the other side of that edge
};

struct node {
  std::vector<edge*> v_edge;
  std::vector<region*> v_region;
  std::vector<frag_conn*> v_frag_conn;
};

struct region {
  std::vector<region_edge> v_region_edge;  // its boundary
  std::vector<node*> v_node;               // nodes on its boundary
  bool background = false;                 // the one background region
  std::vector<nregion*> v_nregion;         // network regions built from it
};

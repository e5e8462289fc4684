#pragma once
// The topological graph of a layer: edges between regions, nodes where edges meet,
// regions enclosed by strokes. All owned by topo_graph's lists.
//
// The orderings put the adjacency lists, which the network build fills in whatever
// order it meets them, into walking order. Each one leaves its lists unchanged when
// they do not describe a walkable chain, fan or loop.

#include <utility>
#include <vector>

#include <glm/vec2.hpp>

struct f_curve;
struct frag_conn;
struct frag_end;
struct node;
struct region;
struct nregion;
struct layer_graph;

// A boundary between two regions, cut into a chain of fragments.
struct edge {
  std::vector<node*> v_node;            // its two nodes
  std::vector<region*> v_region;        // the two regions it separates
  std::vector<f_curve*> v_f_curve;      // its fragments in walking order
  std::vector<frag_conn*> v_frag_conn;  // its junctions in walking order, one more than fragments
  bool display_mark = false;            // carried from a .graph file; read by one SVG colouring
  bool display_mark_2 = false;          // the same
  bool on_background = false;           // borders the background region

  // Rewrites v_f_curve and v_frag_conn as a walk from the first junction of v_node[0]
  // to the first junction of v_node[1]: fragment k lies between junctions k and k + 1.
  // A closed edge (both nodes on one junction) is walked at least one fragment far.
  // Fragments and junctions the walk does not reach are dropped; when the walk gets
  // stuck before the target both lists stay as they were.
  void order_fragments();

  // Merges v_node[1] into v_node[0] and destroys this edge, its one fragment, the
  // second node and its first junction (all erased from L's lists; pointers to them
  // dangle). An edge of more or fewer than one fragment, or one whose two ends lie on
  // one node or one junction, is left alone after a message. Meant for the layer
  // before its curves exist: curves holding the fragment are not updated.
  void collapse(layer_graph& L);

  // Whether the two nodes (three edges each) are better joined across this edge: at
  // each node a cubic through the first fragments of its two other edges, refitted,
  // is compared with those fragments' own fits. False on the background border.
  bool joins_better_across() const;
};

// An edge of a region's boundary with the region on its other side.
struct region_edge {
  struct edge* edge = nullptr;  // owned by topo_graph::edges
  region* other = nullptr;      // the region on the other side of that edge
};

// The node tests below look at the node's first junction (v_frag_conn[0]) and refuse
// (false or null) a node that has an edge on the background border. "The fragment"
// of an edge is its first fragment.
struct node {
  std::vector<edge*> v_edge;
  std::vector<region*> v_region;
  std::vector<frag_conn*> v_frag_conn;

  // Rewrites v_edge and v_region in cyclic order: region k lies between edge k and
  // edge k + 1, the last region between the last edge and edge 0; region 0 is edge 0's
  // first region. Nothing happens unless there are as many edges as regions and at
  // least one, every edge has two regions and the fan closes within that many edges.
  void order_around();

  // The entry of the first junction whose fragment lies on e; the first entry when
  // none does; null when the node has no junction or the junction no entry.
  const frag_end* frag_end_of_edge(const edge* e) const;

  // Four edges in cyclic order whose opposite fragments continue each other: the end
  // misalignments of edges 1, 3 and of edges 0, 2 add up to less than 0.1.
  bool is_straight_crossing() const;

  // Four edges: whether cubics through the fragments of edges 0, 2 and of edges 1, 3
  // fit nearly as well as the fragments alone. Counts in crossing_test_count and
  // writes a picture of the two cubics below output_root + "tmp/cc/".
  bool crossing_join_test(layer_graph& L) const;

  // Three edges, one of them short and ending at a node of three edges whose
  // fragments continue this node's two across it (two strokes crossing, split into
  // two junctions): that node, else null.
  node* find_split_crossing_partner() const;

  // Three edges with a strictly shortest one ending at a node of three edges: that
  // node when exactly one way of pairing the two nodes' other fragments through the
  // short edge fits well, else null. Counts in short_edge_test_count and writes one
  // picture per pairing below output_root + "tmp/cc/".
  node* find_short_edge_partner(layer_graph& L) const;
};

struct region {
  std::vector<region_edge> v_region_edge;  // its boundary
  std::vector<node*> v_node;               // nodes on its boundary
  bool background = false;                 // the one background region
  std::vector<nregion*> v_nregion;         // network regions built from it

  // Rewrites v_region_edge and v_node in loop order: entry k runs from node k to
  // node k + 1 of the same loop, the last entry of a loop back to its first node;
  // several loops follow each other. Nothing happens unless has_boundary_loop(), and
  // the lists stay as they were when a loop does not close or is walked twice.
  void order_boundary();

  // As many boundary entries as boundary nodes, and at least one. (nregion.cpp)
  bool has_boundary_loop() const;

  // A new region for a and b joined: a's boundary entries not facing b, then b's
  // entries on edges not shared with a; a's nodes still on that boundary, then b's
  // nodes not at an end of a shared edge. Unordered; links nothing. (nregion.cpp)
  static region merge_adjacent(const region& a, const region& b);
};

// Picture counters of the crossing tests, for unique file names.
extern int crossing_test_count;
extern int short_edge_test_count;

// The entry of `entries` whose fragment lies on e; entries[0] when none does. Null
// for an empty list.
const frag_end* frag_end_of_edge(const std::vector<frag_end>& entries, const edge* e);

// Unit tangent of the entry's fragment at the entry's end (t = 0 for end 0, else
// t = 1), pointing along increasing t. Needs the fragment's control points.
glm::dvec2 frag_end_unit_tangent(const frag_end& fe);

// 1 - |u1 . u2| of the two entries' unit end tangents: 0 for collinear ends.
double end_tangent_misalignment(const frag_end& a, const frag_end& b);

// (c1 e1 + c2 e2 + c3 e3) / (c1 + c2 + c3), with ci the sample counts and ei the mean
// errors (pixels^2) of fragments a and b and (e3, c3) one further pair.
double weighted_mean_error(const f_curve& a, const f_curve& b, double e3, double c3);

// True when no pair's pointer (its first) is in v. Pairs: any range of std::pair.
template <class T, class Pairs>
bool none_listed(const std::vector<T*>& v, const Pairs& pairs) {
  for (const auto& p : pairs)
    for (T* x : v)
      if (x == p.first) return false;
  return true;
}

// The collinear-end merges of layer_graph::merge_collinear_fragments: when the lone
// end's fragment is the only fragment of its edge, its samples are appended to every
// receiver (parameters rescaled by sample counts so that each receiver again spans
// [0, 1]), the edge is collapsed and the receivers are refitted. Returns whether it
// merged; otherwise nothing changes. The entries are copies: the collapse edits the
// junction they came from.
bool merge_lone_fragment_3(layer_graph& L, frag_end lone, frag_end r1, frag_end r2);
bool merge_lone_fragment_4(layer_graph& L, frag_end lone, frag_end r1, frag_end r2, frag_end r3);

#include "graph/edge.h"

#include <glm/geometric.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>

#include "graph/curve.h"
#include "graph/f_curve.h"
#include "graph/layer_graph.h"
#include "io/output_names.h"
#include "support/layer_fixtures.h"
#include "support/network_checker.h"
#include "support/topology_builder.h"

namespace {

using namespace topology_builder;

// A chain of three fragments A -> B -> C -> D between nodes N0 (at A) and N1 (at D).
struct chain3 {
  layer_graph g;
  node* n0;
  node* n1;
  frag_conn *a, *b, *c, *d;
  f_curve *f1, *f2, *f3;
  edge* e;
  chain3() {
    n0 = add_node(g);
    n1 = add_node(g);
    a = n0->v_frag_conn[0];
    d = n1->v_frag_conn[0];
    b = add_junction(g);
    c = add_junction(g);
    f1 = add_fragment(g, a, b, {0, 0}, {10, 0});
    // The middle fragment runs backwards, as a cut or the build may leave it.
    f2 = add_fragment(g, c, b, {20, 0}, {10, 0});
    f3 = add_fragment(g, c, d, {20, 0}, {30, 0});
    e = add_edge(g, n0, n1, {f3, f1, f2}, {c, a, d, b});
  }
};

TEST(EdgeOrderFragments, ScrambledChainIsWalkedFromFirstNodeToSecond) {
  chain3 s;
  s.e->order_fragments();
  EXPECT_EQ(s.e->v_f_curve, (std::vector<f_curve*>{s.f1, s.f2, s.f3}));
  EXPECT_EQ(s.e->v_frag_conn, (std::vector<frag_conn*>{s.a, s.b, s.c, s.d}));

  // Already in order: unchanged. Nodes swapped: walked the other way.
  s.e->order_fragments();
  EXPECT_EQ(s.e->v_f_curve, (std::vector<f_curve*>{s.f1, s.f2, s.f3}));
  std::swap(s.e->v_node[0], s.e->v_node[1]);
  s.e->order_fragments();
  EXPECT_EQ(s.e->v_f_curve, (std::vector<f_curve*>{s.f3, s.f2, s.f1}));
  EXPECT_EQ(s.e->v_frag_conn, (std::vector<frag_conn*>{s.d, s.c, s.b, s.a}));
}

TEST(EdgeOrderFragments, BrokenChainLeavesTheListsAlone) {
  chain3 s;
  s.e->v_f_curve = {s.f3, s.f1};  // f2 missing: no way from B to C
  const auto junctions = s.e->v_frag_conn;
  s.e->order_fragments();
  EXPECT_EQ(s.e->v_f_curve, (std::vector<f_curve*>{s.f3, s.f1}));
  EXPECT_EQ(s.e->v_frag_conn, junctions);
}

TEST(EdgeOrderFragments, ClosedEdges) {
  {  // two fragments J -> K -> J, both nodes on J
    layer_graph g;
    node* n = add_node(g);
    frag_conn* j = n->v_frag_conn[0];
    frag_conn* k = add_junction(g);
    f_curve* back = add_fragment(g, k, j, {10, 10}, {0, 0});
    f_curve* out = add_fragment(g, j, k, {0, 0}, {10, 0});
    // J lists `out` before `back`: swap its entries so that `back` comes first.
    std::swap(j->v_frag_end[0], j->v_frag_end[1]);
    edge* e = add_edge(g, n, n, {out, back}, {k, j});
    e->order_fragments();
    EXPECT_EQ(e->v_f_curve, (std::vector<f_curve*>{out, back}));
    EXPECT_EQ(e->v_frag_conn, (std::vector<frag_conn*>{j, k, j}));
  }
  {  // one fragment whose both ends lie on J
    layer_graph g;
    node* n = add_node(g);
    frag_conn* j = n->v_frag_conn[0];
    f_curve* loop = add_fragment(g, j, j, {0, 0}, {0, 0});
    edge* e = add_edge(g, n, n, {loop}, {j, j});
    e->order_fragments();
    EXPECT_EQ(e->v_f_curve, (std::vector<f_curve*>{loop}));
    EXPECT_EQ(e->v_frag_conn, (std::vector<frag_conn*>{j}));
  }
}

// Node with three edges A (regions 1, 2), B (3, 1), C (2, 3), listed A, C, B.
struct fan3 {
  layer_graph g;
  node* centre;
  edge *ea, *eb, *ec;
  region *r1, *r2, *r3;
  fan3() {
    centre = add_node(g);
    r1 = add_region(g);
    r2 = add_region(g);
    r3 = add_region(g);
    ea = add_edge(g, centre, add_node(g), {}, {});
    ec = add_edge(g, centre, add_node(g), {}, {});
    eb = add_edge(g, centre, add_node(g), {}, {});
    bound(ea, r1, r2);
    bound(ec, r2, r3);
    bound(eb, r3, r1);
  }
};

TEST(NodeOrderAround, ThreeEdgesComeOutInCyclicOrder) {
  fan3 s;
  ASSERT_EQ(s.centre->v_edge, (std::vector<edge*>{s.ea, s.ec, s.eb}));
  s.centre->order_around();
  EXPECT_EQ(s.centre->v_edge, (std::vector<edge*>{s.ea, s.eb, s.ec}));
  EXPECT_EQ(s.centre->v_region, (std::vector<region*>{s.r1, s.r3, s.r2}));
  // Region k lies between edge k and edge k + 1.
  for (std::size_t k = 0; k < 3; ++k) {
    const region* r = s.centre->v_region[k];
    for (const edge* e : {s.centre->v_edge[k], s.centre->v_edge[(k + 1) % 3]})
      EXPECT_TRUE(e->v_region[0] == r || e->v_region[1] == r) << k;
  }
}

TEST(NodeOrderAround, NodesThatAreNoFanStayAsTheyAre) {
  {  // more edges than regions
    fan3 s;
    s.centre->v_region.pop_back();
    const auto edges = s.centre->v_edge;
    s.centre->order_around();
    EXPECT_EQ(s.centre->v_edge, edges);
  }
  {  // no edge at all
    layer_graph g;
    node* n = add_node(g);
    n->order_around();
    EXPECT_TRUE(n->v_edge.empty());
  }
  {  // the fan does not close: a region that no further edge shares
    fan3 s;
    s.eb->v_region = {add_region(s.g), s.r1};
    const auto edges = s.centre->v_edge;
    const auto regions = s.centre->v_region;
    s.centre->order_around();
    EXPECT_EQ(s.centre->v_edge, edges);
    EXPECT_EQ(s.centre->v_region, regions);
  }
  {  // an edge without regions (a traced open stroke)
    fan3 s;
    s.ec->v_region.clear();
    const auto edges = s.centre->v_edge;
    s.centre->order_around();
    EXPECT_EQ(s.centre->v_edge, edges);
  }
}

TEST(NodeOrderAround, EdgeWithOneRegionOnBothSidesLeavesOneEntry) {
  fan3 s;
  s.ea->v_region = {s.r1, s.r1};
  s.centre->order_around();
  EXPECT_EQ(s.centre->v_edge, (std::vector<edge*>{s.ea}));
  EXPECT_EQ(s.centre->v_region, (std::vector<region*>{s.r1}));
}

// Each loop of the region's boundary in order: entry k runs from node k to node k + 1,
// and the last entry of a loop back to the loop's first node.
void expect_loop_order(const region& r) {
  ASSERT_EQ(r.v_region_edge.size(), r.v_node.size());
  const std::size_t n = r.v_node.size();
  std::size_t first = 0;
  for (std::size_t k = 0; k < n; ++k) {
    const edge* e = r.v_region_edge[k].edge;
    const node* from = r.v_node[k];
    ASSERT_TRUE(e->v_node[0] == from || e->v_node[1] == from) << "entry " << k;
    const node* to = e->v_node[0] == from ? e->v_node[1] : e->v_node[0];
    if (k + 1 < n && to == r.v_node[k + 1]) continue;
    ASSERT_EQ(to, r.v_node[first]) << "entry " << k << " leads nowhere";
    first = k + 1;
  }
  EXPECT_EQ(first, n) << "the last loop does not close";
}

TEST(RegionOrderBoundary, TriangleIsWalkedAwayFromItsFirstEntry) {
  layer_graph g;
  node* x = add_node(g);
  node* y = add_node(g);
  node* z = add_node(g);
  region* inside = add_region(g);
  region* outside = add_region(g);
  edge* a = add_edge(g, x, y, {}, {});
  edge* b = add_edge(g, z, x, {}, {});
  edge* c = add_edge(g, y, z, {}, {});
  for (edge* e : {a, b, c}) bound(e, inside, outside);
  inside->order_boundary();
  ASSERT_EQ(inside->v_region_edge.size(), 3u);
  EXPECT_EQ(inside->v_region_edge[0].edge, b);
  EXPECT_EQ(inside->v_region_edge[1].edge, c);
  EXPECT_EQ(inside->v_region_edge[2].edge, a);
  EXPECT_EQ(inside->v_region_edge[2].other, outside);
  EXPECT_EQ(inside->v_node, (std::vector<node*>{x, z, y}));
  expect_loop_order(*inside);
}

TEST(RegionOrderBoundary, OuterLoopThenHoleEachClosedByItsStartingEntry) {
  layer_graph g;
  node* x = add_node(g);
  node* y = add_node(g);
  node* z = add_node(g);
  node* h = add_node(g);
  region* ring = add_region(g);
  region* outside = add_region(g);
  region* hole = add_region(g);
  edge* a = add_edge(g, x, y, {}, {});
  edge* loop = add_edge(g, h, h, {}, {});
  edge* b = add_edge(g, y, z, {}, {});
  edge* c = add_edge(g, z, x, {}, {});
  bound(a, ring, outside);
  bound(loop, ring, hole);
  bound(b, ring, outside);
  bound(c, ring, outside);
  ring->order_boundary();
  ASSERT_EQ(ring->v_region_edge.size(), 4u);
  EXPECT_EQ(ring->v_region_edge[0].edge, c);
  EXPECT_EQ(ring->v_region_edge[1].edge, b);
  EXPECT_EQ(ring->v_region_edge[2].edge, a);
  EXPECT_EQ(ring->v_region_edge[3].edge, loop);
  EXPECT_EQ(ring->v_region_edge[3].other, hole);
  EXPECT_EQ(ring->v_node, (std::vector<node*>{x, z, y, h}));
  expect_loop_order(*ring);
}

TEST(RegionOrderBoundary, BoundariesWithoutALoopStayAsTheyAre) {
  layer_graph g;
  node* x = add_node(g);
  node* y = add_node(g);
  node* z = add_node(g);
  region* r = add_region(g);
  region* o = add_region(g);
  edge* a = add_edge(g, x, y, {}, {});
  edge* b = add_edge(g, y, z, {}, {});
  bound(a, r, o);
  bound(b, r, o);
  // Two entries, three nodes: no boundary loop.
  const auto entries = r->v_region_edge;
  r->order_boundary();
  EXPECT_EQ(r->v_node, (std::vector<node*>{x, y, z}));
  // As many entries as nodes, but x and z each touched by one entry: an open path.
  r->v_node.pop_back();
  r->v_region_edge.push_back(region_edge{b, o});
  r->order_boundary();
  EXPECT_EQ(r->v_node, (std::vector<node*>{x, y}));
  EXPECT_EQ(r->v_region_edge.size(), 3u);
  EXPECT_EQ(r->v_region_edge[0].edge, a);
}

TEST(RegionOrderBoundary, WalkThatComesBackToAnEntryItTookStaysAsItIs) {
  // Y -a- X -b- Z, and Z and W joined by two edges c and d: four entries, four nodes.
  // The walk from X (away from a) takes b, c, d, and then would take b again back to X
  // and close with a: five entries for four. It must stop at b instead.
  layer_graph g;
  node* x = add_node(g);
  node* y = add_node(g);
  node* z = add_node(g);
  node* w = add_node(g);
  region* r = add_region(g);
  region* o = add_region(g);
  edge* a = add_edge(g, x, y, {}, {});
  edge* b = add_edge(g, x, z, {}, {});
  edge* c = add_edge(g, z, w, {}, {});
  edge* d = add_edge(g, w, z, {}, {});
  for (edge* e : {a, b, c, d}) bound(e, r, o);
  ASSERT_TRUE(r->has_boundary_loop());
  const std::vector<node*> nodes = r->v_node;
  r->order_boundary();
  EXPECT_EQ(r->v_node, nodes);
  ASSERT_EQ(r->v_region_edge.size(), 4u);
  const std::vector<edge*> listed{a, b, c, d};
  for (std::size_t k = 0; k < 4; ++k) EXPECT_EQ(r->v_region_edge[k].edge, listed[k]) << "entry " << k;
}

TEST(EdgeCollapse, SecondNodeIsMergedIntoTheFirst) {
  // N2 -h- N0 -e- N1 -k- N3, e holding one fragment; regions up and down on both sides.
  layer_graph g;
  node* n0 = add_node(g);
  node* n1 = add_node(g);
  node* n2 = add_node(g);
  node* n3 = add_node(g);
  frag_conn* j0 = n0->v_frag_conn[0];
  frag_conn* j1 = n1->v_frag_conn[0];
  f_curve* fh = add_fragment(g, n2->v_frag_conn[0], j0, {-10, 0}, {0, 0});
  f_curve* fe = add_fragment(g, j0, j1, {0, 0}, {1, 0});
  f_curve* fk = add_fragment(g, j1, n3->v_frag_conn[0], {1, 0}, {11, 0});
  edge* h = add_edge(g, n2, n0, {fh}, {n2->v_frag_conn[0], j0});
  edge* e = add_edge(g, n0, n1, {fe}, {j0, j1});
  edge* k = add_edge(g, n1, n3, {fk}, {j1, n3->v_frag_conn[0]});
  region* up = add_region(g);
  region* down = add_region(g);
  for (edge* x : {h, e, k}) bound(x, up, down);

  e->collapse(g);
  EXPECT_EQ(g.edges.size(), 2u);
  EXPECT_EQ(g.nodes.size(), 3u);
  EXPECT_EQ(g.f_curves.size(), 2u);
  EXPECT_EQ(g.frag_conns.size(), 3u);
  EXPECT_EQ(n0->v_edge, (std::vector<edge*>{h, k}));
  EXPECT_EQ(j0->v_edge, (std::vector<edge*>{h, k}));
  EXPECT_EQ(k->v_node, (std::vector<node*>{n0, n3}));
  EXPECT_EQ(k->v_frag_conn[0], j0);
  EXPECT_EQ(fk->v_frag_conn[0], j0);
  ASSERT_EQ(j0->v_frag_end.size(), 2u);
  EXPECT_EQ(j0->v_frag_end[0].fragment, fh);
  EXPECT_EQ(j0->v_frag_end[1].fragment, fk);
  EXPECT_EQ(j0->v_frag_end[1].end, 0);
  for (region* r : {up, down}) {
    EXPECT_EQ(r->v_region_edge.size(), 2u);
    for (const region_edge& re : r->v_region_edge) EXPECT_NE(re.edge, e);
    EXPECT_EQ(r->v_node.size(), 3u);
    for (const node* n : r->v_node) EXPECT_NE(n, n1);
  }
}

TEST(EdgeCollapse, RefusesEdgesItCannotMerge) {
  chain3 s;  // three fragments
  testing::internal::CaptureStdout();
  s.e->collapse(s.g);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "the edge has to have only one frag for this collapse. Colle it before split fragment curve\n"
            "at line 144 in file src/graph/edge\n");
  EXPECT_EQ(s.g.edges.size(), 1u);

  // One fragment, but both ends on one node: merging it into itself would destroy it.
  layer_graph g;
  node* n = add_node(g);
  frag_conn* j = n->v_frag_conn[0];
  edge* loop = add_edge(g, n, n, {add_fragment(g, j, j, {0, 0}, {0, 0})}, {j, j});
  testing::internal::CaptureStdout();
  loop->collapse(g);
  EXPECT_FALSE(testing::internal::GetCapturedStdout().empty());
  EXPECT_EQ(g.edges.size(), 1u);
  EXPECT_EQ(g.nodes.size(), 1u);
  EXPECT_EQ(g.f_curves.size(), 1u);
}

}  // namespace

namespace {

// A node at `centre` whose edges run straight out to the given points, one fragment
// each (t = 0 at the centre), in the given order.
struct star {
  layer_graph g;
  node* centre;
  std::vector<edge*> spokes;
  star(glm::dvec2 at, const std::vector<glm::dvec2>& tips) {
    centre = add_node(g);
    add_spokes(centre, at, tips);
  }
  // About one sample per pixel of length, as strokes are sampled.
  void add_spokes(node* n, glm::dvec2 at, const std::vector<glm::dvec2>& tips) {
    for (glm::dvec2 tip : tips) {
      node* far = add_node(g);
      const int samples = 1 + int(glm::length(tip - at));
      f_curve* f = add_fragment(g, n->v_frag_conn[0], far->v_frag_conn[0], at, tip, samples);
      spokes.push_back(add_edge(g, n, far, {f}, {n->v_frag_conn[0], far->v_frag_conn[0]}));
    }
  }
};

TEST(NodeIsStraightCrossing, OppositeEdgesInCyclicOrderMustContinueEachOther) {
  const glm::dvec2 o{0, 0};
  EXPECT_TRUE(star(o, {{10, 0}, {0, 10}, {-10, 0}, {0, -10}}).centre->is_straight_crossing());
  EXPECT_TRUE(star(o, {{10, 1}, {-1, 10}, {-10, 0}, {0, -10}}).centre->is_straight_crossing());
  // Same four edges out of cyclic order, a bent stroke, three edges.
  EXPECT_FALSE(star(o, {{10, 0}, {-10, 0}, {0, 10}, {0, -10}}).centre->is_straight_crossing());
  EXPECT_FALSE(star(o, {{10, 0}, {0, 10}, {-10, 6}, {0, -10}}).centre->is_straight_crossing());
  EXPECT_FALSE(star(o, {{10, 0}, {0, 10}, {-10, 0}}).centre->is_straight_crossing());
  star on_border(o, {{10, 0}, {0, 10}, {-10, 0}, {0, -10}});
  on_border.spokes[2]->on_background = true;
  EXPECT_FALSE(on_border.centre->is_straight_crossing());
}

// Two strokes crossing, seen as two junctions joined by a short edge: A at (0, 0)
// with spokes `reach` to the upper and lower left, B at (1, 0) with spokes to the right.
struct split_crossing {
  star s;
  node* b;
  edge* bridge;
  split_crossing(glm::dvec2 b_up, glm::dvec2 b_down, double reach = 10)
      : s({0, 0}, {{-reach, reach}, {-reach, -reach}}) {
    b = add_node(s.g);
    f_curve* f = add_fragment(s.g, s.centre->v_frag_conn[0], b->v_frag_conn[0], {0, 0}, {1, 0}, 2);
    bridge = add_edge(s.g, s.centre, b, {f}, {s.centre->v_frag_conn[0], b->v_frag_conn[0]});
    s.add_spokes(b, {1, 0}, {b_up, b_down});
  }
};

TEST(NodeFindSplitCrossingPartner, FindsTheOtherHalfOfTwoCrossingStrokes) {
  split_crossing x({11, 10}, {11, -10});
  EXPECT_EQ(x.s.centre->find_split_crossing_partner(), x.b);
  EXPECT_EQ(x.b->find_split_crossing_partner(), x.s.centre);

  // B's strokes do not continue A's.
  EXPECT_EQ(split_crossing({11, 2}, {11, -2}).s.centre->find_split_crossing_partner(), nullptr);
  // The joining edge is not short against B's fragments.
  EXPECT_EQ(split_crossing({2, 1}, {2, -1}).s.centre->find_split_crossing_partner(), nullptr);
  // B on the background border.
  split_crossing border({11, 10}, {11, -10});
  border.s.spokes.back()->on_background = true;
  EXPECT_EQ(border.s.centre->find_split_crossing_partner(), nullptr);
}

}  // namespace

namespace {

// Region k lies between edge k and edge k + 1 of the node, the last between the last
// edge and edge 0, and every edge of `all` is there once.
void expect_fan_order(const node& n, std::vector<edge*> all) {
  ASSERT_EQ(n.v_edge.size(), all.size());
  ASSERT_EQ(n.v_region.size(), all.size());
  std::vector<edge*> got = n.v_edge;
  std::sort(got.begin(), got.end());
  std::sort(all.begin(), all.end());
  EXPECT_EQ(got, all);
  const std::size_t m = n.v_edge.size();
  EXPECT_EQ(n.v_region[0], n.v_edge[0]->v_region[0]);
  for (std::size_t k = 0; k < m; ++k) {
    const region* r = n.v_region[k];
    for (const edge* e : {n.v_edge[k], n.v_edge[(k + 1) % m]})
      EXPECT_TRUE(e->v_region[0] == r || e->v_region[1] == r) << "region " << k;
  }
}

// Gives the arms of a star fixture (arms listed in angular order `around`) the regions
// between neighbouring arms, as the network build would.
std::vector<region*> add_wedges(layer_graph& g, const std::vector<edge*>& around) {
  std::vector<region*> wedges;
  for (std::size_t k = 0; k < around.size(); ++k) wedges.push_back(add_region(g));
  for (std::size_t k = 0; k < around.size(); ++k)
    bound(around[k], wedges[k], wedges[(k + around.size() - 1) % around.size()]);
  return wedges;
}

TEST(Orderings, TAndXJunctionsComeOutInCyclicOrder) {
  std::mt19937 rng(7);
  {
    layer_graph g;
    fixture::layer_parts t = fixture::t_junction(g);
    const std::vector<edge*> arms = t.edges;  // left, right, down
    add_wedges(g, {arms[0], arms[2], arms[1]});
    node* centre = t.nodes[0];
    centre->v_edge = {arms[1], arms[2], arms[0]};
    centre->order_around();
    expect_fan_order(*centre, arms);
    EXPECT_EQ(check_network(g), "");
  }
  for (int trial = 0; trial < 4; ++trial) {
    layer_graph g;
    fixture::layer_parts x = fixture::x_junction(g);
    const std::vector<edge*> arms = x.edges;  // left, right, up, down
    add_wedges(g, {arms[0], arms[2], arms[1], arms[3]});
    node* centre = x.nodes[0];
    std::shuffle(centre->v_edge.begin(), centre->v_edge.end(), rng);
    centre->order_around();
    expect_fan_order(*centre, arms);
    // Once in cyclic order, the straight arms make a straight crossing.
    EXPECT_TRUE(centre->is_straight_crossing());
    // Every arm still walks from its first node's junction to its second's.
    for (edge* e : arms) {
      const std::vector<f_curve*> before = e->v_f_curve;
      e->order_fragments();
      EXPECT_EQ(e->v_f_curve, before);
      EXPECT_EQ(e->v_frag_conn.front(), e->v_node[0]->v_frag_conn[0]);
      EXPECT_EQ(e->v_frag_conn.back(), e->v_node[1]->v_frag_conn[0]);
    }
  }
}

TEST(Orderings, ClosedLoopEdgeIsRestoredFromAnyScrambling) {
  for (int rotate = 0; rotate < 3; ++rotate) {
    layer_graph g;
    fixture::layer_parts loop = fixture::closed_loop(g);
    edge* e = loop.edges[0];
    const std::vector<f_curve*> fragments = e->v_f_curve;
    const std::vector<frag_conn*> junctions = e->v_frag_conn;
    std::reverse(e->v_f_curve.begin(), e->v_f_curve.end());
    std::rotate(e->v_f_curve.begin(), e->v_f_curve.begin() + rotate, e->v_f_curve.end());
    e->v_frag_conn = {junctions[2], junctions[1], junctions[0]};
    e->order_fragments();
    EXPECT_EQ(e->v_f_curve, fragments);
    EXPECT_EQ(e->v_frag_conn, junctions);  // J0 J1 J2 J0
    region& inside = g.regions.front();
    inside.order_boundary();
    EXPECT_EQ(inside.v_node, loop.nodes);
    EXPECT_EQ(check_network(g), "");
  }
}

// H shape: nodes A (0, 0) and B (0, 10) joined by edge e; at each, two more edges out
// to `a_tips` and `b_tips`. Fragments fitted on their own.
struct h_shape {
  layer_graph g;
  edge* e;
  h_shape(const std::vector<glm::dvec2>& a_tips, const std::vector<glm::dvec2>& b_tips) {
    node* a = add_node(g);
    node* b = add_node(g);
    f_curve* f = add_fragment(g, a->v_frag_conn[0], b->v_frag_conn[0], {0, 0}, {0, 10});
    e = add_edge(g, a, b, {f}, {a->v_frag_conn[0], b->v_frag_conn[0]});
    for (auto [n, at, tips] : {std::tuple{a, glm::dvec2(0, 0), a_tips}, std::tuple{b, glm::dvec2(0, 10), b_tips}})
      for (glm::dvec2 tip : tips) {
        node* far = add_node(g);
        f_curve* arm = add_fragment(g, n->v_frag_conn[0], far->v_frag_conn[0], at, tip);
        add_edge(g, n, far, {arm}, {n->v_frag_conn[0], far->v_frag_conn[0]});
      }
    for (f_curve& x : g.f_curves) x.fit_cubic();
  }
};

TEST(EdgeJoinsBetterAcross, StraightStrokesThroughBothEndsJoinAcross) {
  EXPECT_TRUE(h_shape({{-20, 0}, {20, 0}}, {{-20, 10}, {20, 10}}).e->joins_better_across());
  // Sharp corners at both ends: one cubic per corner fits far worse than two lines.
  EXPECT_FALSE(h_shape({{-20, 0}, {-20, -20}}, {{20, 10}, {20, 30}}).e->joins_better_across());
  h_shape border({{-20, 0}, {20, 0}}, {{-20, 10}, {20, 10}});
  border.e->on_background = true;
  EXPECT_FALSE(border.e->joins_better_across());
  // A node of two edges only.
  EXPECT_FALSE(h_shape({{-20, 0}, {20, 0}}, {{-20, 10}}).e->joins_better_across());
}

// Junction J at (0, 0) of node NJ: a lone fragment out to the left, its own edge to
// node NL, and two receivers out to the right on edges of their own.
struct overlap {
  layer_graph g;
  node* nj;
  f_curve *lone, *r1, *r2;
  edge* lone_edge;
  overlap() {
    nj = add_node(g);
    frag_conn* j = nj->v_frag_conn[0];
    node* nl = add_node(g);
    lone = add_fragment(g, j, nl->v_frag_conn[0], {0, 0}, {-10, 0});
    lone_edge = add_edge(g, nj, nl, {lone}, {j, nl->v_frag_conn[0]});
    for (f_curve** r : {&r1, &r2}) {
      node* far = add_node(g);
      const glm::dvec2 tip(20, r == &r1 ? 0.5 : -0.5);
      *r = add_fragment(g, j, far->v_frag_conn[0], {0, 0}, tip, 21);
      add_edge(g, nj, far, {*r}, {j, far->v_frag_conn[0]});
    }
  }
};

TEST(LayerMergeCollinearFragments, LoneEndIsMergedIntoBothReceivers) {
  overlap s;
  s.g.merge_collinear_fragments();
  EXPECT_EQ(s.g.f_curves.size(), 2u);
  EXPECT_EQ(s.g.edges.size(), 2u);
  EXPECT_EQ(s.g.nodes.size(), 3u);
  EXPECT_EQ(s.nj->v_frag_conn[0]->v_frag_end.size(), 2u);
  for (f_curve* r : {s.r1, s.r2}) {
    ASSERT_EQ(r->v_point.size(), 32u);
    ASSERT_EQ(r->v_t.size(), 32u);
    ASSERT_EQ(r->v_weight.size(), 32u);
    // Parameters span [0, 1] and grow from the lone fragment's far end to the receiver's.
    std::vector<std::pair<double, float>> by_t;
    for (std::size_t i = 0; i < r->v_t.size(); ++i) by_t.emplace_back(r->v_t[i], r->v_point[i].x);
    std::sort(by_t.begin(), by_t.end());
    EXPECT_DOUBLE_EQ(by_t.front().first, 0.0);
    EXPECT_DOUBLE_EQ(by_t.back().first, 1.0);
    EXPECT_FLOAT_EQ(by_t.front().second, -10.0f);
    for (std::size_t i = 1; i < by_t.size(); ++i) EXPECT_GE(by_t[i].second, by_t[i - 1].second);
    EXPECT_LT(r->mean_error, 0.05f);
    EXPECT_NEAR(r->v_ctrl_point[0].x, -10.0, 0.5);
  }
}

TEST(LayerMergeCollinearFragments, EndsAllLeavingOneWayMergeTheFirstListed) {
  // Three or four arms that all leave J to the right: every end is collinear with every
  // other, and the first end listed at J is the one merged. Only that arm is alone on
  // its edge (the others' edges also list a spare fragment), so no other choice would
  // merge anything.
  for (std::size_t n : {3u, 4u}) {
    layer_graph g;
    f_curve* spare = add_fragment(g, add_junction(g), add_junction(g), {50, 50}, {60, 60});
    node* nj = add_node(g);
    frag_conn* j = nj->v_frag_conn[0];
    std::vector<f_curve*> arms;
    for (std::size_t k = 0; k < n; ++k) {
      node* far = add_node(g);
      arms.push_back(add_fragment(g, j, far->v_frag_conn[0], {0, 0}, {20, 0.4 * k - 0.5}, 21));
      edge* e = add_edge(g, nj, far, {arms.back()}, {j, far->v_frag_conn[0]});
      if (k > 0) e->v_f_curve.push_back(spare);
    }
    g.merge_collinear_fragments();
    std::vector<f_curve*> left;
    for (f_curve& f : g.f_curves) left.push_back(&f);
    std::vector<f_curve*> expected{spare};
    expected.insert(expected.end(), arms.begin() + 1, arms.end());
    EXPECT_EQ(left, expected) << n << " arms";
  }
}

TEST(LayerMergeCollinearFragments, JunctionsThatAreNotCollinearOrNotLoneStay) {
  {  // the lone fragment shares its edge with another fragment
    overlap s;
    s.lone_edge->v_f_curve.push_back(s.r1);
    s.g.merge_collinear_fragments();
    EXPECT_EQ(s.g.f_curves.size(), 3u);
    EXPECT_EQ(s.r1->v_point.size(), 21u);
  }
  {  // a T: no two ends continue each other
    layer_graph g;
    fixture::t_junction(g, 20, false);
    g.merge_collinear_fragments();
    EXPECT_EQ(g.f_curves.size(), 3u);
    EXPECT_EQ(g.edges.size(), 3u);
  }
}

}  // namespace

namespace {

// Points output_root at a fresh folder holding "tmp/cc/" and names the sketch "sk";
// restores both afterwards.
class CrossingPictures : public testing::Test {
 protected:
  void SetUp() override {
    saved_root_ = output_root;
    root_ = std::filesystem::temp_directory_path() / ("vt_edge_test_" + std::to_string(::getpid()));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_ / "tmp" / "cc");
    output_root = root_.string() + "/";
    set_current_sketch("sk");
  }
  void TearDown() override {
    std::filesystem::remove_all(root_);
    output_root = saved_root_;
    clear_current_sketch();
  }
  // Names of the pictures written so far.
  std::vector<std::string> pictures() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(root_ / "tmp" / "cc"))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  static bool starts_with(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

  std::string saved_root_;
  std::filesystem::path root_;
};

TEST_F(CrossingPictures, CrossingJoinTestPairsOppositeEdges) {
  layer_graph g;
  fixture::layer_parts x = fixture::x_junction(g);  // edges left, right, up, down
  node* centre = x.nodes[0];
  const int count = crossing_test_count;
  // Edges 0, 2 are left and up: a corner, which one cubic cannot follow.
  EXPECT_FALSE(centre->crossing_join_test(g));
  centre->v_edge = {x.edges[0], x.edges[2], x.edges[1], x.edges[3]};
  EXPECT_TRUE(centre->crossing_join_test(g));
  EXPECT_EQ(crossing_test_count, count + 2);
  const std::vector<std::string> names = pictures();
  ASSERT_EQ(names.size(), 2u);
  for (const std::string& name : names) {
    EXPECT_TRUE(starts_with(name, "sk_v1_" + std::to_string(count + 1) + "_new_") ||
                starts_with(name, "sk_v1_" + std::to_string(count + 2) + "_new_"))
        << name;
    EXPECT_NE(name.find("_prev_"), std::string::npos) << name;
    EXPECT_NE(name.find("_delta "), std::string::npos) << name;
  }
  EXPECT_EQ(check_network(g), "");
  // A node of three edges is not a crossing.
  layer_graph t;
  EXPECT_FALSE(fixture::t_junction(t).nodes[0]->crossing_join_test(t));
  EXPECT_EQ(crossing_test_count, count + 2);
}

TEST_F(CrossingPictures, ShortEdgePartnerWhenExactlyOnePairingFits) {
  split_crossing x({31, 30}, {31, -30}, 30);
  for (f_curve& f : x.s.g.f_curves) f.fit_cubic();
  const int count = short_edge_test_count;
  // Upper left continues to lower right through the short edge, not to upper right.
  EXPECT_EQ(x.s.centre->find_short_edge_partner(x.s.g), x.b);
  EXPECT_EQ(short_edge_test_count, count + 1);
  const std::vector<std::string> names = pictures();
  ASSERT_EQ(names.size(), 2u);
  for (const std::string& name : names)
    EXPECT_TRUE(starts_with(name, "sk_v2_" + std::to_string(count + 1) + "_new_")) << name;

  // No strictly shortest edge: nothing tested, nothing written.
  star even({0, 0}, {{10, 0}, {0, 10}, {-10, 0}});
  EXPECT_EQ(even.centre->find_short_edge_partner(even.g), nullptr);
  EXPECT_EQ(short_edge_test_count, count + 1);
}

}  // namespace

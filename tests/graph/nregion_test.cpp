#include "graph/nregion.h"

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "graph/curve.h"
#include "graph/layer_graph.h"
#include "support/layer_fixtures.h"
#include "support/network_checker.h"
#include "support/topology_builder.h"

namespace {

using namespace topology_builder;

nconnection* connection_of(const frag_conn* j) { return j->v_nconnection[0]; }

// The loop links of a complete build: piece k runs from corner k to corner k + 1,
// corner k sits between pieces k - 1 and k.
void expect_closed_loop(const nregion& nr) {
  const std::size_t n = nr.v_curve_external.size();
  ASSERT_EQ(nr.v_corner.size(), n);
  ASSERT_EQ(nr.v_nconnection.size(), n);
  for (std::size_t k = 0; k < n; ++k) {
    EXPECT_EQ(nr.v_curve_external[k].start_corner, &nr.v_corner[k]) << k;
    EXPECT_EQ(nr.v_curve_external[k].end_corner, &nr.v_corner[(k + 1) % n]) << k;
    EXPECT_EQ(nr.v_corner[k].next_piece, &nr.v_curve_external[k]) << k;
    EXPECT_EQ(nr.v_corner[k].prev_piece, &nr.v_curve_external[(k + n - 1) % n]) << k;
    EXPECT_EQ(nr.v_nconnection[k], connection_of(nr.v_corner[k].frag_conn)) << k;
    EXPECT_EQ(nr.v_curve_external[k].t0, 0.0);
    EXPECT_EQ(nr.v_curve_external[k].t1, 1.0);
  }
}

template <class T>
long count_of(const std::vector<T*>& v, const T* x) {
  return std::count(v.begin(), v.end(), x);
}

TEST(NregionBuild, ClosedEdgeOfThreeFragments) {
  layer_graph g;
  node* n = add_node(g);
  frag_conn* j = n->v_frag_conn[0];
  frag_conn* k = add_junction(g);
  frag_conn* l = add_junction(g);
  f_curve* f0 = add_fragment(g, j, k, {0, 0}, {10, 0});
  f_curve* f1 = add_fragment(g, k, l, {10, 0}, {5, 10});
  f_curve* f2 = add_fragment(g, l, j, {5, 10}, {0, 0});
  edge* e = add_edge(g, n, n, {f0, f1, f2}, {j, k, l, j});
  region* inside = add_region(g);
  region* outside = add_region(g);
  bound(e, inside, outside);
  link_network(g);

  testing::internal::CaptureStdout();
  nregion& nr = g.nregions.emplace_back(inside);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  expect_closed_loop(nr);
  ASSERT_EQ(nr.v_corner.size(), 3u);
  EXPECT_EQ(nr.v_corner[0].frag_conn, j);
  EXPECT_EQ(nr.v_corner[1].frag_conn, k);
  EXPECT_EQ(nr.v_corner[2].frag_conn, l);
  EXPECT_EQ(nr.v_curve_external[0].curve, f0->v_curve[0]);
  EXPECT_EQ(nr.v_curve_external[1].curve, f1->v_curve[0]);
  EXPECT_EQ(nr.v_curve_external[2].curve, f2->v_curve[0]);
  EXPECT_EQ(nr.v_region, (std::vector<region*>{inside}));
  EXPECT_EQ(inside->v_nregion, (std::vector<nregion*>{&nr}));
  for (frag_conn* x : {j, k, l}) EXPECT_EQ(connection_of(x)->v_nregion, (std::vector<nregion*>{&nr}));
  for (f_curve* f : {f0, f1, f2}) EXPECT_EQ(f->v_curve[0]->v_nregion, (std::vector<nregion*>{&nr}));
  EXPECT_TRUE(nr.is_valid());
}

// Triangle X, Y, Z: edge a = X -> Y, edge b = Y -> M -> Z of two fragments, edge
// c stored Z -> X or, with `reversed_c`, X -> Z. Boundary lists scrambled.
struct triangle {
  layer_graph g;
  node *x, *y, *z;
  frag_conn* m;
  edge *a, *b, *c;
  region *inside, *outside;
  explicit triangle(bool reversed_c) {
    x = add_node(g);
    y = add_node(g);
    z = add_node(g);
    frag_conn* jx = x->v_frag_conn[0];
    frag_conn* jy = y->v_frag_conn[0];
    frag_conn* jz = z->v_frag_conn[0];
    m = add_junction(g);
    a = add_edge(g, x, y, {add_fragment(g, jx, jy, {0, 0}, {10, 0})}, {jx, jy});
    f_curve* b1 = add_fragment(g, jy, m, {10, 0}, {7, 5});
    f_curve* b2 = add_fragment(g, m, jz, {7, 5}, {5, 10});
    b = add_edge(g, y, z, {b2, b1}, {m, jz, jy});
    if (reversed_c)
      c = add_edge(g, x, z, {add_fragment(g, jx, jz, {0, 0}, {5, 10})}, {jx, jz});
    else
      c = add_edge(g, z, x, {add_fragment(g, jz, jx, {5, 10}, {0, 0})}, {jz, jx});
    inside = add_region(g);
    outside = add_region(g);
    bound(c, inside, outside);
    bound(a, inside, outside);
    bound(b, inside, outside);
    link_network(g);
  }
  // What the network build does before any network region exists.
  void order() {
    inside->order_boundary();
    for (edge& e : g.edges) e.order_fragments();
  }
};

TEST(NregionBuild, OrderedTriangleWithAnEdgeOfTwoFragments) {
  for (bool reversed_c : {false, true}) {
    SCOPED_TRACE(reversed_c ? "c stored X -> Z" : "c stored Z -> X");
    triangle s(reversed_c);
    s.order();
    testing::internal::CaptureStdout();
    nregion nr(s.inside);
    // An edge stored against the walk is walked backwards without complaint.
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    expect_closed_loop(nr);
    ASSERT_EQ(nr.v_curve_external.size(), 4u);
    // Four corners: the three nodes' junctions and b's inner junction, each entered once.
    for (const node* n : {s.x, s.y, s.z}) EXPECT_EQ(count_of(connection_of(n->v_frag_conn[0])->v_nregion, &nr), 1);
    EXPECT_EQ(count_of(connection_of(s.m)->v_nregion, &nr), 1);
    // The corners follow the geometry: consecutive corners are the ends of the piece between.
    for (std::size_t k = 0; k < 4; ++k) {
      const f_curve* f = nr.v_curve_external[k].curve->v_f_curve[0];
      const frag_conn* from = nr.v_curve_external[k].start_corner->frag_conn;
      const frag_conn* to = nr.v_curve_external[k].end_corner->frag_conn;
      EXPECT_TRUE((f->v_frag_conn[0] == from && f->v_frag_conn[1] == to) ||
                  (f->v_frag_conn[1] == from && f->v_frag_conn[0] == to))
          << k;
    }
  }
}

TEST(NregionBuild, EdgeTouchingItsNodeAtNeitherEndIsReported) {
  triangle s(false);
  s.order();
  // Node entry 0 moved to a node that the edge of entry 0 does not start or end at.
  const edge* e0 = s.inside->v_region_edge[0].edge;
  for (node* n : {s.x, s.y, s.z})
    if (n != e0->v_node[0] && n != e0->v_node[1]) s.inside->v_node[0] = n;
  testing::internal::CaptureStdout();
  nregion nr(s.inside);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.find("edge should be reordered\n"), 0u) << out;
  EXPECT_EQ(s.inside->v_nregion.size(), 1u);
}

TEST(NregionBuild, RegionsItCannotEnterGiveAnEmptyUnlinkedRegion) {
  {  // two boundary entries, three nodes
    triangle s(false);
    s.inside->v_region_edge.pop_back();
    nregion nr(s.inside);
    EXPECT_TRUE(nr.v_corner.empty() && nr.v_curve_external.empty() && nr.v_nconnection.empty());
    EXPECT_TRUE(nr.v_region.empty());
    EXPECT_TRUE(s.inside->v_nregion.empty());
    testing::internal::CaptureStdout();
    EXPECT_FALSE(nr.is_valid());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "null surface\n");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(nregion_is_valid(nr));
    testing::internal::GetCapturedStdout();
  }
  {  // an edge with fewer junctions than fragments + 1: reported, nothing entered
    triangle s(false);
    s.order();
    s.b->v_frag_conn.pop_back();
    testing::internal::CaptureStdout();
    nregion nr(s.inside);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "problem with frgment in edge: nb_f_curve + 1 should be equal to nb_frag_conn\n");
    EXPECT_TRUE(nr.v_corner.empty());
    EXPECT_TRUE(s.inside->v_nregion.empty());
    for (const nconnection& c : s.g.nconnections) EXPECT_TRUE(c.v_nregion.empty());
  }
  {  // a fragment without a curve
    triangle s(false);
    s.order();
    s.a->v_f_curve[0]->v_curve.clear();
    nregion nr(s.inside);
    EXPECT_TRUE(nr.v_corner.empty());
    EXPECT_TRUE(s.inside->v_nregion.empty());
  }
  {  // created from no region
    nregion nr(nullptr);
    EXPECT_TRUE(nr.v_region.empty());
  }
}

TEST(NregionBuild, UnlinkedBuildMakesTheSameLoopWithoutBackLinks) {
  triangle s(true);
  s.order();
  nregion linked(s.inside);
  nregion unlinked;
  unlinked.build_unlinked(s.inside);
  expect_closed_loop(unlinked);
  ASSERT_EQ(unlinked.v_corner.size(), linked.v_corner.size());
  for (std::size_t k = 0; k < linked.v_corner.size(); ++k) {
    EXPECT_EQ(unlinked.v_corner[k].frag_conn, linked.v_corner[k].frag_conn);
    EXPECT_EQ(unlinked.v_curve_external[k].curve, linked.v_curve_external[k].curve);
  }
  EXPECT_EQ(unlinked.v_region, (std::vector<region*>{s.inside}));
  EXPECT_EQ(s.inside->v_nregion, (std::vector<nregion*>{&linked}));
  for (const nconnection& c : s.g.nconnections) EXPECT_EQ(count_of(c.v_nregion, &unlinked), 0);
  for (const curve& c : s.g.curves) EXPECT_EQ(count_of(c.v_nregion, &unlinked), 0);
}

TEST(RegionMergeAdjacent, TwoTrianglesSharingAnEdgeMakeASquare) {
  // Square P Q R S cut by the diagonal r-p into A = P Q R and B = P R S.
  layer_graph g;
  node* p = add_node(g);
  node* q = add_node(g);
  node* r = add_node(g);
  node* s = add_node(g);
  region* out = add_region(g);
  region* ra = add_region(g);
  region* rb = add_region(g);
  rb->background = true;
  edge* pq = add_edge(g, p, q, {}, {});
  edge* qr = add_edge(g, q, r, {}, {});
  edge* rp = add_edge(g, r, p, {}, {});
  edge* rs = add_edge(g, r, s, {}, {});
  edge* sp = add_edge(g, s, p, {}, {});
  bound(pq, ra, out);
  bound(qr, ra, out);
  bound(rp, ra, rb);
  bound(rs, rb, out);
  bound(sp, rb, out);

  region m = region::merge_adjacent(*ra, *rb);
  EXPECT_TRUE(m.background);
  ASSERT_EQ(m.v_region_edge.size(), 4u);
  EXPECT_EQ(m.v_region_edge[0].edge, pq);
  EXPECT_EQ(m.v_region_edge[1].edge, qr);
  EXPECT_EQ(m.v_region_edge[2].edge, rs);
  EXPECT_EQ(m.v_region_edge[3].edge, sp);
  for (const region_edge& re : m.v_region_edge) EXPECT_EQ(re.other, out);
  EXPECT_EQ(m.v_node, (std::vector<node*>{p, q, r, s}));
  EXPECT_TRUE(m.v_nregion.empty());
  // The inputs are untouched and the result can be put in loop order.
  EXPECT_EQ(ra->v_region_edge.size(), 3u);
  EXPECT_EQ(rb->v_region_edge.size(), 3u);
  m.order_boundary();
  EXPECT_EQ(m.v_node, (std::vector<node*>{p, s, r, q}));
}

}  // namespace

namespace {

TEST(NregionBuild, SharedClosedLoopFixture) {
  layer_graph g;
  fixture::layer_parts loop = fixture::closed_loop(g);
  region* inside = &g.regions.front();
  inside->order_boundary();
  loop.edges[0]->order_fragments();
  nregion& nr = g.nregions.emplace_back(inside);
  expect_closed_loop(nr);
  ASSERT_EQ(nr.v_corner.size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(nr.v_corner[k].frag_conn, loop.junctions[k]);
    EXPECT_EQ(nr.v_curve_external[k].curve, loop.fragments[k]->v_curve[0]);
    EXPECT_EQ(count_of(loop.fragments[k]->v_curve[0]->v_nregion, &nr), 1);
  }
  EXPECT_EQ(check_network(g), "");
}

// Samples zigzagging about a line, so that a straight fit leaves an error.
f_curve zigzag(int n, float amplitude) {
  f_curve f;
  for (int i = 0; i < n; ++i) {
    f.v_point.emplace_back(float(i), i % 2 ? amplitude : -amplitude);
    f.v_weight.push_back(1.0f);
    f.v_t.push_back(double(i) / (n - 1));
  }
  return f;
}

TEST(MeanCurveError, RefitsAndWeightsBySampleCount) {
  f_curve f1 = zigzag(10, 1.0f);
  f_curve f2 = zigzag(30, 2.0f);
  curve c1(&f1, 1);
  curve c2(&f2, 1);
  c1.refit();
  c2.refit();
  const double e1 = c1.mean_error;
  const double e2 = c2.mean_error;
  ASSERT_GT(e1, 0.5);
  ASSERT_GT(e2, 2.0);
  c1.mean_error = c2.mean_error = 1000.0;  // stale values must not count
  EXPECT_NEAR(mean_curve_error({&c1, nullptr, &c2}), (10 * e1 + 30 * e2) / 40, 1e-9);
  EXPECT_DOUBLE_EQ(c1.mean_error, e1);
  EXPECT_EQ(mean_curve_error({}), 0.0);
}

}  // namespace

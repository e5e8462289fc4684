#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include <unistd.h>

#include <gtest/gtest.h>

#include "graph/layer_graph.h"
#include "io/graph_stream.h"
#include "support/golden_bytes.h"

namespace {

// Two fragments along one edge between two regions, held by one curve, with a
// junction per end and in the middle, each with its connection.
void build_small_layer(layer_graph& lg) {
  lg.height = 40;
  lg.width = 30;
  f_curve& a = lg.f_curves.emplace_back();
  f_curve& b = lg.f_curves.emplace_back();
  for (int i = 0; i <= 10; ++i) {
    const float t = i / 10.0f;
    a.v_point.push_back({10 * t, 2.0f});
    a.v_weight.push_back(1.0f);
    a.v_t.push_back(t);
    b.v_point.push_back({10 + 10 * t, 2.0f + 3 * t});
    b.v_weight.push_back(0.5f);
    b.v_t.push_back(t);
  }
  a.v_ctrl_point = {{0, 2}, {3, 2}, {7, 2}, {10, 2}};
  b.v_ctrl_point = {{10, 2}, {13, 3}, {17, 4}, {20, 5}};
  a.mean_error = 0.25f;
  b.total_error = 1.5f;
  frag_conn& j0 = lg.frag_conns.emplace_back();
  frag_conn& j1 = lg.frag_conns.emplace_back();
  frag_conn& j2 = lg.frag_conns.emplace_back();
  edge& e = lg.edges.emplace_back();
  node& n0 = lg.nodes.emplace_back();
  node& n1 = lg.nodes.emplace_back();
  region& r0 = lg.regions.emplace_back();
  region& r1 = lg.regions.emplace_back();
  curve& c = lg.curves.emplace_back();

  j0.v_frag_end = {{&a, 0}};
  j1.v_frag_end = {{&a, 3}, {&b, 0}};
  j2.v_frag_end = {{&b, 3}};
  a.v_frag_conn = {&j0, &j1};
  b.v_frag_conn = {&j2, &j1};
  a.v_edge = b.v_edge = {&e};
  e.v_node = {&n0, &n1};
  e.v_region = {&r0, &r1};
  e.v_f_curve = {&a, &b};
  e.v_frag_conn = {&j0, &j1, &j2};
  e.on_background = true;
  e.display_mark = true;
  n0.v_edge = n1.v_edge = {&e};
  n0.v_region = {&r0, &r1};
  n0.v_frag_conn = {&j0};
  n1.v_frag_conn = {&j2};
  j0.v_node = {&n0};
  j2.v_node = {&n1};
  r0.v_region_edge = {{&e, &r1}};
  r0.v_node = {&n0};
  r0.background = true;
  r1.v_region_edge = {{&e, &r0}};
  for (frag_conn* j : {&j0, &j1, &j2}) {
    nconnection& nc = lg.nconnections.emplace_back();
    nc.v_frag_conn = {j};
    j->v_nconnection = {&nc};
    j->v_edge = {&e};
    j->v_curve = {&c};
  }
  c.v_f_curve = {&a, &b};
  a.v_curve = b.v_curve = {&c};
  c.v_nconnection = {&lg.nconnections.front(), &lg.nconnections.back()};
  lg.nconnections.front().v_curve = {&c};
  lg.nconnections.back().v_curve = {&c};
  c.nb_point = a.v_point.size() + b.v_point.size();
  c.class_score = -1;
  c.mean_error = 123.0;
  // Two segments of other degrees: the file keeps neither.
  c.v_segment.resize(2);
  c.v_segment[0].degree = 1;
  c.v_segment[0].v_frag_ref = {frag_ref{&a, 0, 1, 0, 1, false}};
  c.v_segment[1].degree = 2;
  c.v_segment[1].v_frag_ref = {frag_ref{&b, 0, 1, 0, 1, false}};
}

std::string bytes_of(const layer_graph& lg) {
  std::ostringstream out(std::ios::binary);
  lg.write(out);
  return out.str();
}

template <class T>
T pod_at(const std::string& s, std::size_t pos) {
  T v;
  std::memcpy(&v, s.data() + pos, sizeof v);
  return v;
}

TEST(GraphFile, EmptyLayerIs72Bytes) {
  layer_graph lg;
  lg.height = 7;
  lg.width = 9;
  const std::string s = bytes_of(lg);
  ASSERT_EQ(s.size(), 72u);
  EXPECT_EQ(pod_at<std::int32_t>(s, 64), 7);
  EXPECT_EQ(pod_at<std::int32_t>(s, 68), 9);
  std::istringstream in(s, std::ios::binary);
  layer_graph back(in);
  EXPECT_EQ(back.height, 7);
  EXPECT_EQ(back.width, 9);
  EXPECT_EQ(back.owner, &back);
  EXPECT_EQ(back.topo, static_cast<topo_graph*>(&back));
}

TEST(GraphFile, RoundTripKeepsFieldsAndLinksAndRebuildsOneCubic) {
  layer_graph lg;
  build_small_layer(lg);
  const std::string s = bytes_of(lg);
  // The first fragment's record: three vectors of 11 samples, four control points,
  // one curve, one edge, two junctions, two errors.
  const std::size_t first_fragment = 72 + 0;
  EXPECT_EQ(pod_at<std::uint64_t>(s, first_fragment), 11u);

  std::istringstream in(s, std::ios::binary);
  layer_graph back(in);
  EXPECT_EQ(bytes_of(back).size(), s.size());
  ASSERT_EQ(back.f_curves.size(), 2u);
  ASSERT_EQ(back.curves.size(), 1u);
  // One empty network region per region.
  EXPECT_EQ(back.nregions.size(), 2u);
  for (const nregion& nr : back.nregions) EXPECT_TRUE(nr.v_curve_external.empty() && nr.v_region.empty());

  const f_curve& a = back.f_curves.front();
  const f_curve& b = back.f_curves.back();
  const f_curve& a0 = lg.f_curves.front();
  EXPECT_EQ(a.v_point, a0.v_point);
  EXPECT_EQ(a.v_weight, a0.v_weight);
  EXPECT_EQ(a.v_t, a0.v_t);
  EXPECT_EQ(a.v_ctrl_point, a0.v_ctrl_point);
  EXPECT_EQ(a.mean_error, 0.25f);
  EXPECT_EQ(b.total_error, 1.5f);
  EXPECT_EQ(b.v_weight, lg.f_curves.back().v_weight);

  const curve& c = back.curves.front();
  EXPECT_EQ(a.v_curve, std::vector<curve*>{const_cast<curve*>(&c)});
  EXPECT_EQ(c.v_f_curve[1], &b);
  EXPECT_EQ(c.nb_point, 22u);
  EXPECT_EQ(c.class_score, -1);
  ASSERT_EQ(c.v_segment.size(), 1u);
  EXPECT_EQ(c.v_segment[0].degree, 3);
  EXPECT_EQ(c.v_segment[0].v_frag_ref.size(), 2u);
  EXPECT_NE(c.mean_error, 123.0);  // replaced by the refit

  const frag_conn& j1 = *std::next(back.frag_conns.begin());
  ASSERT_EQ(j1.v_frag_end.size(), 2u);
  EXPECT_EQ(j1.v_frag_end[0].fragment, &a);
  EXPECT_EQ(j1.v_frag_end[0].end, 3);
  EXPECT_EQ(j1.v_nconnection[0], &*std::next(back.nconnections.begin()));
  const edge& e = back.edges.front();
  EXPECT_TRUE(e.on_background && e.display_mark && !e.display_mark_2);
  EXPECT_EQ(e.v_frag_conn.size(), 3u);
  const region& r0 = back.regions.front();
  EXPECT_TRUE(r0.background);
  EXPECT_EQ(r0.v_region_edge[0].edge, &e);
  EXPECT_EQ(r0.v_region_edge[0].other, &back.regions.back());
  EXPECT_TRUE(back.shared_fragments.empty());
}

// One closed fragment whose two ends meet at its one junction, held by one curve that
// ends twice at the one connection; two edges, three nodes, two regions and two network
// regions around them. Every link list of a record differs from the others of that
// record in its count or its indices, and every value is distinct, so that writing any
// two fields in each other's place changes the bytes.
void build_golden_layer(layer_graph& lg) {
  lg.height = 7;
  lg.width = 9;
  f_curve& f = lg.f_curves.emplace_back();
  frag_conn& j = lg.frag_conns.emplace_back();
  edge& e0 = lg.edges.emplace_back();
  edge& e1 = lg.edges.emplace_back();
  node& n0 = lg.nodes.emplace_back();
  node& n1 = lg.nodes.emplace_back();
  node& n2 = lg.nodes.emplace_back();
  region& r0 = lg.regions.emplace_back();
  region& r1 = lg.regions.emplace_back();
  nconnection& k = lg.nconnections.emplace_back();
  curve& c = lg.curves.emplace_back();
  nregion& nr0 = lg.nregions.emplace_back();
  nregion& nr1 = lg.nregions.emplace_back();

  f.v_point = {{1.5f, 2.5f}, {3.5f, 4.5f}, {5.5f, 6.5f}, {7.5f, 8.5f}};
  f.v_t = {0.0, 0.25, 0.75, 1.0};
  f.v_weight = {0.5f, 2.0f, 3.0f, 4.0f};
  f.v_ctrl_point = {{10, 20}, {30, 40}};
  f.v_curve = {&c};
  f.v_edge = {&e1};
  f.v_frag_conn = {&j, &j};
  f.mean_error = 0.125f;
  f.total_error = 6.5f;

  j.v_frag_end = {{&f, 3}, {&f, 0}};
  j.v_node = {&n2, &n0};
  j.v_edge = {&e1};
  j.v_nconnection = {&k};
  j.v_curve = {&c, &c};

  e0.v_node = {&n0};
  e0.v_region = {&r1, &r0};
  e0.display_mark = true;
  e0.on_background = true;
  e1.v_node = {&n0, &n1};
  e1.v_region = {&r1, &r0};
  e1.v_f_curve = {&f};
  e1.v_frag_conn = {&j, &j};
  e1.display_mark_2 = true;

  n0.v_edge = {&e0, &e1};
  n0.v_region = {&r0};
  n1.v_edge = {&e1};
  n1.v_region = {&r1, &r0};
  n0.v_frag_conn = {&j};
  n2.v_frag_conn = {&j};

  r0.v_node = {&n1};
  r0.v_region_edge = {{&e1, &r1}};
  r0.background = true;
  r0.v_nregion = {&nr0};
  r1.v_node = {&n0, &n2};
  r1.v_region_edge = {{&e0, &r0}, {&e1, &r0}};
  r1.v_nregion = {&nr1};

  k.v_nregion = {&nr1, &nr0};
  k.v_curve = {&c, &c};
  k.v_frag_conn = {&j};

  c.v_nconnection = {&k, &k};
  c.v_nregion = {&nr1};
  c.v_f_curve = {&f};
  c.nb_point = 4;
  c.mean_error = 0.375;
  c.class_score = -2;

  // Kept only by the single-layer file.
  nr0.v_nconnection = {&k};
  nr0.v_region = {&r1};
  nr1.v_region = {&r0, &r1};
}

// The bytes of build_golden_layer's record, field by field: the .graph form, or the
// single-layer file form (4-byte counts, no weights, no class score, the network
// regions' links at the end).
golden_bytes golden_layer_record(bool single_file) {
  golden_bytes g;
  const std::pair<const char*, std::uint64_t> counts[] = {
      {"fragments", 1}, {"junctions", 1}, {"edges", 2}, {"nodes", 3},
      {"regions", 2},   {"connections", 1}, {"curves", 1}, {"network regions", 2}};
  for (const auto& [list, n] : counts) {
    if (single_file)
      g.pod<std::uint32_t>(std::string(list) + " count", static_cast<std::uint32_t>(n));
    else
      g.u64(std::string(list) + " count", n);
  }
  g.i32("height", 7).i32("width", 9);

  g.u64("fragment points count", 4);
  for (float v : {1.5f, 2.5f, 3.5f, 4.5f, 5.5f, 6.5f, 7.5f, 8.5f}) g.f32("fragment point", v);
  g.u64("fragment parameters count", 4);
  for (double v : {0.0, 0.25, 0.75, 1.0}) g.f64("fragment parameter", v);
  if (!single_file) {
    g.u64("fragment weights count", 4);
    for (float v : {0.5f, 2.0f, 3.0f, 4.0f}) g.f32("fragment weight", v);
  }
  g.u64("fragment control points count", 2);
  for (double v : {10.0, 20.0, 30.0, 40.0}) g.f64("fragment control point", v);
  g.index_list("fragment curves", {0}).index_list("fragment edges", {1}).index_list("fragment junctions", {0, 0});
  g.f32("fragment mean error", 0.125f).f32("fragment total error", 6.5f);

  g.u64("junction ends count", 2).i32("end fragment", 0).i32("end", 3).i32("end fragment", 0).i32("end", 0);
  g.index_list("junction nodes", {2, 0}).index_list("junction edges", {1});
  g.index_list("junction connections", {0}).index_list("junction curves", {0, 0});

  g.index_list("edge 0 nodes", {0}).index_list("edge 0 regions", {1, 0});
  g.index_list("edge 0 fragments", {}).index_list("edge 0 junctions", {}).i32("edge 0 flags", 5);
  g.index_list("edge 1 nodes", {0, 1}).index_list("edge 1 regions", {1, 0});
  g.index_list("edge 1 fragments", {0}).index_list("edge 1 junctions", {0, 0}).i32("edge 1 flags", 2);

  g.index_list("node 0 edges", {0, 1}).index_list("node 0 regions", {0}).index_list("node 0 junctions", {0});
  g.index_list("node 1 edges", {1}).index_list("node 1 regions", {1, 0}).index_list("node 1 junctions", {});
  g.index_list("node 2 edges", {}).index_list("node 2 regions", {}).index_list("node 2 junctions", {0});

  g.index_list("region 0 nodes", {1});
  g.u64("region 0 boundary count", 1).i32("boundary edge", 1).i32("boundary region", 1);
  g.i32("region 0 background", 1).index_list("region 0 network regions", {0});
  g.index_list("region 1 nodes", {0, 2});
  g.u64("region 1 boundary count", 2).i32("boundary edge", 0).i32("boundary region", 0);
  g.i32("boundary edge", 1).i32("boundary region", 0);
  g.i32("region 1 background", 0).index_list("region 1 network regions", {1});

  g.index_list("connection network regions", {1, 0}).index_list("connection curves", {0, 0});
  g.index_list("connection junctions", {0});

  g.index_list("curve connections", {0, 0}).index_list("curve network regions", {1});
  g.index_list("curve fragments", {0});
  g.u64("curve sample count", 4).f64("curve mean error", 0.375);
  if (!single_file) {
    g.i32("curve class score", -2);
  } else {
    g.index_list("network region 0 connections", {0}).index_list("network region 0 regions", {1});
    g.index_list("network region 1 connections", {}).index_list("network region 1 regions", {0, 1});
  }

  return g;
}

TEST(GraphFile, GoldenRecordOfOneFragmentJunctionAndCurve) {
  const golden_bytes g = golden_layer_record(false);
  layer_graph lg;
  build_golden_layer(lg);
  EXPECT_EQ(g.compare(bytes_of(lg)), "");

  // The reader takes every field from its place in the same bytes.
  std::istringstream in(g.bytes(), std::ios::binary);
  layer_graph back(in);
  const f_curve& f = back.f_curves.front();
  EXPECT_EQ(f.v_point, lg.f_curves.front().v_point);
  EXPECT_EQ(f.v_t, lg.f_curves.front().v_t);
  EXPECT_EQ(f.v_weight, lg.f_curves.front().v_weight);
  EXPECT_EQ(f.v_ctrl_point, lg.f_curves.front().v_ctrl_point);
  EXPECT_EQ(f.mean_error, 0.125f);
  EXPECT_EQ(f.total_error, 6.5f);
  const edge& e1 = back.edges.back();
  EXPECT_EQ(f.v_edge, std::vector<edge*>{const_cast<edge*>(&e1)});
  EXPECT_EQ(f.v_frag_conn.size(), 2u);
  const frag_conn& j = back.frag_conns.front();
  EXPECT_EQ(j.v_frag_end[0].end, 3);
  EXPECT_EQ(j.v_node.front(), &back.nodes.back());
  EXPECT_EQ(j.v_curve.size(), 2u);
  EXPECT_EQ(j.v_nconnection.size(), 1u);
  EXPECT_TRUE(back.edges.front().display_mark && back.edges.front().on_background);
  EXPECT_TRUE(e1.display_mark_2 && !e1.display_mark && !e1.on_background);
  EXPECT_EQ(e1.v_node.size(), 2u);
  EXPECT_EQ(e1.v_frag_conn.size(), 2u);
  EXPECT_EQ(back.nodes.front().v_edge.size(), 2u);
  EXPECT_EQ(std::next(back.nodes.begin())->v_region.size(), 2u);
  const region& r0 = back.regions.front();
  const region& r1 = back.regions.back();
  EXPECT_EQ(r0.v_node, std::vector<node*>{&*std::next(back.nodes.begin())});
  EXPECT_EQ(r0.v_region_edge[0].other, &r1);
  EXPECT_TRUE(r0.background);
  EXPECT_FALSE(r1.background);
  EXPECT_EQ(r1.v_nregion, std::vector<nregion*>{&back.nregions.back()});
  const nconnection& k = back.nconnections.front();
  EXPECT_EQ(k.v_nregion.front(), &back.nregions.back());
  EXPECT_EQ(k.v_curve.size(), 2u);
  const curve& c = back.curves.front();
  EXPECT_EQ(c.v_nconnection.size(), 2u);
  EXPECT_EQ(c.v_nregion, std::vector<nregion*>{&back.nregions.back()});
  EXPECT_EQ(c.nb_point, 4u);
  EXPECT_EQ(c.class_score, -2);
}

TEST(GraphFile, GoldenSingleLayerFile) {
  const golden_bytes g = golden_layer_record(true);
  layer_graph lg;
  build_golden_layer(lg);
  const std::string path = testing::TempDir() + "golden_single_layer_" + std::to_string(::getpid()) + ".bin";
  ASSERT_TRUE(lg.write_file(path));
  std::string written;
  {
    std::ifstream in(path, std::ios::binary);
    written.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  EXPECT_EQ(g.compare(written), "");
  layer_graph back;
  ASSERT_TRUE(back.read_file(path));
  std::remove(path.c_str());
  ASSERT_EQ(back.nregions.size(), 2u);
  EXPECT_EQ(back.nregions.front().v_nconnection, std::vector<nconnection*>{&back.nconnections.front()});
  EXPECT_EQ(back.nregions.front().v_region, std::vector<region*>{&back.regions.back()});
  EXPECT_EQ(back.nregions.back().v_region.size(), 2u);
  EXPECT_EQ(back.curves.front().nb_point, 4u);
}

TEST(GraphFile, CountsInRecordOrder) {
  // Lists of 1 to 8 elements: each count stands in its own place.
  layer_graph lg;
  lg.f_curves.resize(1);
  lg.frag_conns.resize(2);
  lg.edges.resize(3);
  lg.nodes.resize(4);
  lg.regions.resize(5);
  lg.nconnections.resize(6);
  lg.curves.resize(7);
  lg.nregions.resize(8);
  const std::string s = bytes_of(lg);
  for (std::uint64_t i = 0; i < 8; ++i) EXPECT_EQ(pod_at<std::uint64_t>(s, 8 * i), i + 1) << "count " << i;
}

TEST(GraphFile, ErasedCurveShiftsPositions) {
  layer_graph lg;
  build_small_layer(lg);
  // A spare curve before the real one, then erased: the real one is written at 0.
  lg.curves.emplace_front();
  const std::string with_spare_erased = [&] {
    lg.curves.pop_front();
    return bytes_of(lg);
  }();
  std::istringstream in(with_spare_erased, std::ios::binary);
  layer_graph back(in);
  EXPECT_EQ(back.f_curves.front().v_curve[0], &back.curves.front());
}

TEST(GraphFile, EdgeFlagsWord) {
  struct Case { bool mark, mark2, bg; std::int32_t word; };
  const Case cases[] = {{false, false, true, 1}, {true, true, true, 7}, {false, true, false, 2}, {true, false, false, 4}};
  for (const Case& c : cases) {
    layer_graph lg;
    edge& e = lg.edges.emplace_back();
    e.display_mark = c.mark;
    e.display_mark_2 = c.mark2;
    e.on_background = c.bg;
    const std::string s = bytes_of(lg);
    EXPECT_EQ(pod_at<std::int32_t>(s, s.size() - 4), c.word);
  }
  // Any of the upper bits sets the first flag.
  for (std::int32_t w : {4, 5, 6, 7, 8}) {
    layer_graph lg;
    lg.edges.emplace_back();
    std::string s = bytes_of(lg);
    std::memcpy(&s[s.size() - 4], &w, 4);
    std::istringstream in(s, std::ios::binary);
    layer_graph back(in);
    EXPECT_TRUE(back.edges.front().display_mark) << w;
    EXPECT_EQ(back.edges.front().on_background, (w & 1) != 0) << w;
  }
}

TEST(GraphFile, WriterRefusesForeignLinks) {
  layer_graph lg, other;
  other.curves.emplace_back();
  lg.f_curves.emplace_back().v_curve = {&other.curves.front()};
  std::ostringstream out(std::ios::binary);
  try {
    lg.write(out);
    FAIL() << "no exception";
  } catch (const std::out_of_range& e) {
    EXPECT_STREQ(e.what(), "invalid map<K, T> key");
  }
}

TEST(GraphFile, EveryTruncationFailsCleanly) {
  layer_graph lg;
  build_small_layer(lg);
  const std::string s = bytes_of(lg);
  for (std::size_t n = 0; n < s.size(); ++n) {
    std::istringstream in(s.substr(0, n), std::ios::binary);
    EXPECT_THROW(layer_graph back(in), graph_format_error) << "cut at " << n;
  }
}

TEST(GraphFile, CorruptFilesFailCleanly) {
  layer_graph lg;
  build_small_layer(lg);
  const std::string good = bytes_of(lg);
  // The first fragment's curve link: after the counts, height, width and the four
  // value vectors of 11 samples (8 + 88, 8 + 88, 8 + 44) and 4 control points (8 + 64).
  const std::size_t curve_list = 72 + 96 + 96 + 52 + 72;
  ASSERT_EQ(pod_at<std::uint64_t>(good, curve_list), 1u);
  const std::size_t curve_index = curve_list + 8;
  ASSERT_EQ(pod_at<std::int32_t>(good, curve_index), 0);

  struct Case { const char* what; std::size_t pos; std::int64_t value; int width; bool out_of_range; };
  const Case cases[] = {
      {"index equal to the count", curve_index, 1, 4, true},
      {"negative index", curve_index, -1, 4, true},
      {"huge fragment count", 0, std::int64_t(1) << 60, 8, false},
      {"huge region count", 32, std::int64_t(1) << 40, 8, false},
      {"huge sample count", 72, std::int64_t(1) << 58, 8, false},
      {"huge link count", curve_list, std::int64_t(1) << 61, 8, false},
      {"wrong sample count of the curve", good.size() - 4 - 8 - 8, 5, 8, false},
  };
  for (const Case& c : cases) {
    std::string s = good;
    std::memcpy(&s[c.pos], &c.value, c.width);
    std::istringstream in(s, std::ios::binary);
    if (c.out_of_range) {
      try {
        layer_graph back(in);
        ADD_FAILURE() << c.what << ": no exception";
      } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "invalid vector<T> subscript") << c.what;
      }
    } else {
      EXPECT_THROW(layer_graph back(in), graph_format_error) << c.what;
    }
  }
}

// Files holding what no run saves: the reader refuses each, naming what is wrong.
TEST(GraphFile, ImpossibleNumbersAndLinksAreRefusedByName) {
  struct Case {
    const char* what;
    void (*spoil)(layer_graph&);
    const char* said;
  };
  const Case cases[] = {
      {"a NaN sample", [](layer_graph& lg) { lg.f_curves.front().v_point[3].y = std::nanf(""); },
       "non-finite sample of fragment 0"},
      {"an infinite control point",
       [](layer_graph& lg) { lg.f_curves.back().v_ctrl_point[1].x = -HUGE_VAL; },
       "non-finite control point of fragment 1"},
      {"an infinite weight", [](layer_graph& lg) { lg.f_curves.back().v_weight[0] = HUGE_VALF; },
       "non-finite weight of fragment 1"},
      {"a NaN curve error", [](layer_graph& lg) { lg.curves.front().mean_error = std::nan(""); },
       "non-finite mean error of curve 0"},
      // The image is 30 x 40, counted as 100 a side: a cubic that stays in it keeps its
      // control points within 2.4 sides of it.
      {"a far sample", [](layer_graph& lg) { lg.f_curves.front().v_point[2].x = 1778812.6f; },
       "sample (1.77881e+06, 2) of fragment 0 lies far outside the image"},
      {"a far control point", [](layer_graph& lg) { lg.f_curves.front().v_ctrl_point[2].y = -301; },
       "control point (7, -301) of fragment 0 lies far outside the image"},
      {"a curve link to the wrong, existing curve",
       [](layer_graph& lg) { lg.f_curves.back().v_curve = {&lg.curves.back()}; },
       "broken network links: curve 0 holds fragment 1 1 time(s), the fragment lists it 0 time(s)"},
      {"a junction that lists a fragment not ending there",
       [](layer_graph& lg) { lg.frag_conns.front().v_frag_end[0].fragment = &lg.f_curves.back(); },
       "broken network links: fragment 0 lists junction 0 1 time(s), the junction lists 0 of its ends"},
      {"a connection naming another junction",
       [](layer_graph& lg) { lg.nconnections.front().v_frag_conn = {&lg.frag_conns.back()}; },
       "broken network links: junction 0 names connection 0, which is not built from it"},
      {"a sample count the fragments do not hold", [](layer_graph& lg) { lg.curves.front().nb_point = 21; },
       "broken network links: curve 0 has nb_point 21, its fragments hold 22 samples"},
      {"fewer parameters than samples", [](layer_graph& lg) { lg.f_curves.front().v_t.pop_back(); },
       "broken network links: fragment 0 has 11 samples, 10 parameters and 11 weights"},
      {"an edge naming a node that does not list it", [](layer_graph& lg) { lg.nodes.back().v_edge.clear(); },
       "broken network links: edge 0 names node 1, which does not list it"},
      {"a fragment on an edge that does not hold it",
       [](layer_graph& lg) { lg.edges.front().v_f_curve.pop_back(); },
       "broken network links: edge 0 has 1 fragments and 3 junctions"},
      {"a junction at a node that does not list it", [](layer_graph& lg) { lg.frag_conns.back().v_node = {&lg.nodes.front()}; },
       "broken network links: node 1 names junction 2, which does not list it"},
      {"a region across an edge that does not separate the two",
       [](layer_graph& lg) { lg.edges.front().v_region = {&lg.regions.front(), &lg.regions.front()}; },
       "broken network links: region 0 has edge 0 towards region 1, which does not separate the two"},
  };
  for (const Case& c : cases) {
    layer_graph lg;
    build_small_layer(lg);
    lg.curves.emplace_back();  // a second curve to link to by mistake
    lg.curves.back().v_f_curve = {&lg.f_curves.back()};
    lg.f_curves.back().v_curve.push_back(&lg.curves.back());
    lg.curves.back().nb_point = 11;
    for (frag_conn* j : {&*std::next(lg.frag_conns.begin()), &lg.frag_conns.back()}) j->v_curve.push_back(&lg.curves.back());
    {
      std::istringstream in(bytes_of(lg), std::ios::binary);
      ASSERT_NO_THROW(layer_graph back(in)) << "unspoilt, for " << c.what;
    }
    c.spoil(lg);
    std::istringstream in(bytes_of(lg), std::ios::binary);
    try {
      layer_graph back(in);
      ADD_FAILURE() << c.what << ": read";
    } catch (const graph_format_error& e) {
      EXPECT_EQ(std::string(e.what()), c.said) << c.what;
    }
  }
}

TEST(GraphFile, SingleLayerFileRoundTrip) {
  layer_graph lg;
  build_small_layer(lg);
  const std::string path = testing::TempDir() + "single_layer.bin";
  ASSERT_TRUE(lg.write_file(path));
  layer_graph back;
  ASSERT_TRUE(back.read_file(path));
  EXPECT_EQ(back.f_curves.size(), 2u);
  // The older form has no weights: every sample comes back with weight 1.
  EXPECT_EQ(back.f_curves.back().v_weight, std::vector<float>(11, 1.0f));
  EXPECT_EQ(back.curves.front().nb_point, 22u);
  EXPECT_EQ(back.nregions.size(), 2u);
  std::remove(path.c_str());
  layer_graph none;
  EXPECT_FALSE(none.read_file(testing::TempDir() + "no_such_dir/x.bin"));
}

}  // namespace

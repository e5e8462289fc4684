#include "io/svg_pictures.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <sstream>

#include <unistd.h>

#include <gtest/gtest.h>

#include "graph/curve_network.h"
#include "io/svg_elements.h"
#include "support/xml_check.h"

namespace {

using glm::dvec2;

const std::string head = "<svg xmlns=\"http://www.w3.org/2000/svg\" height=\"200\" width=\"300\">\n";
const std::string foot = "</svg>\n";

std::string path_line(int id, const std::string& d, const std::string& colour, int width = 2) {
  std::string text = "<path ";
  if (id != -1) text += "id = \"curve_" + std::to_string(id) + "\" ";
  return text + "d = \"" + d + "\" stroke=\"" + colour + "\" stroke-width=\"" +
         std::to_string(width) + "\" fill=\"none\"/>\n";
}

std::string circle_line(int id, const std::string& centre, const std::string& colour,
                        const std::string& radius, const std::string& width) {
  const std::size_t comma = centre.find(',');
  std::string text = "<circle ";
  if (id != -1) text += "id = \"circle_" + std::to_string(id) + "\" ";
  return text + "cx=\"" + centre.substr(0, comma) + "\" cy=\"" + centre.substr(comma + 1) +
         "\" r=\"" + radius + "\" stroke=\"" + colour + "\" fill=\"" + colour +
         "\" stroke-width=\"" + width + "\"/>\n";
}

curve_segment segment_of(std::vector<dvec2> points) {
  curve_segment s;
  s.v_ctrl_point = std::move(points);
  s.degree = static_cast<int>(s.v_ctrl_point.size()) - 1;
  return s;
}

template <class T>
T* add(std::list<T>& list) {
  list.emplace_back();
  return &list.back();
}

f_curve* add_fragment(layer_graph& layer, std::vector<dvec2> ctrl, std::vector<frag_conn*> ends) {
  f_curve* f = add(layer.f_curves);
  f->v_ctrl_point = std::move(ctrl);
  f->v_frag_conn = std::move(ends);
  return f;
}

// Two layers. Layer 1 (200 x 300): fragments f1 (0,0)-(30,0) and f2 (30,0)-(30,30) between
// junctions j0, j1, j2; nodes n0 at j0 and n2 at j2 joined by the background edge of f1
// and the inner edge of f2; curve A (f1, one cubic, on the background) and curve B (f2,
// a 5-point segment that writes nothing and a line). Layer 2 (50 x 60): curve C, one
// quadratic; fragments g1, g2 (three junctions), g3.
struct two_layer_network {
  curve_network network;
  layer_graph* l1;
  layer_graph* l2;
  f_curve *f1, *f2, *g1, *g2, *g3;
  frag_conn *j0, *j1, *j2, *k0, *k1, *k2;
  curve *a, *b, *c;
  edge *background, *inner;
  node *n0, *n2;

  two_layer_network() {
    l1 = add(network);
    l1->height = 200;
    l1->width = 300;
    j0 = add(l1->frag_conns);
    j1 = add(l1->frag_conns);
    j2 = add(l1->frag_conns);
    f1 = add_fragment(*l1, {{0, 0}, {10, 0}, {20, 0}, {30, 0}}, {j0, j1});
    f2 = add_fragment(*l1, {{30, 0}, {30, 10}, {30, 20}, {30, 30}}, {j1, j2});
    j0->v_frag_end = {{f1, 0}};
    j1->v_frag_end = {{f1, 3}, {f2, 0}};
    j2->v_frag_end = {{f2, 3}};
    background = add(l1->edges);
    inner = add(l1->edges);
    background->on_background = true;
    n0 = add(l1->nodes);
    n2 = add(l1->nodes);
    n0->v_frag_conn = {j0};
    n2->v_frag_conn = {j2};
    for (edge* e : {background, inner}) {
      e->v_node = {n0, n2};
      n0->v_edge.push_back(e);
      n2->v_edge.push_back(e);
    }
    background->v_f_curve = {f1};
    inner->v_f_curve = {f2};
    f1->v_edge = {background};
    f2->v_edge = {inner};

    a = add(l1->curves);
    a->v_f_curve = {f1};
    a->v_segment = {segment_of({{0, 0}, {10, 0}, {20, 0}, {30, 0}})};
    a->class_score = -1;
    b = add(l1->curves);
    b->v_f_curve = {f2};
    b->v_segment = {segment_of({{30, 0}, {30, 5}, {30, 10}, {30, 15}, {30, 20}}),
                    segment_of({{30, 0}, {30, 30}})};
    b->class_score = -1;

    l2 = add(network);
    l2->height = 50;
    l2->width = 60;
    c = add(l2->curves);
    c->v_segment = {segment_of({{1.5, 2}, {3, 4}, {5, 6}})};
    k0 = add(l2->frag_conns);
    k1 = add(l2->frag_conns);
    k2 = add(l2->frag_conns);
    g1 = add_fragment(*l2, {{0, 50}, {10, 50}}, {k0, k1});
    g2 = add_fragment(*l2, {{10, 50}, {20, 50}}, {k0, k1, k2});
    g3 = add_fragment(*l2, {{10, 50}, {20, 60}}, {k1, k2});
    k0->v_frag_end = {{g1, 0}};
    k1->v_frag_end = {{g1, 3}};
    k2->v_frag_end = {{g3, 3}};
  }
};

class SvgPictures : public testing::Test {
 protected:
  std::string folder;

  void SetUp() override {
    char name[] = "/tmp/vt_svg_pictures_XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    folder = name;
  }
  void TearDown() override { std::system(("rm -rf '" + folder + "'").c_str()); }

  std::string path(const std::string& name) const { return folder + "/" + name; }

  // Runs the writer on a fresh file; the text, after checking it exists and parses.
  std::string picture(const std::function<void(const std::string&)>& write) {
    const std::string file = path("picture_" + std::to_string(count_++) + ".svg");
    write(file);
    std::ifstream in(file);
    EXPECT_TRUE(in.is_open()) << file << " was not created";
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_TRUE(is_well_formed_xml_file(file));
    return text.str();
  }

 private:
  int count_ = 0;
};

// The stroke colours in writing order, and the text with each replaced by "*".
std::vector<std::string> strokes(const std::string& text, std::string& masked) {
  const std::string key = "stroke=\"";
  std::vector<std::string> found;
  masked.clear();
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(key, from)) != std::string::npos;) {
    const std::size_t begin = at + key.size();
    const std::size_t end = text.find('"', begin);
    found.push_back(text.substr(begin, end - begin));
    masked += text.substr(from, begin - from) + "*";
    from = end;
  }
  masked += text.substr(from);
  return found;
}

TEST_F(SvgPictures, CurvesOfTwoLayersInBlue) {
  two_layer_network n;
  const std::string text = picture([&](const std::string& p) { n.network.save_curves_svg(p, true); });
  // Header of the first layer; ids count segments on into the second layer.
  EXPECT_EQ(text, head + path_line(0, "M0,0 C10,0 20,0 30,0", "#0000FF") +
                      path_line(2, "M30,0 L30,30", "#0000FF") +
                      path_line(3, "M1.5,2 Q3,4 5,6", "#0000FF") + foot);
  EXPECT_EQ(picture([&](const std::string& p) { n.network.save_joined_curves_svg(p, true); }), text);
}

TEST_F(SvgPictures, CurvesInShuffledColoursOnePerCurve) {
  two_layer_network n;
  std::string blue_masked;
  strokes(picture([&](const std::string& p) { n.network.save_curves_svg(p, true); }), blue_masked);
  std::vector<std::string> expected = {jet_color_hex(0), jet_color_hex(1 * (1.0f / 3)),
                                       jet_color_hex(2 * (1.0f / 3))};
  std::sort(expected.begin(), expected.end());
  for (int run = 0; run < 5; ++run) {
    std::string masked;
    std::vector<std::string> colours =
        strokes(picture([&](const std::string& p) { n.network.save_curves_svg(p, false); }), masked);
    EXPECT_EQ(masked, blue_masked);
    std::sort(colours.begin(), colours.end());
    EXPECT_EQ(colours, expected);
  }
}

TEST_F(SvgPictures, ClassColoursBackgroundBorderWinsOverNegativeScore) {
  two_layer_network n;
  // A: background edge and score -1 -> blue; B: score -1 -> green; C: score 0 -> red.
  EXPECT_EQ(picture([&](const std::string& p) { n.network.save_curve_class_svg(p); }),
            head + path_line(0, "M0,0 C10,0 20,0 30,0", "#0000FF") +
                path_line(2, "M30,0 L30,30", "#00FF00") + path_line(3, "M1.5,2 Q3,4 5,6", "#FF0000") +
                foot);
  n.b->class_score = 0;
  EXPECT_EQ(picture([&](const std::string& p) { n.l1->save_curve_class_svg(p); }),
            head + path_line(0, "M0,0 C10,0 20,0 30,0", "#0000FF") +
                path_line(2, "M30,0 L30,30", "#FF0000") + foot);
}

TEST_F(SvgPictures, FragmentGraphEndsAtTheFirstFragmentOrJunctionItCannotDraw) {
  const std::string layer_1 =
      path_line(-1, "M0,0 L30,0", "#000000", 5) + path_line(-1, "M30,0 L30,30", "#000000", 5) +
      circle_line(-1, "0,0", "gray", "10", "2") + circle_line(-1, "30,0", "gray", "10", "2") +
      circle_line(-1, "30,30", "gray", "10", "2");
  {
    // g2 has three junctions: g1's line stays, g3 and layer 2's dots are not written.
    two_layer_network n;
    EXPECT_EQ(picture([&](const std::string& p) { n.network.save_fragment_graph_svg(p); }),
              head + layer_1 + path_line(-1, "M0,50 L10,50", "#000000", 5) + foot);
    // With g2 mended the whole network is drawn.
    n.g2->v_frag_conn = {n.k0, n.k1};
    EXPECT_EQ(picture([&](const std::string& p) { n.network.save_fragment_graph_svg(p); }),
              head + layer_1 + path_line(-1, "M0,50 L10,50", "#000000", 5) +
                  path_line(-1, "M0,50 L10,50", "#000000", 5) +
                  path_line(-1, "M10,50 L20,60", "#000000", 5) +
                  circle_line(-1, "0,50", "gray", "10", "2") +
                  circle_line(-1, "10,50", "gray", "10", "2") +
                  circle_line(-1, "20,60", "gray", "10", "2") + foot);
  }
  // A junction without fragment ends, or whose fragment has no control points, ends the
  // file before any element of its layer.
  for (int variant = 0; variant < 2; ++variant) {
    two_layer_network n;
    if (variant == 0) n.k2->v_frag_end.clear();
    if (variant == 1) n.g3->v_ctrl_point.clear();
    EXPECT_EQ(picture([&](const std::string& p) { n.network.save_fragment_graph_svg(p); }),
              head + layer_1 + foot)
        << variant;
  }
  // A fragment whose junction belongs to no junction list of its layer ends it too.
  two_layer_network n;
  n.g1->v_frag_conn = {n.k0, n.j0};
  EXPECT_EQ(picture([&](const std::string& p) { n.network.save_fragment_graph_svg(p); }),
            head + layer_1 + foot);
}

TEST_F(SvgPictures, EmptyNetworkCreatesNoFile) {
  const curve_network empty;
  const std::vector<std::function<void(const std::string&)>> writers = {
      [&](const std::string& p) { empty.save_curves_svg(p, false); },
      [&](const std::string& p) { empty.save_curves_svg(p, true); },
      [&](const std::string& p) { empty.save_curve_class_svg(p); },
      [&](const std::string& p) { empty.save_fragment_graph_svg(p); },
      [&](const std::string& p) { empty.save_cubic_fragments_svg(p); },
      [&](const std::string& p) { empty.save_topology_svg(p); },
      [&](const std::string& p) { empty.save_topology_inline_svg(p); },
      [&](const std::string& p) { empty.save_joined_curves_svg(p, false); }};
  for (std::size_t i = 0; i < writers.size(); ++i) {
    const std::string file = path("empty_" + std::to_string(i) + ".svg");
    testing::internal::CaptureStderr();
    writers[i](file);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(std::ifstream(file).is_open()) << i;
  }
}

TEST_F(SvgPictures, FileThatCannotBeCreatedIsNamedOnceAndTheCallerGoesOn) {
  two_layer_network n;
  const std::string missing = path("no_such_folder/result.svg");
  testing::internal::CaptureStderr();
  n.network.save_curves_svg(missing, false);
  n.network.save_fragment_graph_svg(missing);
  n.l1->save_topology_svg(missing);
  // With the reason, as every other writer gives it.
  const std::string line = "svg: cannot create file " + missing + ": No such file or directory\n";
  EXPECT_EQ(testing::internal::GetCapturedStderr(), line + line + line);
  EXPECT_FALSE(std::ifstream(missing).is_open());
  // The next picture is written as usual.
  EXPECT_EQ(picture([&](const std::string& p) { n.network.save_curve_class_svg(p); }).substr(0, head.size()),
            head);
}

TEST_F(SvgPictures, NonFiniteControlPointLeavesAWellFormedPicture) {
  two_layer_network n;
  n.a->v_segment[0].v_ctrl_point[1].x = std::numeric_limits<double>::quiet_NaN();
  // Evaluation multiplies every control point, so both junctions of f1 become non-finite.
  n.f1->v_ctrl_point[3].y = std::numeric_limits<double>::infinity();
  testing::internal::CaptureStderr();
  const std::string curves = picture([&](const std::string& p) { n.network.save_curves_svg(p, true); });
  const std::string graph = picture([&](const std::string& p) { n.network.save_fragment_graph_svg(p); });
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(curves, head + path_line(2, "M30,0 L30,30", "#0000FF") +
                        path_line(3, "M1.5,2 Q3,4 5,6", "#0000FF") + foot);
  EXPECT_EQ(graph.find("inf"), std::string::npos);
  EXPECT_EQ(err,
            "svg: path curve_0 not written: non-finite coordinate\n"
            "svg: path not written: non-finite coordinate\n"
            "svg: path not written: non-finite coordinate\n"
            "svg: circle not written: non-finite coordinate\n"
            "svg: circle not written: non-finite coordinate\n");
  EXPECT_NE(graph.find(circle_line(-1, "30,30", "gray", "10", "2")), std::string::npos);
}

TEST_F(SvgPictures, TopologyPictures) {
  two_layer_network n;
  const std::string edge_line = "M0,0 L30,30";
  EXPECT_EQ(picture([&](const std::string& p) { n.l1->save_topology_svg(p); }),
            head + path_line(0, edge_line, "orange") + path_line(1, edge_line, "orange") +
                circle_line(0, "0,0", "cyan", "6", "2") + circle_line(1, "30,30", "cyan", "6", "2") +
                foot);
  const std::string plain = path_line(-1, edge_line, "black") + path_line(-1, edge_line, "black") +
                            circle_line(-1, "0,0", "gray", "6", "2") +
                            circle_line(-1, "30,30", "gray", "6", "2");
  EXPECT_EQ(picture([&](const std::string& p) { n.network.save_topology_svg(p); }), head + plain + foot);
  EXPECT_EQ(picture([&](const std::string& p) { n.network.save_topology_inline_svg(p); }),
            head + circle_line(-1, "0,0", "orange", "6", "2") +
                circle_line(-1, "30,30", "orange", "6", "2") + path_line(-1, edge_line, "black") +
                path_line(-1, edge_line, "black") + foot);

  // An edge without two nodes in layer 2 ends the file after layer 1; a node without a
  // junction ends it before any element of its layer.
  node* lone = add(n.l2->nodes);
  lone->v_frag_conn = {n.k0};
  add(n.l2->edges)->v_node = {lone};
  EXPECT_EQ(picture([&](const std::string& p) { n.network.save_topology_svg(p); }),
            head + plain + foot);
  n.n2->v_frag_conn.clear();
  EXPECT_EQ(picture([&](const std::string& p) { n.network.save_topology_svg(p); }), head + foot);
}

TEST_F(SvgPictures, EdgeAdjacencyConnectionGraphAndFragmentPictures) {
  two_layer_network n;
  // Both nodes join the two edges, whose midpoints are f1 and f2 at t = 0.5.
  EXPECT_EQ(picture([&](const std::string& p) { n.l1->save_edge_adjacency_svg(p); }),
            head + path_line(0, "M15,0 L30,15", "black") + path_line(1, "M15,0 L30,15", "black") +
                circle_line(0, "15,0", "orange", "6", "2") +
                circle_line(1, "30,15", "orange", "6", "2") + foot);

  nconnection* c0 = add(n.l1->nconnections);
  nconnection* c1 = add(n.l1->nconnections);
  nconnection* c2 = add(n.l1->nconnections);
  c0->v_frag_conn = {n.j0};
  c1->v_frag_conn = {n.j1};
  c2->v_frag_conn = {n.j2};
  n.a->v_nconnection = {c0, c1};
  n.b->v_nconnection = {c1, c2};
  EXPECT_EQ(picture([&](const std::string& p) { n.l1->save_connection_graph_svg(p); }),
            head + path_line(0, "M0,0 L30,0", "orange") + path_line(1, "M30,0 L30,30", "orange") +
                circle_line(0, "0,0", "cyan", "6", "2") + circle_line(1, "30,0", "cyan", "6", "2") +
                circle_line(2, "30,30", "cyan", "6", "2") + foot);

  const std::string f1 = "M0,0 C10,0 20,0 30,0", f2 = "M30,0 C30,10 30,20 30,30";
  EXPECT_EQ(picture([&](const std::string& p) { n.l1->save_fragments_svg(p); }),
            head + path_line(0, f1, "blue") + path_line(1, f2, "blue") + foot);
  EXPECT_EQ(picture([&](const std::string& p) { n.l1->save_fragments_by_edge_flags_svg(p); }),
            head + path_line(0, f1, "green") + path_line(1, f2, "blue") + foot);
  // Layer 2's fragments are lines: none of them is drawn.
  EXPECT_EQ(picture([&](const std::string& p) { n.network.save_cubic_fragments_svg(p); }),
            head + path_line(0, f1, "blue") + path_line(1, f2, "blue") + foot);
}

TEST_F(SvgPictures, HighlightedCurves) {
  two_layer_network n;
  const std::string a_black = path_line(0, "M0,0 C10,0 20,0 30,0", "#000000");
  const std::string b_black = path_line(2, "M30,0 L30,30", "#000000");
  const std::string only = jet_color_hex(0);  // one coloured curve gets the colour of 0
  // B highlighted and hidden from the coloured ones: A is the only coloured curve.
  EXPECT_EQ(picture([&](const std::string& p) { n.l1->save_curves_one_highlighted_svg(p, n.b, n.b, nullptr); }),
            head + path_line(1, "M30,0 L30,30", "#000000") +
                path_line(2, "M0,0 C10,0 20,0 30,0", only) + foot);
  // A and B in black, then the curves holding neither f1 nor a listed fragment: B.
  EXPECT_EQ(picture([&](const std::string& p) { n.l1->save_curves_two_highlighted_svg(p, *n.a, *n.b, n.f1); }),
            head + a_black + b_black + path_line(4, "M30,0 L30,30", only) + foot);
  EXPECT_EQ(picture([&](const std::string& p) {
              n.l1->save_curves_two_highlighted_svg(p, *n.a, *n.b, n.f1, {n.f2});
            }),
            head + a_black + b_black + foot);
  EXPECT_EQ(picture([&](const std::string& p) { n.l1->save_curves_list_highlighted_svg(p, {n.a}); }),
            head + a_black + path_line(2, "M30,0 L30,30", only) + foot);
}

// Three line curves: c1 (0,0)-(10,0) and c2 (20,0)-(10,0) meet head on at (10,0); c3
// leaves c2's start (20,0) at a right angle.
struct three_lines {
  curve_network network;
  layer_graph* layer;
  f_curve *fa, *fb, *fc;
  curve *c1, *c2, *c3;

  three_lines() {
    layer = add(network);
    layer->height = 200;
    layer->width = 300;
    frag_conn* j[4];
    for (frag_conn*& junction : j) junction = add(layer->frag_conns);
    fa = add_fragment(*layer, {{0, 0}, {10, 0}}, {j[0], j[1]});
    fb = add_fragment(*layer, {{10, 0}, {20, 0}}, {j[1], j[2]});
    fc = add_fragment(*layer, {{20, 0}, {20, 10}}, {j[2], j[3]});
    j[0]->v_frag_end = {{fa, 0}};
    j[1]->v_frag_end = {{fa, 3}, {fb, 0}};
    j[2]->v_frag_end = {{fb, 3}, {fc, 0}};
    j[3]->v_frag_end = {{fc, 3}};
    auto make = [&](f_curve* f, bool reversed, std::vector<dvec2> points) {
      curve* c = add(layer->curves);
      c->v_f_curve = {f};
      c->v_segment = {segment_of(std::move(points))};
      c->v_segment[0].v_frag_ref = {{f, 0, 1, 0, 1, reversed}};
      f->v_curve = {c};
      return c;
    };
    c1 = make(fa, false, {{0, 0}, {10, 0}});
    c2 = make(fb, true, {{20, 0}, {10, 0}});
    c3 = make(fc, false, {{20, 0}, {20, 10}});
    nconnection* n[4];
    for (int i = 0; i < 4; ++i) {
      n[i] = add(layer->nconnections);
      n[i]->v_frag_conn = {j[i]};
    }
    n[0]->v_curve = {c1};
    n[1]->v_curve = {c1, c2};
    n[2]->v_curve = {c2, c3};
    n[3]->v_curve = {c3};
  }
};

TEST_F(SvgPictures, JoinedCurvesChainSmoothJoins) {
  three_lines t;
  std::string masked;
  std::vector<std::string> colours =
      strokes(picture([&](const std::string& p) { t.network.save_joined_curves_svg(p, false); }), masked);
  // c2 runs backwards in the chain; ids count sections.
  EXPECT_EQ(masked, head + path_line(0, "M0,0 L10,0 L20,0", "*") + path_line(2, "M20,0 L20,10", "*") + foot);
  std::sort(colours.begin(), colours.end());
  EXPECT_EQ(colours, (std::vector<std::string>{jet_color_hex(0), jet_color_hex(0.5f)}));

  // A curve that does not hold a fragment at its connection cannot be chained there.
  t.fb->v_curve.clear();
  testing::internal::CaptureStdout();
  colours = strokes(picture([&](const std::string& p) { t.network.save_joined_curves_svg(p, false); }), masked);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "zilfhaczmlfcj;azmcf;j\nzerhlgmah,mrglaerhmhgh\n"
            "zilfhaczmlfcj;azmcf;j\nzerhlgmah,mrglaerhmhgh\n");
  EXPECT_EQ(masked, head + path_line(0, "M0,0 L10,0", "*") + path_line(1, "M20,0 L10,0", "*") +
                        path_line(2, "M20,0 L20,10", "*") + foot);
}

}  // namespace

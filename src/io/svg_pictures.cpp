#include "io/svg_pictures.h"

#include <algorithm>
#include <iostream>
#include <locale>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include <glm/geometric.hpp>

#include "graph/bezier.h"
#include "graph/curve_network.h"
#include "io/svg_elements.h"

svg_picture::svg_picture(const std::string& path, int height, int width) : path_(path), file_(path) {
  out().imbue(std::locale::classic());
  created_ = static_cast<bool>(out());
  // One line, and the picture is skipped: a missing output folder must not stop a run.
  if (!created_) std::cerr << "svg: cannot create file " << path << ": " << file_.error() << std::endl;
  svg_header(out(), height, width);
}

// Without finish() the picture was cut short (an exception on the way): the temporary
// file goes and the old one stays.
svg_picture::~svg_picture() = default;

bool svg_picture::finish() {
  if (finished_) return false;
  finished_ = true;
  svg_footer(out());
  const bool written = file_.commit();
  if (created_ && !written) std::cerr << "svg: could not write file " << path_ << ": " << file_.error() << std::endl;
  return written;
}

bool junction_position(const frag_conn& junction, glm::vec2& position) {
  if (junction.v_frag_end.empty()) return false;
  const frag_end& first = junction.v_frag_end.front();
  // Without control points there is no Bézier to evaluate (degree -1).
  if (!first.fragment || first.fragment->v_ctrl_point.empty()) return false;
  const std::vector<glm::dvec2>& ctrl = first.fragment->v_ctrl_point;
  const int degree = static_cast<int>(ctrl.size()) - 1;
  const glm::dvec2 p = bezier_eval(degree, ctrl.data(), first.end == 0 ? 0.0 : 1.0);
  position = glm::vec2(static_cast<float>(p.x), static_cast<float>(p.y));
  return true;
}

namespace {

const std::string blue_hex = "#0000FF";
const std::string green_hex = "#00FF00";
const std::string red_hex = "#FF0000";
const std::string black_hex = "#000000";

using curve_refs = std::vector<const curve*>;

// Each curve's segments in its own shuffled jet colour, in the given order.
void write_shuffled(svg_picture& picture, const curve_refs& curves) {
  const std::vector<std::string> colours = shuffled_curve_colours(static_cast<int>(curves.size()));
  for (std::size_t j = 0; j < curves.size(); ++j)
    svg_curve_segments(picture.out(), curves[j]->v_segment, picture.id, colours[j]);
}

void write_curves(svg_picture& picture, const std::vector<const layer_graph*>& layers, bool blue) {
  curve_refs curves;
  for (const layer_graph* layer : layers)
    for (const curve& c : layer->curves) curves.push_back(&c);
  if (!blue) return write_shuffled(picture, curves);
  for (const curve* c : curves) svg_curve_segments(picture.out(), c->v_segment, picture.id, blue_hex);
}

const std::string& class_colour(const curve& c) {
  for (const f_curve* f : c.v_f_curve)
    if (f && !f->v_edge.empty() && f->v_edge[0] && f->v_edge[0]->on_background) return blue_hex;
  return c.class_score < 0 ? green_hex : red_hex;
}

void write_class_colours(svg_picture& picture, const layer_graph& layer) {
  for (const curve& c : layer.curves)
    svg_curve_segments(picture.out(), c.v_segment, picture.id, class_colour(c));
}

// False at the first junction that cannot be placed or fragment without exactly two
// junctions of this layer: the picture ends there.
bool write_fragment_graph_layer(svg_picture& picture, const layer_graph& layer) {
  std::map<const frag_conn*, glm::vec2> positions;
  for (const frag_conn& junction : layer.frag_conns) {
    glm::vec2 p;
    if (!junction_position(junction, p)) return false;
    positions[&junction] = p;
  }
  for (const f_curve& f : layer.f_curves) {
    if (f.v_frag_conn.size() != 2) return false;
    const auto a = positions.find(f.v_frag_conn[0]);
    const auto b = positions.find(f.v_frag_conn[1]);
    if (a == positions.end() || b == positions.end()) return false;
    svg_line(picture.out(), -1, black_hex, a->second, b->second, 5);
  }
  for (const frag_conn& junction : layer.frag_conns)
    svg_circle(picture.out(), -1, "gray", positions[&junction], 10.0f, 2.0f);
  return true;
}

using node_positions = std::map<const node*, glm::vec2>;

// A node is drawn at its first junction; false at the first node without a placeable one.
bool place_nodes(const layer_graph& layer, node_positions& positions) {
  for (const node& n : layer.nodes) {
    glm::vec2 p;
    if (n.v_frag_conn.empty() || !n.v_frag_conn[0] || !junction_position(*n.v_frag_conn[0], p))
      return false;
    positions[&n] = p;
  }
  return true;
}

bool edge_ends(const edge& e, const node_positions& positions, glm::vec2& a, glm::vec2& b) {
  if (e.v_node.size() != 2) return false;
  const auto pa = positions.find(e.v_node[0]);
  const auto pb = positions.find(e.v_node[1]);
  if (pa == positions.end() || pb == positions.end()) return false;
  a = pa->second;
  b = pb->second;
  return true;
}

enum class topology_style { plain, inline_nodes_first, numbered };

// False when the layer ends the picture early (see curve_network::save_topology_svg).
bool write_topology_layer(svg_picture& picture, const layer_graph& layer, topology_style style) {
  node_positions positions;
  if (!place_nodes(layer, positions)) return false;
  auto write_nodes = [&](const std::string& colour, bool numbered) {
    int index = 0;
    for (const node& n : layer.nodes)
      svg_circle(picture.out(), numbered ? index++ : -1, colour, positions[&n], 6.0f, 2.0f);
  };
  if (style == topology_style::inline_nodes_first) write_nodes("orange", false);
  int index = 0;
  for (const edge& e : layer.edges) {
    glm::vec2 a, b;
    if (!edge_ends(e, positions, a, b)) return false;
    const bool numbered = style == topology_style::numbered;
    svg_line(picture.out(), numbered ? index : -1, numbered ? "orange" : "black", a, b, 2);
    ++index;
  }
  if (style == topology_style::plain) write_nodes("gray", false);
  if (style == topology_style::numbered) write_nodes("cyan", true);
  return true;
}

bool holds_fragment(const curve& c, const f_curve* f) {
  return std::find(c.v_f_curve.begin(), c.v_f_curve.end(), f) != c.v_f_curve.end();
}

// --- Joined curves -------------------------------------------------------------------

// One end of a curve: at_end false is its first segment's first control point, true its
// last segment's last one.
using curve_end = std::pair<const curve*, bool>;

void print_chain_misfit() {
  std::cout << "zilfhaczmlfcj;azmcf;j" << std::endl;
  std::cout << "zerhlgmah,mrglaerhmhgh" << std::endl;
}

// Which end of c lies at the junction, read from the fragment that c holds there and
// the direction its chain runs through it. False when that fragment is neither the
// curve's first fragment entering at its start nor its last one leaving at its end.
bool end_at_junction(const curve& c, const frag_conn& junction, bool& at_end) {
  const frag_end* entry = nullptr;
  for (const frag_end& fe : junction.v_frag_end) {
    if (fe.fragment && std::find(fe.fragment->v_curve.begin(), fe.fragment->v_curve.end(), &c) !=
                           fe.fragment->v_curve.end()) {
      entry = &fe;
      break;
    }
  }
  if (!entry || c.v_segment.empty() || c.v_segment.front().v_frag_ref.empty() ||
      c.v_segment.back().v_frag_ref.empty())
    return false;
  const frag_ref& first = c.v_segment.front().v_frag_ref.front();
  const frag_ref& last = c.v_segment.back().v_frag_ref.back();
  const bool fragment_t1 = entry->end != 0;  // the junction is at the fragment's t = 1 end
  if (entry->fragment == first.fragment && fragment_t1 == first.reversed) {
    at_end = false;
    return true;
  }
  if (entry->fragment == last.fragment && fragment_t1 != last.reversed) {
    at_end = true;
    return true;
  }
  return false;
}

// Unit direction from the end point into the curve; false for a segment without two points.
bool inward_direction(const curve& c, bool at_end, glm::dvec2& direction) {
  if (c.v_segment.empty()) return false;
  const std::vector<glm::dvec2>& p = (at_end ? c.v_segment.back() : c.v_segment.front()).v_ctrl_point;
  if (p.size() < 2) return false;
  const glm::dvec2 d = at_end ? p[p.size() - 2] - p.back() : p[1] - p[0];
  const double length = glm::length(d);
  if (!(length > 0)) return false;
  direction = d / length;
  return true;
}

// Links the ends of the two curves at every connection where exactly two curves end
// and leave in nearly opposite directions.
std::map<curve_end, curve_end> smooth_joins(const layer_graph& layer) {
  std::map<curve_end, curve_end> links;
  for (const nconnection& connection : layer.nconnections) {
    if (connection.v_curve.size() != 2 || connection.v_frag_conn.empty() ||
        !connection.v_frag_conn[0])
      continue;
    const curve* a = connection.v_curve[0];
    const curve* b = connection.v_curve[1];
    if (!a || !b || a == b) continue;
    curve_end ea{a, false}, eb{b, false};
    if (!end_at_junction(*a, *connection.v_frag_conn[0], ea.second) ||
        !end_at_junction(*b, *connection.v_frag_conn[0], eb.second)) {
      print_chain_misfit();
      continue;
    }
    glm::dvec2 da, db;
    if (!inward_direction(*a, ea.second, da) || !inward_direction(*b, eb.second, db)) continue;
    if (!(glm::dot(da, db) < -0.99)) continue;
    if (links.count(ea) || links.count(eb)) {
      print_chain_misfit();  // an end already chained elsewhere
      continue;
    }
    links[ea] = eb;
    links[eb] = ea;
  }
  return links;
}

void append_sections(std::list<std::vector<glm::dvec2>>& sections, const curve& c, bool forward) {
  if (forward) {
    for (const curve_segment& s : c.v_segment) sections.push_back(s.v_ctrl_point);
    return;
  }
  for (auto s = c.v_segment.rbegin(); s != c.v_segment.rend(); ++s)
    sections.emplace_back(s->v_ctrl_point.rbegin(), s->v_ctrl_point.rend());
}

using chain = std::list<std::vector<glm::dvec2>>;

// Every curve of the layer in exactly one chain, chains in the order of their first
// curve in the list; a chain runs from one free end (or, for a loop, from that curve).
void chain_layer(const layer_graph& layer, std::vector<chain>& chains) {
  const std::map<curve_end, curve_end> links = smooth_joins(layer);
  std::set<const curve*> visited;
  const std::size_t count = layer.curves.size();
  for (const curve& start : layer.curves) {
    if (visited.count(&start)) continue;
    // Walk back to the head of the chain: entering x forwards means through its start.
    const curve* x = &start;
    bool forward = true;
    for (std::size_t step = 0; step < count; ++step) {
      const auto back = links.find({x, !forward});
      if (back == links.end() || back->second.first == &start || visited.count(back->second.first))
        break;
      x = back->second.first;
      forward = back->second.second;  // left through its end: it runs forwards
    }
    chain sections;
    while (true) {
      visited.insert(x);
      append_sections(sections, *x, forward);
      const auto next = links.find({x, forward});
      if (next == links.end() || visited.count(next->second.first)) break;
      x = next->second.first;
      forward = !next->second.second;  // entered through its start: it runs forwards
    }
    chains.push_back(std::move(sections));
  }
}

}  // namespace

// --- Network pictures ------------------------------------------------------------------

bool write_curves_svg(const curve_network& network, const std::string& path, bool blue, std::string* why) {
  if (network.empty()) return true;
  svg_picture picture(path, network.front().height, network.front().width);
  std::vector<const layer_graph*> layers;
  for (const layer_graph& layer : network) layers.push_back(&layer);
  write_curves(picture, layers, blue);
  const bool written = picture.finish();
  if (!written && why) *why = picture.error();
  return written;
}

void curve_network::save_curves_svg(std::string path, bool blue) const { write_curves_svg(*this, path, blue); }

void curve_network::save_curve_class_svg(std::string path) const {
  if (empty()) return;
  svg_picture picture(path, front().height, front().width);
  for (const layer_graph& layer : *this) write_class_colours(picture, layer);
  picture.finish();
}

void curve_network::save_fragment_graph_svg(std::string path) const {
  if (empty()) return;
  svg_picture picture(path, front().height, front().width);
  for (const layer_graph& layer : *this)
    if (!write_fragment_graph_layer(picture, layer)) break;
  picture.finish();
}

void curve_network::save_cubic_fragments_svg(std::string path) const {
  if (empty()) return;
  svg_picture picture(path, front().height, front().width);
  for (const layer_graph& layer : *this)
    svg_cubic_fragments(picture.out(), layer.f_curves, picture.id, "blue");
  picture.finish();
}

void curve_network::save_topology_svg(std::string path) const {
  if (empty()) return;
  svg_picture picture(path, front().height, front().width);
  for (const layer_graph& layer : *this)
    if (!write_topology_layer(picture, layer, topology_style::plain)) break;
  picture.finish();
}

void curve_network::save_topology_inline_svg(std::string path) const {
  if (empty()) return;
  svg_picture picture(path, front().height, front().width);
  for (const layer_graph& layer : *this)
    if (!write_topology_layer(picture, layer, topology_style::inline_nodes_first)) break;
  picture.finish();
}

void curve_network::save_joined_curves_svg(std::string path, bool blue) const {
  if (blue) return save_curves_svg(path, true);
  if (empty()) return;
  svg_picture picture(path, front().height, front().width);
  std::vector<chain> chains;
  for (const layer_graph& layer : *this) chain_layer(layer, chains);
  const std::vector<std::string> colours = shuffled_curve_colours(static_cast<int>(chains.size()));
  for (std::size_t k = 0; k < chains.size(); ++k)
    svg_joined_path(picture.out(), chains[k], picture.id, colours[k]);
  picture.finish();
}

// --- Single-layer pictures -------------------------------------------------------------

void layer_graph::save_curve_class_svg(std::string path) const {
  svg_picture picture(path, height, width);
  write_class_colours(picture, *this);
  picture.finish();
}

void layer_graph::save_curves_svg(std::string path, bool blue) const {
  svg_picture picture(path, height, width);
  write_curves(picture, {this}, blue);
  picture.finish();
}

void layer_graph::save_curves_one_highlighted_svg(std::string path, const curve* highlighted,
                                                  const curve* hidden_a,
                                                  const curve* hidden_b) const {
  svg_picture picture(path, height, width);
  if (highlighted) svg_curve_segments(picture.out(), highlighted->v_segment, picture.id, black_hex);
  curve_refs others;
  for (const curve& c : curves)
    if (&c != hidden_a && &c != hidden_b) others.push_back(&c);
  write_shuffled(picture, others);
  picture.finish();
}

void layer_graph::save_curves_two_highlighted_svg(std::string path, const curve& a, const curve& b,
                                                  const f_curve* fragment,
                                                  const std::list<f_curve*>& more) const {
  svg_picture picture(path, height, width);
  svg_curve_segments(picture.out(), a.v_segment, picture.id, black_hex);
  svg_curve_segments(picture.out(), b.v_segment, picture.id, black_hex);
  curve_refs others;
  for (const curve& c : curves) {
    bool shown = !holds_fragment(c, fragment);
    for (const f_curve* f : more) shown = shown && !holds_fragment(c, f);
    if (shown) others.push_back(&c);
  }
  write_shuffled(picture, others);
  picture.finish();
}

void layer_graph::save_curves_list_highlighted_svg(
    std::string path, const std::list<const curve*>& highlighted) const {
  svg_picture picture(path, height, width);
  for (const curve* c : highlighted)
    if (c) svg_curve_segments(picture.out(), c->v_segment, picture.id, black_hex);
  curve_refs others;
  for (const curve& c : curves)
    if (std::find(highlighted.begin(), highlighted.end(), &c) == highlighted.end())
      others.push_back(&c);
  write_shuffled(picture, others);
  picture.finish();
}

void layer_graph::save_topology_svg(std::string path) const {
  svg_picture picture(path, height, width);
  write_topology_layer(picture, *this, topology_style::numbered);
  picture.finish();
}

void layer_graph::save_edge_adjacency_svg(std::string path) const {
  svg_picture picture(path, height, width);
  std::map<const edge*, glm::vec2> midpoints;
  for (const edge& e : edges) {
    if (e.v_f_curve.empty() || !e.v_f_curve[0] || e.v_f_curve[0]->v_ctrl_point.empty()) continue;
    const std::vector<glm::dvec2>& ctrl = e.v_f_curve[0]->v_ctrl_point;
    const glm::dvec2 p = bezier_eval(static_cast<int>(ctrl.size()) - 1, ctrl.data(), 0.5);
    midpoints[&e] = glm::vec2(static_cast<float>(p.x), static_cast<float>(p.y));
  }
  int line_id = 0;
  for (const node& n : nodes) {
    for (std::size_t i = 0; i < n.v_edge.size(); ++i) {
      const auto a = midpoints.find(n.v_edge[i]);
      if (a == midpoints.end()) continue;
      for (std::size_t j = i + 1; j < n.v_edge.size(); ++j) {
        const auto b = midpoints.find(n.v_edge[j]);
        if (b == midpoints.end()) continue;
        svg_line(picture.out(), line_id++, "black", a->second, b->second, 2);
      }
    }
  }
  int circle_id = 0;
  for (const edge& e : edges) {
    const auto m = midpoints.find(&e);
    if (m != midpoints.end()) svg_circle(picture.out(), circle_id++, "orange", m->second, 6.0f, 2.0f);
  }
  picture.finish();
}

void layer_graph::save_connection_graph_svg(std::string path) const {
  svg_picture picture(path, height, width);
  std::map<const nconnection*, glm::vec2> positions;
  for (const nconnection& connection : nconnections) {
    glm::vec2 p;
    if (!connection.v_frag_conn.empty() && connection.v_frag_conn[0] &&
        junction_position(*connection.v_frag_conn[0], p))
      positions[&connection] = p;
  }
  int index = 0;
  for (const curve& c : curves) {
    if (c.v_nconnection.size() == 2) {
      const auto a = positions.find(c.v_nconnection[0]);
      const auto b = positions.find(c.v_nconnection[1]);
      if (a != positions.end() && b != positions.end())
        svg_line(picture.out(), index, "orange", a->second, b->second, 2);
    }
    ++index;
  }
  index = 0;
  for (const nconnection& connection : nconnections) {
    const auto p = positions.find(&connection);
    if (p != positions.end()) svg_circle(picture.out(), index, "cyan", p->second, 6.0f, 2.0f);
    ++index;
  }
  picture.finish();
}

void layer_graph::save_fragments_svg(std::string path) const {
  svg_picture picture(path, height, width);
  svg_cubic_fragments(picture.out(), f_curves, picture.id, "blue");
  picture.finish();
}

void layer_graph::save_fragments_by_edge_flags_svg(std::string path) const {
  svg_picture picture(path, height, width);
  svg_cubic_fragments_by_edge_flags(picture.out(), f_curves, picture.id, "blue", "red");
  picture.finish();
}

// Extraction steps 7 to 9: from the pixel graphs of the raster layers to the initial
// curve network.

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>
#include <map>
#include <set>
#include <vector>

#include "graph/curve_network.h"
#include "io/output_names.h"
#include "pipeline/layer.h"
#include "pipeline/pixel_neighbourhoods.h"
#include "pipeline/view_settings.h"

namespace {

constexpr int32_t no_id = std::numeric_limits<int32_t>::min();

// The pixel graph's edge and node ids of every stroke pixel (edge or node pixel) and
// the level the current walk gave it, found through one window image of slots, so that
// the walks look a pixel up without searching the maps. One int image and a record per
// stroke pixel: three window images (two of ids, one of levels) would hold hundreds of
// megabytes on a large page.
struct stroke_pixels {
  struct ids {
    int32_t edge = no_id, node = no_id;  // no_id where the map has no entry
    int level = -1;                      // walk generation, -1 not reached yet
  };
  cv::Mat slot;  // CV_32SC1, window rows by cols: index into `entries`, -1 off the strokes
  std::vector<ids> entries;

  stroke_pixels(const pixel_graph& g, int rows, int cols) : slot(rows, cols, CV_32SC1, cv::Scalar(-1)) {
    entries.reserve(g.edge_of_pixel.size() + g.node_of_pixel.size());
    for (const auto& [p, id] : g.edge_of_pixel)
      if (inside(p)) entry_for(p).edge = id;
    for (const auto& [p, id] : g.node_of_pixel)
      if (inside(p)) entry_for(p).node = id;
  }
  bool inside(glm::ivec2 p) const { return p.x >= 0 && p.y >= 0 && p.x < slot.cols && p.y < slot.rows; }
  // The record of window pixel p, null off the strokes.
  ids* find(glm::ivec2 p) {
    const int32_t i = slot.at<int32_t>(p.y, p.x);
    return i < 0 ? nullptr : &entries[static_cast<std::size_t>(i)];
  }

 private:
  ids& entry_for(glm::ivec2 p) {
    int32_t& i = slot.at<int32_t>(p.y, p.x);
    if (i < 0) {
      i = static_cast<int32_t>(entries.size());
      entries.emplace_back();
    }
    return entries[static_cast<std::size_t>(i)];
  }
};

// Parameter of every sample: its 8-neighbour generation from the seed pixel, through
// pixels of edge `edge_id` and of the nodes it ends at, scaled to [0, 1].
void walk_parameters(const pixel_graph& g, stroke_pixels& strokes, int32_t edge_id, glm::ivec2 seed,
                     int rows, int cols, f_curve& f, std::vector<stroke_pixels::ids*>& levelled) {
  auto on_stroke = [&](const stroke_pixels::ids& q) {
    if (q.edge != no_id) return q.edge == edge_id;
    if (q.node == no_id) return false;
    const auto edges = g.edges_of_node.find(q.node);
    return edges != g.edges_of_node.end() && edges->second.count(edge_id) != 0;
  };

  // Only stroke pixels can be reached; a seed off the strokes starts the walk unlevelled,
  // which no probe can tell apart since none would step onto it.
  levelled.clear();
  std::vector<glm::ivec2> generation, next;
  if (strokes.inside(seed)) {
    if (stroke_pixels::ids* s = strokes.find(seed)) {
      s->level = 0;
      levelled.push_back(s);
    }
    generation.push_back(seed);
  }
  for (int g_number = 1; !generation.empty(); ++g_number) {
    next.clear();
    for (glm::ivec2 p : generation)
      for (glm::ivec2 q : window_3x3(p, rows, cols)) {
        stroke_pixels::ids* s = strokes.find(q);
        if (s != nullptr && s->level < 0 && on_stroke(*s)) {
          s->level = g_number;
          levelled.push_back(s);
          next.push_back(q);
        }
      }
    generation.swap(next);
  }

  f.v_t.resize(f.v_point.size());
  double lo = 0, hi = 0;
  for (std::size_t i = 0; i < f.v_point.size(); ++i) {
    const glm::ivec2 p(f.v_point[i]);
    const stroke_pixels::ids* s = strokes.inside(p) ? strokes.find(p) : nullptr;
    const int l = s != nullptr ? s->level : -1;
    f.v_t[i] = l < 0 ? 0.0 : static_cast<double>(l);
    if (i == 0 || f.v_t[i] < lo) lo = f.v_t[i];
    if (i == 0 || f.v_t[i] > hi) hi = f.v_t[i];
  }
  const double s = hi == lo ? 1.0 : 1.0 / (hi - lo);
  for (double& t : f.v_t) t = (t - lo) * s;

  // Leave the levels clean for the next edge without clearing all of them.
  for (stroke_pixels::ids* p : levelled) p->level = -1;
}

void build_layer(layer_graph& lg, layer& raster, int rows, int cols) {
  lg.height = rows;
  lg.width = cols;
  int nb_kept = 0;
  for (char d : raster.v_discarded) nb_kept += d == 0;
  pixel_graph& g = raster.graph;
  // Only the outside region: strokes traced by step 4 are built from the pixel graph, and
  // every ink component left untraced becomes a fragment of its own.
  const bool only_outside = nb_kept == 1;
  bool traced = false;
  for (const auto& entry : g.nodes_of_edge) traced = traced || entry.second.size() == 2;
  if (only_outside && !traced) {
    lg.build_single_region(raster);
    lg.fit_fragments();
    return;
  }

  std::vector<int> region_index(raster.v_discarded.size(), -1);
  int nb_region = 0;
  for (std::size_t label = 0; label < raster.v_discarded.size(); ++label)
    if (raster.v_discarded[label] == 0) region_index[label] = nb_region++;
  auto region_of_label = [&](int32_t label) {
    return label >= 0 && static_cast<std::size_t>(label) < region_index.size() ? region_index[label] : -1;
  };

  std::map<int32_t, int> node_index;
  for (const auto& entry : g.edges_of_node) node_index.emplace(entry.first, static_cast<int>(node_index.size()));
  std::map<int32_t, int> edge_index;
  std::vector<int32_t> edge_id_of_index;
  for (const auto& [id, nodes] : g.nodes_of_edge)
    if (nodes.size() == 2) {
      edge_index.emplace(id, static_cast<int>(edge_id_of_index.size()));
      edge_id_of_index.push_back(id);
    }
  auto indexed = [&](int32_t id) {
    const auto it = edge_index.find(id);
    return it == edge_index.end() ? -1 : it->second;
  };

  // The edge's own pixels in (x, y) order, then the pixels of both its end nodes.
  std::vector<std::vector<glm::vec2>> pixels(edge_id_of_index.size());
  for (const auto& [p, id] : g.edge_of_pixel)
    if (const int e = indexed(id); e >= 0) pixels[e].emplace_back(p);
  for (const auto& [p, id] : g.node_of_pixel) {
    const auto edges = g.edges_of_node.find(id);
    if (edges == g.edges_of_node.end()) continue;
    for (int32_t edge_id : edges->second)
      if (const int e = indexed(edge_id); e >= 0) pixels[e].emplace_back(p);
  }

  lg.edges.resize(edge_id_of_index.size());
  lg.regions.resize(nb_region);
  lg.nodes.resize(node_index.size());
  std::vector<edge*> edges;
  for (edge& e : lg.edges) edges.push_back(&e);
  std::vector<region*> regions;
  for (region& r : lg.regions) regions.push_back(&r);
  std::vector<node*> nodes;
  for (node& n : lg.nodes) nodes.push_back(&n);

  for (const auto& [id, edge_ids] : g.edges_of_node)
    for (int32_t edge_id : edge_ids)
      if (const int e = indexed(edge_id); e >= 0) nodes[node_index[id]]->v_edge.push_back(edges[e]);
  for (const auto& [id, node_ids] : g.nodes_of_edge)
    if (const int e = indexed(id); e >= 0)
      for (int32_t n : node_ids) {
        const auto it = node_index.find(n);
        if (it != node_index.end()) edges[e]->v_node.push_back(nodes[it->second]);
      }

  for (const auto& entry : g.edge_pixels_by_pair) {
    const ipair pair = entry.first;
    const int ra = region_of_label(pair.first);
    const int rb = region_of_label(pair.second);
    if (ra < 0 || rb < 0 || ra == rb) continue;
    g.junction_pixels_by_pair[pair];
    for (int32_t edge_id : g.edges_of_pair[pair]) {
      const int e = indexed(edge_id);
      if (e < 0) continue;
      edge* ed = edges[e];
      region* a = regions[ra];
      region* b = regions[rb];
      ed->v_region.push_back(a);
      ed->v_region.push_back(b);
      a->v_region_edge.push_back({ed, b});
      b->v_region_edge.push_back({ed, a});
      for (node* n : ed->v_node)
        for (region* r : {a, b})
          if (std::find(n->v_region.begin(), n->v_region.end(), r) == n->v_region.end()) {
            n->v_region.push_back(r);
            r->v_node.push_back(n);
          }
    }
  }

  for (region& r : lg.regions) r.background = false;
  for (edge& e : lg.edges) e.display_mark = e.display_mark_2 = e.on_background = false;
  if (!raster.labels.empty()) {
    const int outside = region_of_label(raster.labels.at<int32_t>(0, 0));
    if (outside >= 0) {
      regions[outside]->background = true;
      for (region_edge& re : regions[outside]->v_region_edge) re.edge->on_background = true;
    }
  }

  for (region& r : lg.regions) r.order_boundary();
  for (node& n : lg.nodes) n.order_around();

  const int win_rows = raster.window_size().height;
  const int win_cols = raster.window_size().width;
  std::vector<stroke_pixels::ids*> levelled;
  stroke_pixels strokes(g, win_rows, win_cols);
  for (std::size_t e = 0; e < edge_id_of_index.size(); ++e) {
    // The edge's own id; an edge without pixels of its own would otherwise be looked up
    // through a node pixel.
    const int32_t edge_id = edge_id_of_index[e];
    const std::set<int32_t>& ends = g.nodes_of_edge[edge_id];
    if (ends.size() != 2) continue;
    f_curve& f = lg.f_curves.emplace_back();
    f.frame = lg.frame();
    f.v_point = pixels[e];
    edges[e]->v_f_curve.push_back(&f);
    f.v_edge.push_back(edges[e]);
    const int32_t seed_node = *ends.begin();
    const glm::ivec2 seed = static_cast<std::size_t>(seed_node) < g.v_node_pixel.size()
                                ? g.v_node_pixel[seed_node]
                                : glm::ivec2(-1, -1);
    walk_parameters(g, strokes, edge_id, seed, win_rows, win_cols, f, levelled);
  }

  for (f_curve& f : lg.f_curves) {
    f.v_weight.resize(f.v_point.size());
    for (std::size_t i = 0; i < f.v_point.size(); ++i) f.v_weight[i] = raster.sample_weight[glm::ivec2(f.v_point[i])];
  }

  // Where each fragment's ends were placed, with the parameter that decided it.
  struct placed_end {
    frag_conn* junction;
    std::size_t entry;
    double t;
  };
  std::map<f_curve*, std::vector<placed_end>> placed;
  for (const auto& [id, edge_ids] : g.edges_of_node) {
    frag_conn& j = lg.frag_conns.emplace_back();
    node* n = nodes[node_index[id]];
    j.v_node.push_back(n);
    n->v_frag_conn.push_back(&j);
    const bool has_centroid = static_cast<std::size_t>(id) < g.v_node_centroid.size();
    for (int32_t edge_id : edge_ids) {
      const int e = indexed(edge_id);
      if (e < 0 || g.nodes_of_edge[edge_id].size() < 2 || edges[e]->v_f_curve.empty() || !has_centroid) continue;
      f_curve* f = edges[e]->v_f_curve.front();
      if (f->v_t.empty()) continue;
      const glm::vec2 c = g.v_node_centroid[id];
      std::size_t nearest = 0;
      float best = 0;
      for (std::size_t i = 0; i < f->v_point.size(); ++i) {
        const glm::vec2 d = f->v_point[i] - c;
        const float d2 = d.x * d.x + d.y * d.y;
        if (i == 0 || d2 < best) {
          best = d2;
          nearest = i;
        }
      }
      j.v_edge.push_back(edges[e]);
      placed[f].push_back({&j, j.v_frag_end.size(), f->v_t[nearest]});
      j.v_frag_end.push_back({f, f->v_t[nearest] < 0.5 ? 0 : 3});
      edges[e]->v_frag_conn.push_back(&j);
      f->v_frag_conn.push_back(&j);
    }
  }

  // Both ends of a fragment at its t = 0 end (or both at t = 1) happen when the sample
  // nearest each node lies on the same half of a winding stroke. Such a fragment has no
  // end at one of its junctions, and cutting or chaining it later corrupts the links:
  // the node whose nearest sample has the smaller parameter gets the t = 0 end.
  for (auto& [f, ends] : placed) {
    if (ends.size() != 2 || ends[0].junction == ends[1].junction) continue;
    frag_end& a = ends[0].junction->v_frag_end[ends[0].entry];
    frag_end& b = ends[1].junction->v_frag_end[ends[1].entry];
    if ((a.end == 0) != (b.end == 0)) continue;
    const bool a_first = ends[0].t <= ends[1].t;
    a.end = a_first ? 0 : 3;
    b.end = a_first ? 3 : 0;
  }

  const glm::vec2 offset(static_cast<float>(raster.offset_x), static_cast<float>(raster.offset_y));
  for (f_curve& f : lg.f_curves) {
    for (glm::vec2& p : f.v_point) p -= offset;
    f.fit_cubic();
  }
  if (only_outside) {
    const std::size_t nb_traced = lg.f_curves.size();
    lg.build_single_region(raster);
    auto f = lg.f_curves.begin();
    std::advance(f, nb_traced);
    for (; f != lg.f_curves.end(); ++f) f->fit_cubic();
  }
}

}  // namespace

namespace {

// The layer's ink on a grid over its bounding box (image coordinates), for walks through
// the ink: -1 on paper, -2 on ink not yet reached.
struct ink_grid {
  glm::ivec2 lo;
  int cols, rows;
  std::vector<int32_t> value;

  // The box of the ink pixels themselves (the layer's box may not be set).
  explicit ink_grid(const std::set<glm::ivec2>& ink) {
    int min_y = ink.begin()->y, max_y = min_y;
    for (glm::ivec2 p : ink) {
      min_y = std::min(min_y, p.y);
      max_y = std::max(max_y, p.y);
    }
    lo = glm::ivec2(ink.begin()->x, min_y);
    cols = ink.rbegin()->x - lo.x + 1;
    rows = max_y - min_y + 1;
    value.assign(static_cast<std::size_t>(cols) * rows, -1);
    for (glm::ivec2 p : ink) at(p) = -2;
  }
  bool inside(glm::ivec2 p) const {
    return p.x >= lo.x && p.y >= lo.y && p.x < lo.x + cols && p.y < lo.y + rows;
  }
  int32_t& at(glm::ivec2 p) {
    return value[static_cast<std::size_t>(p.y - lo.y) * cols + (p.x - lo.x)];
  }
};

// Walking distance (8-neighbour steps through the ink) from `from` to every pixel of its
// component, written into the grid; returns the component's pixels in the order the
// walk reached them, so the last one is the farthest. The component's pixels must hold
// -2 on entry.
std::vector<glm::ivec2> walk_through_ink(ink_grid& grid, glm::ivec2 from) {
  std::vector<glm::ivec2> reached{from};
  grid.at(from) = 0;
  for (std::size_t i = 0; i < reached.size(); ++i) {
    const glm::ivec2 p = reached[i];
    const int32_t next = grid.at(p) + 1;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        const glm::ivec2 q = p + glm::ivec2(dx, dy);
        if (!grid.inside(q) || grid.at(q) != -2) continue;
        grid.at(q) = next;
        reached.push_back(q);
      }
  }
  return reached;
}

// Sets the component's pixels back to "ink not yet reached".
void forget_walk(ink_grid& grid, const std::vector<glm::ivec2>& component) {
  for (glm::ivec2 p : component) grid.at(p) = -2;
}

// Whether some pixel of the component (image coordinates) is an edge or junction pixel
// of the layer's pixel graph, that is, whether the component was traced.
bool holds_graph_pixel(const layer& raster, const std::vector<glm::ivec2>& component) {
  const glm::ivec2 offset(raster.offset_x, raster.offset_y);
  for (glm::ivec2 p : component)
    if (raster.graph.edge_of_pixel.count(p + offset) || raster.graph.node_of_pixel.count(p + offset))
      return true;
  return false;
}

// One fragment through the pixels (image coordinates, weights 1, parameters t) with its
// edge, its two nodes and a junction at each end; end 0 at the first junction.
void add_component_fragment(layer_graph& lg, const std::vector<glm::ivec2>& pixels,
                            const std::vector<double>& t) {
  f_curve& f = lg.f_curves.emplace_back();
  f.frame = lg.frame();
  frag_conn& f1 = lg.frag_conns.emplace_back();
  frag_conn& f2 = lg.frag_conns.emplace_back();
  edge& ed = lg.edges.emplace_back();
  node& n1 = lg.nodes.emplace_back();
  node& n2 = lg.nodes.emplace_back();
  ed.v_f_curve = {&f};
  ed.v_frag_conn = {&f1, &f2};
  ed.v_node = {&n1, &n2};
  f.v_frag_conn = {&f1, &f2};
  f.v_edge = {&ed};
  f1.v_frag_end = {{&f, 0}};
  f1.v_edge = {&ed};
  f1.v_node = {&n1};
  f2.v_edge = {&ed};
  f2.v_frag_end = {{&f, 3}};
  f2.v_node = {&n2};
  n1.v_edge = {&ed};
  n1.v_frag_conn = {&f1};
  n2.v_edge = {&ed};
  n2.v_frag_conn = {&f2};
  for (glm::ivec2 p : pixels) f.v_point.emplace_back(p);
  f.v_t = t;
  f.v_weight.assign(pixels.size(), 1.0f);
}

}  // namespace

namespace {

// Walking distance from `from` to each of `pixels` (which hold -2 in the grid, as no
// other ink does), read back in the order of `pixels`; the pixels hold -2 again after.
std::vector<int32_t> walking_distances(ink_grid& grid, const std::vector<glm::ivec2>& pixels,
                                       glm::ivec2 from, glm::ivec2* farthest) {
  const std::vector<glm::ivec2> reached = walk_through_ink(grid, from);
  *farthest = reached.back();
  std::vector<int32_t> distance;
  distance.reserve(pixels.size());
  for (glm::ivec2 p : pixels) distance.push_back(grid.at(p));
  forget_walk(grid, reached);
  return distance;
}

// Fragments for one stroke whose pixels (in set order) hold -2 in the grid, as no other
// ink does. The main run goes from end to end; a branch that leaves it (the stem of a T)
// would fold the parameters back, so each branch longer than a few stroke widths gets
// fragments of its own.
void add_stroke_fragments(layer_graph& lg, ink_grid& grid, const std::vector<glm::ivec2>& pixels,
                          int depth) {
  // Ends: the pixel farthest from the first, walking through the ink, and the pixel
  // farthest from that one. Straight-line distances would fold back on a curved stroke
  // and jump between strokes.
  auto index = [&](glm::ivec2 p) {
    return static_cast<std::size_t>(
        std::lower_bound(pixels.begin(), pixels.end(), p, std::less<glm::ivec2>()) - pixels.begin());
  };
  glm::ivec2 c, e, unused;
  walking_distances(grid, pixels, pixels.front(), &c);
  const std::vector<int32_t> from_c = walking_distances(grid, pixels, c, &e);
  const std::vector<int32_t> from_e = walking_distances(grid, pixels, e, &unused);
  const int32_t length = from_c[index(e)];

  // A pixel of the main run lies on a shortest walk from c to e, give or take the
  // stroke's width (its pixel count over its length).
  const int32_t width = static_cast<int32_t>(pixels.size()) / (length + 1) + 1;
  std::vector<char> on_main(pixels.size(), 1);
  for (std::size_t i = 0; i < pixels.size(); ++i)
    if (from_c[i] + from_e[i] - length > width + 2) on_main[i] = 0;

  // The pixels off the main run, in runs; a short one stays with the main run.
  for (std::size_t i = 0; i < pixels.size(); ++i)
    if (on_main[i]) grid.at(pixels[i]) = -4;
  std::vector<glm::ivec2> main;
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    if (on_main[i]) {
      main.push_back(pixels[i]);
      continue;
    }
    if (grid.at(pixels[i]) != -2) continue;
    std::vector<glm::ivec2> branch = walk_through_ink(grid, pixels[i]);
    forget_walk(grid, branch);
    int32_t reach = 0;
    for (glm::ivec2 p : branch) reach = std::max(reach, from_c[index(p)] + from_e[index(p)] - length);
    std::sort(branch.begin(), branch.end(), std::less<glm::ivec2>());
    if (depth < 8 && reach > 4 * width + 4) {
      add_stroke_fragments(lg, grid, branch, depth + 1);
    } else {
      for (glm::ivec2 p : branch) grid.at(p) = -4;
      main.insert(main.end(), branch.begin(), branch.end());
    }
  }
  std::sort(main.begin(), main.end(), std::less<glm::ivec2>());
  for (glm::ivec2 p : main) grid.at(p) = -3;

  // Parameter: walking distance from e over the greatest one, so it rises along the
  // stroke: 0 at e, 1 at the far end.
  std::vector<double> t;
  int32_t longest = 0;
  for (glm::ivec2 p : main) {
    t.push_back(from_e[index(p)]);
    longest = std::max(longest, from_e[index(p)]);
  }
  const double s = longest > 0 ? 1.0 / longest : 1.0;
  for (double& v : t) v *= s;
  add_component_fragment(lg, main, t);
}

}  // namespace

void layer_graph::build_single_region(const layer& raster) {
  if (raster.ink_pixels.empty()) return;
  ink_grid grid(raster.ink_pixels);
  for (glm::ivec2 first : raster.ink_pixels) {
    if (grid.at(first) != -2) continue;
    std::vector<glm::ivec2> component = walk_through_ink(grid, first);
    std::sort(component.begin(), component.end(), std::less<glm::ivec2>());
    // A traced stroke is built from the pixel graph already.
    if (holds_graph_pixel(raster, component)) {
      for (glm::ivec2 p : component) grid.at(p) = -3;
      continue;
    }
    // Only this stroke's pixels hold -2 while its fragments are made.
    for (glm::ivec2 p : component) grid.at(p) = -2;
    add_stroke_fragments(*this, grid, component, 0);
  }
}

void curve_network::build(std::list<layer>* layers, int rows, int cols) {
  resize(layers->size());
  auto lg = begin();
  for (layer& raster : *layers) build_layer(*lg++, raster, rows, cols);
}

void curve_network::refine() {
  for (layer_graph& lg : *this) lg.fit_fragments_at_junctions();
  for (layer_graph& lg : *this) {
    lg.split_fragments();
    lg.fit_fragments_at_junctions();
    lg.fit_fragments_at_junctions();
  }
  // The picture goes to the image's folder, which only the view knows.
  if (main_gl_widget) {
    const std::string& stem = main_gl_widget->image_stem;
    save_fragment_graph_svg(output_root + stem + "/" + stem +
                            "_graph_topological_with_non_manifols_and_split.svg");
  }
}

void curve_network::link() {
  for (layer_graph& lg : *this) {
    for (edge& e : lg.edges) e.order_fragments();
    for (f_curve& f : lg.f_curves) {
      curve& c = lg.curves.emplace_back();
      c.append_fragment(&f);
      c.refit();
    }
    for (frag_conn& j : lg.frag_conns) {
      nconnection& nc = lg.nconnections.emplace_back();
      nc.v_frag_conn.push_back(&j);
      j.v_nconnection.push_back(&nc);
      for (const frag_end& fe : j.v_frag_end) {
        if (fe.fragment->v_curve.empty()) continue;
        curve* c = fe.fragment->v_curve.front();
        nc.v_curve.push_back(c);
        c->v_nconnection.push_back(&nc);
      }
    }
    for (curve& c : lg.curves) c.refit();
    for (f_curve& f : lg.f_curves) f.fit_cubic();
    lg.check();
  }
}

bool holds_fragments(const curve_network& network) {
  for (const layer_graph& lg : network)
    if (!lg.f_curves.empty()) return true;
  return false;
}

// The .graph record of one layer_graph: every element list in order, links stored as
// list positions of the same layer.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <memory>
#include <sstream>
#include <vector>

#include "graph/layer_graph.h"
#include "io/graph_stream.h"
#include "io/replacing_file.h"
#include "pipeline/load_sketch.h"

namespace {

// Smallest record of each element kind, used to refuse counts that the rest of the
// file cannot hold before any list is allocated.
constexpr std::uint64_t min_fragment_bytes = 4 * 8 + 3 * 8 + 2 * 4;
constexpr std::uint64_t min_junction_bytes = 5 * 8;
constexpr std::uint64_t min_edge_bytes = 4 * 8 + 4;
constexpr std::uint64_t min_node_bytes = 3 * 8;
constexpr std::uint64_t min_region_bytes = 8 + 8 + 4 + 8;
constexpr std::uint64_t min_connection_bytes = 3 * 8;
constexpr std::uint64_t min_curve_bytes = 3 * 8 + 8 + 8;

// The newer record goes to .graph streams; the older one to single-layer files.
enum class record_form { stream, single_file };

struct layer_maps {
  index_map fragments, junctions, edges, nodes, regions, connections, curves, nregions;
  explicit layer_maps(const layer_graph& lg)
      : fragments(map_of(lg.f_curves)), junctions(map_of(lg.frag_conns)), edges(map_of(lg.edges)),
        nodes(map_of(lg.nodes)), regions(map_of(lg.regions)), connections(map_of(lg.nconnections)),
        curves(map_of(lg.curves)), nregions(map_of(lg.nregions)) {}
};

struct layer_tables {
  std::vector<f_curve*> fragments;
  std::vector<frag_conn*> junctions;
  std::vector<edge*> edges;
  std::vector<node*> nodes;
  std::vector<region*> regions;
  std::vector<nconnection*> connections;
  std::vector<curve*> curves;
  std::vector<nregion*> nregions;
};

void write_region_edges(std::ostream& out, const std::vector<region_edge>& v, const index_map& edges,
                        const index_map& regions) {
  write_count(out, v.size());
  for (const region_edge& re : v) {
    write_pod<std::int32_t>(out, index_of(edges, re.edge));
    write_pod<std::int32_t>(out, index_of(regions, re.other));
  }
}

void write_frag_ends(std::ostream& out, const std::vector<frag_end>& v, const index_map& fragments) {
  write_count(out, v.size());
  for (const frag_end& fe : v) {
    write_pod<std::int32_t>(out, index_of(fragments, fe.fragment));
    write_pod<std::int32_t>(out, fe.end);
  }
}

void read_region_edges(std::istream& in, std::vector<region_edge>& target, const std::vector<edge*>& edges,
                       const std::vector<region*>& regions) {
  const std::uint64_t n = read_count(in);
  check_count(in, n, 8);
  target.resize(n);
  for (region_edge& re : target) {
    re.edge = table_entry(edges, read_pod<std::int32_t>(in));
    re.other = table_entry(regions, read_pod<std::int32_t>(in));
  }
}

void read_frag_ends(std::istream& in, std::vector<frag_end>& target, const std::vector<f_curve*>& fragments) {
  const std::uint64_t n = read_count(in);
  check_count(in, n, 8);
  target.resize(n);
  for (frag_end& fe : target) {
    fe.fragment = table_entry(fragments, read_pod<std::int32_t>(in));
    fe.end = read_pod<std::int32_t>(in);
  }
}

void write_list_count(std::ostream& out, std::size_t n, record_form form) {
  if (form == record_form::stream)
    write_count(out, n);
  else
    write_pod<std::uint32_t>(out, static_cast<std::uint32_t>(n));
}

std::uint64_t read_list_count(std::istream& in, record_form form) {
  return form == record_form::stream ? read_count(in) : read_pod<std::uint32_t>(in);
}

// Resizes list to a stored count and returns its index table.
template <class List>
std::vector<typename List::value_type*> read_list(std::istream& in, List& list, std::uint64_t min_bytes,
                                                  record_form form) {
  const std::uint64_t n = read_list_count(in, form);
  check_count(in, n, min_bytes);
  list.resize(n);
  return table_of(list);
}

void write_record(std::ostream& out, const layer_graph& lg, record_form form) {
  const layer_maps m(lg);
  for (std::size_t n : {lg.f_curves.size(), lg.frag_conns.size(), lg.edges.size(), lg.nodes.size(),
                        lg.regions.size(), lg.nconnections.size(), lg.curves.size(), lg.nregions.size()})
    write_list_count(out, n, form);
  write_pod<std::int32_t>(out, lg.height);
  write_pod<std::int32_t>(out, lg.width);

  for (const f_curve& f : lg.f_curves) {
    write_pod_vector(out, f.v_point);
    write_pod_vector(out, f.v_t);
    if (form == record_form::stream) write_pod_vector(out, f.v_weight);
    write_pod_vector(out, f.v_ctrl_point);
    write_ptr_vector(out, f.v_curve, m.curves);
    write_ptr_vector(out, f.v_edge, m.edges);
    write_ptr_vector(out, f.v_frag_conn, m.junctions);
    write_pod<float>(out, f.mean_error);
    write_pod<float>(out, f.total_error);
  }
  for (const frag_conn& j : lg.frag_conns) {
    write_frag_ends(out, j.v_frag_end, m.fragments);
    write_ptr_vector(out, j.v_node, m.nodes);
    write_ptr_vector(out, j.v_edge, m.edges);
    write_ptr_vector(out, j.v_nconnection, m.connections);
    write_ptr_vector(out, j.v_curve, m.curves);
  }
  for (const edge& e : lg.edges) {
    write_ptr_vector(out, e.v_node, m.nodes);
    write_ptr_vector(out, e.v_region, m.regions);
    write_ptr_vector(out, e.v_f_curve, m.fragments);
    write_ptr_vector(out, e.v_frag_conn, m.junctions);
    write_pod<std::int32_t>(out, 4 * e.display_mark + 2 * e.display_mark_2 + e.on_background);
  }
  for (const node& n : lg.nodes) {
    write_ptr_vector(out, n.v_edge, m.edges);
    write_ptr_vector(out, n.v_region, m.regions);
    write_ptr_vector(out, n.v_frag_conn, m.junctions);
  }
  for (const region& r : lg.regions) {
    write_ptr_vector(out, r.v_node, m.nodes);
    write_region_edges(out, r.v_region_edge, m.edges, m.regions);
    write_pod<std::int32_t>(out, r.background ? 1 : 0);
    write_ptr_vector(out, r.v_nregion, m.nregions);
  }
  for (const nconnection& c : lg.nconnections) {
    write_ptr_vector(out, c.v_nregion, m.nregions);
    write_ptr_vector(out, c.v_curve, m.curves);
    write_ptr_vector(out, c.v_frag_conn, m.junctions);
  }
  for (const curve& c : lg.curves) {
    write_ptr_vector(out, c.v_nconnection, m.connections);
    write_ptr_vector(out, c.v_nregion, m.nregions);
    write_ptr_vector(out, c.v_f_curve, m.fragments);
    write_pod<std::uint64_t>(out, c.nb_point);
    write_pod<double>(out, c.mean_error);
    if (form == record_form::stream) write_pod<std::int32_t>(out, c.class_score);
  }
  if (form == record_form::single_file) {
    for (const nregion& nr : lg.nregions) {
      write_ptr_vector(out, nr.v_nconnection, m.connections);
      write_ptr_vector(out, nr.v_region, m.regions);
    }
  }
}

// How far outside the image a stored point may lie. Samples are pixels of the image, and
// every fit keeps its curve inside the image; a cubic whose curve stays inside has its
// inner control points less than 2.4 image sides outside (the rows of the inverse
// Bernstein matrix), so three sides beyond the image hold all a run makes, older files
// fitted without the frame included. A layer that names no image is held to the largest
// image a sketch can give; the side counts as at least 100 pixels, so that the smallest
// layers have room for their fits' rounding.
struct coordinate_bound {
  double lo_x, hi_x, lo_y, hi_y;
  explicit coordinate_bound(const layer_graph& lg) {
    const bool known = lg.width > 0 && lg.height > 0;
    const double w = known ? lg.width : 2.0 * max_sketch_side;
    const double h = known ? lg.height : 2.0 * max_sketch_side;
    const double side = std::max({w, h, 100.0});
    lo_x = lo_y = -3 * side;
    hi_x = w + 3 * side;
    hi_y = h + 3 * side;
  }
  // The message is only made for a point that fails.
  template <class V>
  void check(const V& p, const char* what, std::size_t owner) const {
    if (!std::isfinite(p.x) || !std::isfinite(p.y))
      throw graph_format_error(std::string("non-finite ") + what + " of fragment " + std::to_string(owner));
    if (p.x < lo_x || p.x > hi_x || p.y < lo_y || p.y > hi_y) {
      std::ostringstream s;
      s << what << " (" << p.x << ", " << p.y << ") of fragment " << owner << " lies far outside the image";
      throw graph_format_error(s.str());
    }
  }
};

// Numbers no run stores: a non-finite value, a point far outside the image.
void check_numbers(const layer_graph& lg) {
  const coordinate_bound bound(lg);
  std::size_t i = 0;
  for (const f_curve& f : lg.f_curves) {
    for (const glm::vec2& p : f.v_point) bound.check(p, "sample", i);
    for (const glm::dvec2& p : f.v_ctrl_point) bound.check(p, "control point", i);
    const auto finite = [](double v) { return std::isfinite(v); };
    const std::string name = " of fragment " + std::to_string(i);
    if (!std::all_of(f.v_t.begin(), f.v_t.end(), finite)) throw graph_format_error("non-finite parameter" + name);
    if (!std::all_of(f.v_weight.begin(), f.v_weight.end(), finite)) throw graph_format_error("non-finite weight" + name);
    check_finite(f.mean_error, "mean error" + name);
    check_finite(f.total_error, "total error" + name);
    ++i;
  }
  i = 0;
  for (const curve& c : lg.curves) check_finite(c.mean_error, "mean error of curve " + std::to_string(i++));
}

// Links are list positions and so always name an element of the layer; they must also
// agree with each other, or the edits would follow them into freed curves.
void check_links(const layer_graph& lg) {
  const std::string broken = lg.link_violations(true);
  if (!broken.empty()) throw graph_format_error("broken network links: " + broken.substr(0, broken.find('\n')));
}

// Every curve comes back as one cubic over all its fragments, refitted.
void rebuild_segments(curve& c) {
  c.v_segment.assign(1, curve_segment());
  for (f_curve* f : c.v_f_curve) {
    frag_ref r;
    r.fragment = f;
    c.v_segment[0].v_frag_ref.push_back(r);
  }
  c.merge_segments();
  c.refit();
}

void read_record(std::istream& in, layer_graph& lg, record_form form,
                 std::vector<double>* saved_mean_errors = nullptr) {
  layer_tables t;
  t.fragments = read_list(in, lg.f_curves, min_fragment_bytes - (form == record_form::stream ? 0 : 8), form);
  t.junctions = read_list(in, lg.frag_conns, min_junction_bytes, form);
  t.edges = read_list(in, lg.edges, min_edge_bytes, form);
  t.nodes = read_list(in, lg.nodes, min_node_bytes, form);
  t.regions = read_list(in, lg.regions, min_region_bytes, form);
  t.connections = read_list(in, lg.nconnections, min_connection_bytes, form);
  t.curves = read_list(in, lg.curves, min_curve_bytes, form);
  // The stored network-region count only hinted at a size: one empty network region is
  // made per region. The regions are still empty here, so none of them builds anything.
  const std::uint64_t stored_nregions = read_list_count(in, form);
  std::uint64_t nb_nregion = t.regions.size();
  if (form == record_form::single_file) {
    // That form stores link lists for as many network regions as the layer had, which
    // a network built from a sketch has none of: read exactly those.
    check_count(in, stored_nregions, 2 * 8);
    nb_nregion = std::max<std::uint64_t>(nb_nregion, stored_nregions);
  }
  for (std::uint64_t i = 0; i < nb_nregion; ++i) lg.nregions.emplace_back();
  t.nregions = table_of(lg.nregions);
  lg.height = read_pod<std::int32_t>(in);
  lg.width = read_pod<std::int32_t>(in);

  for (f_curve& f : lg.f_curves) {
    f.frame = lg.frame();
    read_pod_vector(in, f.v_point);
    read_pod_vector(in, f.v_t);
    if (form == record_form::stream)
      read_pod_vector(in, f.v_weight);
    else
      f.v_weight.assign(f.v_point.size(), 1.0f);  // the older form kept no weights; fits need one per sample
    read_pod_vector(in, f.v_ctrl_point);
    read_ptr_vector(in, f.v_curve, t.curves);
    read_ptr_vector(in, f.v_edge, t.edges);
    read_ptr_vector(in, f.v_frag_conn, t.junctions);
    f.mean_error = read_pod<float>(in);
    f.total_error = read_pod<float>(in);
  }
  for (frag_conn& j : lg.frag_conns) {
    read_frag_ends(in, j.v_frag_end, t.fragments);
    read_ptr_vector(in, j.v_node, t.nodes);
    read_ptr_vector(in, j.v_edge, t.edges);
    read_ptr_vector(in, j.v_nconnection, t.connections);
    read_ptr_vector(in, j.v_curve, t.curves);
  }
  for (edge& e : lg.edges) {
    read_ptr_vector(in, e.v_node, t.nodes);
    read_ptr_vector(in, e.v_region, t.regions);
    read_ptr_vector(in, e.v_f_curve, t.fragments);
    read_ptr_vector(in, e.v_frag_conn, t.junctions);
    const std::int32_t w = read_pod<std::int32_t>(in);
    e.display_mark = (w & ~3) != 0;
    e.display_mark_2 = (w & 2) != 0;
    e.on_background = (w & 1) != 0;
  }
  for (node& n : lg.nodes) {
    read_ptr_vector(in, n.v_edge, t.edges);
    read_ptr_vector(in, n.v_region, t.regions);
    read_ptr_vector(in, n.v_frag_conn, t.junctions);
  }
  for (region& r : lg.regions) {
    read_ptr_vector(in, r.v_node, t.nodes);
    read_region_edges(in, r.v_region_edge, t.edges, t.regions);
    r.background = read_pod<std::int32_t>(in) != 0;
    read_ptr_vector(in, r.v_nregion, t.nregions);
  }
  for (nconnection& c : lg.nconnections) {
    read_ptr_vector(in, c.v_nregion, t.nregions);
    read_ptr_vector(in, c.v_curve, t.curves);
    read_ptr_vector(in, c.v_frag_conn, t.junctions);
  }
  for (curve& c : lg.curves) {
    read_ptr_vector(in, c.v_nconnection, t.connections);
    read_ptr_vector(in, c.v_nregion, t.nregions);
    read_ptr_vector(in, c.v_f_curve, t.fragments);
    c.nb_point = read_pod<std::uint64_t>(in);
    c.mean_error = read_pod<double>(in);
    if (form == record_form::stream) c.class_score = read_pod<std::int32_t>(in);
  }
  if (form == record_form::single_file) {
    for (std::uint64_t i = 0; i < stored_nregions; ++i) {
      read_ptr_vector(in, t.nregions[i]->v_nconnection, t.connections);
      read_ptr_vector(in, t.nregions[i]->v_region, t.regions);
    }
  }
  if (saved_mean_errors != nullptr) {
    saved_mean_errors->clear();
    for (const curve& c : lg.curves) saved_mean_errors->push_back(c.mean_error);
  }
  check_numbers(lg);
  check_links(lg);
  // Segments last: the fit reads the fragments' samples, all in place by now.
  for (curve& c : lg.curves) rebuild_segments(c);
  lg.topo = &static_cast<topo_graph&>(lg);
  lg.owner = &lg;
}

struct file_closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

layer_graph::layer_graph(std::istream& in) { read_record(in, *this, record_form::stream); }

layer_graph::layer_graph(std::istream& in, std::vector<double>& saved_mean_errors) {
  read_record(in, *this, record_form::stream, &saved_mean_errors);
}

void layer_graph::write(std::ostream& out) const { write_record(out, *this, record_form::stream); }

bool layer_graph::write_file(const std::string& path) const {
  std::ostringstream bytes(std::ios::binary);
  write_record(bytes, *this, record_form::single_file);
  // False, with an old file at path left whole, when the file cannot be written.
  return replace_file_contents(path, bytes.str());
}

bool layer_graph::read_file(const std::string& path) {
  std::unique_ptr<std::FILE, file_closer> f(std::fopen(path.c_str(), "rb"));
  if (!f) return false;
  std::string s;
  char buf[1 << 16];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) s.append(buf, n);
  std::istringstream in(s, std::ios::binary);
  read_record(in, *this, record_form::single_file);
  return true;
}

// The .graph records of a raster layer and of its pixel graph.

#include <cmath>
#include <istream>
#include <ostream>
#include <sstream>
#include <string>

#include "io/graph_stream.h"
#include "io/raster_blocks.h"
#include "pipeline/layer.h"
#include "pipeline/pixel_graph.h"

namespace {

// The extraction steps and the batch's count of untraced ink index window images and
// masks of the box's size with the ink pixels through the box and the offsets: ink
// outside the box would be written outside them.
void check_box(const layer& l) {
  if (l.width < 0 || l.height < 0)
    throw graph_format_error("layer box " + std::to_string(l.width) + " x " + std::to_string(l.height) +
                             " is negative");
  // 0 until the window is set, then always the same.
  if (l.margin != 0 && l.margin != layer_margin)
    throw graph_format_error("layer margin " + std::to_string(l.margin) + " is neither 0 nor " +
                             std::to_string(layer_margin));
  if (l.ink_pixels.empty()) return;
  if (l.offset_x != static_cast<long long>(l.margin) - l.min_x ||
      l.offset_y != static_cast<long long>(l.margin) - l.min_y)
    throw graph_format_error("layer offsets do not match the layer box");
  for (const glm::ivec2& p : l.ink_pixels)
    if (p.x < l.min_x || p.y < l.min_y || static_cast<long long>(p.x) - l.min_x > l.width ||
        static_cast<long long>(p.y) - l.min_y > l.height)
      throw graph_format_error("ink pixel (" + std::to_string(p.x) + ", " + std::to_string(p.y) +
                               ") outside the layer box");
}

// The layer's window, in 64 bits: a stored box may be any size until it is checked.
struct window_extent {
  long long cols, rows;
  explicit window_extent(const layer& l)
      : cols(static_cast<long long>(l.width) + 2LL * l.margin), rows(static_cast<long long>(l.height) + 2LL * l.margin) {}
  // Window pixels lie in the window, whose images they index.
  bool holds(const glm::ivec2& p) const { return p.x >= 0 && p.y >= 0 && p.x < cols && p.y < rows; }
  bool holds(const glm::vec2& p) const { return p.x >= 0 && p.y >= 0 && p.x <= cols && p.y <= rows; }
};

// The steps index every window image by window pixels: an image of another size than
// the layer's window would be read and painted outside.
void check_window_images(const layer& l) {
  const window_extent w(l);
  const struct {
    const cv::Mat& image;
    const char* name;
  } images[] = {{l.ink_dist, "ink distance"},
                {l.stroke_depth, "stroke depth"},
                {l.graph_dist, "graph distance"},
                {l.labels, "labels"},
                {l.region_mask, "region mask"}};
  for (const auto& i : images)
    if (!i.image.empty() && (i.image.rows != w.rows || i.image.cols != w.cols))
      throw graph_format_error("window image " + std::string(i.name) + " of " + std::to_string(i.image.cols) +
                               " x " + std::to_string(i.image.rows) + " pixels in a layer window of " +
                               std::to_string(w.cols) + " x " + std::to_string(w.rows));
}

template <class P>
void check_in_window(const window_extent& w, const P& p, const char* what) {
  if (!std::isfinite(p.x) || !std::isfinite(p.y)) throw graph_format_error(std::string("non-finite ") + what);
  if (!w.holds(p)) {
    std::ostringstream s;
    s << what << " (" << p.x << ", " << p.y << ") outside the layer window of " << w.cols << " x " << w.rows;
    throw graph_format_error(s.str());
  }
}

void check_colours(const std::vector<glm::vec3>& colours, const char* what) {
  for (const glm::vec3& c : colours)
    if (!std::isfinite(c.x) || !std::isfinite(c.y) || !std::isfinite(c.z))
      throw graph_format_error(std::string("non-finite ") + what);
}

void check_window_pixels(const layer& l) {
  const window_extent w(l);
  for (const glm::ivec2& p : l.v_peak) check_in_window(w, p, "region peak");
  for (const glm::ivec2& p : l.neck_pixels) check_in_window(w, p, "neck pixel");
  for (const glm::ivec2& p : l.traced_pixels) check_in_window(w, p, "traced pixel");
  for (const auto& e : l.grow_level) check_in_window(w, e.first, "growth pixel");
  for (const auto& e : l.sample_weight) {
    check_in_window(w, e.first, "weighted pixel");
    if (!std::isfinite(e.second)) throw graph_format_error("non-finite sample weight");
  }
  check_colours(l.v_color, "region colour");
  const pixel_graph& g = l.graph;
  for (const glm::vec2& p : g.v_node_centroid) check_in_window(w, p, "node centroid");
  for (const glm::ivec2& p : g.v_node_pixel) check_in_window(w, p, "node pixel");
  check_colours(g.v_node_color, "node colour");
  for (const glm::ivec2& p : g.junction_pixels) check_in_window(w, p, "junction pixel");
  for (const glm::ivec2& p : g.edge_pixels) check_in_window(w, p, "edge pixel");
  for (const auto& e : g.node_of_pixel) check_in_window(w, e.first, "junction pixel");
  for (const auto& e : g.edge_of_pixel) check_in_window(w, e.first, "edge pixel");
  for (const auto& e : g.edge_pixels_by_pair)
    for (const glm::ivec2& p : e.second) check_in_window(w, p, "edge pixel");
  for (const auto& e : g.junction_pixels_by_pair)
    for (const glm::ivec2& p : e.second) check_in_window(w, p, "junction pixel");
}

}  // namespace

pixel_graph::pixel_graph(std::istream& in) { read(in); }

void pixel_graph::write(std::ostream& out) const {
  write_pod_vector(out, v_node_centroid);
  write_pod_vector(out, v_node_pixel);
  write_vec3_vector(out, v_node_color);
  write_ivec2_set(out, junction_pixels);
  write_ivec2_set(out, edge_pixels);
  write_ivec2_value_map(out, node_of_pixel);
  write_ivec2_value_map(out, edge_of_pixel);
  write_ipair_ivec2_set_map(out, edge_pixels_by_pair);
  write_ipair_ivec2_set_map(out, junction_pixels_by_pair);
  write_int_set_map(out, nodes_of_edge);
  write_int_set_map(out, edges_of_node);
  write_ipair_int_set_map(out, edges_of_pair);
}

void pixel_graph::read(std::istream& in) {
  read_pod_vector(in, v_node_centroid);
  read_pod_vector(in, v_node_pixel);
  read_pod_vector(in, v_node_color);
  read_ivec2_set(in, junction_pixels);
  read_ivec2_set(in, edge_pixels);
  read_ivec2_int_map(in, node_of_pixel);
  read_ivec2_int_map(in, edge_of_pixel);
  read_ipair_ivec2_set_map(in, edge_pixels_by_pair);
  read_ipair_ivec2_set_map(in, junction_pixels_by_pair);
  read_int_set_map(in, nodes_of_edge);
  read_int_set_map(in, edges_of_node);
  read_ipair_int_set_map(in, edges_of_pair);
}

void layer::write(std::ostream& out) const {
  write_pod_vector(out, v_max_ink_dist);
  write_pod_vector(out, v_nb_pixel);
  write_pod_vector(out, v_peak);
  write_vec3_vector(out, v_color);
  write_pod_vector(out, v_discarded);
  write_int_mat(out, ink_dist);
  write_int_mat(out, stroke_depth);
  write_int_mat(out, graph_dist);
  write_int_mat(out, labels);
  write_schar_mat(out, region_mask);
  write_pod<int32_t>(out, nb_grow_level);
  for (int32_t v : {min_x, min_y, width, height, offset_y, offset_x, margin}) write_pod<int32_t>(out, v);
  write_ivec2_set(out, neck_pixels);
  write_ivec2_set(out, ink_pixels);
  write_ivec2_set(out, traced_pixels);
  write_ivec2_value_map(out, grow_level);
  write_ivec2_value_map(out, sample_weight);
  graph.write(out);
}

layer::layer(std::istream& in) : layer() {
  read_pod_vector(in, v_max_ink_dist);
  read_pod_vector(in, v_nb_pixel);
  read_pod_vector(in, v_peak);
  read_pod_vector(in, v_color);
  read_pod_vector(in, v_discarded);
  read_int_mat(in, ink_dist);
  read_int_mat(in, stroke_depth);
  read_int_mat(in, graph_dist);
  read_int_mat(in, labels);
  read_schar_mat(in, region_mask);
  nb_grow_level = read_pod<int32_t>(in);
  for (int32_t* v : {&min_x, &min_y, &width, &height, &offset_y, &offset_x, &margin}) *v = read_pod<int32_t>(in);
  read_ivec2_set(in, neck_pixels);
  read_ivec2_set(in, ink_pixels);
  read_ivec2_set(in, traced_pixels);
  read_ivec2_int_map(in, grow_level);
  read_ivec2_float_map(in, sample_weight);
  graph.read(in);
  check_box(*this);
  check_window_images(*this);
  check_window_pixels(*this);
}

#include "pipeline/extract_nodes.h"

#include <fstream>
#include <map>
#include <vector>

#include "pipeline/pixel_neighbourhoods.h"
#include "pipeline/split_closed_edge.h"
#include "pipeline/split_edge_at_nodes.h"
#include "pipeline/window_painting.h"

int32_t read_min_nb_pixel_in_edge(const char* path) {
  std::ifstream in(path);
  int32_t value = 0;
  if (in >> value) return value;
  return default_min_nb_pixel_in_edge;
}

namespace {

void extract_layer_nodes(cv::Mat& region_image, layer& l) {
  pixel_graph& g = l.graph;
  const int rows = l.window_size().height, cols = l.window_size().width;
  const int32_t min_nb_pixel_in_edge = read_min_nb_pixel_in_edge();

  // Short boundaries belong to the junctions they connect.
  const uint64_t least = static_cast<uint64_t>(static_cast<int64_t>(min_nb_pixel_in_edge));
  for (const auto& [pair, pixels] : g.edge_pixels_by_pair) {
    if (pixels.size() >= least) continue;
    for (const glm::ivec2& p : pixels) {
      g.junction_pixels.insert(p);
      g.edge_pixels.erase(p);
    }
  }

  // Dense window images stand in for the pixel sets during the floods; the maps are
  // filled from them afterwards, in pixel order. `pixel_id` holds the node id of a junction
  // pixel and the edge id of any other pixel (-1: none yet).
  enum : uchar { junction = 1, edge = 2 };
  cv::Mat kind(rows, cols, CV_8UC1, cv::Scalar(0));
  for (const glm::ivec2& p : g.junction_pixels) kind.at<uchar>(p.y, p.x) |= junction;
  for (const glm::ivec2& p : g.edge_pixels) kind.at<uchar>(p.y, p.x) |= edge;
  cv::Mat pixel_id(rows, cols, CV_32SC1, cv::Scalar(-1));
  auto at = [](cv::Mat& m, glm::ivec2 q) -> int32_t& { return m.at<int32_t>(q.y, q.x); };
  auto is = [&](glm::ivec2 q, uchar k) { return (kind.at<uchar>(q.y, q.x) & k) != 0; };
  // Only non-junction pixels carry edge ids, only junction pixels node ids.
  auto edge_id = [&](glm::ivec2 q) { return is(q, junction) ? -1 : at(pixel_id, q); };

  // Edges: 8-connected runs of one pair's non-junction edge pixels.
  std::map<int32_t, ipair> edge_pairs;
  std::vector<glm::ivec2> stack;
  int32_t nb_edges = 0;
  for (const auto& [pair, pixels] : g.edge_pixels_by_pair) {
    for (const glm::ivec2& s : pixels) {
      if (is(s, junction) || at(pixel_id, s) >= 0 || !is(s, edge)) continue;
      const int32_t e = nb_edges;
      at(pixel_id, s) = e;
      g.edges_of_pair[pair].insert(e);
      edge_pairs[e] = pair;
      stack.push_back(s);
      while (!stack.empty()) {
        const glm::ivec2 p = stack.back();
        stack.pop_back();
        for (glm::ivec2 q : window_3x3(p, rows, cols)) {
          if (is(q, junction) || at(pixel_id, q) >= 0 || !is(q, edge) || !pixels.count(q))
            continue;
          at(pixel_id, q) = e;
          stack.push_back(q);
        }
      }
      ++nb_edges;
    }
  }
  for (const glm::ivec2& p : g.edge_pixels) {
    const int32_t e = edge_id(p);
    if (e >= 0) g.edge_of_pixel.emplace_hint(g.edge_of_pixel.end(), p, e);
  }

  // Nodes: 8-connected clusters of junction pixels, linked to the edges they touch.
  int32_t nb_nodes = 0;
  for (const glm::ivec2& j : g.junction_pixels) {
    if (at(pixel_id, j) >= 0) continue;
    const int32_t n = nb_nodes;
    at(pixel_id, j) = n;
    stack.push_back(j);
    while (!stack.empty()) {
      const glm::ivec2 p = stack.back();
      stack.pop_back();
      for (glm::ivec2 q : window_3x3(p, rows, cols)) {
        if (is(q, junction)) {
          if (at(pixel_id, q) < 0) {
            at(pixel_id, q) = n;
            stack.push_back(q);
          }
          continue;
        }
        const int32_t f = edge_id(q);
        if (f < 0) continue;
        g.nodes_of_edge[f].insert(n);
        g.edges_of_node[n].insert(f);
      }
    }
    ++nb_nodes;
  }
  for (const glm::ivec2& j : g.junction_pixels)
    g.node_of_pixel.emplace_hint(g.node_of_pixel.end(), j, at(pixel_id, j));

  g.v_node_centroid.assign(nb_nodes, glm::vec2(0, 0));
  g.v_node_pixel.resize(nb_nodes);
  std::vector<int32_t> count(nb_nodes, 0);
  for (const auto& [p, id] : g.node_of_pixel) {
    g.v_node_pixel[id] = p;
    g.v_node_centroid[id] += glm::vec2(p);
    ++count[id];
  }
  for (int32_t id = 0; id < nb_nodes; ++id)
    g.v_node_centroid[id] /= static_cast<float>(count[id]);

  // Edge colours; node-less (closed) boundaries are cut in two, and edges with one node
  // or three and more are cut at their nodes, so that every edge pixel ends up in an
  // edge between two nodes.
  std::vector<glm::vec3> edge_colour;
  const int32_t nb_found = nb_edges;
  std::map<int32_t, std::vector<glm::ivec2>> to_cut;
  for (int32_t f = 0; f < nb_found; ++f)
    if (const std::size_t n = g.nodes_of_edge[f].size(); n != 0 && n != 2) to_cut[f];
  if (!to_cut.empty())
    for (const auto& [p, id] : g.edge_of_pixel)
      if (auto it = to_cut.find(id); it != to_cut.end()) it->second.push_back(p);
  for (int32_t f = 0; f < nb_found; ++f) {
    if (g.nodes_of_edge[f].size() == 2) {
      edge_colour.push_back(random_colour() * 255.0f);
    } else {
      if (g.nodes_of_edge[f].empty())
        split_closed_edge(g, edge_pairs, f, nb_edges, rows, cols);
      else
        split_edge_at_nodes(g, edge_pairs, f, to_cut[f], nb_edges);
      edge_colour.emplace_back(0, 0, 0);
    }
  }
  for (int32_t f = nb_found; f < nb_edges; ++f) edge_colour.push_back(random_colour() * 255.0f);

  for (std::size_t i = 0; i < g.v_node_centroid.size(); ++i) {
    const bool joins = g.edges_of_node[static_cast<int32_t>(i)].size() >= 2;
    g.v_node_color.push_back(joins ? random_colour() * 255.0f : glm::vec3(255, 255, 255));
  }

  for (const auto& [p, id] : g.edge_of_pixel)
    paint_window_pixel(region_image, l, p, edge_colour[id]);
}

}  // namespace

void extract_nodes(cv::Mat* region_image, std::list<layer>* layers) {
  for (layer& l : *layers) {
    if (l.v_peak.size() <= 1) continue;
    extract_layer_nodes(*region_image, l);
  }
}

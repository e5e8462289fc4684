#pragma once
// The pixel-level graph of a raster layer: edge and junction pixels per pair of region
// labels (filled by the boundary step), then nodes and edges (filled by the node step).
// All pixels are window coordinates of the owning layer. The .graph file stores these
// members, so their order and types are fixed.

#include <cstdint>
#include <iosfwd>
#include <map>
#include <set>
#include <vector>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include "pipeline/pixel.h"

struct pixel_graph {
  // Boundary pixels per label pair; the pair (L, L) holds open strokes traced inside L.
  std::map<ipair, std::set<glm::ivec2>> edge_pixels_by_pair;
  // Junction pixels per label pair; a junction pixel is listed under every pair it touches.
  std::map<ipair, std::set<glm::ivec2>> junction_pixels_by_pair;
  std::set<glm::ivec2> junction_pixels;                 // all junction pixels
  std::set<glm::ivec2> edge_pixels;                     // all edge pixels
  std::map<glm::ivec2, int32_t> node_of_pixel;          // junction pixel -> node id
  std::map<glm::ivec2, int32_t> edge_of_pixel;          // edge pixel -> edge id
  std::map<int32_t, std::set<int32_t>> nodes_of_edge;   // edge id -> node ids
  std::map<int32_t, std::set<int32_t>> edges_of_node;   // node id -> edge ids
  std::map<ipair, std::set<int32_t>> edges_of_pair;     // label pair -> edge ids
  std::vector<glm::vec2> v_node_centroid;               // per node id: mean of its pixels
  std::vector<glm::ivec2> v_node_pixel;                 // per node id: representative pixel
  std::vector<glm::vec3> v_node_color;                  // per node id: colour, 0 to 255

  pixel_graph() = default;
  // An empty graph filled from the next .graph record.
  explicit pixel_graph(std::istream& in);
  // Writes / reads the .graph record; read expects an empty graph and puts label-pair
  // keys smaller label first. Reading throws graph_format_error on a short stream.
  void write(std::ostream& out) const;
  void read(std::istream& in);

  // Turns edge pixel p of the label pair into a junction pixel of that pair, taking it
  // out of its edge; the caller gives it a node.
  void make_junction_pixel(const ipair& pair, const glm::ivec2& p) {
    junction_pixels.insert(p);
    edge_pixels.erase(p);
    edge_of_pixel.erase(p);
    junction_pixels_by_pair[pair].insert(p);
    edge_pixels_by_pair[pair].erase(p);
  }
};

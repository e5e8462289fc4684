#pragma once
// Extraction step 4, dangling strokes: traces one open stroke per layer, from the stroke
// pixel farthest from the pixel graph back to the graph.

#include <list>
#include <vector>

#include "pipeline/layer.h"

// For every layer whose v_peak holds more than one entry and whose greatest graph
// distance m is positive and at least the view's size_edge_one_node (30 while
// main_gl_widget is null):
//   - the tip is the pixel nearest the (truncated) mean of the plateau of distance m
//     around the first row-major pixel at m; L is the tip's label;
//   - the path walks down one graph-distance level at a time along the deepest stroke
//     pixels (stroke_depth) to the graph, keeping to the part of each front that holds
//     its deepest pixel; only its first step may go onto pixels the graph distance
//     does not reach (the paper of a kept region), round the pixels next to the tip;
//   - a second walk from the tip (starting one level higher, on the tip's plateau, and
//     kept off the first walk's side of the tip within twice the stroke's width plus 2
//     pixels) goes down the other side; when it reaches the graph farther than twice
//     the stroke's width plus 8 pixels (chessboard) from where the first walk did, the
//     tip is the middle of a stroke between two parts of the graph, not a free end, and
//     both walks make the path, each end joined to the graph; the tip stays a junction
//     pixel;
//   - its pixels become edge pixels of the pair (L, L) and are added to
//     layer::traced_pixels; the tip becomes a junction pixel of (L, L), and so do the
//     pixels where the path meets the graph (a junction cluster that joins the stroke to
//     the existing edges).
// Reads layer::graph_dist (compute_graph_distance must run first), layer::stroke_depth,
// layer::labels. Changes layer::graph (edge/junction pixel sets and their per-pair maps)
// and layer::traced_pixels. Returns true when at least one layer was traced. When `added`
// is given it gets one list per layer, in layer order, of the pixels that joined
// graph.edge_pixels or graph.junction_pixels (for update_layer_graph_distance). When
// `row_max` is given it holds, per layer, the greatest graph distance of every window row
// (kept current by the caller), and only the row that holds the farthest pixel is read.
bool trace_edge_one_node(std::list<layer>& layers, std::vector<std::vector<glm::ivec2>>* added = nullptr,
                         const std::vector<std::vector<int32_t>>* row_max = nullptr);

// The open-stroke passes of extraction step 4: at most `max_passes` times, the graph
// distance of every layer, then trace_edge_one_node; stops after the first pass that
// traces nothing. 0 runs none; a negative count sets no ceiling, and the passes still
// end: every trace adds its tip to the graph's pixels. Leaves the layers as calling
// compute_graph_distance and trace_edge_one_node in turn would, but after the first pass
// each layer's distances are only updated around the pixels its trace added, so that a
// pass costs about what its stroke costs rather than what the page does. Returns the
// number of passes that traced.
int trace_open_strokes(std::list<layer>& layers, int max_passes);

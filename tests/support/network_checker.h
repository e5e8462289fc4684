#pragma once
// One check of every invariant of a linked layer, for tests to run after each edit.

#include <string>

struct layer_graph;

// Checks a linked layer and returns one readable line per violation, empty when the
// layer is consistent:
// - every pointer between curves, fragments, junctions and connections names an element
//   of this layer's lists;
// - f_curve::v_curve and curve::v_f_curve mirror each other;
// - nconnection::v_curve and curve::v_nconnection mirror each other, end for end;
// - frag_conn::v_curve lists, once each, exactly the curves holding a fragment there;
// - curve::nb_point is the sum of its fragments' sample counts;
// - each curve holds one frag_ref per fragment it holds;
// - a curve ends only at junctions of its own fragments;
// - each frag_conn has exactly one nconnection and each nconnection exactly one
//   frag_conn, naming each other;
// - curve_graph::shared_fragments names fragments of the layer.
std::string check_network(const layer_graph& lg);

#pragma once
// Shortest chains of fragments between two picked fragments.

#include <list>

struct f_curve;

// Fills out with the fragments strictly between a and b, in order from a's side, on a
// shortest chain of fragments that meet at junctions (breadth first, in junction and
// junction-entry order). out is empty when a and b meet at a junction, when a is b, and
// when no chain joins them.
void shortest_fragment_chain(f_curve* a, f_curve* b, std::list<f_curve*>& out);

// True when a and b are one fragment or are joined by a chain of fragments meeting at
// junctions (directly or through others).
bool fragments_connected(f_curve* a, f_curve* b);

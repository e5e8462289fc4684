#pragma once
// What the Split, Merge and Freeze buttons do with the picked fragments: edits of the
// curve network and the constraints the optimiser keeps for the rest of the drawing.
//
// Picks come in pairs (entries 2k and 2k + 1 of the selection); a trailing odd pick
// belongs to no pair and is left out. A pair is usable when its two fragments differ
// and are joined by a chain of fragments; any other pair is neither edited nor recorded,
// since no curve could hold both or keep them apart.

#include <cstddef>
#include <map>
#include <set>
#include <utility>
#include <vector>

struct curve;
struct f_curve;
struct layer_graph;
struct view_settings;

// One pick: the fragment and the layer graph it was found in.
using selection_entry = std::pair<layer_graph*, f_curve*>;

// Fragment pairs the optimiser keeps together or apart (view_settings::must_merge,
// must_split); symmetric for the pairs recorded here.
using fragment_pairs = std::map<f_curve*, std::set<f_curve*>>;

// What apply_selection does with the pairs.
enum interaction : int { mode_split = 0, mode_merge = 1, mode_freeze = 2 };

// Number of complete pairs of the selection.
std::size_t complete_pair_count(const std::vector<selection_entry>& selection);

// True when the two picks may be split or merged (see above).
bool usable_pair(f_curve* a, f_curve* b);

// Records every usable complete pair both ways in pairs (the Merge and Split buttons);
// returns how many were recorded.
std::size_t record_picked_pairs(const std::vector<selection_entry>& selection, fragment_pairs& pairs);

// Merge of a (first pick) and b in G: the fragments on a shortest chain between them are
// paired with a and b in must_merge; the curves of a not holding b and of b not holding a
// leave the network; unless a curve of a then holds b, one curve of the highest degree
// the view allows is built over a, the chain and b, absorbing their one-fragment curves
// (a chain fragment that another curve holds is shared), and its ends are put at its
// junctions (fit_between_junctions). Prints a line end, "merging" and a line end when it
// builds.
void merge_picked_pair(layer_graph& G, f_curve* a, f_curve* b, view_settings& settings);

// Split of a and b in G: every curve holding both leaves the network (each fragment left
// without a curve gets one of its own).
void split_picked_pair(layer_graph& G, f_curve* a, f_curve* b, view_settings& settings);

// apply_selection's edit of the usable complete pairs by mode: merge, split (between the
// lines "split" and "split done"), or nothing. Curves that leave the network also leave
// the frozen set, which would otherwise point at erased curves.
void apply_picked_pairs(const std::vector<selection_entry>& selection, int mode,
                        view_settings& settings);

// Freeze: every curve holding f goes into the frozen set. Returns how many were not in it
// yet.
std::size_t freeze_curves_of(const f_curve* f, std::set<curve*>& fixed_curves);

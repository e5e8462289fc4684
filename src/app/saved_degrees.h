#pragma once
// Degrees of a network read back from a .graph file: the file keeps none, and every
// curve comes back as one cubic.

#include <vector>

struct layer_graph;

// Gives each one-segment curve of lg the degree (1 to 3) whose refit comes nearest to
// the mean fit error it was saved with (saved_mean_errors, in curve list order, as the
// reader gives them), so the curves take the degrees they were saved at; ties go to the
// lower degree. Curves are refitted at their degree. A list whose size differs from
// the curve count changes nothing.
void restore_saved_degrees(layer_graph& lg, const std::vector<double>& saved_mean_errors);

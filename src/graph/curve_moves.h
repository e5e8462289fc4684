#pragma once
// The optimiser's moves on one curve: change its degree, split it, extend it by a
// fragment, merge it with a curve it meets, bridge it through a fragment to another
// curve. They are members of curve (declared in graph/curve.h, built in
// curve_moves.cpp); this header adds the acceptance test they share.
//
// The moves make no random choice: the optimiser picks the curve, the move, its
// arguments and the threshold. They read the view's allowed degrees and must-merge
// pairs through main_gl_widget (pipeline/view_settings.h), null in the batch program.

#include "graph/curve.h"

// Whether a change from energy e to e_new stands: e_new - e, formed in float and
// widened to double, is at most threshold. The optimiser draws the threshold as
// min(1000, -T ln u) (1000 for u = 0), so a change that lowers the energy always stands.
bool move_stands(float e_new, float e, double threshold);

// The number of moves this thread has undone because their test failed. A caller that
// sees it unchanged across a step knows the network is as the step's last energy
// evaluation priced it.
unsigned long long undone_move_count();

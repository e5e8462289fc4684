#pragma once
// The view's zoom steps, shared by the wheel and the + and - keys: above 1 the zoom
// moves by whole steps (1, 2, 3, ...), below 1 it is 1 / zoom_out_steps (1/2, 1/3, ...),
// so it never reaches 0 or below.

// Moves `zoom` by `steps` (positive: in, negative: out). At or above 1 the steps add to
// the zoom; a zoom that would fall to 0 or below becomes 1. Below 1 (or at 1 going out)
// the steps come off `zoom_out_steps`, which stays at least 1, and the zoom becomes its
// inverse. From 1/2: in gives 1, 2, 3; out from 3 gives 2, 1, 1/2, 1/3.
void step_zoom(float& zoom, int& zoom_out_steps, int steps);

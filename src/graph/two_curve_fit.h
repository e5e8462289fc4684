#pragma once
// Joint cubic fit of two curves that meet at a connection, with a tangent tie between
// them. Neither program calls these.
//
// Both curves' first segments are fitted as cubics (weighted, over their frag_ref ranges)
// sharing the junction point J; the second curve's inner control point next to J is held
// at (1 - ratio) J + ratio N, N being the first curve's inner control point next to J
// (ratio -1 mirrors N about J: a smooth join). Six variables per coordinate, in single
// precision: the first curve's four points and the second curve's two far points. Both
// first segments' control points are replaced, and the weighted sum of squared distances
// of both curves' samples (pixels^2) is returned. Needs both first segments of degree 3,
// two different curves, and both ending at the connection's junction; otherwise nothing
// changes and -1 is returned.

struct curve;
struct nconnection;

// Solves the 6-by-6 normal equations directly.
float fit_two_curves_c1(curve& first, curve& second, const nconnection& connection, float ratio);

// The same fit with the second curve's two far points eliminated first, leaving a 4-by-4
// system in the first curve's points, inverted in closed form.
float fit_two_curves_c1_reduced(curve& first, curve& second, const nconnection& connection,
                                float ratio);

#pragma once
// Bernstein basis, Bézier evaluation and the jet colour map. Stateless.

#include <vector>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

// Row n holds C(n, 0) .. C(n, n), for n = 0 .. 31.
extern const int* const binomial_rows[32];

// Writes B(n, i)(t) into values[0 .. n]; values must hold n + 1 entries already.
// Degree 32 or more prints a message on standard error and writes zeros.
void bernstein_basis(double t, std::vector<double>& values, int n);

// Writes d/dt B(n, i)(t) into values[0 .. n]; same contract as bernstein_basis.
void bernstein_basis_derivative(double t, std::vector<double>& values, int n);

// Point at t of the degree-n Bézier with control points ctrl[0 .. n]. t is not clamped.
glm::dvec2 bezier_eval(const int& n, const glm::dvec2* ctrl, double t);

// Derivative at t of the Bézier of ctrl (degree ctrl.size() - 1, at least one point);
// not normalised: its length is the curve's speed.
glm::dvec2 bezier_tangent(const std::vector<glm::dvec2>& ctrl, const float& t);

// The four cubic Bernstein values, as expanded polynomials.
void cubic_basis(double t, double values[4]);

// Jet colour (red, green, blue in [0, 1]): black below 0, grey 0.9 above 1.
glm::vec3 jet_color(float x);

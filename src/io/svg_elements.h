#pragma once
// SVG element writers, the jet hex colours and the shuffled colour assignment.
//
// Every writer is a stateless free function writing one or more whole lines into a
// stream the caller owns and opened; none opens, closes or tests it. Each element is
// one line ended by std::endl. Coordinates, radii and float widths are printed as
// floats in the stream's default format (six significant digits), ids and integer
// widths as decimal integers; the caller's stream must use the classic locale.
//
// Id counter: an int owned by the picture writer, 0 before the first element of a
// file; the group writers read it for each element's id and advance it as described
// per writer. An id of -1 gives the element no id attribute.
//
// Colours are written verbatim: SVG keywords ("blue", "gray", ...) or "#rrggbb".
//
// Non-finite numbers: a viewer rejects a whole file holding "nan" or "inf" in an
// attribute, so an element with such a number is not written; one line naming the
// element goes to standard error instead. Id counters advance as if it had been written.

#include <cstdint>
#include <list>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <glm/vec2.hpp>

#include "graph/curve.h"
#include "graph/f_curve.h"

// "<svg xmlns=... height=... width=...>" line; height and width in pixels.
void svg_header(std::ostream& out, int height, int width);
// "</svg>" line.
void svg_footer(std::ostream& out);

// Straight path from p0 to p1 (image pixels), stroke width in pixels.
void svg_line(std::ostream& out, int id, const std::string& colour, const glm::vec2& p0,
              const glm::vec2& p1, int stroke_width);
// Quadratic path through p0, p1, p2, stroke width 2.
void svg_quadratic(std::ostream& out, int id, const std::string& colour, const glm::vec2& p0,
                   const glm::vec2& p1, const glm::vec2& p2);
// Cubic path through p0 .. p3, stroke width 2.
void svg_cubic(std::ostream& out, int id, const std::string& colour, const glm::vec2& p0,
               const glm::vec2& p1, const glm::vec2& p2, const glm::vec2& p3);
// Circle filled with its stroke colour.
void svg_circle(std::ostream& out, int id, const std::string& colour, const glm::vec2& centre,
                const float& radius, const float& stroke_width);

// "#" and six lower-case hex digits: the jet colour of x (see jet_color).
std::string jet_color_hex(float x);

// One element per segment of a curve (curve::v_segment), chosen by its number of
// control points: 1 a circle of radius 1, 2 a line of width 2, 3 a quadratic, 4 a
// cubic, any other count nothing. Every segment, written or not, advances id by 1.
void svg_curve_segments(std::ostream& out, const std::vector<curve_segment>& segments, int& id,
                        const std::string& colour);

// One cubic per fragment of exactly 4 control points whose first and last points
// differ (a closed loop is skipped); id advances by 1 per written fragment.
void svg_cubic_fragments(std::ostream& out, const std::list<f_curve>& fragments, int& id,
                         const std::string& colour);

// As svg_cubic_fragments, coloured by the fragment's first edge: on_background
// "green", else display_mark the marked colour, else display_mark_2 "brown", else the
// default colour. A fragment without an edge takes the default colour.
void svg_cubic_fragments_by_edge_flags(std::ostream& out, const std::list<f_curve>& fragments,
                                       int& id, const std::string& default_colour,
                                       const std::string& marked_colour);

// One path through consecutive Bézier sections of 2, 3 or 4 control points, each
// starting where the previous one ends; other sizes add nothing. id advances by 1 per
// section. An empty list, or one whose first section has no point, writes nothing.
void svg_joined_path(std::ostream& out, const std::list<std::vector<glm::dvec2>>& sections,
                     int& id, const std::string& colour);

// Colours for n curves in writing order: the jet colours of 0, 1/n, .., (n-1)/n in a
// random order drawn from a fresh std::mt19937 seeded by a std::random_device.
std::vector<std::string> shuffled_curve_colours(int n);
// The same, with the order drawn from the given generator (reproducible).
std::vector<std::string> shuffled_curve_colours(int n, std::mt19937& generator);

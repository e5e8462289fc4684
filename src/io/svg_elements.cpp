#include "io/svg_elements.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <iostream>
#include <numeric>
#include <sstream>

#include "graph/bezier.h"
#include "graph/edge.h"

namespace {

bool all_finite(std::initializer_list<float> values) {
  for (float v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

// "nan" or "inf" in an attribute makes viewers reject the whole file, so the element
// is dropped and named on standard error; the rest of the picture stays readable.
void report_skipped(const char* element, const char* id_prefix, int id) {
  std::cerr << "svg: " << element;
  if (id != -1) std::cerr << " " << id_prefix << id;
  std::cerr << " not written: non-finite coordinate" << std::endl;
}

void write_id(std::ostream& out, const char* prefix, int id) {
  if (id != -1) out << "id = \"" << prefix << id << "\" ";
}

void write_point(std::ostream& out, const glm::vec2& p) { out << p.x << "," << p.y; }

glm::vec2 to_float(const glm::dvec2& p) {
  return glm::vec2(static_cast<float>(p.x), static_cast<float>(p.y));
}

void write_path_tail(std::ostream& out, const std::string& colour) {
  out << "\" stroke=\"" << colour << "\" stroke-width=\"2\" fill=\"none\"/>" << std::endl;
}

// Both filters of the fragment-list writers: a fitted cubic that is not a closed loop.
bool is_drawable_cubic(const f_curve& f) {
  const std::vector<glm::dvec2>& c = f.v_ctrl_point;
  return c.size() == 4 && !(c[0].x == c[3].x && c[0].y == c[3].y);
}

void write_fragment_cubic(std::ostream& out, const f_curve& f, int id, const std::string& colour) {
  const std::vector<glm::dvec2>& c = f.v_ctrl_point;
  svg_cubic(out, id, colour, to_float(c[0]), to_float(c[1]), to_float(c[2]), to_float(c[3]));
}

}  // namespace

void svg_header(std::ostream& out, int height, int width) {
  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" height=\"" << height << "\" width=\"" << width
      << "\">" << std::endl;
}

void svg_footer(std::ostream& out) { out << "</svg>" << std::endl; }

void svg_line(std::ostream& out, int id, const std::string& colour, const glm::vec2& p0,
              const glm::vec2& p1, int stroke_width) {
  if (!all_finite({p0.x, p0.y, p1.x, p1.y})) return report_skipped("path", "curve_", id);
  out << "<path ";
  write_id(out, "curve_", id);
  out << "d = \"M";
  write_point(out, p0);
  out << " L";
  write_point(out, p1);
  out << "\"" << " stroke=\"" << colour << "\" stroke-width=\"" << stroke_width
      << "\" fill=\"none\"/>" << std::endl;
}

void svg_quadratic(std::ostream& out, int id, const std::string& colour, const glm::vec2& p0,
                   const glm::vec2& p1, const glm::vec2& p2) {
  if (!all_finite({p0.x, p0.y, p1.x, p1.y, p2.x, p2.y}))
    return report_skipped("path", "curve_", id);
  out << "<path ";
  write_id(out, "curve_", id);
  out << "d = \"M";
  write_point(out, p0);
  out << " Q";
  write_point(out, p1);
  out << " ";
  write_point(out, p2);
  write_path_tail(out, colour);
}

void svg_cubic(std::ostream& out, int id, const std::string& colour, const glm::vec2& p0,
               const glm::vec2& p1, const glm::vec2& p2, const glm::vec2& p3) {
  if (!all_finite({p0.x, p0.y, p1.x, p1.y, p2.x, p2.y, p3.x, p3.y}))
    return report_skipped("path", "curve_", id);
  out << "<path ";
  write_id(out, "curve_", id);
  out << "d = \"M";
  write_point(out, p0);
  out << " C";
  write_point(out, p1);
  out << " ";
  write_point(out, p2);
  out << " ";
  write_point(out, p3);
  write_path_tail(out, colour);
}

void svg_circle(std::ostream& out, int id, const std::string& colour, const glm::vec2& centre,
                const float& radius, const float& stroke_width) {
  if (!all_finite({centre.x, centre.y, radius, stroke_width}))
    return report_skipped("circle", "circle_", id);
  out << "<circle ";
  write_id(out, "circle_", id);
  out << "cx=\"" << centre.x << "\" cy=\"" << centre.y << "\" r=\"" << radius << "\""
      << " stroke=\"" << colour << "\" fill=\"" << colour << "\" stroke-width=\"" << stroke_width
      << "\"/>" << std::endl;
}

std::string jet_color_hex(float x) {
  const glm::vec3 c = jet_color(x);
  std::ostringstream text;
  text << "#" << std::hex;
  for (float channel : {c.r, c.g, c.b}) {
    const int v = static_cast<int>(255.0f * channel);
    if (v <= 15) text << "0";
    text << v;
  }
  return text.str();
}

void svg_curve_segments(std::ostream& out, const std::vector<curve_segment>& segments, int& id,
                        const std::string& colour) {
  for (const curve_segment& s : segments) {
    const std::vector<glm::dvec2>& c = s.v_ctrl_point;
    switch (c.size()) {
      case 1:
        svg_circle(out, id, colour, to_float(c[0]), 1.0f, 1.0f);
        break;
      case 2:
        svg_line(out, id, colour, to_float(c[0]), to_float(c[1]), 2);
        break;
      case 3:
        svg_quadratic(out, id, colour, to_float(c[0]), to_float(c[1]), to_float(c[2]));
        break;
      case 4:
        svg_cubic(out, id, colour, to_float(c[0]), to_float(c[1]), to_float(c[2]), to_float(c[3]));
        break;
      default:
        break;
    }
    ++id;
  }
}

void svg_cubic_fragments(std::ostream& out, const std::list<f_curve>& fragments, int& id,
                         const std::string& colour) {
  for (const f_curve& f : fragments) {
    if (!is_drawable_cubic(f)) continue;
    write_fragment_cubic(out, f, id, colour);
    ++id;
  }
}

void svg_cubic_fragments_by_edge_flags(std::ostream& out, const std::list<f_curve>& fragments,
                                       int& id, const std::string& default_colour,
                                       const std::string& marked_colour) {
  static const std::string green = "green";
  static const std::string brown = "brown";
  for (const f_curve& f : fragments) {
    if (!is_drawable_cubic(f)) continue;
    const std::string* colour = &default_colour;
    if (!f.v_edge.empty() && f.v_edge[0] != nullptr) {
      const edge& e = *f.v_edge[0];
      if (e.on_background)
        colour = &green;
      else if (e.display_mark)
        colour = &marked_colour;
      else if (e.display_mark_2)
        colour = &brown;
    }
    write_fragment_cubic(out, f, id, *colour);
    ++id;
  }
}

void svg_joined_path(std::ostream& out, const std::list<std::vector<glm::dvec2>>& sections,
                     int& id, const std::string& colour) {
  // Without a first point there is no "M" to start the path: a lone closing tag would
  // leave the file malformed, so nothing is written at all.
  if (sections.empty() || sections.front().empty()) {
    id += static_cast<int>(sections.size());
    return;
  }
  const int first_id = id;
  bool finite = true;
  for (const std::vector<glm::dvec2>& s : sections) {
    if (s.size() < 2 || s.size() > 4) continue;
    for (const glm::dvec2& p : s) finite = finite && all_finite({float(p.x), float(p.y)});
  }
  finite = finite && all_finite({float(sections.front()[0].x), float(sections.front()[0].y)});
  if (!finite) {
    report_skipped("path", "curve_", first_id);
    id += static_cast<int>(sections.size());
    return;
  }

  out << "<path ";
  write_id(out, "curve_", first_id);
  out << "d = \"M";
  write_point(out, to_float(sections.front()[0]));
  for (const std::vector<glm::dvec2>& s : sections) {
    switch (s.size()) {
      case 2:
        out << " L";
        write_point(out, to_float(s[1]));
        break;
      case 3:
        out << " Q";
        write_point(out, to_float(s[1]));
        out << " ";
        write_point(out, to_float(s[2]));
        break;
      case 4:
        out << " C";
        write_point(out, to_float(s[1]));
        out << " ";
        write_point(out, to_float(s[2]));
        out << " ";
        write_point(out, to_float(s[3]));
        break;
      default:
        break;
    }
    ++id;
  }
  write_path_tail(out, colour);
}

std::vector<std::string> shuffled_curve_colours(int n) {
  std::random_device device;
  std::mt19937 generator(device());
  return shuffled_curve_colours(n, generator);
}

std::vector<std::string> shuffled_curve_colours(int n, std::mt19937& generator) {
  std::vector<int> p(static_cast<std::size_t>(std::max(n, 0)));
  std::iota(p.begin(), p.end(), 0);
  std::shuffle(p.begin(), p.end(), generator);
  const float f = 1.0f / static_cast<float>(n);
  std::vector<std::string> colours;
  colours.reserve(p.size());
  for (int k : p) colours.push_back(jet_color_hex(static_cast<float>(k) * f));
  return colours;
}

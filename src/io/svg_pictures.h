#pragma once
// The frame shared by every SVG picture writer (the pictures themselves are members of
// curve_network and layer_graph): one text-mode file with header and footer, the id
// counter, and where a junction is drawn.

#include <fstream>
#include <string>

#include <glm/vec2.hpp>

#include "graph/f_curve.h"

// One SVG file, open for the lifetime of the object. The constructor creates or
// truncates path (no folder is created) in the classic locale and writes the header;
// the destructor writes the footer and closes it. A file that cannot be created, or
// whose writing fails, is named in one line on standard error; the writes in between
// then do nothing, so a picture writer runs on without checking.
class svg_picture {
 public:
  svg_picture(const std::string& path, int height, int width);
  ~svg_picture();
  svg_picture(const svg_picture&) = delete;
  svg_picture& operator=(const svg_picture&) = delete;

  std::ostream& out() { return file_; }

  int id = 0;  // the id counter of the element writers, 0 at the first element

 private:
  std::string path_;
  std::ofstream file_;
  bool opened_ = false;
};

// The point where a junction is drawn: its first fragment end's fragment Bézier (all its
// control points) at t = 0 for end 0 and t = 1 otherwise, in floats. False when the
// junction has no fragment end or that fragment has no control points.
bool junction_position(const frag_conn& junction, glm::vec2& position);

#pragma once
// The frame shared by every SVG picture writer (the pictures themselves are members of
// curve_network and layer_graph): one text-mode file with header and footer, the id
// counter, and where a junction is drawn.

#include <ostream>
#include <string>

#include <glm/vec2.hpp>

#include "graph/f_curve.h"
#include "io/replacing_file.h"

struct curve_network;

// One SVG file, written for the lifetime of the object. The constructor starts the new
// file beside path (no folder is created) in the classic locale and writes the header;
// finish() writes the footer and puts the file in place of path, which keeps its old
// contents when anything fails. Every writer calls finish() once its picture is
// complete: destroyed without it (an exception half way), the object removes the new
// file and path keeps its old contents. A file that cannot be created, or whose writing
// fails, is named in one line on standard error; the writes in between then do
// nothing, so a picture writer runs on without checking.
class svg_picture {
 public:
  svg_picture(const std::string& path, int height, int width);
  ~svg_picture();
  svg_picture(const svg_picture&) = delete;
  svg_picture& operator=(const svg_picture&) = delete;

  std::ostream& out() { return file_.out(); }
  // Footer, then the file in place; true when path now holds the whole picture. Once.
  bool finish();
  // Why the picture could not be written; empty while nothing failed.
  const std::string& error() const { return file_.error(); }

  int id = 0;  // the id counter of the element writers, 0 at the first element

 private:
  std::string path_;
  replacing_file file_;
  bool created_ = false;   // the new file exists: a later failure is worth its own line
  bool finished_ = false;
};

// curve_network::save_curves_svg for a caller that must know whether the picture is on
// the disk: false when path could not be written whole (it then keeps its old contents);
// true also for a network without layers, which writes no file. *why, when given, then
// holds the reason ("Is a directory").
bool write_curves_svg(const curve_network& network, const std::string& path, bool blue,
                      std::string* why = nullptr);

// The point where a junction is drawn: its first fragment end's fragment Bézier (all its
// control points) at t = 0 for end 0 and t = 1 otherwise, in floats. False when the
// junction has no fragment end or that fragment has no control points.
bool junction_position(const frag_conn& junction, glm::vec2& position);

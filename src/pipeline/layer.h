#pragma once
// One raster layer of the sketch (one 8-connected ink component, or all ink at once)
// with its per-region tables, window images, pixel sets and maps and its pixel graph.
//
// Frames. Image coordinates are positions in the input image (twice the sketch size).
// Window coordinates are positions in the layer window, the ink bounding box widened
// by `margin` = 50 pixels: window = image + (offset_x, offset_y). Since `width` is the
// largest ink x minus min_x (not plus 1), the ink spans window columns 50 .. 50 + width;
// the left margin is 50 columns wide, the right one 49 (rows likewise). Every window
// image has rows = height + 2 * margin and cols = width + 2 * margin.
//
// Labels. Window pixels carry an int label: 0 for ink, 1, 2, ... for the regions
// (4-connected non-ink areas). The label at window (0, 0) is the outside label. Every
// per-label table has one entry per label, index = label.
//
// The members are stored in this order by the .graph file; do not reorder them.
// A layer owns everything by value; nothing inside points outside it.

#include <cstdint>
#include <iosfwd>
#include <map>
#include <set>
#include <vector>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>
#include <opencv2/core/mat.hpp>
#include <opencv2/core/matx.hpp>

#include "pipeline/pixel.h"
#include "pipeline/pixel_graph.h"

struct layer {
  // Per label: greatest ink distance over the label's pixels (region depth); [0] = 0.
  std::vector<int32_t> v_max_ink_dist;
  // Per label: pixel count; [0] counts the window's ink pixels.
  std::vector<int32_t> v_nb_pixel;
  // Per label: peak pixel (window), the first reached at the label's greatest ink
  // distance; [0] is the first ink pixel in row-major order.
  std::vector<glm::ivec2> v_peak;
  // Per label: display colour, components 0 to 255 (x = red, y = green, z = blue).
  std::vector<glm::vec3> v_color;
  // Per label: 1 = dropped (label 0 always), 0 = kept (the outside label always).
  std::vector<char> v_discarded;
  // Window pixels turned into stroke while cutting regions at narrow necks.
  std::set<glm::ivec2> neck_pixels;
  // Number of growth rings of the label growth; 0 until it has run.
  int32_t nb_grow_level = 0;
  // Window, CV_32SC1: chessboard distance from the layer's ink (0 on ink); the outside
  // plateau is clamped to the border minimum; cut necks are 0.
  cv::Mat ink_dist;
  // Window, CV_32SC1: 0 on kept regions, ring distance from them inside the strokes,
  // -1 where no kept region was reached.
  cv::Mat stroke_depth;
  // Window, CV_32SC1: ring distance from the current edge and junction pixels through
  // stroke pixels, -1 where the flood did not get.
  cv::Mat graph_dist;
  // Window, CV_32SC1: region labels.
  cv::Mat labels;
  // Window, CV_8SC1: 1 where the pixel's label is kept, 0 elsewhere.
  cv::Mat region_mask;
  // The layer's ink pixels, IMAGE coordinates.
  std::set<glm::ivec2> ink_pixels;
  // Window pixel -> growth ring at which the label growth reached it.
  std::map<glm::ivec2, int32_t> grow_level;
  // Window pixel -> fitting weight.
  std::map<glm::ivec2, float> sample_weight;
  // Smallest ink x and y, image coordinates.
  int32_t min_x = 0, min_y = 0;
  // Largest ink x minus min_x, largest ink y minus min_y (not plus 1).
  int32_t width = 0, height = 0;
  // 50 - min_x, 50 - min_y: image to window.
  int32_t offset_x = 0, offset_y = 0;
  // Window margin in pixels: 50 once the window is set.
  int32_t margin = 0;
  // Window pixels of every open stroke traced so far.
  std::set<glm::ivec2> traced_pixels;
  // The layer's pixel-level graph.
  pixel_graph graph;

  // Empty tables, sets and maps, the five images empty but typed (four CV_32SC1, one
  // CV_8SC1), the bounding box 0.
  layer();
  // Reads the next .graph layer record (empty members, then the record in file order).
  // Throws graph_format_error on a record that runs past the end of the stream, and on a
  // negative box, a margin other than 0 or layer_margin, and, for a layer with ink,
  // offsets other than margin - min or ink outside the box.
  explicit layer(std::istream& in);
  // Writes this layer's .graph record.
  void write(std::ostream& out) const;

  // Rows and columns of the window images, from the labels once they exist: the batch
  // lets the ink distance go after the stroke depth, its last reader.
  cv::Size window_size() const { return labels.empty() ? ink_dist.size() : labels.size(); }
  int window_rows() const { return height + 2 * margin; }
  int window_cols() const { return width + 2 * margin; }
};

// The window margin of every layer.
constexpr int32_t layer_margin = 50;

// A colour of unit length drawn from the C `rand` source; never (0, 0, 0), components
// non-negative. Three draws a, b, c in [0, 1) (redrawn while all are 0); the result is
// (c, b, a) / length: x from the third draw, z from the first. Callers scale by 255.
glm::vec3 random_colour();

// Writes colour (x = red, y = green, z = blue, 0 to 255) at image position p of a
// three-channel image stored blue, green, red: channel 0 = z, 1 = y, 2 = x. A float
// image takes the floats; a byte image (CV_8UC3) the bytes its texture would show of
// them, each truncated to an int and kept modulo 256.
inline void paint_colour(cv::Mat& image, glm::ivec2 p, const glm::vec3& colour) {
  if (image.type() == CV_8UC3) {
    cv::Vec3b& px = image.at<cv::Vec3b>(p.y, p.x);
    px[0] = static_cast<uchar>(static_cast<int>(colour.z));
    px[1] = static_cast<uchar>(static_cast<int>(colour.y));
    px[2] = static_cast<uchar>(static_cast<int>(colour.x));
    return;
  }
  cv::Vec3f& px = image.at<cv::Vec3f>(p.y, p.x);
  px[0] = colour.z;
  px[1] = colour.y;
  px[2] = colour.x;
}

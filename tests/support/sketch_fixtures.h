#pragma once
// Synthetic line drawings drawn with OpenCV, so the expected topology is known by
// construction. Sketches are CV_8UC1, 255 paper and 0 ink; sizes and widths are in the
// sketch's own pixels (pass the sketch to as_input_image to get the extraction's input
// without doubling, so widths stay exact).

#include <cstddef>
#include <list>
#include <set>
#include <string>

#include <opencv2/core/mat.hpp>

#include "pipeline/layer.h"
#include "pipeline/region_params.h"

namespace fixtures {

// A white sketch of the given size.
cv::Mat blank_sketch(int rows, int cols);

// One closed circle of ink: regions outside and inside.
cv::Mat closed_ring(int size = 80, int radius = 25, int thickness = 3);

// Two circles whose strokes overlap: outside, two inner regions and the lens between them.
cv::Mat two_touching_rings(int thickness = 3);

// A rectangle frame cut by a horizontal bar, with a vertical bar from the middle of that bar
// down to the frame: regions top, bottom left and bottom right meet at a T junction.
// All strokes are `width` pixels wide, drawn as filled rectangles.
cv::Mat boxed_t(int width = 3);

// A closed ring with one stroke from the ring into its inside that ends freely.
cv::Mat ring_with_free_end(int thickness = 3);

// A frame 3 pixels wide around a 184 by 104 inside, with three strokes 3 pixels wide hanging
// from its top side into the inside, 60, 48 and 36 pixels long, each ending freely:
// one region inside, three open strokes to trace.
cv::Mat frame_with_hanging_strokes();

// The number of 8-connected runs of a pixel set, such as the middle lines of the traced
// open strokes (layer::traced_pixels).
std::size_t pixel_runs(const std::set<glm::ivec2>& pixels);

// A solid ink block holding a paper area shaped like a dumbbell: a disc of radius `radius`
// on the left and one of radius `radius_b` (default: the same) on the right, rims
// `neck_length` apart, joined by a corridor `neck_width` wide.
cv::Mat dumbbell(int radius = 14, int neck_width = 4, int neck_length = 10, int radius_b = -1);

// A frame split by one vertical bar exactly `width` pixels wide into a left and a right
// region (frame strokes are `width` wide too).
cv::Mat split_box(int width, int rows = 40, int cols = 60);

// A drawing of about `nb_strokes` random lines, circles and arcs of widths 1 to 3 on a
// size x size sketch, from a fixed seed.
cv::Mat random_drawing(int size, int nb_strokes, unsigned seed = 1);

// A 512 x 512 icon of a dozen antialiased strokes 3 pixels wide: a frame, a horizon, a
// house with roof, door and a window cross, a sun, a hill and a tree. Every stroke closes
// a region or joins others at both ends.
cv::Mat icon_sketch();

// The extraction's input image of a sketch, pixel for pixel (no doubling): grey g becomes
// g x (1/255) as a float.
cv::Mat as_input_image(const cv::Mat& sketch);

// The result of extraction steps 0 .. last_step (at most 3) on an input image: all ink in
// one layer, the given region parameters.
struct extraction {
  std::list<layer> layers;
  cv::Mat region_image;
};
extraction run_region_steps(const cv::Mat& input_image, const region_params& params, int last_step = 3);

// What a phone scan of the sketch looks like: ink at grey 40, paper at grey 235, plus
// Gaussian noise of deviation 4 drawn from a fixed seed (CV_8UC1). Save it as JPEG.
cv::Mat phone_scan(const cv::Mat& sketch, unsigned seed = 1);

// A writable temporary path for a file named `name`, removed by the caller if it cares.
std::string temp_path(const std::string& name);

// Strokes that enclose nothing, `width` pixels wide: three separate wavy lines; a wave of
// `halves` half circles of radius `radius`, alternately up and down; a T (a bar with a
// stem from its middle).
cv::Mat wavy_lines(int width = 3, int cols = 160);
cv::Mat half_circle_wave(int width = 3, int radius = 20, int halves = 4);
cv::Mat open_t(int width = 3, int size = 100);

// Rings joined by open strokes that close no region: `nb_rings` rings (2 or 3) of radius
// `radius` whose centres are joined to one hub by straight strokes ("network" icon).
cv::Mat rings_on_a_hub(int width = 3, int radius = 18, int nb_rings = 3);

}  // namespace fixtures

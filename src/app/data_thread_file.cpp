// The worker block of a .graph file.

#include <climits>
#include <istream>
#include <ostream>
#include <string>

#include "app/data_thread.h"
#include "io/graph_stream.h"
#include "io/raster_blocks.h"

namespace {

// The smallest layer record (every vector, matrix, set and map empty), used to refuse
// layer counts that the rest of the file cannot hold.
constexpr std::uint64_t min_layer_bytes = 5 * 8 + 5 * 8 + 4 + 7 * 4 + 3 * 8 + 2 * 8 + (3 * 8 + 9 * 8);

// The system never stores a negative step, and the worker adds 1 to the one it resumes at.
void check_step(int32_t step) {
  if (step < 0 || step == INT_MAX)
    throw graph_format_error("worker step " + std::to_string(step) + " out of range");
}

void check_image_size(int32_t rows, int32_t cols) {
  if (rows < 0 || cols < 0)
    throw graph_format_error("image size " + std::to_string(rows) + " x " + std::to_string(cols) +
                             " is negative");
}

// Every ink pixel lies in the image, so every layer box with ink does too.
void check_box_in_image(const layer& l, int32_t rows, int32_t cols) {
  if (l.ink_pixels.empty()) return;
  if (l.min_x < 0 || l.min_y < 0 || static_cast<long long>(l.min_x) + l.width >= cols ||
      static_cast<long long>(l.min_y) + l.height >= rows)
    throw graph_format_error("layer box outside the image of " + std::to_string(rows) + " x " +
                             std::to_string(cols) + " pixels");
}

}  // namespace

void data_thread::save(std::ostream& out) const {
  write_pod<int32_t>(out, rows);
  write_pod<int32_t>(out, cols);
  write_pod<int32_t>(out, region_params.least_depth);
  write_pod<int32_t>(out, region_params.least_size);
  write_pod<float>(out, region_params.neck_ratio);
  write_pod<int32_t>(out, region_params.neck_margin);
  for (int i = 0; i < 3; ++i) write_pod<int32_t>(out, step);
  write_pod<int32_t>(out, (stop ? 2 : 0) + (go ? 1 : 0));
  write_int_mat(out, spare_mat_a);
  write_int_mat(out, spare_mat_b);
  write_count(out, layers.size());
  for (const layer& l : layers) l.write(out);
  optimiser.write(out);
}

void data_thread::load(std::istream& in) {
  rows = read_pod<int32_t>(in);
  cols = read_pod<int32_t>(in);
  region_params.least_depth = read_pod<int32_t>(in);
  region_params.least_size = read_pod<int32_t>(in);
  region_params.neck_ratio = read_pod<float>(in);
  region_params.neck_margin = read_pod<int32_t>(in);
  check_image_size(rows, cols);
  check_finite(region_params.neck_ratio, "neck ratio");
  for (int i = 0; i < 3; ++i) step = read_pod<int32_t>(in);
  check_step(step);
  const int32_t flags = read_pod<int32_t>(in);
  go = (flags & 1) != 0;
  stop = (flags & ~1) != 0;
  read_int_mat(in, spare_mat_a);
  read_int_mat(in, spare_mat_b);
  const std::uint64_t nb_layer = read_count(in);
  check_count(in, nb_layer, min_layer_bytes);
  for (std::uint64_t i = 0; i < nb_layer; ++i) check_box_in_image(layers.emplace_back(in), rows, cols);
  optimiser.read(in);
}

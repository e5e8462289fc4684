#include "app/data_thread.h"

#include <iostream>

#include "app/out_of_memory.h"
#include "pipeline/compute_sample_weights.h"
#include "pipeline/extract_boundary_pixels.h"
#include "pipeline/extract_layers.h"
#include "pipeline/extract_nodes.h"
#include "pipeline/grow_regions.h"
#include "pipeline/label_regions.h"
#include "pipeline/paint_nodes.h"
#include "pipeline/split_regions.h"
#include "pipeline/trace_edge_one_node.h"
#include "pipeline/view_settings.h"

namespace {

// The region picture as the bytes its texture shows of it: each float truncated, as the
// texture conversion does.
cv::Mat shown_bytes(const cv::Mat& picture) {
  cv::Mat bytes(picture.size(), CV_8UC3);
  for (int y = 0; y < picture.rows; ++y) {
    const cv::Vec3f* from = picture.ptr<cv::Vec3f>(y);
    cv::Vec3b* to = bytes.ptr<cv::Vec3b>(y);
    for (int x = 0; x < picture.cols; ++x)
      for (int c = 0; c < 3; ++c) to[x][c] = static_cast<uchar>(static_cast<int>(from[x][c]));
  }
  return bytes;
}

// Nothing reads the region picture back; the steps only paint it, and the view shows its
// bytes. It is held as those bytes from the moment it is made (a quarter of its floats;
// 430 MB less on a 12-megapixel sketch, beside the images of the region growth and the
// open-stroke passes), and every step paints the bytes the texture would show of its
// floats.
void hold_as_shown_bytes(cv::Mat& region_image) {
  if (!region_image.empty() && region_image.type() == CV_32FC3) region_image = shown_bytes(region_image);
}

}  // namespace

data_thread::data_thread(curve_network* network, cv::Mat* input_image, cv::Mat* region_image, QObject* parent)
    : QObject(parent), input_image(input_image), region_image(region_image), optimiser(network), network(network) {}

void data_thread::run() {
  // Waits here while the GUI thread still holds the mutex.
  { std::lock_guard<std::mutex> lock(mtx); }
  for (;;) {
    // The GUI thread tells the user; the program goes on with the drawing as it was shown.
    if (!within_memory([this] {
          if (before_step) before_step(step);
          run_step(step);
        })) {
      out_of_memory = true;
      go = false;
      if (!stop) emit job_end();
      return;
    }
    ++step;
    go = false;
    if (stop) return;
    emit job_end();
    {
      std::unique_lock<std::mutex> lock(mtx);
      cv.wait(lock, [this] { return go; });
    }
    if (stop) return;
  }
}

void data_thread::run_step(int n) {
  view_settings* view = main_gl_widget;
  switch (n) {
    case 0:
      std::cout << "Extraction of topological graph: " << std::flush;
      // The view judged the sketch's ink (check_sketch_ink) when it opened it.
      extract_layers(input_image, &layers, region_image, view ? view->min_nb_pixel_in_layer : 10,
                     view ? view->separate_layers : false, read_ink_threshold());
      hold_as_shown_bytes(*region_image);
      compute_ink_distance(layers, input_image->rows, input_image->cols);
      break;
    case 1:
      label_regions(*region_image, layers, region_params.least_depth, region_params.least_size);
      break;
    case 2:
      split_regions(region_image, layers, region_params.least_depth, region_params.least_size,
                    region_params.neck_ratio, region_params.neck_margin);
      compute_stroke_depth(layers);
      break;
    case 3:
      grow_regions(layers, region_image);
      break;
    case 4: {
      // Nothing shows or reads a boundary picture, which would hold 12 bytes a pixel of
      // the doubled sketch beside the region picture: none is made.
      extract_boundary_pixels(layers, region_image, nullptr);
      // Without a view, the view's own default: one pass.
      trace_open_strokes(layers, view ? view->nb_edge_one_node : 1);
      break;
    }
    case 5:
      extract_nodes(region_image, &layers);
      break;
    case 6:
      paint_nodes(region_image, layers);
      compute_sample_weights(layers);
      break;
    case 7:
      network->build(&layers, rows, cols);
      break;
    case 8:
      network->refine();
      break;
    case 9:
      network->link();
      std::cout << "done" << std::endl << std::endl;
      break;
    case 10: {
      optimiser.read_config();
      std::size_t nb_curve = 0;
      for (const layer_graph& lg : *optimiser.network) nb_curve += lg.curves.size();
      std::cout << std::endl << "Energy: " << optimiser.E << std::endl
                << "Number of curves:" << nb_curve << std::endl << std::endl;
      break;
    }
    default:
      optimiser.run_time_slice();
      break;
  }
}

void data_thread::reset() {
  layers.clear();
  for (layer_graph& lg : *network) lg.clear();
  // The tables describe the last drawing's fragments until the next set-up; a file saved
  // before that must read back, so they go with the network (empty: never set up).
  optimiser.cumulative_fcurves.clear();
  optimiser.k = 0;
  step = 0;
  out_of_memory = false;
}

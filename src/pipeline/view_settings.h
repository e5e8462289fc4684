#pragma once
// The interactive view's settings that the extraction and the optimiser read.
//
// The view owns one view_settings and points main_gl_widget at it once it is built;
// the pointer stays null for the whole batch program and while the view's own
// constructor runs. Every reader falls back to built-in behaviour while it is null.
// No lock guards these members: the GUI thread writes them between worker steps.

#include <functional>
#include <map>
#include <set>
#include <string>

#include <opencv2/core/mat.hpp>

struct curve;
struct f_curve;

struct view_settings {
  // Degrees the degree move may take, indexed by degree (0 = not taken).
  int allowed_degree[4] = {0, 1, 1, 1};
  // Energy degree weight is (d - 1) * degree_penalty + 1.
  float degree_penalty = 1.0f / 3.0f;
  // Pairs of fragments whose curves must stay merged / split (picked by the user).
  // A lookup with operator[] adds an empty entry, as the readers expect.
  std::map<f_curve*, std::set<f_curve*>> must_merge;
  std::map<f_curve*, std::set<f_curve*>> must_split;
  // Frozen curves: never the curve of a move, a merge partner or a bridge's far curve.
  std::set<curve*> fixed_curves;
  // Most dangling-stroke passes at worker step 4; 0 runs none, a negative value sets no
  // ceiling (the passes end at the first that traces nothing).
  int nb_edge_one_node = 1;
  // Least graph distance (pixels) that starts a dangling-stroke trace.
  int size_edge_one_node = 30;
  // Smallest ink component kept as a layer at step 0.
  int min_nb_pixel_in_layer = 10;
  // Split the ink into component layers at step 0.
  bool separate_layers = false;
  // Boundary picture of step 4, three float channels (BGR, 0 to 255).
  cv::Mat boundary_image;
  // Path stem of the opened image; refine writes its picture there.
  std::string image_stem;
  // Slider and spin-box values waiting to be applied between time slices; -1: none.
  int pending_iteration = -1;
  float pending_lambda = -1;
  // Installed by the view: the optimiser's set-up hands it the iteration count and
  // lambda so that it can rewire its iteration slider and lambda spin box (and reset
  // both pending values). Called from the worker thread.
  std::function<void(int nb_it, float lambda)> on_optimiser_setup;
};

// The one view's settings; null in the batch program. Owns nothing.
extern view_settings* main_gl_widget;

// Whether the user froze `c` in the view; never in the batch program.
bool frozen_in_view(curve* c);

// Whether `c` holds two fragments that the user merged (a must_merge pair); never in the
// batch program. Looks up without adding entries.
bool merged_in_view(const curve* c);

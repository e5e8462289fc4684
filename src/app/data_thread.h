#pragma once
// The worker of the interactive program: it holds the raster layers of the current
// sketch and the optimiser, and runs one numbered step per cycle on a std::thread of
// its own, waiting for the GUI thread's confirmation after each. Steps 0 to 9 extract
// the curve network, step 10 sets up the optimiser, every later step runs one
// optimiser time slice. The batch driver uses it only to hold the layers and the
// optimiser and never runs its loop.

#include <condition_variable>
#include <functional>
#include <iosfwd>
#include <list>
#include <mutex>

#include <QObject>
#include <opencv2/core/mat.hpp>

#include "graph/curve_network.h"
#include "pipeline/layer.h"
#include "pipeline/recuit.h"
#include "pipeline/region_params.h"

class data_thread : public QObject {
  Q_OBJECT

 public:
  int rows = 0;  // rows of the input image (twice the sketch height); set by the loader
  int cols = 0;  // columns of the input image
  // The four values of config/region.conf; set by the owner.
  struct region_params region_params;
  cv::Mat* input_image;   // borrowed: the input image, one float channel
  cv::Mat* region_image;  // borrowed: the colour region image the steps paint
  cv::Mat spare_mat_a;    // never filled; stored in .graph files
  cv::Mat spare_mat_b;
  std::list<layer> layers;  // the raster layers, owned
  recuit optimiser;         // built on the same network
  curve_network* network;   // borrowed: the network the steps build and the optimiser edits
  int step = 0;             // number of the next step to run
  bool stop = false;        // the loop ends after the current cycle
  bool go = false;          // the GUI thread's permission for the next cycle
  // A step ran out of memory: the loop ended without counting it, after one last
  // job_end. Set on the worker thread before that signal; the GUI thread clears it.
  bool out_of_memory = false;
  // Tests only: called on the worker thread before the work of each step.
  std::function<void(int step)> before_step;
  std::mutex mtx;           // guards the handshake
  std::condition_variable cv;

  // Builds the optimiser on the network (reads config/recuit.conf).
  data_thread(curve_network* network, cv::Mat* input_image, cv::Mat* region_image, QObject* parent = nullptr);
  ~data_thread() override = default;

  // The thread body: run the step, count it, clear go; leave when stop is set; emit
  // job_end; wait under the mutex until go is set; leave when stop is set; repeat. A
  // step that runs out of memory ends the loop: out_of_memory set, step not counted,
  // job_end emitted (unless stop is set).
  void run();

  // Runs the work of one step without any handshake (the body of a cycle).
  void run_step(int n);

  // Empties the layers and every layer_graph of the network (the records stay) and the
  // optimiser's tables, sets the optimiser's iteration counter and the step to 0.
  void reset();

  // The worker block of a .graph file: image size, region parameters, step (three
  // copies), flags, the two spare matrices, the layers and the optimiser state.
  // load expects an empty layer list; it throws graph_format_error on a short or
  // malformed block, on a negative image size or step (or one at the int limit), on a
  // layer box outside the image, and on what layer::layer and recuit::read refuse.
  void save(std::ostream& out) const;
  void load(std::istream& in);

  // An empty operation that nothing calls.
  void unused() {}

 signals:
  void job_end();
};

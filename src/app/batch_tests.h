#pragma once
// The batch test driver: for one input (a sketch image or a .graph file), a numbered
// series of tests, each building the initial network, running one complete annealing
// run and the finishing passes, then writing its result files below the output root.
//
// Files, with <p> = "l" lambda "dt" dt (floats in the stream's default format):
//   with a sketch name set, every test d writes
//     error_speed/<stem>_w<thickness><p>test<d>.svg and .error (the final energy);
//   without one, tests with d % 10 == 0 write
//     error_speed/<graph name, or w<thickness>><p>test<d>.svg;
//   after the series: error_speed/csv/<stem>_w<thickness>, <graph name> or
//     w<thickness>, then <p> "k_min" first "k_max" last ".csv", one row per test
//     gathered (only without a sketch name and with a reference SVG name).
// The stem of a sketch name is the name without its extension ("cat.png" gives "cat",
// "maison" stays whole). Missing output folders are created. A test whose input cannot be
// read is skipped with one line on standard error naming the file and saying why; a
// sketch that is ink all over, or a .graph input without a fragment or saved before its
// curves were linked (extraction steps 1 to 9), skips every test left with one such line.
// When memory runs out during a test, one line names the input, says so and what to try,
// and the tests left are not run. A series in which a test was skipped or not run writes
// no statistics file. A result file that cannot be written (a full disk) is named there
// too, and an older file of that name stays as it was; so are the annealing's pictures
// and energy_decrease.csv. After each test one line on standard output says how many ink
// pixels of the sketch lie in no fragment (open strokes, which the batch extraction does
// not trace).

#include <iosfwd>
#include <string>

#include <opencv2/core/mat.hpp>

struct curve_network;
class data_thread;
struct recuit;

// What went wrong in a series of tests (or in several): nothing when both are 0.
struct batch_outcome {
  int skipped = 0;        // tests skipped because their input could not be read
  int unusable = 0;       // tests skipped because their input gives nothing to optimise
  int out_of_memory = 0;  // tests not run because memory ran out (in the first of them)
  int unwritten = 0;      // files of the runs (results, statistics, the annealing's
                          // pictures and energy_decrease.csv) that could not be written

  batch_outcome& operator+=(const batch_outcome& o) {
    skipped += o.skipped;
    unusable += o.unusable;
    out_of_memory += o.out_of_memory;
    unwritten += o.unwritten;
    return *this;
  }
};

// What the batch extraction made of a sketch, for its caller's messages.
struct batch_sketch_report {
  bool loaded = false;     // load_sketch read it (else it named the file and the reason)
  std::string ink_advice;  // mostly_ink_advice's line for it, empty when most is paper
};

// Runs tests d = first, first + 1, ... while d != last; none, with a message, when last
// is below first. Inputs are found in the folder of config/default_dir_open.conf: the
// current sketch when one is set, else `name` when not null, else "w<thickness>" with
// ".graph" (input_is_graph) or ".png". Only whether reference_svg_name is null matters;
// flag is not read. A result file that cannot be written is named on standard error,
// left as it was before (absent, or an older whole file) and counted in the outcome.
// Running out of memory (std::bad_alloc, or OpenCV's out-of-memory error) ends the
// series as the header says and is counted too.
batch_outcome run_batch_tests(int thickness, float lambda, float dt, int first, int last,
                              bool input_is_graph, const char* name, const char* reference_svg_name,
                              bool flag);

// The input folder: the first word of the file at `path`, "." when there is none (with a
// message when the file cannot be opened), with "/" appended unless it ends in "/" or "\\".
std::string read_input_folder(const char* path = "config/default_dir_open.conf");

// Builds the initial network from the sketch at `path` as a batch test does: the sketch
// loaded into input_image, the worker reset (rows, cols, config/region.conf), extraction
// steps 0 to 9 in one go (the ink threshold of config/color_thresh.conf, with a line when
// most of the image is ink under it, all ink in one layer, no dangling-stroke tracing, the
// joint fit, the fragment split and one more joint fit). False, with nothing built, when the
// sketch cannot be loaded (load_sketch names the file) or is all ink; `report`, when
// given, says which and holds the ink advice (also when memory runs out in the
// extraction, which then throws). No region or boundary picture is
// painted (both images are left empty) and input_image is released once the ink is found.
// Without keep_layer_images no stroke depth is made (only the open-stroke passes read it)
// and the layers lose what a batch run reads no more (the ink distance and region mask
// after the region splitting, the growth rings after the sample weights, the labels, pixel
// graph and sample weights after the network build; the ink pixels and the box stay),
// which a .graph file of the worker would otherwise hold.
bool extract_batch_network(const std::string& path, cv::Mat& input_image, cv::Mat& region_image,
                           cv::Mat& boundary_image, curve_network& network, data_thread& worker,
                           bool keep_layer_images = true, batch_sketch_report* report = nullptr);

// Steps 5 and 6 of a test: the optimiser's batch set-up with lambda and dt, "run all
// start", the whole annealing run (pictures and energy_decrease.csv in the working
// folder), then the finishing passes on every layer graph. The caller seeds
// optimiser.gen beforehand when it wants a repeatable run. Returns how many of the
// run's pictures and energy file could not be written (each named on standard error).
int optimise_batch_network(curve_network& network, recuit& optimiser, float lambda, float dt);

// The stem of a listed sketch name for output names: the name without its extension.
std::string sketch_output_stem(const std::string& name);

// The result files of a test with a sketch name: base + ".svg" (the curves in shuffled
// colours) and base + ".error" (the energy with the optimiser's lambda and mu, one line);
// the folder is created when missing. Returns how many of the two could not be written
// (each named on standard error).
int write_batch_results(const std::string& base, const curve_network& network,
                         const recuit& optimiser);

// Reads a whole .graph stream into `network` (empty) and `worker` (built on it): the
// image path and stem (dropped), the layer graphs, the worker block. Throws
// graph_format_error, std::out_of_range or std::length_error when the stream is not a
// readable .graph file; what was read stays in the network and the worker. The stored
// image path goes to `image_path` when given.
void read_graph_stream(std::istream& in, curve_network& network, data_thread& worker,
                       std::string* image_path = nullptr);

// Whether the sketch at `image_path`, loaded now, gives an input image of other than
// rows x cols pixels: the drawing saved with it no longer fits it. A sketch that cannot
// be found or read has not changed as far as this tells.
bool sketch_changed_since_save(const std::string& image_path, int rows, int cols);

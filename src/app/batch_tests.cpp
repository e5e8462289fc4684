#include "app/batch_tests.h"

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <new>
#include <set>
#include <sstream>
#include <system_error>
#include <vector>

#include <opencv2/core.hpp>

#include "app/control_polygon_sets.h"
#include "app/data_thread.h"
#include "graph/curve_network.h"
#include "io/graph_stream.h"
#include "io/output_names.h"
#include "io/replacing_file.h"
#include "io/svg_pictures.h"
#include "pipeline/compute_sample_weights.h"
#include "pipeline/extract_boundary_pixels.h"
#include "pipeline/extract_layers.h"
#include "pipeline/extract_nodes.h"
#include "pipeline/grow_regions.h"
#include "pipeline/label_regions.h"
#include "pipeline/load_sketch.h"
#include "pipeline/paint_nodes.h"
#include "pipeline/region_params.h"
#include "pipeline/sketch_ink_check.h"
#include "pipeline/split_regions.h"
#include "pipeline/untraced_ink.h"

namespace {

const char* const region_conf_path = "config/region.conf";

// The rows of the statistics file, one entry per gathered test in each list.
struct batch_statistics {
  // Comparison errors against the reference picture; never computed, always -1.
  std::vector<float> error_out_gt, error_gt_out, error_max_out_gt, error_max_gt_out;
  std::vector<std::array<int, 3>> degree_counts;  // segments: lines, quadratics, cubics
  std::vector<float> energies;
};

// "l<lambda>dt<dt>", the parameter part of every output name.
std::string parameter_part(float lambda, float dt) {
  std::ostringstream s;
  s << "l" << lambda << "dt" << dt;
  return s.str();
}

// Creates the folders that will hold `path`. The writers do not create folders, and a
// missing one would lose the result without a word.
void make_parent_folder(const std::string& path) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (parent.empty()) return;
  std::error_code ec;
  std::filesystem::create_directories(parent, ec);
  if (ec) std::cerr << "cannot create folder " << parent.string() << ": " << ec.message() << std::endl;
}

// The count of untraced ink allocates a mask of each layer's box: a box without its ink
// distance or labels image (whose pixels the file holds; the reader has held any it
// stores to the box's size) is not one the extraction made, and could ask for any size.
void check_layer_windows(const std::list<layer>& layers) {
  for (const layer& l : layers) {
    if (l.ink_pixels.empty()) continue;
    if (l.ink_dist.empty() && l.labels.empty())
      throw graph_format_error("layer box of " + std::to_string(l.width) + " x " + std::to_string(l.height) +
                               " pixels without its window images");
  }
}

// A .graph input: the header strings (dropped), the layer graphs and the
// worker block. False, after one line naming the file, when it cannot be read whole.
bool read_graph_input(const std::string& path, int test, curve_network& network,
                      data_thread& worker) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << path << ": cannot open the graph file; test " << test << " skipped" << std::endl;
    return false;
  }
  std::string image_path;
  try {
    read_graph_stream(in, network, worker, &image_path);
    check_layer_windows(worker.layers);
  } catch (const std::exception& e) {
    std::cerr << path << ": not a readable graph file (" << e.what() << "); test " << test
              << " skipped" << std::endl;
    return false;
  }
  if (sketch_changed_since_save(image_path, worker.rows, worker.cols)) {
    std::cerr << path << ": the sketch " << image_path << " has changed since the drawing was saved; test " << test
              << " skipped" << std::endl;
    return false;
  }
  return true;
}

// Why a .graph input that was read whole gives the annealing nothing to run on, or an
// empty text. A file saved before extraction step 9 linked the curves holds no network
// that the moves can work on (the batch's own files are saved at step 0, their network
// built).
std::string graph_input_unusable(const curve_network& network, const data_thread& worker) {
  if (worker.step >= 1 && worker.step <= 9)
    return "the file holds no curve network yet (saved at extraction step " + std::to_string(worker.step) + ")";
  if (holds_fragments(network)) return {};
  return "the curve network holds no fragment: nothing to optimise";
}

// The batch extraction traces no open stroke: say how much ink that leaves out. The
// input image is the sketch doubled, four pixels per sketch pixel.
void report_untraced_ink(const untraced_ink& ink) {
  std::cout << "open strokes: " << (ink.untraced + 2) / 4 << " of " << (ink.ink + 2) / 4
            << " ink pixels of the sketch lie in no fragment and are left out; the interactive"
               " program's open-curve passes trace them"
            << std::endl;
}

// One line on standard error when the file could not be written.
bool committed(replacing_file& file) {
  if (file.commit()) return true;
  std::cerr << "cannot write " << file.path() << ": " << file.error() << std::endl;
  return false;
}

bool write_energy_file(const std::string& path, float energy) {
  make_parent_folder(path);
  replacing_file file(path);
  file.out() << energy << std::endl;
  return committed(file);
}

void gather_statistics(batch_statistics& stats, control_polygon_sets& collector,
                       const curve_network& network, const recuit& optimiser) {
  collect_control_polygons(collector, network);
  stats.error_out_gt.push_back(-1);
  stats.error_gt_out.push_back(-1);
  stats.error_max_out_gt.push_back(-1);
  stats.error_max_gt_out.push_back(-1);
  stats.degree_counts.push_back({static_cast<int>(collector.lines.size()),
                                 static_cast<int>(collector.quadratics.size()),
                                 static_cast<int>(collector.cubics.size())});
  stats.energies.push_back(network.energy(optimiser.lambda, optimiser.mu));
}

bool write_statistics(const std::string& path, const batch_statistics& stats) {
  make_parent_folder(path);
  replacing_file file(path);
  std::ostream& out = file.out();
  out << "input_param;error out->GT;error GT->out;error max out->GT; error max GT->out; ;nb line;"
         " nb quadratic; nb cubic; ; nb line + quadric; nb curve; ;energy"
      << std::endl;
  for (std::size_t i = 0; i < stats.energies.size(); ++i) {
    const std::array<int, 3>& n = stats.degree_counts[i];
    out << i << ";" << stats.error_out_gt[i] << ";" << stats.error_gt_out[i] << ";"
        << stats.error_max_out_gt[i] << ";" << stats.error_max_gt_out[i] << "; ;" << n[0] << ";"
        << n[1] << ";" << n[2] << "; ;" << n[0] + n[1] << ";" << n[0] + n[1] + n[2] << "; ;"
        << stats.energies[i] << std::endl;
  }
  return committed(file);
}

// What a batch run, which traces no open stroke and writes no .graph file, reads no more
// after the region splitting: the ink distance (later steps take the window size from
// the labels) and the region mask, read next only by the stroke depth and the
// open-stroke passes.
void drop_after_region_split(std::list<layer>& layers) {
  for (layer& l : layers) {
    l.ink_dist = cv::Mat(0, 0, CV_32SC1);
    l.region_mask = cv::Mat(0, 0, CV_8SC1);
  }
}

// The growth rings of the boundary pixels alone: the sample weights read them at the edge
// and node pixels, which the node step takes from the boundary pixels, and no step reads
// the rings of the other stroke pixels (one map node each, the whole ink).
void keep_boundary_growth_levels(std::list<layer>& layers) {
  for (layer& l : layers) {
    const pixel_graph& g = l.graph;
    cv::Mat boundary(l.window_size(), CV_8UC1, cv::Scalar(0));
    auto mark = [&](const std::set<glm::ivec2>& pixels) {
      for (const glm::ivec2& p : pixels)
        if (p.x >= 0 && p.y >= 0 && p.x < boundary.cols && p.y < boundary.rows) boundary.at<uchar>(p.y, p.x) = 1;
    };
    mark(g.edge_pixels);
    mark(g.junction_pixels);
    for (const auto& entry : g.edge_pixels_by_pair) mark(entry.second);
    for (const auto& entry : g.junction_pixels_by_pair) mark(entry.second);
    std::map<glm::ivec2, int32_t> kept;
    for (const auto& [p, level] : l.grow_level)
      if (p.x >= 0 && p.y >= 0 && p.x < boundary.cols && p.y < boundary.rows &&
          boundary.at<uchar>(p.y, p.x) != 0)
        kept.emplace_hint(kept.end(), p, level);
    l.grow_level.swap(kept);
  }
}

// The growth rings, read last by the sample weights (one map node per stroke pixel).
void drop_after_sample_weights(std::list<layer>& layers) {
  for (layer& l : layers) std::map<glm::ivec2, int32_t>().swap(l.grow_level);
}

// What the network build read last: the labels, the pixel graph and the sample weights.
// The ink pixels and the box stay for the count of untraced ink.
void drop_after_build(std::list<layer>& layers) {
  for (layer& l : layers) {
    l.labels = cv::Mat(0, 0, CV_32SC1);
    l.graph = pixel_graph();
    std::map<glm::ivec2, float>().swap(l.sample_weight);
    std::set<glm::ivec2>().swap(l.neck_pixels);
    std::set<glm::ivec2>().swap(l.traced_pixels);
  }
}

}  // namespace

// Also false, after one line on standard error naming the file, when every pixel of the
// sketch is ink.
bool extract_batch_network(const std::string& path, cv::Mat& input_image, cv::Mat& region_image,
                           cv::Mat& boundary_image, curve_network& network, data_thread& worker,
                           bool keep_layer_images, batch_sketch_report* report) {
  batch_sketch_report unused;
  if (report == nullptr) report = &unused;
  *report = batch_sketch_report();
  if (!load_sketch(path.c_str(), &input_image)) return false;
  report->loaded = true;
  const float threshold = read_ink_threshold();
  const sketch_ink_check ink = check_sketch_ink(input_image, threshold, path);
  report->ink_advice = ink.advice;
  for (const std::string* line : {&ink.advice, &ink.all_ink, &ink.no_ink})
    if (!line->empty()) std::cerr << *line << std::endl;
  if (!ink.all_ink.empty()) {
    input_image.release();
    return false;
  }
  worker.reset();
  worker.rows = input_image.rows;
  worker.cols = input_image.cols;
  worker.region_params = read_region_params(region_conf_path);
  const region_params& rp = worker.region_params;
  std::list<layer>& layers = worker.layers;

  // The batch shows no pictures: no region or boundary image is painted, and the
  // input is not needed once the ink is found (on a large page these images alone
  // would hold hundreds of megabytes through the rest of the run).
  region_image.release();
  boundary_image.release();
  extract_layers(&input_image, &layers, nullptr, 100, false, threshold);
  compute_ink_distance(layers, input_image.rows, input_image.cols);
  input_image.release();
  label_regions(region_image, layers, rp.least_depth, rp.least_size);
  split_regions(&region_image, layers, rp.least_depth, rp.least_size, rp.neck_ratio, rp.neck_margin);
  // Only the open-stroke passes read the stroke depth.
  if (keep_layer_images)
    compute_stroke_depth(layers);
  else
    drop_after_region_split(layers);
  grow_regions(layers, &region_image);
  extract_boundary_pixels(layers, &region_image, &boundary_image);
  if (!keep_layer_images) keep_boundary_growth_levels(layers);
  extract_nodes(&region_image, &layers);
  paint_nodes(&region_image, layers);
  compute_sample_weights(layers);
  if (!keep_layer_images) drop_after_sample_weights(layers);
  network.build(&layers, worker.rows, worker.cols);
  if (!keep_layer_images) drop_after_build(layers);
  for (layer_graph& lg : network) lg.fit_fragments_at_junctions();
  for (layer_graph& lg : network) {
    lg.split_fragments();
    lg.fit_fragments_at_junctions();
  }
  network.link();
  return true;
}

int optimise_batch_network(curve_network& network, recuit& optimiser, float lambda, float dt) {
  optimiser.read_config_v2(lambda, dt);
  std::cout << "run all start" << std::endl;
  const int unwritten = optimiser.run_all();
  for (layer_graph& lg : network) lg.fit_and_slide_ends();
  return unwritten;
}

int write_batch_results(const std::string& base, const curve_network& network,
                        const recuit& optimiser) {
  make_parent_folder(base + ".svg");
  const bool picture = write_curves_svg(network, base + ".svg", false);
  const bool energy = write_energy_file(base + ".error", network.energy(optimiser.lambda, optimiser.mu));
  return (picture ? 0 : 1) + (energy ? 0 : 1);
}

void read_graph_stream(std::istream& in, curve_network& network, data_thread& worker, std::string* image_path) {
  std::string header;
  read_string(in, header);
  if (image_path != nullptr) *image_path = header;
  read_string(in, header);  // image stem
  const std::uint64_t nb_layers = read_count(in);
  for (std::uint64_t i = 0; i < nb_layers; ++i) network.emplace_back(in);
  worker.load(in);
}

bool sketch_changed_since_save(const std::string& image_path, int rows, int cols) {
  std::error_code ec;
  if (image_path.empty() || !std::filesystem::is_regular_file(image_path, ec)) return false;
  cv::Mat image;
  std::string why;
  if (!load_sketch(image_path.c_str(), &image, &why)) return false;
  return image.rows != rows || image.cols != cols;
}

std::string read_input_folder(const char* path) {
  std::ifstream in(path);
  if (!in) std::cerr << path << ": cannot open; reading inputs from the working folder" << std::endl;
  std::string folder;
  in >> folder;
  if (folder.empty()) folder = ".";
  const char last = folder.back();
  if (last != '/' && last != '\\') folder += '/';
  return folder;
}

std::string sketch_output_stem(const std::string& name) {
  return std::filesystem::path(name).replace_extension().string();
}

namespace {

// What every test of one series shares: its input and the names of its outputs.
struct batch_series {
  int thickness = 0;
  float lambda = 0, dt = 0;
  int first = 0, last = 0;
  bool input_is_graph = false;
  const char* name = nullptr;                // graph name from the command line, or null
  const char* reference_svg_name = nullptr;  // only whether it is null matters
  bool sketch_named = false;                 // a listed sketch is the input
  std::string input_path;
  std::string stem;             // the sketch's output stem, when sketch_named
  std::string thickness_label;  // "w<thickness>"
  std::string result_folder;    // output_root + "error_speed/"
};

// "test 4", or "tests 4 to 9": the tests of the series from d on.
std::string tests_from(const batch_series& s, int d) {
  return s.last - d == 1 ? "test " + std::to_string(d)
                         : "tests " + std::to_string(d) + " to " + std::to_string(s.last - 1);
}

batch_series make_series(int thickness, float lambda, float dt, int first, int last, bool input_is_graph,
                         const char* name, const char* reference_svg_name) {
  batch_series s;
  s.thickness = thickness;
  s.lambda = lambda;
  s.dt = dt;
  s.first = first;
  s.last = last;
  s.input_is_graph = input_is_graph;
  s.name = name;
  s.reference_svg_name = reference_svg_name;
  s.sketch_named = current_sketch_cstr != nullptr;
  s.thickness_label = "w" + std::to_string(thickness);
  s.result_folder = output_root + "error_speed/";
  s.input_path = read_input_folder();
  if (s.sketch_named) {
    s.input_path += current_sketch_cstr;
    s.stem = sketch_output_stem(current_sketch_cstr);
  } else if (name != nullptr) {
    s.input_path += name;
  } else {
    s.input_path += s.thickness_label + (input_is_graph ? ".graph" : ".png");
  }
  return s;
}

// Reads or extracts the test's initial network. False, with the outcome counted and a
// line on standard error, when the test does not run; `go_on` then says whether later
// tests of the series may still run.
bool build_test_network(const batch_series& s, int d, curve_network& network, data_thread& worker,
                        cv::Mat& input_image, cv::Mat& region_image, cv::Mat& boundary_image,
                        batch_sketch_report& sketch, batch_outcome& outcome, bool& go_on) {
  go_on = true;
  if (s.input_is_graph) {
    if (!read_graph_input(s.input_path, d, network, worker)) {
      ++outcome.skipped;
      return false;
    }
    // Every test reads the same file: one line for all that are left.
    const std::string unusable = graph_input_unusable(network, worker);
    if (unusable.empty()) return true;
    std::cerr << s.input_path << ": " << unusable << "; " << tests_from(s, d) << " skipped" << std::endl;
    outcome.unusable += s.last - d;
    go_on = false;
    return false;
  }
  if (extract_batch_network(s.input_path, input_image, region_image, boundary_image, network, worker, false,
                            &sketch))
    return true;
  if (sketch.loaded) {
    // Ink all over, which the extraction named: the same sketch again would be too.
    std::cerr << tests_from(s, d) << " skipped" << std::endl;
    outcome.unusable += s.last - d;
    go_on = false;
  } else {
    std::cerr << "test " << d << " skipped" << std::endl;
    ++outcome.skipped;
  }
  return false;
}

// The result files of a test: with a sketch name its picture and energy; without one
// its statistics row when a reference name is given, and a picture every tenth test.
void write_test_results(const batch_series& s, int d, const curve_network& network, const recuit& optimiser,
                        batch_statistics& stats, control_polygon_sets& collector, batch_outcome& outcome) {
  const std::string parameters = parameter_part(s.lambda, optimiser.dt);
  if (s.sketch_named) {
    const std::string base = s.result_folder + s.stem + "_" + s.thickness_label + parameters + "test" +
                             std::to_string(d);
    if (network.empty()) std::cerr << s.input_path << ": no strokes found, no result picture" << std::endl;
    outcome.unwritten += write_batch_results(base, network, optimiser);
    return;
  }
  if (s.reference_svg_name != nullptr) gather_statistics(stats, collector, network, optimiser);
  if (d % 10 == 0) {
    const std::string path = s.result_folder + (s.name != nullptr ? std::string(s.name) : s.thickness_label) +
                             parameters + "test" + std::to_string(d) + ".svg";
    make_parent_folder(path);
    if (!write_curves_svg(network, path, false)) ++outcome.unwritten;
  }
}

// One test: the network, the annealing run, the result files. False when the tests left
// of the series are not to run.
bool run_batch_test(const batch_series& s, int d, batch_statistics& stats, control_polygon_sets& collector,
                    batch_sketch_report& sketch, batch_outcome& outcome) {
  const auto t0 = std::chrono::steady_clock::now();
  std::cout << "test number " << d << " over " << s.last << std::endl;

  cv::Mat input_image, region_image, boundary_image;
  curve_network network;
  data_thread worker(&network, &input_image, &region_image, nullptr);
  bool go_on = true;
  if (!build_test_network(s, d, network, worker, input_image, region_image, boundary_image, sketch, outcome,
                          go_on))
    return go_on;
  const untraced_ink ink = count_untraced_ink(worker.layers, network);
  // The annealing reads no raster layer.
  worker.layers.clear();

  recuit& optimiser = worker.optimiser;
  outcome.unwritten += optimise_batch_network(network, optimiser, s.lambda, s.dt);

  std::cout << std::endl
            << "total time: " << std::chrono::duration<float>(std::chrono::steady_clock::now() - t0).count()
            << "s" << std::endl;
  report_untraced_ink(ink);
  write_test_results(s, d, network, optimiser, stats, collector, outcome);
  return true;
}

// The line when memory ran out in test d: the input, and what to try. A sketch mostly
// ink under the threshold gives the advice for the threshold (its line without the name).
void report_out_of_memory(const batch_series& s, int d, const batch_sketch_report& sketch) {
  std::string advice;
  const std::string named = s.input_path + ": ";
  if (!sketch.ink_advice.empty())
    advice = sketch.ink_advice.compare(0, named.size(), named) == 0 ? sketch.ink_advice.substr(named.size())
                                                                    : sketch.ink_advice;
  else if (s.input_is_graph)
    advice = "free some memory for the program";
  else
    advice = "scale the sketch down, or free some memory for the program";
  std::cerr << named << "not enough memory: " << tests_from(s, d) << " not run; " << advice << std::endl;
}

std::string statistics_path(const batch_series& s) {
  std::string csv_name;
  if (s.sketch_named) {
    csv_name = s.stem + "_" + s.thickness_label;
  } else if (s.name != nullptr) {
    csv_name = s.name;
  } else {
    csv_name = s.thickness_label;
  }
  return s.result_folder + "csv/" + csv_name + parameter_part(s.lambda, s.dt) + "k_min" + std::to_string(s.first) +
         "k_max" + std::to_string(s.last) + ".csv";
}

}  // namespace

batch_outcome run_batch_tests(int thickness, float lambda, float dt, int first, int last,
                              bool input_is_graph, const char* name, const char* reference_svg_name,
                              bool /*flag*/) {
  const batch_series series =
      make_series(thickness, lambda, dt, first, last, input_is_graph, name, reference_svg_name);
  if (!input_is_graph && !std::ifstream(region_conf_path))
    std::cerr << region_conf_path << ": cannot open; using the default region parameters" << std::endl;
  if (last < first)
    std::cerr << "last test number " << last << " is below the first, " << first
              << ": no test runs" << std::endl;

  batch_statistics stats;
  control_polygon_sets collector;
  batch_outcome outcome;
  for (int d = first; d < last; ++d) {
    batch_sketch_report sketch;
    bool out_of_memory = false;
    try {
      if (!run_batch_test(series, d, stats, collector, sketch, outcome)) break;
    } catch (const std::bad_alloc&) {
      out_of_memory = true;
    } catch (const cv::Exception& e) {
      if (e.code != cv::Error::StsNoMem) throw;
      out_of_memory = true;
    }
    // The same input would run out again: the tests left are not run.
    if (out_of_memory) {
      report_out_of_memory(series, d, sketch);
      outcome.out_of_memory += last - d;
      break;
    }
  }

  // A row missing from the statistics would shift the others: no file for a series
  // that did not run whole.
  if (outcome.skipped + outcome.unusable + outcome.out_of_memory > 0) return outcome;
  if (!write_statistics(statistics_path(series), stats)) ++outcome.unwritten;
  return outcome;
}

// Opening a sketch or a .graph file, saving, and the confirmation of every worker step.
#include "app/gl_widget.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>

#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStatusBar>

#include "app/out_of_memory.h"
#include "app/q_slider_change_alpha.h"
#include "app/saved_degrees.h"
#include "gl/texture.h"
#include "io/graph_stream.h"
#include "io/output_names.h"
#include "io/replacing_file.h"
#include "io/svg_pictures.h"
#include "pipeline/allowed_degrees.h"
#include "pipeline/extract_layers.h"
#include "pipeline/load_sketch.h"
#include "pipeline/sketch_ink_check.h"

namespace {

// Display sliders in the order the main window appends them.
enum display_slider { input_slider = 0, region_slider = 1, initial_slider = 2, output_slider = 3 };

const glm::vec3 red(1, 0, 0);
const glm::vec3 blue(0, 0, 1);

// First word of config/default_dir_open.conf; empty without the file.
QString start_folder() {
  std::ifstream in("config/default_dir_open.conf");
  std::string folder;
  in >> folder;
  return QString::fromStdString(folder);
}

const char* const keeps_drawing =
    "\nThe drawing shown before stays; open a smaller sketch, or close other programs and try again.";

// Reads a .graph file's image path and stem, its layer graphs into network and its worker
// block into worker. Returns an empty text, or what went wrong, naming the file; a
// failure to get memory is thrown on.
std::string read_graph_records(const std::string& path, curve_network& network, data_thread& worker,
                               std::string& stored_path, std::string& stored_stem);
bool graph_fits_in_memory(const std::string& path);

// A problem the user must see: one line on standard error, the status bar (so that it
// shows no older outcome) and a message box.
void report(QWidget* parent, const std::string& text) {
  std::cerr << text << std::endl;
  if (auto* main_window = parent ? qobject_cast<QMainWindow*>(parent->window()) : nullptr)
    main_window->statusBar()->showMessage(QString::fromStdString(text).replace('\n', ' '), 5000);
  QMessageBox::warning(parent, "Vellumtrace", QString::fromStdString(text));
}

}  // namespace

void gl_widget::show_status(const std::string& text) {
  std::cout << text << std::endl;
  if (auto* main_window = qobject_cast<QMainWindow*>(window()))
    main_window->statusBar()->showMessage(QString::fromStdString(text), 5000);
}

// ---- worker control ----------------------------------------------------------------

void gl_widget::request_worker_stop() {
  std::lock_guard<std::mutex> lock(worker.mtx);
  worker.stop = true;
  worker.go = true;
  worker.cv.notify_all();
}

void gl_widget::join_worker_threads() {
  for (std::thread& t : threads) t.join();
  threads.clear();
  worker_released_ = false;
  // A confirmation the old worker queued before it left would release the next one
  // without its step being shown.
  QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
}

void gl_widget::start_worker_thread() {
  threads.emplace_back(&data_thread::run, &worker);
  worker_released_ = true;
}

void gl_widget::disconnect_optimiser_controls() {
  disconnect(lambda_spin_box, SIGNAL(valueChanged(double)), this, SLOT(on_change_nb_lambda_1(double)));
  disconnect(iteration_slider, SIGNAL(valueChanged(int)), this, SLOT(on_change_nb_iteration(int)));
}

// The optimiser's set-up (step 10) hands over its iteration count and lambda.
void gl_widget::set_optimiser_controls(int nb_it, float lambda) {
  iteration_slider->setMaximum(nb_it);
  iteration_slider->setMinimum(0);
  iteration_slider->setValue(0);
  iteration_slider->setMaximum(nb_it);
  iteration_slider->setMinimum(0);
  lambda_spin_box->setDecimals(2);
  lambda_spin_box->setSingleStep(0.01);
  lambda_spin_box->setMinimum(0);
  lambda_spin_box->setMaximum(1000);
  lambda_spin_box->setValue(lambda);
  disconnect(lambda_spin_box, SIGNAL(valueChanged(double)), this, SLOT(on_change_nb_lambda_1(double)));
  pending_lambda = -1;
  connect(lambda_spin_box, SIGNAL(valueChanged(double)), this, SLOT(on_change_nb_lambda_1(double)));
  disconnect(iteration_slider, SIGNAL(valueChanged(int)), this, SLOT(on_change_nb_iteration(int)));
  pending_iteration = -1;
  connect(iteration_slider, SIGNAL(valueChanged(int)), this, SLOT(on_change_nb_iteration(int)));
  show_lambda_in_use(lambda);
}

// The set-up and a reopened file replace lambda; the balance slider follows, so that it
// never shows a value the run does not use. Not a move of the user's: no slot runs.
void gl_widget::show_lambda_in_use(float lambda) {
  if (balance_slider == nullptr) return;
  const QSignalBlocker quiet(balance_slider);
  balance_slider->setValue(static_cast<int>(static_cast<float>(balance_slider->maximum()) * lambda));
}

// Network, selection, constraint sets and pick index emptied.
void gl_widget::clear_drawing() {
  run_end_done_ = false;
  memory_failure_.clear();
  network.clear();
  must_split.clear();
  must_merge.clear();
  fixed_curves.clear();
  selection.clear();
  pick_index.clear();
}

void gl_widget::rebuild_pick_index() { pick_index = build_pick_index(network); }

void gl_widget::show_input_image() {
  // The view's keys work on the new drawing at once (a hidden or inactive window has no
  // focus to give).
  if (isVisible() && isActiveWindow()) setFocus();
  resizeGL(width(), height());
  if (gl_ready_) {
    makeCurrent();
    Image_tex* image = make_image_tex(input_image, "input_image", 0.9f);
    if (alpha_sliders.size() > input_slider) alpha_sliders[input_slider]->set_target(&image->alpha);
  }
  updateGL();
}

// ---- opening -----------------------------------------------------------------------

void gl_widget::open_file(bool ask_for_new_file) {
  // Asked before anything is stopped: a cancelled dialog leaves the drawing, its network
  // and its run as they were (a run goes on, a pause holds).
  std::string path = image_path;
  if (ask_for_new_file) path = ask_for_image();
  if (path.empty()) return;
  std::cout << "Open file:" << std::endl;
  // Read beside the current drawing, which a sketch too large for the memory left keeps.
  cv::Mat sketch;
  std::string advice, refusal;
  if (!within_memory([&] { refusal = read_sketch_to_trace(path, sketch, advice); })) {
    report(parentWidget(), "Not enough memory to open the sketch " + path + "." + keeps_drawing);
    return;
  }
  stop_current_drawing();
  // Before the image is replaced: the old worker's first step reads it.
  join_worker_threads();
  pending_iteration = -1;
  pending_lambda = -1;
  image_path = path;
  image_stem = QFileInfo(QString::fromStdString(path)).completeBaseName().toStdString();
  set_current_sketch(image_stem);
  reset_worker();
  if (!refusal.empty()) {
    drop_drawing(refusal);
    return;
  }
  input_image = sketch;
  sketch.release();
  // Only a drawing that is traced gets its folders: a refused one would leave them empty.
  create_output_folders();
  std::cout << image_path << std::endl << std::endl;
  if (!within_memory([this] { show_input_image(); })) {
    drop_drawing("Not enough memory to show the sketch " + image_path + ". Nothing is opened.");
    return;
  }
  // Read before the extraction starts, which may take long on what the threshold takes
  // for ink; opening another sketch stops it.
  if (!advice.empty()) report(parentWidget(), advice + ".\nThe extraction goes on with this threshold.");
  worker.go = false;
  worker.rows = input_image.rows;
  worker.cols = input_image.cols;
  start_worker_at_its_step();
  show_status("Opened the sketch " + image_path + ".");
}

void gl_widget::open_graph() {
  // Asked first, as for a sketch: cancelling keeps the current drawing.
  const QString answer = QFileDialog::getOpenFileName(parentWidget(), tr("Open File"), start_folder(),
                                                      tr("Graph (*.graph *.graph);;All (*.*)"));
  if (answer.isEmpty()) return;
  const std::string path = answer.toStdString();
  // Read once on scratch records beside the current drawing, which a file too large for
  // the memory left keeps.
  if (!graph_fits_in_memory(path)) {
    report(parentWidget(), "Not enough memory to open the graph file " + path + "." + keeps_drawing);
    return;
  }
  stop_current_drawing();
  join_worker_threads();
  pending_iteration = -1;
  pending_lambda = -1;
  reset_worker();

  std::string stored_path, stored_stem;
  std::string problem, why;
  if (!within_memory([&] {
        problem = read_graph_file(path, stored_path, stored_stem);
        if (problem.empty() && !load_sketch(stored_path.c_str(), &input_image, &why))
          problem = "Cannot read the image " + stored_path + " of the graph file " + path + ": " + why + ".";
        // The layers' windows and the region image are cut from the image the file was saved with.
        else if (problem.empty() && (input_image.rows != worker.rows || input_image.cols != worker.cols))
          problem =
              "The sketch " + stored_path + " of the graph file " + path + " has changed since the drawing was saved.";
      }))
    problem = "Not enough memory to open the graph file " + path + ".";
  if (!problem.empty()) {
    drop_drawing(problem + " Nothing is opened.");
    return;
  }
  image_path = stored_path;
  image_stem = stored_stem;
  set_current_sketch(image_stem);
  create_output_folders();
  // The file holds no region image, and the extraction steps paint into one of the input
  // image's size: a drawing saved before its regions were shown resumes on a blank one.
  // Past that step nothing shows it any more. It is held in the bytes it shows.
  if (worker.step <= 5)
    region_image = cv::Mat(input_image.size(), CV_8UC3, cv::Scalar(0, 0, 0));
  else
    region_image = cv::Mat(0, 0, CV_32FC3);

  for (layer_graph& lg : network) lg.fit_joined_curves();
  iteration_slider->setValue(worker.optimiser.k);
  std::cout << image_path << std::endl;
  show_input_image();
  show_initial_curves();
  rebuild_pick_index();
  if (worker.step > 10) {
    // Past the optimiser's set-up: as after Open Sketch, the run waits for Optimize, and
    // the sliders act on it.
    set_optimiser_controls(worker.optimiser.nb_it, worker.optimiser.lambda);
    const QSignalBlocker quiet(iteration_slider);
    iteration_slider->setValue(worker.optimiser.k);
    connect(&worker, SIGNAL(job_end()), this, SLOT(on_thread_end()));
    paused = false;
    // Optimize and the iteration slider start no run on it (whatever count the file held).
    if (!holds_fragments(network))
      show_status(path + ": the curve network holds no fragment: nothing to optimise");
    else
      show_status("Opened the graph " + path + ".");
    // A finished run shows its result as its end did.
    if (holds_fragments(network) && run_has_ended()) show_refined_curves();
    return;
  }
  worker.go = true;
  start_worker_at_its_step();
  show_status("Opened the graph " + path + ".");
}

// Button back to "Optimize", worker told to stop, nothing drawn, optimiser controls
// disconnected (the next set-up connects them again).
void gl_widget::stop_current_drawing() {
  if (optimize_button != nullptr) optimize_button->setText("Optimize");
  request_worker_stop();
  view_transforms.clear();
  draw_list.clear();
  release_region_texture();
  disconnect_optimiser_controls();
}

// The last drawing's regions are not shown again (step 5 of the next one refreshes the
// drawable): their texture's pixels go now, not after the next extraction's largest step.
void gl_widget::release_region_texture() {
  auto found = scene.find("img_region_color_border");
  if (!gl_ready_ || found == scene.end()) return;
  makeCurrent();
  static_cast<Image_tex*>(found->second)->image->release_pixels();
}

// Loads the sketch at path into `sketch` and judges its ink as the batch program does.
// Returns why the drawing is not opened (the reason load_sketch gives, a sketch all ink, a
// sketch without ink), or "" with `advice` set when most of it is ink under the threshold.
std::string gl_widget::read_sketch_to_trace(const std::string& path, cv::Mat& sketch, std::string& advice) {
  const std::string refused = " Nothing is opened.";
  std::string why;
  if (!load_sketch(path.c_str(), &sketch, &why)) return "Cannot read the image " + path + ": " + why + "." + refused;
  const sketch_ink_check ink = check_sketch_ink(sketch, read_ink_threshold(), path);
  advice = ink.advice;
  if (!ink.all_ink.empty()) return (ink.advice.empty() ? "" : ink.advice + ".\n") + ink.all_ink + "." + refused;
  if (!ink.no_ink.empty()) return ink.no_ink + "." + refused;
  return {};
}

std::string gl_widget::ask_for_image() {
  const QString answer = QFileDialog::getOpenFileName(parentWidget(), tr("Open File"), start_folder(),
                                                      tr("Images (*.png *.jpg);;All (*.*)"));
  return answer.toStdString();
}

// The output root, the image's folder in it and the folders of the end-of-run pictures;
// failures are ignored (the writers then say which file they could not create).
void gl_widget::create_output_folders() {
  QDir().mkdir(QString::fromStdString(output_root));
  QDir().mkdir(QString::fromStdString(output_root + image_stem));
  for (const char* folder : {"tmp/recuit_end", "tmp/recuit_final_snap"}) {
    std::error_code ec;
    std::filesystem::create_directories(output_root + folder, ec);
  }
}

// Reads a .graph file: its image path and stem, its layer graphs into the network and
// its worker block into the worker. Returns an empty text, or what went wrong, naming
// the file.
std::string gl_widget::read_graph_file(const std::string& path, std::string& stored_path, std::string& stored_stem) {
  return read_graph_records(path, network, worker, stored_path, stored_stem);
}

namespace {

std::string read_graph_records(const std::string& path, curve_network& network, data_thread& worker,
                               std::string& stored_path, std::string& stored_stem) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "Cannot open the graph file " + path + ".";
  try {
    read_string(in, stored_path);
    read_string(in, stored_stem);
    const std::uint64_t nb_layer = read_count(in);
    std::vector<std::vector<double>> saved_errors;
    for (std::uint64_t i = 0; i < nb_layer; ++i) network.emplace_back(in, saved_errors.emplace_back());
    worker.load(in);
    // Past the first slice the optimiser may have changed degrees, which the file keeps
    // only through the curves' fit errors; the drawing goes on with the degrees it had.
    if (worker.step > 11) {
      auto errors = saved_errors.begin();
      for (layer_graph& lg : network) restore_saved_degrees(lg, *errors++);
    }
  } catch (const std::exception& e) {
    if (is_out_of_memory(e)) throw;  // not the file's fault
    return "Cannot read the graph file " + path + " (" + e.what() + ").";
  }
  return {};
}

// Whether the drawing of a .graph file fits beside the current one: its records are read
// into scratch ones that go at once. A file that cannot be read fits (its reading says why).
bool graph_fits_in_memory(const std::string& path) {
  return within_memory([&] {
    curve_network network;
    cv::Mat image, regions;
    data_thread scratch(&network, &image, &regions);
    std::string stored_path, stored_stem;
    read_graph_records(path, network, scratch, stored_path, stored_stem);
  });
}

}  // namespace

// An empty drawing and a worker at step 0 that confirms nothing yet.
void gl_widget::reset_worker() {
  clear_drawing();
  disconnect(&worker, SIGNAL(job_end()), this, SLOT(on_thread_end()));
  worker.reset();
}

// Nothing half-loaded stays behind: the view is empty, and the user is told why.
void gl_widget::drop_drawing(const std::string& problem) {
  reset_worker();
  forget_image();
  report(parentWidget(), problem);
}

void gl_widget::forget_image() {
  input_image = cv::Mat(0, 0, CV_32FC1);
  image_path.clear();
  image_stem.clear();
  clear_current_sketch();
  resizeGL(width(), height());
  updateGL();
}

void gl_widget::show_initial_curves() {
  if (!gl_ready_) return;
  makeCurrent();
  const std::array<float*, 4> alphas = build_curve_drawables(&vbo_initial, "bezier_ctp_ini", 0.8f, red);
  if (alpha_sliders.size() > initial_slider) alpha_sliders[initial_slider]->set_targets(alphas);
}

void gl_widget::start_worker_at_its_step() {
  connect(&worker, SIGNAL(job_end()), this, SLOT(on_thread_end()));
  // A pause left from the last drawing would hold this one after its first step.
  paused = false;
  worker.stop = false;
  start_worker_thread();
}

// ---- saving ------------------------------------------------------------------------

void gl_widget::save_graph() {
  // Without a drawing the file would hold no image path and could not be reopened.
  if (image_path.empty()) {
    show_status("Nothing to save: open a sketch or a graph first.");
    return;
  }
  if (drawing_held()) return;
  const QString answer = QFileDialog::getSaveFileName(parentWidget(), tr("Save File"), start_folder(),
                                                      tr("Graph (*.graph *.graph);;All (*.*)"));
  if (answer.isEmpty()) return;
  // The open dialog lists only names ending in ".graph".
  const std::string path = answer.toStdString() + (QFileInfo(answer).suffix().isEmpty() ? ".graph" : "");
  bool written = false;
  std::string why;
  if (!with_worker_waiting([&] { written = write_graph_file(path, why); })) return;
  if (!written)
    report(parentWidget(), "Cannot write the graph file " + path + ". " + why + "; nothing on disk was changed.");
  else
    show_status("Saved the drawing to " + path + ".");
}

// A step in progress changes the network and the layers: let it finish, and hold the
// worker at its confirmation until the file is written.
void gl_widget::wait_for_worker_to_wait() {
  if (threads.empty() || !worker_released_) return;
  holding_for_save_ = true;
  while (worker_released_ && !threads.empty()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// A save that fails half way must not cost the drawing saved there before.
bool gl_widget::write_graph_file(const std::string& path, std::string& why) {
  replacing_file file(path);
  std::ostream& out = file.out();
  write_string(out, image_path);
  write_string(out, image_stem);
  write_count(out, network.size());
  for (const layer_graph& lg : network) lg.write(out);
  worker.save(out);
  const bool written = file.commit();
  why = file.error();
  return written;
}

// ---- the handshake -----------------------------------------------------------------

void gl_widget::on_change_nb_iteration(int n) {
  pending_iteration = n;
  if (drawing_held()) return;
  // Only a drawing past the optimiser's set-up can continue its run.
  if (threads.empty() && worker.step > 10 && !input_image.empty() && holds_fragments(network))
    start_optimiser_slices();
}

bool gl_widget::run_has_ended() const {
  return worker.step > 10 && worker.optimiser.k >= worker.optimiser.nb_it;
}

bool gl_widget::resume_run() {
  paused = false;
  if (threads.empty()) {
    // A drawing reopened past the set-up, or a finished run: a worker starts only when
    // iterations are left.
    if (input_image.empty() || worker.step <= 10 || !holds_fragments(network)) return false;
    if (run_has_ended()) {
      if (run_end_done_) return false;
      end_finished_run();
      return true;
    }
    if (worker.step == 11) worker.step = 12;
    start_optimiser_slices();
    return true;
  }
  if (worker.step == 11) worker.step = 12;
  if (optimize_button != nullptr) optimize_button->setText("Pause");
  // A worker inside a step is released by that step's own confirmation; only one that
  // waits is released here.
  if (!worker_released_) on_thread_end();
  return true;
}

void gl_widget::pause_run() {
  paused = true;
  if (optimize_button != nullptr) optimize_button->setText("Optimize");
}

void gl_widget::start_optimiser_slices() {
  paused = false;
  worker.stop = false;
  if (optimize_button != nullptr) optimize_button->setText("Pause");
  start_worker_thread();
}

void gl_widget::on_thread_end() {
  // The worker has finished a step and waits (or is about to).
  worker_released_ = false;
  // The stop of this drawing was asked for (a new drawing, Exit): nothing of it is
  // finished or written any more.
  if (worker.stop) return;
  if (worker.out_of_memory) {
    end_step_out_of_memory();
    return;
  }
  if (holding_for_save_) return;
  if (worker.step == 11) return;
  if (paused) {
    print_energy_and_curve_count();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(worker.mtx);
    apply_pending_values();
    if (!worker.stop) {
      if (worker.optimiser.k == worker.optimiser.nb_it)
        end_run_under_lock();
      else
        refresh_step_display(worker.step - 1);
    }
    worker.go = true;
    worker_released_ = !worker.stop;
    worker.cv.notify_all();
  }
  updateGL();
  if (!worker.stop) return;
  std::string why;
  if (finish_run(why))
    show_status("The run has ended: its result is written to " + result_svg_path() + ".");
  else
    show_status("The run has ended, but its result could not be written to " + result_svg_path() + ": " + why + ".");
}

bool gl_widget::drawing_held() {
  if (memory_failure_.empty()) return false;
  show_status("This drawing ran out of memory and is held: open a smaller sketch, or close other programs and open it again.");
  return true;
}

void gl_widget::end_step_out_of_memory() {
  const int failed_step = worker.step;
  worker.out_of_memory = false;
  holding_for_save_ = false;
  join_worker_threads();
  paused = false;
  if (optimize_button != nullptr) optimize_button->setText("Optimize");
  // Nothing goes on with the held drawing: its raster layers, the largest part, go now,
  // so that the next drawing has their room. The view draws from its own buffers.
  worker.layers.clear();
  region_image.release();
  const std::string stage = failed_step <= 9    ? "extraction step " + std::to_string(failed_step)
                            : failed_step == 10 ? "the optimiser's set-up"
                                                : "the optimisation";
  // Most of the page taken for ink is the usual reason; its advice names a threshold.
  std::string advice;
  within_memory([&] { advice = mostly_ink_advice(input_image, read_ink_threshold(), image_path); });
  memory_failure_ = "Not enough memory to trace the sketch " + image_path + " (" + stage + ")." +
                    (advice.empty() ? "" : "\n" + advice + ".") +
                    "\nThe run is stopped and the view keeps what it showed; open a smaller sketch, or close "
                    "other programs and open this one again.";
  report(parentWidget(), memory_failure_);
}

void gl_widget::apply_pending_values() {
  if (pending_iteration != -1) {
    worker.optimiser.k = pending_iteration;
    pending_iteration = -1;
  }
  if (pending_lambda != -1) {
    worker.optimiser.lambda = pending_lambda;
    pending_lambda = -1;
  }
  // The slider follows the counter; that echo is no choice of the user's.
  const QSignalBlocker quiet(iteration_slider);
  iteration_slider->setValue(worker.optimiser.k);
}

void gl_widget::print_energy_and_curve_count() const {
  std::size_t nb_curve = 0;
  for (const layer_graph& lg : network) nb_curve += lg.curves.size();
  std::cout << std::endl << std::endl << "Energy: " << worker.optimiser.E << std::endl
            << "Number of curves:" << nb_curve << std::endl << std::endl;
}

void gl_widget::refresh_step_display(int finished_step) {
  if (gl_ready_) makeCurrent();
  switch (finished_step) {
    case 5:
      if (gl_ready_) {
        Image_tex* regions = make_image_tex_colour(region_image, "img_region_color_border", 0.84f);
        if (alpha_sliders.size() > region_slider) alpha_sliders[region_slider]->set_target(&regions->alpha);
        // The texture is what is shown from now on; the later steps' painting into the
        // picture (the nodes of step 6) is never shown, and the picture holds 12 bytes a
        // pixel of the doubled sketch through the network's build.
        region_image.release();
      }
      break;
    case 9:
      for (layer_graph& lg : network) lg.fit_joined_curves();
      show_initial_curves();
      rebuild_pick_index();
      break;
    default:
      if (finished_step >= 10) show_refined_curves();
      break;
  }
}

// Whichever refresh makes the set first (a drawing reopened past its first slice makes
// it at a later one), it is drawn blue over the initial curves and follows Output.
void gl_widget::show_refined_curves() {
  if (!gl_ready_) return;
  makeCurrent();
  const std::array<float*, 4> alphas = build_curve_drawables(&vbo_result, "bezier_ctp_rec", 0.78f, blue);
  if (alpha_sliders.size() > output_slider) alpha_sliders[output_slider]->set_targets(alphas);
}

// ---- the end of a run --------------------------------------------------------------

// Under the worker's mutex, the worker waiting.
void gl_widget::end_run_under_lock() {
  refit_at_allowed_degrees(network);  // a box unticked after the last slice
  for (layer_graph& lg : network) lg.fit_joined_curves();
  for (layer_graph& lg : network) {
    lg.fit_joined_curves();
    lg.slide_one_lone_end();
    lg.slide_both_lone_ends();
    lg.slide_one_lone_end();
    lg.slide_both_lone_ends();
  }
  show_refined_curves();
  worker.stop = true;
  network.write_recuit_end("");
  print_fit_statistics();
}

void gl_widget::print_fit_statistics() const {
  float sum = 0, sum_sqrt = 0;
  std::size_t nb_curve = 0;
  for (const layer_graph& lg : network) {
    for (const curve& c : lg.curves) {
      ++nb_curve;
      const float e = static_cast<float>(c.mean_error);
      if (!std::isfinite(e)) continue;
      sum += e;
      const float r = std::sqrt(e);
      if (std::isfinite(r)) sum_sqrt += r;
    }
  }
  const float n = static_cast<float>(nb_curve);
  std::cout << "U_data=" << sum << " with /nb_curve: " << sum / n << std::endl;
  std::cout << "U_data_sqrt=" << sum_sqrt << " with /nb_curve: " << sum_sqrt / n << std::endl;
}

// A drawing reopened after its run had ended: that end, passes and result files, runs
// now, on this thread (there is no worker to hold).
void gl_widget::end_finished_run() {
  end_run_under_lock();
  updateGL();
  std::string why;
  if (finish_run(why))
    show_status("The run had reached its last iteration: its result is written to " + result_svg_path() + ".");
  else
    show_status("The run had reached its last iteration, but its result could not be written to " +
                result_svg_path() + ": " + why + ".");
}

std::string gl_widget::result_svg_path() const {
  return output_root + image_stem + "/" + image_stem + "_bezier_end.svg";
}

// After the worker was released with stop set.
bool gl_widget::finish_run(std::string& why) {
  if (optimize_button != nullptr) optimize_button->setText("Optimize");
  for (layer_graph& lg : network) lg.refit_curves();
  const float e1 = network.energy_recomputed(0.99f, 1e-5f);
  for (layer_graph& lg : network) {
    lg.fit_joined_curves();
    lg.slide_one_lone_end();
    lg.slide_one_lone_end();
  }
  const float e2 = network.energy_recomputed(0.99f, 1e-5f);
  std::cout << "energy : " << e1 << " " << e2 << std::endl;
  for (layer_graph& lg : network) lg.fit_and_slide_ends();
  const bool written = write_curves_svg(network, result_svg_path(), false, &why);
  for (std::thread& t : threads) t.join();
  print_energy_and_curve_count();
  threads.clear();
  worker_released_ = false;
  run_end_done_ = true;
  return written;
}

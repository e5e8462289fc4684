#pragma once
// The OpenGL view of the interactive program and the hub through which everything else
// reaches the current drawing: it owns the curve network, the worker with its thread,
// the images, the drawables and GL buffers, the selection and the constraint sets, and
// it is the settings record (view_settings) that the pipeline reads through
// main_gl_widget. One instance, made by the main window, which points main_gl_widget at
// it once the constructor has returned. GUI thread only; the worker reads the settings
// without a lock.
//
// Files: gl_widget.cpp (construction, setter slots, teardown), gl_widget_files.cpp
// (opening, saving, the step handshake), gl_widget_drawing.cpp (GL set-up, frames,
// drawables, camera), gl_widget_picking.cpp (mouse, wheel, keys, selection).

// GLEW must come before any GL header that Qt pulls in.
#include "gl/fbo.h"
#include "gl/gl_bezier.h"
#include "gl/image_tex.h"
#include "gl/object.h"
#include "gl/vbo.h"

#include <array>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <QGLWidget>
#include <glm/glm.hpp>
#include <opencv2/core/mat.hpp>

#include "app/data_thread.h"
#include "app/pick_index.h"
#include "graph/curve_network.h"
#include "pipeline/view_settings.h"

class QDoubleSpinBox;
class QKeyEvent;
class QMouseEvent;
class QPushButton;
class QSlider;
class QSpinBox;
class QWheelEvent;
class q_slider_change_alpha;

// The settings of view_settings (allowed degrees, degree penalty, constraint sets,
// open-stroke settings, layer options, boundary image, image stem, pending slider
// values) are members of the view through that base.
class gl_widget : public QGLWidget,
                  public base_object<gl_widget, repere_origin, draw_null>,
                  public view_settings {
  Q_OBJECT

 public:
  FBO fbo;                  // off-screen frame buffer: "color" texture, "depth" render buffer
  VBO vbo_images;           // quad arrays of the image drawables (static)
  VBO vbo_initial;          // arrays of the initial curves (static)
  VBO vbo_result;           // arrays of the optimised curves (dynamic)
  VBO vbo_selected;         // arrays of the selected curves (dynamic)
  // The four Display sliders, appended by the main window: Input, Region extracted,
  // Initial curves, Output.
  std::vector<q_slider_change_alpha*> alpha_sliders;
  curve_network network;    // the drawing's network
  data_thread worker;       // built on network, input_image and region_image
  float widget_width = 0;   // widget size in pixels, from initializeGL and resizeGL
  float widget_height = 0;
  float image_view_width;   // viewport size in pixels (keeps the image's aspect)
  float image_view_height;
  float view_scale_x = 1;   // widget size / viewport size, for mouse moves
  float view_scale_y = 1;
  int last_mouse[2] = {0, 0};  // last pointer position, widget pixels
  std::vector<object*> draw_list;          // drawn in order; not owned
  std::map<std::string, object*> scene;    // named drawables, owned
  std::vector<repere_2d*> view_transforms;  // pan and zoom targets of the registered drawables
  std::vector<std::thread> threads;  // at most one worker thread
  cv::Mat input_image;      // the sketch, twice its size, one float channel (0 ink, 1 paper)
  cv::Mat region_image;     // region colours painted by the extraction, three channels BGR, bytes
  float zoom = 0.5f;        // scale of every drawable
  int zoom_out_steps = 2;   // zoom = 1 / zoom_out_steps below 1
  float pan_x = 0;          // translation of every drawable, normalised device units
  float pan_y = 0;
  std::string snapshot_prefix;  // prefix of the T and Y snapshot files
  float viewport[4] = {0, 0, 0, 0};  // x, y, width, height of the GL viewport
  pick_index_map pick_index;  // what picking searches (rebuilt after step 9 and .graph)
  // Picked (layer graph, fragment) pairs in picking order; each pair is two entries.
  std::vector<std::pair<layer_graph*, f_curve*>> selection;
  QPushButton* optimize_button = nullptr;  // set by the main window
  QSlider* balance_slider = nullptr;       // set by the main window; shows lambda in use
  QSlider* iteration_slider;               // range and value set by the optimiser's set-up
  QDoubleSpinBox* lambda_spin_box;         // hidden; set by the optimiser's set-up
  QSpinBox* region_spin_box;               // region parameter 1 (least depth)
  QSpinBox* open_curves_spin_box;          // nb_edge_one_node
  QSpinBox* open_length_spin_box;          // size_edge_one_node
  std::string image_path;   // path of the opened image
  int interaction_mode = 0;  // 0 split, 1 merge (and after Optimize), 2 freeze
  bool paused = false;      // the next confirmation holds the worker

  // Reads the configuration files (view_config.h) and makes the five controls, with
  // the given parent (the window owns and places them).
  explicit gl_widget(QWidget* parent = nullptr);
  // Stops and joins a worker that still runs, then deletes the drawables and empties
  // the shader registry while the GL context exists.
  ~gl_widget() override;

  // Under the worker's mutex: stop and go set, waiters woken; then every worker thread
  // joined and the list emptied. Nothing happens without a thread.
  void stop_and_join_worker();

  // "Optimize": clears the pause and lets the run go on: a waiting worker is released, a
  // worker inside a step goes on at its confirmation, and without a worker one is started
  // when iterations are left. A drawing reopened after its run had ended gets that end
  // now (passes, result files, a status note). False when there is nothing to run.
  bool resume_run();
  // Past the optimiser's set-up with the iteration count reached.
  bool run_has_ended() const;
  // "Pause": the next confirmation holds the worker.
  void pause_run();
  // True, with the status bar saying why, when a worker step of this drawing ran out of
  // memory: the drawing may be half changed, so no run, edit or save goes on with it.
  bool drawing_held();

  // A note for the user: one line on standard output and, in the main window, the
  // status bar for a few seconds.
  void show_status(const std::string& text);

  // Drawables showing the result of the finished step s (1 to 10 extraction and set-up,
  // 11 the first slice, later slices); called by on_thread_end and apply_selection.
  void refresh_step_display(int finished_step);

  // Drawing (gl_widget_drawing.cpp). Factories make a drawable under a name or refresh
  // the one made before (colour, depth and opacity stay), copy zoom and pan into it and
  // register it in draw_list and view_transforms once.
  void draw_scene(glm::mat4& m);
  gl_bezier_deg_1* make_bezier_deg_1(const std::string& name, VBO* buffer, float depth,
                                     const glm::vec3& colour, int count);
  gl_bezier_deg_2* make_bezier_deg_2(const std::string& name, VBO* buffer, float depth,
                                     const glm::vec3& colour, int count);
  gl_bezier_deg_3* make_bezier_deg_3(const std::string& name, VBO* buffer, float depth,
                                     const glm::vec3& colour, int count);
  gl_bezier_node* make_bezier_node(const std::string& name, VBO* buffer, float depth,
                                   const glm::vec3& colour, int count, float ratio);
  // One float channel, values 0..1 / three channels BGR, floats or bytes, values 0..255;
  // on vbo_images.
  Image_tex* make_image_tex(const cv::Mat& image, const std::string& name, float depth);
  Image_tex* make_image_tex_colour(const cv::Mat& image, const std::string& name, float depth);
  // The four drawables name + "_1", "_2", "_3", "_node"; returns their alpha members
  // in that order.
  std::array<float*, 4> add_curve_drawables(const std::string& name, VBO* buffer, float depth,
                                          const glm::vec3& colour, int nb_cubic,
                                          int nb_quadratic, int nb_straight, int nb_node);
  // Fills buffer from network and calls add_curve_drawables.
  std::array<float*, 4> build_curve_drawables(VBO* buffer, const std::string& name, float depth,
                                            const glm::vec3& colour);
  // Fills buffer (vbo_selected) from selection and pick_index, then make_selected_drawable.
  gl_bezier_deg_3* update_selected_drawable(VBO* buffer);
  // "bezier_selected": green cubics at depth 0, two vertices per selection entry; repaints.
  gl_bezier_deg_3* make_selected_drawable(const std::string& name, VBO* buffer);
  // Copies zoom into s and (pan_x, pan_y) into t of every registered drawable.
  void apply_view_to_drawables();

  // Picking and constraints (gl_widget_picking.cpp): applies the selected pairs by
  // interaction_mode (0 split, 1 merge, 2 freeze), then empties the selection.
  void apply_selection();

  // ---- picking side: edits that must not race the worker (gl_widget_picking.cpp) ----
  // Runs edit on the GUI thread while the worker waits between steps: a worker inside a
  // step is held at its next confirmation, which runs once edit has returned. Calls nest;
  // only the outermost one holds and releases the worker.
  // False, with edit not run, when the drawing is held (drawing_held).
  bool with_worker_waiting(const std::function<void()>& edit);
  // ---- end of the picking side ----

 public slots:
  // Slots in this order (the meta-object table's indices 0 to 15).
  void on_change_nb_iteration(int n);
  void on_change_nb_lambda_1(double n);
  void on_change_nb_region(int n);
  void on_change_nb_edge_one_node(int n);
  void on_change_size_edge_one_node(int n);
  // true: asks for an image and starts the extraction on it; false: runs the
  // extraction again on the remembered image.
  void open_file(bool ask_for_new_file = true);
  // Asks for a .graph file, restores the drawing and the worker, resumes at its step.
  void open_graph();
  // Asks for a file name and writes the .graph file once the worker waits. Without a
  // drawing it says so (show_status) and writes nothing.
  void save_graph();
  void reopen_file();
  // The confirmation of a worker step (queued from job_end; also called by Optimize).
  void on_thread_end();
  // Repaints now.
  void update();
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 protected:
  // Remembers which key a press gave, for its release.
  void keyPressEvent(QKeyEvent* event) override;
  void initializeGL() override;
  void resizeGL(int w, int h) override;
  void paintGL() override;

 private:
  // Opening and the handshake (gl_widget_files.cpp).
  void request_worker_stop();
  void join_worker_threads();
  void disconnect_optimiser_controls();
  void stop_current_drawing();
  void release_region_texture();
  // The dialog's answer; empty when cancelled.
  std::string ask_for_image();
  std::string read_sketch_to_trace(const std::string& path, cv::Mat& sketch, std::string& advice);
  void create_output_folders();
  std::string read_graph_file(const std::string& path, std::string& stored_path, std::string& stored_stem);
  void reset_worker();
  void drop_drawing(const std::string& problem);
  void show_initial_curves();
  // "bezier_ctp_rec" from the network, blue at depth 0.78, bound to the Output slider.
  void show_refined_curves();
  void start_worker_at_its_step();
  void clear_drawing();
  void forget_image();
  void apply_pending_values();
  void print_energy_and_curve_count() const;
  void print_fit_statistics() const;
  void start_worker_thread();
  // A worker for optimiser slices from the current step; the button reads "Pause".
  void start_optimiser_slices();
  // The worker's step ran out of memory and its loop ended: joined, the user told, the
  // drawing held as the view showed it before that step.
  void end_step_out_of_memory();
  void end_run_under_lock();
  // The passes after the run and its result picture; false, with why set, when the
  // result could not be written.
  bool finish_run(std::string& why);
  void end_finished_run();
  // <output root>/<stem>/<stem>_bezier_end.svg
  std::string result_svg_path() const;
  void rebuild_pick_index();
  void show_input_image();
  void set_optimiser_controls(int nb_it, float lambda);
  void show_lambda_in_use(float lambda);
  void wait_for_worker_to_wait();
  // The whole .graph file in place of path; false, with why set and path untouched, when
  // it could not be written.
  bool write_graph_file(const std::string& path, std::string& why);

  // True from a release of the worker (go set while a thread exists) to the next
  // confirmation: the worker may be inside a step, so its data are not consistent.
  bool worker_released_ = false;
  // The end of this drawing's run has been done (its result written) in this session.
  bool run_end_done_ = false;
  // What the user was told when a worker step of this drawing ran out of memory; empty
  // while none did.
  std::string memory_failure_;
  // save_graph waits for the worker: the next confirmation holds it.
  bool holding_for_save_ = false;
  // Native scan code of each key held down -> the Qt key its press gave.
  std::map<quint32, int> pressed_keys_;
  // GL entry points exist (initializeGL got past GLEW).
  bool gl_ready_ = false;
  // Holds the controls when the view has no parent widget (tests): deleted with the view.
  std::unique_ptr<QWidget> control_holder_;
};

// The view that main_gl_widget points at, or null (no view, or a plain settings record
// as in the pipeline tests).
gl_widget* main_view();

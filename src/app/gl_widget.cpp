// The view's construction, its plain setter slots and its teardown.
#include "app/gl_widget.h"

#include <algorithm>

#include <QDoubleSpinBox>
#include <QMetaObject>
#include <QSlider>
#include <QSpinBox>
#include <glm/gtc/matrix_transform.hpp>

#include "app/view_config.h"
#include "gl/shader_registry.h"

namespace {

// Views alive now, to tell a view from a plain settings record behind main_gl_widget.
std::vector<gl_widget*>& live_views() {
  static std::vector<gl_widget*> views;
  return views;
}

QGLFormat view_format() { return QGLFormat(QGL::DoubleBuffer | QGL::DepthBuffer, 0); }

// Sets the value first, so that making the connection triggers no slot.
void set_up_spin_box(QSpinBox* box, int maximum, int minimum, int value) {
  box->setSingleStep(1);
  box->setRange(minimum, maximum);
  box->setValue(value);
}

}  // namespace

gl_widget* main_view() {
  for (gl_widget* v : live_views())
    if (static_cast<view_settings*>(v) == main_gl_widget) return v;
  return nullptr;
}

gl_widget::gl_widget(QWidget* parent)
    : QGLWidget(view_format(), parent, nullptr),
      vbo_images(GL_ARRAY_BUFFER, GL_STATIC_DRAW),
      vbo_initial(GL_ARRAY_BUFFER, GL_STATIC_DRAW),
      vbo_result(GL_ARRAY_BUFFER, GL_DYNAMIC_DRAW),
      vbo_selected(GL_ARRAY_BUFFER, GL_DYNAMIC_DRAW),
      worker(&network, &input_image, &region_image, nullptr),
      input_image(0, 0, CV_32FC1),
      region_image(0, 0, CV_32FC3) {
  live_views().push_back(this);
  setMouseTracking(true);
  // The keys of the view (+, -, arrows, T, Y) reach it only with the keyboard focus,
  // which a click into it gives (and opening a drawing, below).
  setFocusPolicy(Qt::StrongFocus);

  // The camera: back from the scene, then tilted about x and y.
  model = glm::mat4(1.0f);
  float x = 0, y = 0, z = -4;
  mat4_translate(model, x, y, z);
  z = -12;
  mat4_translate(model, x, y, z);
  model = glm::rotate(model, 0.5235988f, glm::vec3(1, 0, 0));
  model = glm::rotate(model, -0.5235988f, glm::vec3(0, 1, 0));
  model = glm::rotate(model, 0.0f, glm::vec3(0, 0, 1));

  image_view_width = static_cast<float>(width());
  image_view_height = static_cast<float>(height());
  view_scale_x = 1;
  view_scale_y = 1;

  worker.region_params = read_view_config(*this);

  // The optimiser's set-up runs on the worker thread; the controls are set on ours,
  // queued ahead of the confirmation of that step.
  on_optimiser_setup = [this](int nb_it, float lambda) {
    QMetaObject::invokeMethod(
        this, [this, nb_it, lambda] { set_optimiser_controls(nb_it, lambda); }, Qt::QueuedConnection);
  };

  QWidget* owner = parent;
  if (owner == nullptr) {
    control_holder_ = std::make_unique<QWidget>();
    owner = control_holder_.get();
  }
  region_spin_box = new QSpinBox(owner);
  set_up_spin_box(region_spin_box, 100, 1, worker.region_params.least_depth);
  connect(region_spin_box, SIGNAL(valueChanged(int)), this, SLOT(on_change_nb_region(int)));
  open_curves_spin_box = new QSpinBox(owner);
  set_up_spin_box(open_curves_spin_box, 1000, 0, nb_edge_one_node);
  connect(open_curves_spin_box, SIGNAL(valueChanged(int)), this, SLOT(on_change_nb_edge_one_node(int)));
  open_length_spin_box = new QSpinBox(owner);
  set_up_spin_box(open_length_spin_box, 1000, 0, size_edge_one_node);
  connect(open_length_spin_box, SIGNAL(valueChanged(int)), this, SLOT(on_change_size_edge_one_node(int)));
  iteration_slider = new QSlider(Qt::Horizontal, owner);
  lambda_spin_box = new QDoubleSpinBox(owner);
}

gl_widget::~gl_widget() {
  // However the window was closed, no worker may outlive the data it works on.
  stop_and_join_worker();
  on_optimiser_setup = nullptr;
  if (gl_ready_) makeCurrent();

  draw_list.clear();
  view_transforms.clear();
  for (auto& named : scene) delete named.second;
  scene.clear();
  shader_registry.clear();
  pick_index.clear();

  live_views().erase(std::find(live_views().begin(), live_views().end(), this));
}

void gl_widget::stop_and_join_worker() {
  if (threads.empty()) return;
  request_worker_stop();
  join_worker_threads();
}

void gl_widget::on_change_nb_lambda_1(double n) { pending_lambda = static_cast<float>(n); }

void gl_widget::on_change_nb_region(int n) { worker.region_params.least_depth = n; }

void gl_widget::on_change_nb_edge_one_node(int n) { nb_edge_one_node = n; }

void gl_widget::on_change_size_edge_one_node(int n) { size_edge_one_node = n; }

void gl_widget::reopen_file() { open_file(false); }

void gl_widget::update() { updateGL(); }

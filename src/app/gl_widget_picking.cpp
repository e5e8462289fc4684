// The view's mouse, wheel and keys: pan, zoom, snapshots and picking, and the edits and
// constraints that the Split, Merge and Freeze buttons make of the picks.

#include <cmath>
#include <cstdlib>
#include <iostream>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include "app/gl_widget.h"
#include "app/pick_search.h"
#include "app/selection_edits.h"
#include "app/view_zoom.h"

bool gl_widget::with_worker_waiting(const std::function<void()>& edit) {
  if (drawing_held()) return false;
  // Only the outermost call holds and releases the worker.
  const bool hold = !threads.empty() && worker_released_;
  if (hold) wait_for_worker_to_wait();
  if (drawing_held()) return false;  // the step waited for ran out of memory
  edit();
  if (hold && holding_for_save_) {
    holding_for_save_ = false;
    on_thread_end();  // the confirmation held back while editing
  }
  return true;
}

void gl_widget::mousePressEvent(QMouseEvent* event) {
  last_mouse[0] = event->x();
  last_mouse[1] = event->y();
  const bool picking = event->modifiers() == Qt::ControlModifier || event->button() == Qt::RightButton;
  // Before the first curves exist the worker may still be building the network.
  if (!picking || pick_index.empty()) return;
  const glm::vec2 p = pick_point(event->x(), event->y(), viewport, zoom, pan_x, pan_y,
                                 input_image.cols, input_image.rows);
  // A degenerate viewport (no image yet) gives no point to pick.
  if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
  const bool second_of_pair = selection.size() % 2 == 1;
  const selection_entry picked = second_of_pair ? pick_in_layer(selection.back().first, pick_index, p)
                                                : pick_in_all_layers(network, pick_index, p);
  if (!picked.second) return;
  selection.push_back(picked);
  if (second_of_pair) std::cout << "fc_selected filled" << std::endl;
  update_selected_drawable(&vbo_selected);
  if (selection.size() % 2 == 1 && interaction_mode == mode_freeze) {
    std::size_t frozen = 0;
    const bool froze = with_worker_waiting([&] { frozen = freeze_curves_of(selection.back().second, fixed_curves); });
    selection.clear();
    update_selected_drawable(&vbo_selected);
    // The pick shows nothing in the view: the status bar says what it did.
    const auto curves = [](std::size_t n) { return std::to_string(n) + (n == 1 ? " curve" : " curves"); };
    if (froze)
      show_status("Froze " + curves(frozen) + "; " + curves(fixed_curves.size()) + " frozen in all.");
  }
}

void gl_widget::mouseMoveEvent(QMouseEvent* event) {
  const float dx = (event->x() - last_mouse[0]) * view_scale_x / width() * 2;
  const float dy = (event->y() - last_mouse[1]) * view_scale_y / height() * 2;
  last_mouse[0] = event->x();
  last_mouse[1] = event->y();
  if (event->buttons() != Qt::LeftButton || event->modifiers() == Qt::ControlModifier) return;
  pan_x += dx / zoom;
  pan_y -= dy / zoom;
  apply_view_to_drawables();
  update();
}

void gl_widget::wheelEvent(QWheelEvent* event) {
  event->accept();
  const QPoint angle = event->angleDelta();
  if (std::abs(angle.x()) > std::abs(angle.y())) return;  // a horizontal wheel
  step_zoom(zoom, zoom_out_steps, angle.y() / 8 / 15);  // one step per notch of 120
  apply_view_to_drawables();
  update();
}

void gl_widget::keyPressEvent(QKeyEvent* event) {
  // The key as pressed: "+" is Shift and "=", and Shift may be let go first.
  pressed_keys_[event->nativeScanCode()] = event->key();
  QGLWidget::keyPressEvent(event);
}

void gl_widget::keyReleaseEvent(QKeyEvent* event) {
  int key = event->key();
  const auto pressed = pressed_keys_.find(event->nativeScanCode());
  if (pressed != pressed_keys_.end()) {
    if (event->nativeScanCode() != 0) key = pressed->second;
    pressed_keys_.erase(pressed);
  }
  switch (key) {
    case Qt::Key_Left: pan_x += 5 / widget_width / zoom; break;
    case Qt::Key_Right: pan_x -= 5 / widget_width / zoom; break;
    case Qt::Key_Up: pan_y -= 5 / widget_height / zoom; break;
    case Qt::Key_Down: pan_y += 5 / widget_height / zoom; break;
    // As one notch of the wheel: a zoom of 0 or below would show the drawing as a dot
    // or upside down.
    case Qt::Key_Plus: step_zoom(zoom, zoom_out_steps, 1); break;
    case Qt::Key_Minus: step_zoom(zoom, zoom_out_steps, -1); break;
    case Qt::Key_T:
      update();
      [[fallthrough]];
    case Qt::Key_Y:
      if (!gl_ready_) return;  // no frame buffer without GL entry points
      makeCurrent();
      fbo.save_texture(snapshot_prefix, "color");
      fbo.save_render_buffer(snapshot_prefix, "depth");
      return;
    default:
      return;
  }
  apply_view_to_drawables();
  update();
}

void gl_widget::apply_selection() {
  // The drawables read the network too, so they are refreshed before the worker goes on.
  with_worker_waiting([this] {
    apply_picked_pairs(selection, interaction_mode, *this);
    selection.clear();
    update_selected_drawable(&vbo_selected);
    refresh_step_display(worker.step - 1);
  });
  update();
}

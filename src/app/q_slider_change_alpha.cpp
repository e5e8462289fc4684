#include "app/q_slider_change_alpha.h"

#include "app/gl_widget.h"

namespace {

// Repaint the view and give it the keyboard focus back, so its keys keep working after
// the slider was moved.
void repaint_view() {
  gl_widget* view = main_view();
  if (view == nullptr) return;
  view->update();
  view->setFocus(Qt::OtherFocusReason);
}

}  // namespace

void q_slider_change_alpha::set_target(float* p) {
  disconnect(this, SIGNAL(valueChanged(int)), this, SLOT(on_alpha_change(int)));
  target = p;
  if (target != nullptr) *target = value() / 255.0f;
  reconnect();
}

void q_slider_change_alpha::set_targets(const std::array<float*, 4>& p) {
  disconnect(this, SIGNAL(valueChanged(int)), this, SLOT(on_alpha_change2(int)));
  targets = p;
  for (float* t : targets)
    if (t != nullptr) *t = value() / 255.0f;
  reconnect();
}

// Unique connections: a slider bound again and again (every opened drawing) still
// calls each slot once per move.
void q_slider_change_alpha::reconnect() {
  if (target != nullptr)
    connect(this, SIGNAL(valueChanged(int)), this, SLOT(on_alpha_change(int)), Qt::UniqueConnection);
  if (targets[0] != nullptr)
    connect(this, SIGNAL(valueChanged(int)), this, SLOT(on_alpha_change2(int)), Qt::UniqueConnection);
}

void q_slider_change_alpha::on_alpha_change(int value) {
  *target = value * (1.0f / 255.0f);
  repaint_view();
}

void q_slider_change_alpha::on_alpha_change2(int value) {
  for (float* t : targets) *t = value * (1.0f / 255.0f);
  repaint_view();
}

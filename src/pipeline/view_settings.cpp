#include "pipeline/view_settings.h"

view_settings* main_gl_widget = nullptr;

bool frozen_in_view(curve* c) {
  return main_gl_widget && main_gl_widget->fixed_curves.count(c) != 0;
}

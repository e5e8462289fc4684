#include "pipeline/view_settings.h"

#include <algorithm>

#include "graph/curve.h"

view_settings* main_gl_widget = nullptr;

bool frozen_in_view(curve* c) {
  return main_gl_widget && main_gl_widget->fixed_curves.count(c) != 0;
}

bool merged_in_view(const curve* c) {
  if (!main_gl_widget || main_gl_widget->must_merge.empty()) return false;
  const std::vector<f_curve*>& held = c->v_f_curve;
  for (f_curve* f : held) {
    const auto pairs = main_gl_widget->must_merge.find(f);
    if (pairs == main_gl_widget->must_merge.end()) continue;
    for (f_curve* g : pairs->second)
      if (g != f && std::find(held.begin(), held.end(), g) != held.end()) return true;
  }
  return false;
}

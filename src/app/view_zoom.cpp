#include "app/view_zoom.h"

void step_zoom(float& zoom, int& zoom_out_steps, int steps) {
  if (zoom > 1 || (zoom == 1 && steps > 0)) {
    zoom += static_cast<float>(steps);
    if (zoom <= 0) zoom = 1;
    return;
  }
  zoom_out_steps -= steps;
  if (zoom_out_steps <= 0) zoom_out_steps = 1;
  zoom = 1.0f / static_cast<float>(zoom_out_steps);
}
